#include "media/gstreamer/ds_file.h"

#include "base/round_to_int.h"
#include "media/gstreamer/platform/gst_graph.h"

#include <algorithm>
#include <cstring>

class TDSFileI {
public:
    explicit TDSFileI(TFilterGraphFactory factory) : Factory(std::move(factory)) {}
    // Declared first so the queues' events and the graph's handle outlive their users.
    TWaitSignal Signal;
    TFilterGraphFactory Factory;
    std::unique_ptr<TSampleGrabberCB> VideoCallback;
    std::unique_ptr<TSampleGrabberCB> AudioCallback;
    // Last, so it is destroyed first: its streaming threads stop before the
    // callbacks they feed go away.
    std::unique_ptr<TFilterGraph> Graph;
};

namespace {

[[noreturn]] void Fail(const char* message) {
    throw TAVFile::AVFileErrorOpenVideo(message);
}

[[noreturn]] void FailRead(bool audio, const char* message) {
    if (audio)
        throw TAVFile::AVFileErrorGetAudio(message);
    throw TAVFile::AVFileErrorGetVideo(message);
}

} // namespace

TDSFile::TDSFile(TFilterGraphFactory graphFactory) : m_graphFactory(std::move(graphFactory)) {
    if (!m_graphFactory)
        m_graphFactory = CreateGStreamerGraph;
    m_interfaces = std::make_unique<TDSFileI>(m_graphFactory);
    for (const char* extension : {"avi", "mpg", "mpeg", "wav", "mp3"})
        AddExtension(extension);
    m_description = "DirectShow file input";
    m_capabilities = CapGetFrameAt | CapCopyFrameAt | CapGetBitmapAt;
    m_flags = FlagInterleaved;
}

TDSFile::~TDSFile() {
    Close();
}

void TDSFile::Open(const std::string& fileName, int32_t mode, int32_t streams, bool raiseErrors) {
    Close();
    const bool wantVideo = (streams & StreamVideo) != 0;
    const bool wantAudio = (streams & StreamAudio) != 0;
    if (mode == ModeRead && (wantVideo || wantAudio)) {
        try {
            OpenSource(fileName);
        } catch (const AVFileErrorOpenVideo&) {
            Close();
            if (raiseErrors)
                throw;
            return;
        }
        // GStreamer finds the streams of a file in one preroll, so both sinks
        // are built before either stream is looked at.
        const bool deinterlace = wantVideo && m_interfaces->Graph->HasDeinterlacer();
        m_interfaces->Graph->Render(wantVideo, wantAudio, deinterlace);
        for (const bool isVideo : {true, false}) {
            if (!(isVideo ? wantVideo : wantAudio))
                continue;
            try {
                if (isVideo)
                    OpenVideo(deinterlace);
                else
                    OpenAudio();
            } catch (const AVFileErrorOpenVideo&) {
                if (raiseErrors) {
                    Close();
                    throw;
                }
            }
        }
    }
    if (raiseErrors)
        CheckOpenResult(mode, streams);
}

void TDSFile::OpenSource(const std::string& fileName) {
    if (!m_comInitialised) {
        if (!InitialiseGStreamer())
            Fail("Could not CoInitializeEx!");
        m_comInitialised = true;
    }
    m_interfaces->Graph = m_interfaces->Factory(m_interfaces->Signal);
    if (m_interfaces->Graph == nullptr)
        Fail("Could not create the FilterGraph!");
    if (m_interfaces->Graph->GetEventHandle() == nullptr)
        Fail("Could not create the MediaEvent!");
    if (!m_interfaces->Graph->CreateSource())
        Fail("Could not create AsyncReader!");
    if (!m_interfaces->Graph->LoadFile(fileName))
        Fail("Could not load the media file!");
}

void TDSFile::OpenVideo(bool deinterlace) {
    TFilterGraph& graph = *m_interfaces->Graph;
    (void)deinterlace; // the graph already holds the deinterlacer when there is one
    if (!graph.IsConnected(TGraphStream::Video))
        Fail("Could not connect source filter to grabber!");
    TConnectedVideoType type;
    if (!graph.GetVideoType(type) || type.Width <= 0 || type.Height <= 0)
        Fail("Could not get media type!");
    m_width = type.Width;
    m_height = type.Height;
    m_rate = 25;
    m_scale = 1;
    m_sourceRowBytes = static_cast<uint32_t>(m_width) * 4;
    m_bitmapRowBytes = (m_sourceRowBytes + 3) & ~3u;
    m_imageSize = static_cast<uint32_t>(m_height) * m_bitmapRowBytes;
    FreeBlocks();
    m_dsBitmapBlock = static_cast<uint8_t*>(AllocBuffer(sizeof(TBitmapInfoHeader) + m_imageSize));
    if (m_dsBitmapBlock == nullptr)
        Fail("Could not allocate memory!");
    const TBitmapInfoHeader header{40, m_width, m_height, 1, 32, 0, m_imageSize, 0, 0, 0, 0};
    std::memcpy(m_dsBitmapBlock, &header, sizeof header);
    m_pixelArea = m_dsBitmapBlock + sizeof(TBitmapInfoHeader);
    m_frameBuffer = static_cast<uint8_t*>(AllocBuffer(static_cast<size_t>(m_sourceRowBytes) * m_height));
    if (m_frameBuffer == nullptr)
        Fail("Could not allocate memory!");

    int64_t mediaTime = 0;
    const bool hasMediaTime =
        graph.GetDuration(TGraphStream::Video, TGraphTimeFormat::MediaTime, mediaTime) && mediaTime > 0;
    int64_t frames = 0;
    if (!graph.GetDuration(TGraphStream::Video, TGraphTimeFormat::Frame, frames))
        Fail("Could not get duration!");
    m_videoLength = static_cast<int32_t>(frames);
    if (hasMediaTime) {
        m_rate = static_cast<uint32_t>(frames * 10000000000LL / mediaTime);
        m_scale = 1000;
    }
    graph.RemoveReferenceClock();
    m_interfaces->VideoCallback = std::make_unique<TSampleGrabberCB>(m_interfaces->Signal);
    if (!graph.SetCallback(TGraphStream::Video, m_interfaces->VideoCallback.get()))
        Fail("Could not setup callback!");
    m_lastDeliveredIndex = -1;
    m_videoPosition = 0;
    m_queuePosition = 0;
    m_mode = ModeRead;
    m_streams |= StreamVideo;
}

void TDSFile::OpenAudio() {
    TFilterGraph& graph = *m_interfaces->Graph;
    if (!graph.IsConnected(TGraphStream::Audio))
        Fail("Could not connect source filter to grabber!");
    TConnectedAudioType type;
    if (!graph.GetAudioType(type))
        Fail("Could not get media type!");
    if (type.FormatTag != 1 || type.BitsPerSample != 16 || !type.FixedSizeSamples || type.Channels <= 0 ||
        type.SamplesPerSecond <= 0)
        Fail("Invalid audio format!");
    m_channels = type.Channels;
    m_samplesPerSecond = type.SamplesPerSecond;
    int64_t mediaTime = 0;
    if (!graph.GetDuration(TGraphStream::Audio, TGraphTimeFormat::MediaTime, mediaTime))
        Fail("Could not get duration!");
    m_audioLength = static_cast<int32_t>(static_cast<int64_t>(m_samplesPerSecond) * mediaTime / 10000000);
    graph.RemoveReferenceClock();
    m_interfaces->AudioCallback = std::make_unique<TSampleGrabberCB>(m_interfaces->Signal);
    if (!graph.SetCallback(TGraphStream::Audio, m_interfaces->AudioCallback.get()))
        Fail("Could not setup callback!");
    m_audioPosition = 0;
    m_mode = ModeRead;
    m_streams |= StreamAudio;
}

TDSFile::TWaitResult TDSFile::WaitForFrameBuffer(TBuffers& queue, TGraphStart start, bool& startedGraph,
                                                 bool audio) {
    TFilterGraph& graph = *m_interfaces->Graph;
    if (queue.IsEmpty() && start == TGraphStart::Allowed) {
        TGraphResult result = graph.Run();
        if (result == TGraphResult::Pending)
            result = graph.WaitForState();
        if (result == TGraphResult::Failed)
            FailRead(audio, "Could not run graph!");
        startedGraph = true;
    }
    TManualResetEvent* handle = graph.GetEventHandle();
    if (handle == nullptr)
        throw AVFileErrorGetVideo("Handle error!");
    for (;;) {
        switch (WaitForEither(queue.Event(), *handle)) {
        case 0:
            return TWaitResult::Buffer;
        case 1: {
            bool ended = false;
            int32_t code = 0;
            while (graph.GetEvent(code))
                // An aborted graph delivers nothing more either; waiting on
                // would never end.
                ended = ended || code == GraphEventComplete || code == GraphEventErrorAbort;
            if (ended)
                return TWaitResult::EndOfStream;
            break;
        }
        default:
            FailRead(audio, "Wait error!");
        }
    }
}

void TDSFile::PauseGraph() {
    m_interfaces->Graph->Pause();
}

TBuffer* TDSFile::PopChecked(TBuffers& queue) {
    TBuffer* buffer = queue.Pop();
    if (buffer == nullptr || buffer->Data == nullptr) {
        delete buffer;
        throw AVFileErrorMemory();
    }
    return buffer;
}

// The popped picture is kept as the graph queued it; the frame buffer (top-
// down like GStreamer's buffers) and the bottom-up bitmap block are made from
// it only when asked for, and a window's scaled picture skips both.
void TDSFile::ReadPicture(int32_t index) {
    RequireReading();
    RequireVideo();
    if (index >= 0 && index == m_lastDeliveredIndex) {
        // Asked again, also after frames were skipped past it: still held.
        m_videoPosition = index + 1;
        return;
    }
    if (index != m_queuePosition)
        SetVideoPosition(index);
    m_videoPosition = index;
    if (m_videoPosition >= m_videoLength || m_videoPosition < 0)
        throw AVFileErrorGetVideo();
    TBuffers& queue = m_interfaces->VideoCallback->Buffers();
    bool startedGraph = false;
    const TWaitResult result = WaitForFrameBuffer(queue, TGraphStart::Allowed, startedGraph, false);
    if (startedGraph)
        PauseGraph();
    m_current.reset(result == TWaitResult::EndOfStream ? nullptr : PopChecked(queue));
    m_isFrameBufferStale = true;
    m_isPixelAreaStale = true;
    m_isScaledStale = true;
    m_lastDeliveredIndex = m_videoPosition;
    m_queuePosition = ++m_videoPosition;
}

void TDSFile::ConvertCurrent() {
    if (!m_isFrameBufferStale)
        return;
    if (m_current == nullptr)
        std::memset(m_frameBuffer, 0, static_cast<size_t>(m_sourceRowBytes) * static_cast<size_t>(m_height));
    else if (!m_interfaces->Graph->ConvertPicture(*m_current, m_frameBuffer, m_width, m_height))
        throw AVFileErrorGetVideo();
    m_isFrameBufferStale = false;
}

uint8_t* TDSFile::GetBitmapAt(int32_t index) {
    ReadPicture(index);
    ConvertCurrent();
    if (m_isPixelAreaStale) {
        for (int32_t row = 0; row < m_height; ++row)
            std::memcpy(m_pixelArea + (static_cast<size_t>(m_height) - 1 - row) * m_bitmapRowBytes,
                        m_frameBuffer + static_cast<size_t>(row) * m_sourceRowBytes, m_sourceRowBytes);
        m_isPixelAreaStale = false;
    }
    return m_dsBitmapBlock;
}

uint8_t* TDSFile::GetFrameAt(int32_t index) {
    ReadPicture(index);
    ConvertCurrent();
    return m_frameBuffer;
}

void TDSFile::CopyFrameAt(uint8_t* buffer, int32_t index) {
    ReadPicture(index);
    // Converted straight into the caller's buffer when nothing else asked for
    // the picture yet.
    if (m_isFrameBufferStale && m_current != nullptr) {
        if (!m_interfaces->Graph->ConvertPicture(*m_current, buffer, m_width, m_height))
            throw AVFileErrorGetVideo();
        return;
    }
    ConvertCurrent();
    std::memcpy(buffer, m_frameBuffer, static_cast<size_t>(m_sourceRowBytes) * static_cast<size_t>(m_height));
}

const uint8_t* TDSFile::GetScaledFrameAt(int32_t index, int32_t width, int32_t height) {
    RequireReading();
    RequireVideo();
    if (width <= 0 || height <= 0 || (width == m_width && height == m_height))
        return GetFrameAt(index);
    ReadPicture(index);
    if (!m_isScaledStale && m_scaledWidth == width && m_scaledHeight == height)
        return m_scaled.data();
    m_scaled.resize(static_cast<size_t>(width) * 4 * static_cast<size_t>(height));
    m_scaledWidth = width;
    m_scaledHeight = height;
    if (m_current == nullptr)
        std::fill(m_scaled.begin(), m_scaled.end(), uint8_t{0});
    else if (!m_interfaces->Graph->ConvertPicture(*m_current, m_scaled.data(), width, height))
        throw AVFileErrorGetVideo();
    m_isScaledStale = false;
    return m_scaled.data();
}

int32_t TDSFile::SeekKeyFrame(int32_t index) {
    RequireReading();
    RequireVideo();
    if (index >= 0 && index == m_lastDeliveredIndex) {
        m_videoPosition = index;
        return index;
    }
    if (index < 0 || index >= m_videoLength) {
        Seek(index);
        return index;
    }
    DetachAndStop();
    TFilterGraph& graph = *m_interfaces->Graph;
    int64_t key = graph.SetPositionKeyFrame(index, m_rate, m_scale);
    if (key < 0 || key > index) {
        if (!graph.SetPositionFrame(index, m_rate, m_scale))
            throw AVFileErrorRead("Could not set position!");
        key = index;
    }
    Reattach(static_cast<int32_t>(key));
    return static_cast<int32_t>(key);
}

int32_t TDSFile::SkipFrames(int32_t count) {
    if (count == 0)
        return 0;
    RequireReading();
    RequireVideo();
    if (count < 0 || static_cast<int64_t>(m_videoPosition) + count >= m_videoLength)
        throw AVFileErrorGetVideo();
    if (m_interfaces->Graph->GetEventHandle() == nullptr)
        throw AVFileErrorGetVideo("Handle error!");
    // The held picture was asked for again after frames were skipped past it.
    if (m_videoPosition != m_queuePosition)
        Seek(m_videoPosition);
    TBuffers& queue = m_interfaces->VideoCallback->Buffers();
    bool startedGraph = false;
    try {
        for (int32_t i = 0; i < count; ++i) {
            const TGraphStart start = startedGraph ? TGraphStart::AlreadyStarted : TGraphStart::Allowed;
            if (WaitForFrameBuffer(queue, start, startedGraph, false) == TWaitResult::Buffer)
                delete queue.Pop();
            m_queuePosition = ++m_videoPosition;
        }
    } catch (const AVFileError&) {
        if (startedGraph)
            PauseGraph();
        throw;
    }
    if (startedGraph)
        PauseGraph();
    return m_videoPosition;
}

uint8_t* TDSFile::GetAudio(int32_t& byteCount) {
    RequireReading();
    RequireAudio();
    if (m_audioPosition >= m_audioLength)
        throw AVFileErrorGetAudio();
    TBuffers& queue = m_interfaces->AudioCallback->Buffers();
    bool startedGraph = false;
    const TWaitResult result = WaitForFrameBuffer(queue, TGraphStart::Allowed, startedGraph, true);
    if (startedGraph)
        PauseGraph();
    const uint32_t frameBytes = static_cast<uint32_t>(m_channels) * 2;
    std::unique_ptr<TBuffer> buffer;
    uint32_t needed = 0;
    if (result == TWaitResult::EndOfStream) {
        needed = static_cast<uint32_t>(m_audioLength - m_audioPosition) * frameBytes;
    } else {
        buffer.reset(PopChecked(queue));
        needed = static_cast<uint32_t>(buffer->Length);
    }
    if (m_audioBlock == nullptr || m_audioBlockSize != needed) {
        FreeBuffer(m_audioBlock);
        m_audioBlockSize = 0;
        m_audioBlock = static_cast<uint8_t*>(AllocBuffer(needed));
        if (m_audioBlock == nullptr)
            throw AVFileErrorMemory();
        m_audioBlockSize = needed;
    }
    if (buffer != nullptr)
        std::memcpy(m_audioBlock, buffer->Data, needed);
    else
        std::memset(m_audioBlock, 0, needed);
    byteCount = static_cast<int32_t>(m_audioBlockSize);
    m_audioPosition += static_cast<int32_t>(m_audioBlockSize / frameBytes);
    return m_audioBlock;
}

void TDSFile::SkipAudio() {
    RequireReading();
    RequireAudio();
    if (m_audioPosition >= m_audioLength)
        throw AVFileErrorGetAudio();
    TBuffers& queue = m_interfaces->AudioCallback->Buffers();
    int64_t bytes = 0;
    queue.Lock();
    while (TBuffer* buffer = queue.Pop()) {
        bytes += buffer->Length;
        delete buffer;
    }
    queue.Unlock();
    m_audioPosition += static_cast<int32_t>(bytes / (static_cast<int64_t>(m_channels) * 2));
}

void TDSFile::DetachAndStop() {
    TFilterGraph& graph = *m_interfaces->Graph;
    if (((m_streams & StreamVideo) && !graph.SetCallback(TGraphStream::Video, nullptr)) ||
        ((m_streams & StreamAudio) && !graph.SetCallback(TGraphStream::Audio, nullptr)))
        throw AVFileErrorRead("Could not setup callback!");
    TGraphResult result = graph.Stop();
    if (result == TGraphResult::Pending)
        result = graph.WaitForState();
    if (result == TGraphResult::Failed)
        throw AVFileErrorRead("Could not stop graph!");
}

// The queues are cleared while nothing can reach them, so that a picture the
// graph hands on attaching (a key frame already decoded) stays.
void TDSFile::Reattach(int32_t index) {
    TFilterGraph& graph = *m_interfaces->Graph;
    if (m_streams & StreamVideo) {
        m_interfaces->VideoCallback->Buffers().Clear();
        if (!graph.SetCallback(TGraphStream::Video, m_interfaces->VideoCallback.get()))
            throw AVFileErrorRead("Could not setup callback!");
        m_videoPosition = index;
        m_queuePosition = index;
    }
    if (m_streams & StreamAudio) {
        m_interfaces->AudioCallback->Buffers().Clear();
        if (!graph.SetCallback(TGraphStream::Audio, m_interfaces->AudioCallback.get()))
            throw AVFileErrorRead("Could not setup callback!");
        m_audioPosition =
            static_cast<int32_t>(static_cast<double>(m_samplesPerSecond) * index * m_scale / m_rate);
    }
    // The held picture is no longer the new position's predecessor in the
    // graph's order: handing it out again would shift every later frame.
    m_lastDeliveredIndex = -1;
    m_current.reset();
}

void TDSFile::Seek(int32_t index) {
    RequireOpened();
    if (m_mode != ModeRead)
        return;
    DetachAndStop();
    if (!m_interfaces->Graph->SetPositionFrame(index, m_rate, m_scale))
        throw AVFileErrorRead("Could not set position!");
    Reattach(index);
}

int32_t TDSFile::SetVideoPosition(int32_t index) {
    RequireOpened();
    RequireVideo();
    Seek(index);
    return index;
}

int32_t TDSFile::SetAudioPosition(int32_t position) {
    RequireOpened();
    RequireAudio();
    Seek(RoundToInt(static_cast<double>(m_rate) * (static_cast<double>(position) / m_samplesPerSecond) /
                    m_scale));
    return m_audioPosition;
}

int32_t TDSFile::GetVideoLength() {
    RequireOpened();
    RequireVideo();
    return m_videoLength;
}

int32_t TDSFile::GetAudioLength() {
    RequireOpened();
    RequireAudio();
    return m_audioLength;
}

size_t TDSFile::QueuedBuffers(TGraphStream stream) {
    const auto& callback =
        stream == TGraphStream::Video ? m_interfaces->VideoCallback : m_interfaces->AudioCallback;
    return callback ? callback->Buffers().Count() : 0;
}

void TDSFile::FreeBlocks() {
    FreeBuffer(m_dsBitmapBlock);
    FreeBuffer(m_frameBuffer);
    FreeBuffer(m_audioBlock);
    m_dsBitmapBlock = m_pixelArea = m_frameBuffer = m_audioBlock = nullptr;
    m_audioBlockSize = 0;
}

void TDSFile::Close() {
    m_current.reset(); // before the graph it came from
    TAVFile::Close();
    m_interfaces->Graph.reset();
    m_interfaces->VideoCallback.reset();
    m_interfaces->AudioCallback.reset();
    // gst_init cannot be undone; the flag only tracks that this object asked for it.
    m_comInitialised = false;
    FreeBlocks();
    m_videoLength = 0;
    m_audioLength = 0;
    m_lastDeliveredIndex = -1;
}
