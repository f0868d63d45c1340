#pragma once
// The main-window side of the playback clock: the position slider it
// mirrors, the status bar, and the views refreshed after a change of the
// current time. The clock calls each of these from exactly one place per
// step of its algorithms; a view that does not exist yet implements its call
// as nothing.
//
// Threads: PostTimerMessage may be called from any thread (timer callbacks
// run on the timer's thread); everything else from the window thread only.

#include <QString>

#include <cstdint>

// The position slider as the clock keeps it. All values are milliseconds.
struct TTrackBar {
    int32_t Position = 0; // always within 0...Maximum
    int32_t Maximum = 0;  // end of the longest video medium, offset included
    int32_t PageSize = 1; // the shortest frame period, at least 1
    int32_t TickSpacing = 10;
};

class TPlaybackHost {
public:
    virtual ~TPlaybackHost() = default;

    // The slider must show these values without reporting a change back.
    virtual void TrackBarChanged(const TTrackBar& trackBar) = 0;
    // The three status bar panels: "Time: ...", "Millisecond: ...", "Frame: ...".
    virtual void SetStatusTexts(const QString& time, const QString& millisecond, const QString& frame) = 0;

    virtual void RefreshEventList(bool incremental, bool follow) = 0;
    virtual void RefreshTitleList(bool incremental, bool follow) = 0;
    virtual void RenderOutput() = 0;
    virtual void SetTimelinePosition(int32_t positionMs) = 0;
    virtual void RefreshTimeline() = 0;
    virtual void RepaintTimeline() = 0;
    // Enables or disables the commands that need open media.
    virtual void SetEditingEnabled(bool enabled) = 0;
    // The user holds the slider's handle: positions are passing by, and a
    // cheap picture near each one serves until the release.
    virtual bool IsTrackBarHeld() const { return false; }

    // Queues the timer message (WM_TIMER, first parameter wParam, second 0)
    // for the window thread, which hands it back to
    // TPlaybackClock::HandleTimerMessage. Must not throw.
    virtual void PostTimerMessage(uint32_t wParam) = 0;
};
