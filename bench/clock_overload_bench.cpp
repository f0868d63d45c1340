// Two cameras (25 and 30 frames per second) played by the playback clock
// while the 25 fps one needs 1.8 frame periods to decode a frame, skipping
// costs a decode per frame and a seek four decodes: how far apart the
// cameras' pictures get, how far CurrentTime steps back, and whether the
// position's trail behind the wall clock grows. Once on the fake clock (exact
// costs), once on the real one (costs spent by spinning, timers on a
// thread). Figures are ratios against the 40 ms frame period.
//
// Usage: clock_overload_bench [seconds]   (default 60)

#include "platform/fake_mm_timer.h"
#include "playback/playback_clock.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using TSpend = std::function<void(int64_t ms)>;

class TBenchClip : public TAVFile {
public:
    TBenchClip(uint32_t rate, int64_t skipMs, int64_t seekMs, TSpend spend)
        : m_skipMs(skipMs), m_seekMs(seekMs), m_spend(std::move(spend)) {
        SetVideoFormat(8, 8, rate, 1);
        m_mode = ModeRead;
        m_streams = StreamVideo;
    }
    int32_t GetVideoLength() override { return 1000000; }
    int32_t SetVideoPosition(int32_t index) override { return m_videoPosition = index; }
    uint8_t* GetBitmapAt(int32_t index) override {
        m_videoPosition = index + 1;
        return m_pixel;
    }
    void Seek(int32_t index) override {
        m_spend(m_seekMs);
        m_videoPosition = index;
    }
    int32_t SkipFrames(int32_t count) override {
        m_spend(m_skipMs * count);
        return m_videoPosition += count;
    }

private:
    int64_t m_skipMs;
    int64_t m_seekMs;
    TSpend m_spend;
    uint8_t m_pixel[4] = {};
};

struct TShown {
    int64_t atMs;
    int64_t pictureMs;
};

class TBenchMedium : public TPlaybackMedium {
public:
    TBenchMedium(uint32_t rate, int64_t fetchMs, int64_t skipMs, int64_t seekMs, TSpend spend,
                 std::function<int64_t()> now)
        : m_clip(rate, skipMs, seekMs, spend), m_rate(rate), m_fetchMs(fetchMs), m_spend(std::move(spend)),
          m_now(std::move(now)) {}
    TAVFile* MediaFile() override { return &m_clip; }
    int32_t Offset() const override { return 0; }
    void FetchFrame(int32_t frame) override {
        m_spend(m_fetchMs);
        m_clip.GetBitmapAt(frame);
        Shown.push_back({m_now(), int64_t{frame} * 1000 / m_rate});
    }
    void Paint() override {}
    void CommitMouseRegion() override {}
    bool IsAudioEnabled() const override { return false; }
    void ShowPlaybackRate(double, int32_t) override {}

    std::vector<TShown> Shown;

private:
    TBenchClip m_clip;
    uint32_t m_rate;
    int64_t m_fetchMs;
    TSpend m_spend;
    std::function<int64_t()> m_now;
};

class TBenchMedia : public TPlaybackMediaList {
public:
    int32_t MediumCount() const override { return static_cast<int32_t>(Items.size()); }
    TPlaybackMedium& Medium(int32_t index) override { return *Items[static_cast<size_t>(index)]; }
    std::vector<std::unique_ptr<TBenchMedium>> Items;
};

class TBenchHost : public TPlaybackHost {
public:
    void TrackBarChanged(const TTrackBar&) override {}
    void SetStatusTexts(const QString&, const QString&, const QString&) override {}
    void RefreshEventList(bool, bool) override {}
    void RefreshTitleList(bool, bool) override {}
    void RenderOutput() override {}
    void SetTimelinePosition(int32_t) override {}
    void RefreshTimeline() override {}
    void RepaintTimeline() override {}
    void SetEditingEnabled(bool) override {}
    void PostTimerMessage(uint32_t wParam) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_queue.push_back(wParam);
        }
        m_ready.notify_one();
    }
    bool TryTake(uint32_t& wParam) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_queue.empty())
            return false;
        wParam = m_queue.front();
        m_queue.pop_front();
        return true;
    }
    bool WaitTake(uint32_t& wParam, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_ready.wait_for(lock, timeout, [&] { return !m_queue.empty(); }))
            return false;
        wParam = m_queue.front();
        m_queue.pop_front();
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<uint32_t> m_queue;
};

struct TFigures {
    int64_t worstSkewMs = 0;
    int64_t worstBackStepMs = 0;
    int64_t trailFirstMs = 0; // worst trail in the first tenth of the run
    int64_t trailLastMs = 0;  // and in the last
    int64_t ticks = 0;
};

// Runs the two cameras; next(wParam) delivers the next timer message or
// returns false when the run is over.
TFigures Run(TMMTimer& timer, TBenchHost& host, const TSpend& spend, const std::function<int64_t()>& now,
             const std::function<bool(uint32_t&)>& next) {
    TProject project;
    TBenchMedia media;
    TPlaybackClock clock(project, media, host, timer);
    media.Items.push_back(std::make_unique<TBenchMedium>(25, 72, 40, 160, spend, now));
    media.Items.push_back(std::make_unique<TBenchMedium>(30, 4, 4, 16, spend, now));
    for (int32_t i = 0; i < 2; ++i)
        clock.MediumAdded(i);
    clock.Play();
    const int64_t startMs = now();
    TFigures figures;
    std::vector<std::pair<int64_t, int64_t>> trail; // (wall, wall - position)
    int32_t previousTime = 0;
    uint32_t wParam = 0;
    while (next(wParam)) {
        clock.HandleTimerMessage(wParam);
        ++figures.ticks;
        figures.worstBackStepMs =
            std::max<int64_t>(figures.worstBackStepMs, previousTime - clock.CurrentTime());
        previousTime = clock.CurrentTime();
        trail.emplace_back(now() - startMs, now() - startMs - clock.PositionMs());
    }
    clock.Stop(false);
    const int64_t endMs = trail.empty() ? 0 : trail.back().first;
    for (const auto& [atMs, trailMs] : trail) {
        if (atMs < endMs / 10)
            figures.trailFirstMs = std::max(figures.trailFirstMs, trailMs);
        if (atMs > endMs * 9 / 10)
            figures.trailLastMs = std::max(figures.trailLastMs, trailMs);
    }
    const std::vector<TShown>& slow = media.Items[0]->Shown;
    const std::vector<TShown>& fast = media.Items[1]->Shown;
    for (size_t i = 0, j = 0; i < slow.size(); ++i) {
        while (j + 1 < fast.size() && fast[j + 1].atMs <= slow[i].atMs)
            ++j;
        if (!fast.empty())
            figures.worstSkewMs =
                std::max(figures.worstSkewMs, std::abs(slow[i].pictureMs - fast[j].pictureMs));
    }
    return figures;
}

void Print(const char* label, const TFigures& figures) {
    const double periodMs = 40;
    std::printf(
        "%-12s %6lld ticks  worst skew %4lld ms (%.2f periods)  worst step back %4lld ms (%.2f periods)  "
        "trail first tenth %4lld ms, last tenth %4lld ms (ratio %.2f)\n",
        label, static_cast<long long>(figures.ticks), static_cast<long long>(figures.worstSkewMs),
        figures.worstSkewMs / periodMs, static_cast<long long>(figures.worstBackStepMs),
        figures.worstBackStepMs / periodMs, static_cast<long long>(figures.trailFirstMs),
        static_cast<long long>(figures.trailLastMs),
        figures.trailFirstMs > 0 ? static_cast<double>(figures.trailLastMs) / figures.trailFirstMs : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    const int64_t seconds = argc > 1 ? std::atoll(argv[1]) : 60;
    std::printf("25 fps camera: decode 72 ms (1.8 periods), skip 40 ms a frame, seek 160 ms; 30 fps camera: "
                "4 ms, 4 ms, 16 ms; %lld s\n",
                static_cast<long long>(seconds));
    {
        TFakeMMTimer timer;
        TBenchHost host;
        const TSpend spend = [&](int64_t ms) { timer.MutableClock().AdvanceMs(ms); };
        const auto now = [&] { return timer.Clock().NowMs(); };
        const int64_t endMs = seconds * 1000;
        Print("fake clock", Run(timer, host, spend, now, [&](uint32_t& wParam) {
                  while (!host.TryTake(wParam)) {
                      if (now() >= endMs || !timer.FireNext())
                          return false;
                  }
                  return now() < endMs;
              }));
    }
    {
        TThreadMMTimer timer;
        TBenchHost host;
        const auto now = [&] { return timer.Clock().NowMs(); };
        const TSpend spend = [&](int64_t ms) {
            const int64_t until = now() + ms;
            while (now() < until) {
            }
        };
        const int64_t endMs = now() + seconds * 1000;
        Print("real clock", Run(timer, host, spend, now, [&](uint32_t& wParam) {
                  return now() < endMs && host.WaitTake(wParam, std::chrono::milliseconds(1000));
              }));
    }
    return 0;
}
