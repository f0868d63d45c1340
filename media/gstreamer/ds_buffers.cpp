#include "media/gstreamer/ds_buffers.h"

#include "base/exception.h"
#include "media/av_file.h"

#include <cstring>
#include <new>
#include <system_error>

TWaitSignal::TWaitSignal() {
    try {
        m_mutex = new std::mutex;
        m_condition = new std::condition_variable;
    } catch (const std::exception&) {
        delete m_mutex;
        throw TException("CreateEvent failed!");
    }
}

TWaitSignal::~TWaitSignal() {
    delete m_condition;
    delete m_mutex;
}

void TManualResetEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(m_signal.Mutex());
        m_isSet = true;
    }
    m_signal.Condition().notify_all();
}

void TManualResetEvent::Reset() {
    std::lock_guard<std::mutex> lock(m_signal.Mutex());
    m_isSet = false;
}

bool TManualResetEvent::IsSet() {
    std::lock_guard<std::mutex> lock(m_signal.Mutex());
    return m_isSet;
}

int32_t WaitForEither(TManualResetEvent& first, TManualResetEvent& second) {
    if (&first.m_signal != &second.m_signal)
        return -1;
    std::unique_lock<std::mutex> lock(first.m_signal.Mutex());
    first.m_signal.Condition().wait(lock, [&] { return first.m_isSet || second.m_isSet; });
    return first.m_isSet ? 0 : 1;
}

TBuffer::~TBuffer() {
    TAVFile::FreeBuffer(Data);
}

TBuffers::TBuffers(TWaitSignal& signal) : m_event(signal) {}

TBuffers::~TBuffers() {
    Clear();
}

void TBuffers::Push(TBuffer* buffer) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_buffers.push_back(buffer);
    m_event.Set();
}

TBuffer* TBuffers::Pop() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_buffers.empty())
        return nullptr;
    TBuffer* buffer = m_buffers.front();
    m_buffers.pop_front();
    if (m_buffers.empty())
        m_event.Reset();
    return buffer;
}

void TBuffers::Clear() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    for (TBuffer* buffer : m_buffers)
        delete buffer;
    m_buffers.clear();
    m_event.Reset();
}

bool TBuffers::IsEmpty() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_buffers.empty();
}

size_t TBuffers::Count() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_buffers.size();
}

int32_t TSampleGrabberCB::BufferCB(double sampleTime, const uint8_t* data, int32_t length) {
    std::lock_guard<std::mutex> lock(m_lock);
    TBuffer* buffer = new (std::nothrow) TBuffer;
    if (buffer == nullptr)
        return 0;
    buffer->SampleTime = sampleTime;
    buffer->Length = length;
    buffer->Data = static_cast<uint8_t*>(TAVFile::AllocBuffer(static_cast<size_t>(length > 0 ? length : 0)));
    if (buffer->Data != nullptr && length > 0)
        std::memcpy(buffer->Data, data, static_cast<size_t>(length));
    m_buffers.Push(buffer);
    return 0;
}
