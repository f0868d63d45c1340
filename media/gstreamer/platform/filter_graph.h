#pragma once
// TFilterGraph: the media-framework operations the filter-graph backend needs,
// as a narrow interface. The graph decodes one file into a video sink
// (pictures in whatever layout the graph chooses, turned into 32-bit BGRx by
// ConvertPicture) and an audio sink (interleaved signed 16-bit PCM); every
// delivered buffer goes to the callback attached to its stream, on the
// framework's streaming thread.
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
    // Moves to the key frame at or before frame, decoding only that picture,
    // and returns its index; the graph must be stopped and the callbacks
    // detached. The key frame's picture is the next one the video stream
    // delivers: it is queued as soon as a video callback is attached. -1 when
    // the graph cannot tell the key frame's index (the position is then
    // undefined: set it exactly).
    virtual int64_t SetPositionKeyFrame(int64_t frame, uint32_t rate, uint32_t scale) = 0;
    // Writes a picture the video callback received as BGRx, width x height
    // with rows of width x 4 bytes top to bottom; a size other than the
    // picture's own is reached in the same pass by taking the nearest source
    // pixel. false when the picture cannot be converted.
    virtual bool ConvertPicture(const TBuffer& picture, uint8_t* target, int32_t width, int32_t height) = 0;

    // Set while events are pending; nullptr when the graph has none.
    virtual TManualResetEvent* GetEventHandle() = 0;
    // Takes the oldest pending event without waiting; false when none is left.
    virtual bool GetEvent(int32_t& code) = 0;
};

// Makes a graph whose event handle belongs to signal; nullptr when the
// framework is not available.
using TFilterGraphFactory = std::function<std::unique_ptr<TFilterGraph>(TWaitSignal& signal)>;
