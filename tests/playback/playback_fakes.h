#pragma once
// Test doubles around the playback clock: a synthetic clip (a media file with
// a length and a rate but no pixels), a medium that fetches from it like a
// video window does, the media set, and a host that records what the clock
// told the main window and queues its timer messages.

#include "media/av_file.h"
#include "platform/fake_mm_timer.h"
#include "playback/playback_clock.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class TTestClip : public TAVFile {
public:
    TTestClip(uint32_t rate, uint32_t scale, int32_t frameCount, int32_t streams = StreamVideo,
              int32_t flags = 0);

    int32_t GetVideoLength() override;
    int32_t SetVideoPosition(int32_t index) override;
    uint8_t* GetBitmapAt(int32_t index) override;
    void Seek(int32_t index) override;
    int32_t SkipFrames(int32_t count) override;
    int32_t GetAudioLength() override;
    void SkipAudio() override;

    std::vector<int32_t> Seeks;
    std::vector<int32_t> Skips;
    int32_t AudioSkips = 0;
    int32_t FailingFrame = -1; // GetBitmapAt of this frame raises "Could not get frame!"
    // Skipping decodes: each skipped frame moves this clock on by SkipCostMs.
    TFakeClock* Clock = nullptr;
    int64_t SkipCostMs = 0;
    int64_t SeekCostMs = 0; // a seek decodes from the nearest key frame

private:
    int32_t m_frameCount;
    uint8_t m_pixel[4] = {};
};

class TTestMedium : public TPlaybackMedium {
public:
    // fetchCostMs: fake milliseconds every fetch takes (decode time).
    TTestMedium(std::unique_ptr<TTestClip> clip, int32_t offsetMs, TFakeClock& clock,
                int64_t fetchCostMs = 0);

    TAVFile* MediaFile() override { return Clip.get(); }
    int32_t Offset() const override { return OffsetMs; }
    void FetchFrame(int32_t frame) override;
    void PreviewFrame(int32_t frame) override;
    void Paint() override;
    void CommitMouseRegion() override { ++Commits; }
    bool IsAudioEnabled() const override { return AudioEnabled; }
    void ShowPlaybackRate(double fps, int32_t dropped) override {
        Fps = fps;
        Dropped = dropped;
    }

    std::unique_ptr<TTestClip> Clip;
    int32_t OffsetMs;
    bool AudioEnabled = false;
    std::vector<int32_t> Fetched;
    std::vector<int32_t> Previewed;
    std::vector<int64_t> FetchedAtMs; // clock when each fetch began
    // Runs inside every fetch and preview, on whichever thread does it.
    std::function<void()> OnFetch;
    int32_t Paints = 0;
    // Fake milliseconds the n-th paint takes; the last one holds for the
    // paints after it (none: paints take no time).
    std::vector<int64_t> PaintCostsMs;
    int32_t Commits = 0;
    double Fps = -1;
    int32_t Dropped = -1;

private:
public:
    int64_t FetchCostMs;

private:
    TFakeClock& m_clock;
};

class TTestMediaList : public TPlaybackMediaList {
public:
    int32_t MediumCount() const override { return static_cast<int32_t>(Items.size()); }
    TPlaybackMedium& Medium(int32_t index) override { return *Items[static_cast<size_t>(index)]; }
    TTestMedium& At(int32_t index) { return *Items[static_cast<size_t>(index)]; }

    std::vector<std::unique_ptr<TTestMedium>> Items;
};

class TRecordingHost : public TPlaybackHost {
public:
    void TrackBarChanged(const TTrackBar& trackBar) override { Slider = trackBar; }
    void SetStatusTexts(const QString& time, const QString& millisecond, const QString& frame) override;
    void RefreshEventList(bool incremental, bool follow) override;
    void RefreshTitleList(bool incremental, bool follow) override;
    void RenderOutput() override { Log.append("output"); }
    void SetTimelinePosition(int32_t positionMs) override {
        Log.append(QString("timeline %1").arg(positionMs));
    }
    void RefreshTimeline() override { Log.append("refresh timeline"); }
    void RepaintTimeline() override { Log.append("repaint timeline"); }
    void SetEditingEnabled(bool enabled) override { EditingEnabled.push_back(enabled); }
    void PostTimerMessage(uint32_t wParam) override { Posted.push_back(wParam); }
    bool IsTrackBarHeld() const override { return TrackBarHeld; }

    bool TrackBarHeld = false;
    TTrackBar Slider;
    QStringList Status;
    QStringList Log;
    std::vector<bool> EditingEnabled;
    std::deque<uint32_t> Posted;
};

// A project, media set, host, fake timer and the clock over them, with helpers
// that deliver timer messages the way the window thread would.
class TPlaybackRig {
public:
    TPlaybackRig();

    TTestMedium& AddMedium(uint32_t rate, uint32_t scale, int32_t frameCount, int32_t offsetMs = 0,
                           int64_t fetchCostMs = 0, int32_t streams = TAVFile::StreamVideo,
                           int32_t flags = 0);
    // Delivers queued messages until none is left.
    void Pump();
    // Runs the window thread for durationMs of fake time: timers fire at
    // their deadlines and their messages are handled at once.
    void RunFor(int64_t durationMs);
    int64_t NowMs() const { return Timer.Clock().NowMs(); }

    TProject Project;
    TTestMediaList Media;
    TRecordingHost Host;
    TFakeMMTimer Timer;
    TPlaybackClock Clock;
};
