#pragma once
// TPlaybackClock: the one clock all media of the project play against.
//
// It keeps the position slider (milliseconds), the current time in the
// project's unit (milliseconds or frames of the first medium), the speed and
// step settings, and, while playing, one group per distinct frame rate. Each
// group is driven by one-shot timers re-armed after every frame; late frames
// are dropped so that every deadline stays tied to the clock reading at
// Play, never drifting: every group shows, at every tick, the frame due on
// the one clock, so cameras of different rates stay together. A medium
// more than a few frames behind, or one whose skipping (a decode per
// skipped picture) would cost more than a frame period, jumps to the due
// frame by a seek from the nearest key frame instead, so an overloaded
// group does not spend ever longer ticks on frames nobody sees.
//
// Ownership: the clock refers to the project, the media set, the host, the
// timer service and the audio output (optional); it owns none of them, and
// all must outlive it. Stop before removing a medium from the set: running
// groups hold pointers to their media.
//
// Threads: the window thread only. Timer callbacks do nothing but call
// TPlaybackHost::PostTimerMessage; the message comes back through
// HandleTimerMessage on the window thread. SeekAll hands each medium's seek
// to the medium's seek worker; Play first waits until no worker uses its
// medium and drops the slider pictures still on their way.
//
// Errors: Play throws TException "Could not set timer period!";
// SetPlaybackSpeed and SetStepFrames throw TException "Invalid value!".
// Media errors during a tick or a seek are absorbed per medium.

#include "model/project.h"
#include "platform/mm_timer.h"
#include "playback/playback_audio.h"
#include "playback/playback_host.h"
#include "playback/playback_medium.h"

#include <cstdint>
#include <functional>
#include <vector>

enum class TTransportCommand { Begin, Prev, Play, Stop, Next, End };

// Who moved the slider: the slider itself (user drag, transport commands,
// Go to) makes the lists follow the new position.
enum class TPositionSender { None, TrackBar };

// One playback group: the media of one frame rate.
struct TTimerInfo {
    struct TVideo {
        TPlaybackMedium* Medium; // not owned
        // Its audio is neither played nor independent of the video reader:
        // discard it as it accumulates.
        bool DrainAudio;
    };

    TMMTimer::TTimerId TimerId = 0; // pending timer, 0 when none
    std::vector<TVideo> Videos;     // in media-set order
    uint32_t Rate = 0;
    uint32_t Scale = 1;
    int32_t Frame = 0; // project frame of the next tick, in this group's rate
    int32_t Dropped = 0;
    int32_t DroppedInWindow = 0;    // since the last rate measurement
    int64_t WindowStartMs = 0;      // process clock at the last rate measurement
    int32_t WindowStartFrame = 0;   // Frame at the last rate measurement
    double Fps = 0;                 // last measured rate of frames shown
    double SkipCostMsPerFrame = -1; // what skipping one frame last cost the group; -1 unknown
    double JumpCostMs = -1;         // what the last jump (seek) to a due frame cost; -1 unknown
    bool FrameShown = true;         // some medium had a frame at the last tick
};

// The timer message's first parameter: bit 31 marks an audio output; bits
// 16-30 carry the playback generation so that a message queued before a Stop
// is not taken for a group of the next playback; bits 0-15 the index.
namespace TimerMessage {
constexpr uint32_t AudioBit = 0x80000000u;
constexpr uint32_t GenerationMask = 0x7FFFu;
constexpr uint32_t IndexMask = 0xFFFFu;
constexpr uint32_t Encode(uint32_t generation, uint32_t index, bool isAudio) {
    return (isAudio ? AudioBit : 0u) | ((generation & GenerationMask) << 16) | (index & IndexMask);
}
} // namespace TimerMessage

class TPlaybackClock {
public:
    TPlaybackClock(TProject& project, TPlaybackMediaList& media, TPlaybackHost& host, TMMTimer& timer,
                   TPlaybackAudio* audio = nullptr);
    // Stops without repainting.
    ~TPlaybackClock();
    TPlaybackClock(const TPlaybackClock&) = delete;
    TPlaybackClock& operator=(const TPlaybackClock&) = delete;

    const TTrackBar& TrackBar() const { return m_trackBar; }
    int32_t PositionMs() const { return m_trackBar.Position; }
    int32_t PageSizeMs() const { return m_trackBar.PageSize; }
    // The current time in the project's unit.
    int32_t CurrentTime() const { return m_currentTime; }
    // The current time a position change to positionMs sets.
    int32_t TimeAtPosition(int32_t positionMs) const;
    int32_t PlaybackSpeed() const { return m_playbackSpeed; }
    int32_t StepFrames() const { return m_stepFrames; }
    uint32_t TimerPeriodMs() const { return m_timerPeriodMs; }
    bool IsPositionHandlingEnabled() const { return m_positionHandlingEnabled; }
    // Groups of the running playback; empty when stopped.
    const std::vector<TTimerInfo>& Groups() const { return m_groups; }

    // Moves the slider as the user or a command does: clamps to 0...Maximum
    // and runs TrackBarChange (sender the slider) only when the clamped
    // position differs from the old one.
    void SetPosition(int64_t positionMs);
    // The slider's change handler.
    void TrackBarChange(TPositionSender sender);
    // Range and page size from the video media of the set.
    void UpdateTrackBarRange();
    // Stops, then shows every medium at positionMs: the exact frame, or a
    // key frame near it while the host says the slider is held. The media
    // are sought at once, each on its own seek worker. The exact frames are
    // in when this returns. Key frames are not waited for: each medium's
    // worker hands its picture back to the medium on the window thread, and
    // a later SeekAll overtakes a picture not yet shown.
    void SeekAll(int32_t positionMs);
    // The slider's handle was let go: where pictures near the position were
    // shown, every medium now shows its exact frame and the windows repaint.
    void TrackBarReleased();
    // Moves to `value` in the project's unit and refreshes, even when the
    // position does not change.
    void GoToTime(int64_t value, bool fromUser);
    // Seeks and refreshes everything at the current position (after a
    // document is read or an import).
    void RefreshAtPosition();
    // Limits what position changes touch to the media (by index) for which
    // inUse holds; an empty function means all. The others keep their frame
    // and picture untouched: the output video export writes one camera's
    // picture at a time, and decoding the rest would only cost time.
    void SetMediaInUse(std::function<bool(int32_t index)> inUse) { m_mediaInUse = std::move(inUse); }

    // The six transport commands (one handler).
    void ExecuteTransport(TTransportCommand command);
    // Go to dialog caption for the current unit.
    QString GotoCaption() const;
    // 1...500 per cent; stops playback. Otherwise throws "Invalid value!".
    void SetPlaybackSpeed(int32_t percent);
    // 1...100 frames; playback goes on. Otherwise throws "Invalid value!".
    void SetStepFrames(int32_t frames);

    void Play();
    void Stop(bool repaint);
    bool IsPlaying() const { return !m_groups.empty() || m_timerPeriodMs != 0; }

    // The window thread's handler of WM_TIMER: a video tick or an audio
    // start. Messages of an earlier playback or for an index that does not
    // exist are ignored.
    void HandleTimerMessage(uint32_t wParam);
    // The window thread's handler of the audio device's buffer-done message
    // (first parameter the device). Devices of released outputs are ignored.
    void HandleAudioBufferDone(uint32_t device);

    // Fills the status bar from the current time.
    void ShowTime();

    // Converts every stored time and sets the project's unit. Returns false
    // (nothing changed) when the unit is already `target`, or when switching
    // to frames with media of different frame rates.
    bool SwitchTimeFormat(TTimeFormat target);

    // After a medium was appended at `index`: range, editing commands, and
    // back to milliseconds when its frame rate differs from the first one's.
    void MediumAdded(int32_t index);
    // After a medium was removed (stop before removing it).
    void MediumRemoved();

    // The state of an empty project: stopped, time 0, slider 0 of 0 with
    // page size 1, speed 100, step 1.
    void Reset();

private:
    void VideoTick(int32_t groupIndex);
    void AudioStart(int32_t outputIndex);
    void ShowGroupFrames(TTimerInfo& group);
    void MeasureRate(TTimerInfo& group);
    void StepCurrentTime(TTimerInfo& group, int32_t target);
    void Rearm(int32_t groupIndex);
    // Frames a late medium may skip by decoding them before it jumps instead.
    static constexpr int64_t MaxSkipFrames = 4;
    bool ShouldJump(const TTimerInfo& group, int64_t count) const;
    void StartAudio(int32_t positionMs);
    void DrainUnplayedAudio(const std::vector<TPlaybackMedium*>& played);
    void RepaintAll();
    bool IsInUse(int32_t index) const { return !m_mediaInUse || m_mediaInUse(index); }
    // The seek worker's job for a picture near positionMs.
    TSeekWorker::TJob PreviewJob(TPlaybackMedium& medium, int32_t positionMs);
    // Waits until no worker uses its medium, and drops the pictures on
    // their way: the window thread is about to use the media itself.
    void ReclaimMedia();
    // Positions one medium for SeekAll; errors are absorbed.
    void SeekMedium(TPlaybackMedium& medium, int32_t positionMs, bool preview);
    void SetTrackBar(const TTrackBar& trackBar);
    uint32_t TickParam(int32_t groupIndex) const;
    void ArmOrPost(TMMTimer::TTimerId& timerId, double delayMs, uint32_t wParam);

    TProject& m_project;
    TPlaybackMediaList& m_media;
    TPlaybackHost& m_host;
    TMMTimer& m_timer;
    TPlaybackAudio* m_audio;

    TTrackBar m_trackBar;
    bool m_positionHandlingEnabled = true;
    int32_t m_currentTime = 0;
    int32_t m_playbackSpeed = 100;
    int32_t m_stepFrames = 1;
    uint32_t m_timerPeriodMs = 0;
    int64_t m_startClockMs = 0;
    int32_t m_startPositionMs = 0;
    std::vector<TTimerInfo> m_groups;
    std::vector<TMMTimer::TTimerId> m_audioStartTimers; // one per audio output
    uint32_t m_generation = 0;
    // Some medium shows a preview picture rather than its exact frame.
    bool m_isPreviewShown = false;
    std::function<bool(int32_t index)> m_mediaInUse;
};
