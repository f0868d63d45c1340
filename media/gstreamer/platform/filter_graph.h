#pragma once
// TFilterGraph: the media-framework operations the filter-graph backend needs,
// as a narrow interface. The graph decodes one file into a video sink (32-bit
// BGRx pictures, rows bottom-up) and an audio sink (interleaved signed 16-bit
// PCM); every delivered buffer goes to the callback attached to its stream, on
// the framework's streaming thread.
//
// Threads: every operation is called from the consumer thread; callbacks run
// on streaming threads. Results are plain values; the backend turns them into
// its error messages.

#include "media/gstreamer/ds_buffers.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

enum class TGraphStream { Video, Audio };

enum class TGraphResult {
    Done,    // the state change completed at once
    Pending, // it completes later: call WaitForState
    Failed,
};

enum class TGraphTimeFormat {
    MediaTime, // 100-nanosecond units
    Frame,     // video frames
};

// Codes of GetEvent.
enum : int32_t {
    GraphEventComplete = 1,   // end of stream
    GraphEventErrorAbort = 3, // the graph stopped on an error
};

struct TConnectedVideoType {
    int32_t Width = 0;
    int32_t Height = 0;
};

struct TConnectedAudioType {
    int32_t FormatTag = 0; // 1: PCM
    int32_t BitsPerSample = 0;
    bool FixedSizeSamples = false;
    int32_t Channels = 0;
    int32_t SamplesPerSecond = 0;
};

class TFilterGraph {
public:
    virtual ~TFilterGraph() = default;

    // The file source, loaded with the file; false when it cannot be read.
    virtual bool CreateSource() = 0;
    virtual bool LoadFile(const std::string& fileName) = 0;
    // Whether the optional deinterlacing filter is installed.
    virtual bool HasDeinterlacer() = 0;
    // Builds the sinks of the wanted streams behind the decoder and lets the
    // graph find its streams; false when the graph cannot even start.
    virtual bool Render(bool video, bool audio, bool deinterlace) = 0;
    virtual bool IsConnected(TGraphStream stream) = 0;
    virtual bool GetVideoType(TConnectedVideoType& type) = 0;
    virtual bool GetAudioType(TConnectedAudioType& type) = 0;
    // Duration of a stream in the time format; false when the graph does not
    // know it in that format.
    virtual bool GetDuration(TGraphStream stream, TGraphTimeFormat format, int64_t& duration) = 0;
    virtual void RemoveReferenceClock() = 0;
    // Attaches (or with nullptr detaches) the callback of a stream. After a
    // detach returns, no buffer reaches the old callback.
    virtual bool SetCallback(TGraphStream stream, TSampleGrabberCB* callback) = 0;

    virtual TGraphResult Run() = 0;
    virtual TGraphResult Pause() = 0;
    virtual TGraphResult Stop() = 0;
    // Waits without a time limit for a pending state change.
    virtual TGraphResult WaitForState() = 0;
    // Next frame delivered is this one; the graph must be stopped.
    // rate/scale: frames per second, for graphs that can only seek by time.
    virtual bool SetPositionFrame(int64_t frame, uint32_t rate, uint32_t scale) = 0;

    // Set while events are pending; nullptr when the graph has none.
    virtual TManualResetEvent* GetEventHandle() = 0;
    // Takes the oldest pending event without waiting; false when none is left.
    virtual bool GetEvent(int32_t& code) = 0;
};

// Makes a graph whose event handle belongs to signal; nullptr when the
// framework is not available.
using TFilterGraphFactory = std::function<std::unique_ptr<TFilterGraph>(TWaitSignal& signal)>;
