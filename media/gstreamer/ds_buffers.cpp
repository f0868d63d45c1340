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

bool TManualResetEvent::HasWaiters() {
    std::lock_guard<std::mutex> lock(m_signal.Mutex());
    return m_waiters > 0;
}

int32_t WaitForEither(TManualResetEvent& first, TManualResetEvent& second) {
    if (&first.m_signal != &second.m_signal)
        return -1;
    std::unique_lock<std::mutex> lock(first.m_signal.Mutex());
    ++first.m_waiters;
    if (&second != &first)
        ++second.m_waiters;
    first.m_signal.Condition().wait(lock, [&] { return first.m_isSet || second.m_isSet; });
    --first.m_waiters;
    if (&second != &first)
        --second.m_waiters;
    return first.m_isSet ? 0 : 1;
}

TBlockPool::~TBlockPool() {
    for (const auto& [block, capacity] : m_blocks)
        TAVFile::FreeBuffer(block);
}

uint8_t* TBlockPool::Take(size_t bytes, size_t& capacity) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (auto found = m_blocks.begin(); found != m_blocks.end(); ++found)
            if (found->second >= bytes) {
                uint8_t* block = found->first;
                capacity = found->second;
                m_blocks.erase(found);
                return block;
            }
    }
    capacity = bytes;
    return static_cast<uint8_t*>(TAVFile::AllocBuffer(bytes));
}

void TBlockPool::Give(uint8_t* block, size_t capacity) {
    constexpr size_t KeptBlocks = 8;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_blocks.size() < KeptBlocks) {
            m_blocks.emplace_back(block, capacity);
            return;
        }
    }
    TAVFile::FreeBuffer(block);
}

TBuffer::~TBuffer() {
    if (Owner != nullptr)
        Owner->Release();
    else if (Pool != nullptr && Data != nullptr)
        Pool->Give(Data, Capacity);
    else
        TAVFile::FreeBuffer(Data);
}

TBuffers::TBuffers(TWaitSignal& signal) : m_event(signal) {}

TBuffers::~TBuffers() {
    // Not Clear: whoever waits for room may be gone already.
    for (TBuffer* buffer : m_buffers)
        delete buffer;
}

void TBuffers::Push(TBuffer* buffer) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_buffers.push_back(buffer);
    m_event.Set();
}

void TBuffers::SetOnTaken(std::function<void()> onTaken) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_onTaken = std::move(onTaken);
}

TBuffer* TBuffers::Pop() {
    TBuffer* buffer = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        if (m_buffers.empty())
            return nullptr;
        buffer = m_buffers.front();
        m_buffers.pop_front();
        if (m_buffers.empty())
            m_event.Reset();
    }
    if (m_onTaken)
        m_onTaken();
    return buffer;
}

void TBuffers::Clear() {
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        for (TBuffer* buffer : m_buffers)
            delete buffer;
        m_buffers.clear();
        m_event.Reset();
    }
    if (m_onTaken)
        m_onTaken();
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
    buffer->Pool = &m_pool;
    buffer->Data = m_pool.Take(static_cast<size_t>(length > 0 ? length : 0), buffer->Capacity);
    if (buffer->Data != nullptr && length > 0)
        std::memcpy(buffer->Data, data, static_cast<size_t>(length));
    m_buffers.Push(buffer);
    return 0;
}

int32_t TSampleGrabberCB::BufferCBShared(double sampleTime, const uint8_t* data, int32_t length,
                                         TBufferOwner* owner) {
    std::lock_guard<std::mutex> lock(m_lock);
    TBuffer* buffer = new (std::nothrow) TBuffer;
    if (buffer == nullptr) {
        owner->Release();
        return 0;
    }
    buffer->SampleTime = sampleTime;
    buffer->Length = length;
    buffer->Owner = owner;
    buffer->Data = const_cast<uint8_t*>(data);
    m_buffers.Push(buffer);
    return 0;
}
