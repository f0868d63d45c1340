#pragma once
// TDSFile: reading of video and audio through a filter graph (backend id 1,
// "DirectShow file input"; here the graph is GStreamer's). Reads only.
//
// The graph decodes into two queues and is run only when the caller waits on
// an empty one, then paused; over GStreamer the pause takes effect once a few
// pictures wait, so the queues stay short however slowly the caller reads.
//
// Units: frame indexes from 0; audio positions and lengths in sample frames
// (channels x 2 bytes). Rate/scale carry three decimals (scale 1000) when the
// graph knows the media duration, else 25/1.
//
// Errors (besides those of TAVFile):
// - Open (raiseErrors): AVFileErrorOpenVideo with the message of the failing
//   step, for video and audio alike ("Could not load the media file!",
//   "Could not connect source filter to grabber!", "Invalid audio format!",
//   ...); "Invalid open mode!" for anything but reading.
// - Frame getters, SkipFrames: AVFileErrorGetVideo "Could not get frame!" at or
//   past the video length, "Could not run graph!", "Wait error!", "Handle
//   error!". Past the end of the stream inside the length: black frames.
// - GetAudio, SkipAudio: AVFileErrorGetAudio "Could not get audio!" at the
//   audio length; silence past the end of the stream.
// - Seek: AVFileErrorRead "Could not setup callback!", "Could not stop graph!",
//   "Could not set position!".
// - A buffer that found no memory: AVFileErrorMemory when it is consumed.
//
// Pictures wait in the queue in the decoder's own layout and are converted
// only when asked for: to the full-size BGRx frame (GetFrameAt and the
// others), or straight to a window's size (GetScaledFrameAt); both come from
// the same decoded picture, so asking for one after the other decodes
// nothing again.
//
// Threads: one caller thread; the graph's streaming threads only fill the
// queues.

#include "media/av_file.h"
#include "media/fast_frame_access.h"
#include "media/gstreamer/platform/filter_graph.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TDSFileI;

class TDSFile : public TAVFile, public TFastFrameAccess {
public:
    // graphFactory: the framework to build graphs with (tests pass a fake);
    // empty means GStreamer.
    explicit TDSFile(TFilterGraphFactory graphFactory = {});
    ~TDSFile() override;

    void Open(const std::string& fileName, int32_t mode, int32_t streams, bool raiseErrors) override;
    uint8_t* GetFrameAt(int32_t index) override;
    void CopyFrameAt(uint8_t* buffer, int32_t index) override;
    uint8_t* GetBitmapAt(int32_t index) override;
    void Close() override;
    void Seek(int32_t index) override;
    int32_t SkipFrames(int32_t count) override;
    int32_t GetVideoLength() override;
    int32_t SetVideoPosition(int32_t index) override;
    uint8_t* GetAudio(int32_t& byteCount) override;
    void SkipAudio() override;
    int32_t GetAudioLength() override;
    int32_t SetAudioPosition(int32_t position) override;

    const uint8_t* GetScaledFrameAt(int32_t index, int32_t width, int32_t height) override;
    int32_t SeekKeyFrame(int32_t index) override;

    // Buffers waiting in the video and audio queues (for measurements).
    size_t QueuedBuffers(TGraphStream stream);

private:
    enum class TWaitResult { Buffer, EndOfStream };
    enum class TGraphStart { Allowed, AlreadyStarted };
    struct TWaitErrors;

    // Runs the graph when the queue is empty (and start allows it), then waits
    // for a buffer or the end of the stream. startedGraph is set when this call
    // ran the graph.
    TWaitResult WaitForFrameBuffer(TBuffers& queue, TGraphStart start, bool& startedGraph, bool audio);
    void OpenSource(const std::string& fileName);
    void OpenVideo(bool deinterlace);
    void OpenAudio();
    void ReadDurations();
    void ReadPicture(int32_t index);
    void ConvertCurrent();
    void DetachAndStop();
    void Reattach(int32_t index);
    void FreeBlocks();
    void PauseGraph();
    TBuffer* PopChecked(TBuffers& queue);

    TFilterGraphFactory m_graphFactory;
    std::unique_ptr<TDSFileI> m_interfaces;
    bool m_comInitialised = false;
    uint32_t m_sourceRowBytes = 0;
    uint32_t m_bitmapRowBytes = 0;
    uint32_t m_imageSize = 0;
    uint32_t m_audioBlockSize = 0;
    int32_t m_videoLength = 0;
    int32_t m_lastDeliveredIndex = -1;
    int32_t m_queuePosition = 0; // the index of the next picture the video queue holds
    int32_t m_audioLength = 0;
    uint8_t* m_dsBitmapBlock = nullptr;
    uint8_t* m_pixelArea = nullptr;
    uint8_t* m_frameBuffer = nullptr; // the current picture, top-down
    bool m_isPixelAreaStale = false;  // the bitmap block lags the frame buffer
    // The picture of the last delivered frame as the graph queued it; nullptr
    // for a black frame past the end of the stream.
    std::unique_ptr<TBuffer> m_current;
    bool m_isFrameBufferStale = false; // the frame buffer lags m_current
    std::vector<uint8_t> m_scaled;     // m_current at a window's size
    int32_t m_scaledWidth = 0;
    int32_t m_scaledHeight = 0;
    bool m_isScaledStale = true;
    uint8_t* m_audioBlock = nullptr;
};
