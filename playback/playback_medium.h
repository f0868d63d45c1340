#pragma once
// What the playback engine needs from one medium of the media set and from
// the set itself. The video windows implement these; the engine never owns a
// medium.
//
// Threads: the window thread only, except FetchFrame and PreviewFrame (see
// there) and what SeekWorker runs.

#include "media/av_file.h"
#include "playback/seek_worker.h"

#include <cstdint>
#include <functional>
#include <optional>

class TPlaybackMedium {
public:
    virtual ~TPlaybackMedium() = default;

    // The open media file, owned by the medium; nullptr when none is open.
    virtual TAVFile* MediaFile() = 0;
    // Project time in milliseconds at which the first frame and the first
    // audio sample play; may be negative.
    virtual int32_t Offset() const = 0;
    // Makes frame `frame` the current frame without drawing. Media errors
    // (TAVFile::AVFileError) pass to the caller. A seek to an exact position
    // runs the fetches of different media on their seek workers at once
    // while the window thread waits for all of them, so a fetch may use the
    // medium and read its window, but must not change widgets or post to
    // them.
    virtual void FetchFrame(int32_t frame) = 0;
    // A picture near `frame` that costs little to get (the key frame at or
    // before it), for the slider while it is being dragged, of a medium
    // without a seek worker. Threads and errors as FetchFrame; by default
    // the exact frame.
    virtual void PreviewFrame(int32_t frame) { FetchFrame(frame); }
    // The medium's own seek worker, which SeekAll hands the medium's seeks
    // to; nullptr when it has none (SeekAll then seeks it itself). While the
    // worker has a job, nothing else may use the media file.
    virtual TSeekWorker* SeekWorker() { return nullptr; }
    // Makes the picture shown for `frame` while the slider is dragged. It
    // runs on the seek worker and may use the media file only: whatever it
    // needs of the window is captured when PreviewRenderer is called, on the
    // window thread. The worker hands its picture back to the medium, which
    // shows it. Media errors pass to the caller.
    using TPreviewRenderer =
        std::function<std::optional<TPreviewPicture>(int32_t frame, const TSeekWorker::TOvertakenCheck&)>;
    // Empty when the medium shows no picture now (no video, Video unticked).
    virtual TPreviewRenderer PreviewRenderer() { return {}; }
    // Draws the window with its current frame and overlays.
    virtual void Paint() = 0;
    // Records the region of a mouse-mode drag in progress at the current
    // time; does nothing when no drag is in progress.
    virtual void CommitMouseRegion() = 0;
    // The window's "Audio" stream switch is ticked.
    virtual bool IsAudioEnabled() const = 0;
    // The window's status line: the group's last measured frame rate and
    // its frames dropped since Play.
    virtual void ShowPlaybackRate(double fps, int32_t dropped) = 0;
};

// The media set in set order. Indexes run from 0 to MediumCount() - 1; a
// medium keeps its index until one before it is removed.
class TPlaybackMediaList {
public:
    virtual ~TPlaybackMediaList() = default;
    virtual int32_t MediumCount() const = 0;
    virtual TPlaybackMedium& Medium(int32_t index) = 0;
};

// The medium has a media file open for reading.
bool IsReadable(TPlaybackMedium& medium);
// IsReadable, and the file has a video stream.
bool HasReadableVideo(TPlaybackMedium& medium);
// The medium's offset in its own frames, FramesFromMs(Offset) with the
// file's video format (the backend's default format without video). 0 when
// no file is open.
int32_t OffsetFrames(TPlaybackMedium& medium);
// The file's video format; without a file the interface's default format
// (1000/1, so frames count milliseconds).
TAVFile::TVideoFormat VideoFormatOf(TPlaybackMedium& medium);
