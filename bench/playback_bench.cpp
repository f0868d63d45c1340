// Multi-camera playback on generated 1280 x 720 25 fps H.264 clips, through
// the same pieces the main window uses (video window list, playback clock,
// one-shot timer thread, window messages), on the offscreen platform.
//
// Sections (all by default, or the one named as the first argument):
// - play: 1, 2, 4 and 6 cameras at speed 100 for 30 s each: frames dropped
//   after the first second, effective frame rate of the group, CPU share of
//   the two cores; and the cost of one tick split into fetch (decode and
//   convert), paint and list refresh (event and title lists over 100,000
//   events), at 1 and 4 cameras.
// - seek: 50 slider moves to random positions with 4 cameras, until every
//   window shows the new frame.
// - memory: 4 cameras playing for 10 minutes (looping the clip, with a seek
//   every 10 s): resident memory over time.
// - overlays: 4 cameras with a tracker's 500 rectangles active at every tick
//   (125 labelled ones per camera), playing 10 s at a time with "Draw" off
//   and on in turn: frames dropped and the tick's cost either way.
//
// Every figure is printed with a baseline measured in the same run (the
// machine is shared: read the ratios): decode capacity of the backend alone,
// the frame period, and the bare backend seek.
//
// Usage: playback_bench [play|seek|memory|overlays] [clip folder]
// The clip is written once into the folder (default: a temporary folder).

#include "bench/hard_clip.h"
#include "media/registry/registry.h"
#include "platform/mm_timer.h"
#include "platform/window_message.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_video_list.h"
#include "views/core/event_overlays.h"
#include "views/list_grids.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QScrollBar>
#include <QSlider>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using TSteady = std::chrono::steady_clock;

constexpr int32_t ClipFrames = HardClipFrames; // 30 s at 25 fps
constexpr double FramePeriodMs = 40.0;

double MsSince(TSteady::time_point from) {
    return std::chrono::duration<double, std::milli>(TSteady::now() - from).count();
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double StatusMiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stod(line.substr(prefix.size())) / 1024.0;
    return 0;
}

// Decode capacity of the backend alone: frames per second reading `count`
// copies of the clip in turn, frame by frame.
double DecodeCapacityFps(const std::string& clip, int count, int32_t frames) {
    std::vector<std::unique_ptr<TAVFile>> files;
    for (int i = 0; i < count; ++i)
        files.push_back(OpenMedia(clip, TAVFile::StreamVideo));
    const auto started = TSteady::now();
    for (int32_t frame = 0; frame < frames; ++frame)
        for (auto& file : files)
            file->GetFrameAt(frame);
    return frames * count / (MsSince(started) / 1000.0);
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

// Wall time and the UI thread's own CPU time of a piece of the tick: on two
// cores shared with the decoder threads the first also holds the time the
// scheduler gave the UI thread's core to them.
struct TCost {
    double totalMs = 0;
    double cpuMs = 0;
    int64_t count = 0;
    void Add(double ms, double cpu = 0) {
        totalMs += ms;
        cpuMs += cpu;
        ++count;
    }
    double Mean() const { return count ? totalMs / static_cast<double>(count) : 0; }
    double CpuMean() const { return count ? cpuMs / static_cast<double>(count) : 0; }
};

// Where a tick stands against its frame's due time (milliseconds after it):
// a drop follows a tick that started late or one that ran long.
struct TTickTiming {
    std::vector<double> StartLateMs; // every tick
    std::vector<double> DurationMs;  // every tick
    std::vector<double> DroppingStartLateMs;
    std::vector<double> DroppingDurationMs;
    void Clear() { *this = TTickTiming{}; }
};

struct TTickCosts {
    TCost fetch; // per medium
    TCost paint; // per window
    TCost lists; // per tick
    TCost tick;  // whole tick
    int64_t fetchesInWindow = 0;
    TTickTiming timing;
};

// The clock's view of a video window, timing what it is asked to do.
class TTimedMedium final : public TPlaybackMedium {
public:
    TTimedMedium(TPlaybackMedium& inner, TTickCosts& costs) : m_inner(inner), m_costs(costs) {}
    TAVFile* MediaFile() override { return m_inner.MediaFile(); }
    int32_t Offset() const override { return m_inner.Offset(); }
    void FetchFrame(int32_t frame) override {
        const auto started = TSteady::now();
        m_inner.FetchFrame(frame);
        m_costs.fetch.Add(MsSince(started));
        ++m_costs.fetchesInWindow;
    }
    void Paint() override {
        const auto started = TSteady::now();
        const double cpu = ThreadCpuMs();
        m_inner.Paint();
        m_costs.paint.Add(MsSince(started), ThreadCpuMs() - cpu);
    }
    void CommitMouseRegion() override { m_inner.CommitMouseRegion(); }
    bool IsAudioEnabled() const override { return m_inner.IsAudioEnabled(); }
    void ShowPlaybackRate(double fps, int32_t dropped) override { m_inner.ShowPlaybackRate(fps, dropped); }

private:
    TPlaybackMedium& m_inner;
    TTickCosts& m_costs;
};

class TTimedList final : public TPlaybackMediaList {
public:
    TTimedList(TFormVideoList& list, TTickCosts& costs) {
        for (int32_t i = 0; i < list.Count(); ++i)
            m_media.push_back(std::make_unique<TTimedMedium>(list.Medium(i), costs));
    }
    int32_t MediumCount() const override { return static_cast<int32_t>(m_media.size()); }
    TPlaybackMedium& Medium(int32_t index) override { return *m_media[static_cast<size_t>(index)]; }

private:
    std::vector<std::unique_ptr<TTimedMedium>> m_media;
};

// The main window's part: slider, status panels, and the window message
// receiver that hands ticks to the clock.
class TBenchWindow final : public QWidget, public TPlaybackHost {
public:
    explicit TBenchWindow(TTickCosts& costs) : m_costs(costs) {
        m_slider = new QSlider(Qt::Horizontal, this);
        for (auto& panel : m_panels)
            panel = new QLabel(this);
    }
    void SetClock(TPlaybackClock* clock) { m_clock = clock; }
    // When playback started from position 0 (just after Play returned):
    // frame f is due f periods later.
    TSteady::time_point PlayStarted;
    // The "Draw" check box of the event panel.
    bool IsDrawChecked = false;

    void TrackBarChanged(const TTrackBar& trackBar) override {
        const QSignalBlocker blocker(m_slider);
        m_slider->setRange(0, trackBar.Maximum);
        m_slider->setValue(trackBar.Position);
        m_slider->setPageStep(trackBar.PageSize);
    }
    void SetStatusTexts(const QString& time, const QString& millisecond, const QString& frame) override {
        m_panels[0]->setText(time);
        m_panels[1]->setText(millisecond);
        m_panels[2]->setText(frame);
    }
    // The event and title lists of the main window's panels, over the
    // rig's project; the clock refreshes them at every tick.
    void AttachLists(TProject& project, std::function<int32_t()> currentTime,
                     TFormVideoList* overlaid = nullptr) {
        m_eventGrid = new QTableWidget(1, 4, this);
        m_eventGrid->resize(560, 400);
        m_eventBar = new QScrollBar(this);
        m_titleGrid = new QTableWidget(1, 2, this);
        m_titleBar = new QScrollBar(this);
        TEventListHooks hooks;
        hooks.Clock = [currentTime, this] {
            return TListClock{currentTime(), TTimeFormat::Milliseconds, std::max(m_slider->pageStep(), 1)};
        };
        if (overlaid) {
            // As the main window's hooks do: every window's shapes cleared,
            // then built from the events while "Draw" is on.
            hooks.IsDrawChecked = [this] { return IsDrawChecked; };
            hooks.ClearOverlays = [overlaid] {
                for (int32_t i = 0; i < overlaid->Count(); ++i)
                    overlaid->Window(i).ClearOverlays();
            };
            hooks.BuildOverlays = [this, &project, overlaid, currentTime,
                                   values = std::make_shared<TOverlayValues>()] {
                const TListClock clock{currentTime(), TTimeFormat::Milliseconds,
                                       std::max(m_slider->pageStep(), 1)};
                const auto targetFor = [overlaid](double camera) -> TOverlayTarget* {
                    for (int32_t i = 0; i < overlaid->Count(); ++i)
                        if (overlaid->Window(i).Camera == camera)
                            return &overlaid->Window(i);
                    return nullptr;
                };
                BuildEventOverlays(project, m_eventList->State().Cursor(), clock, false, targetFor, *values);
            };
        }
        m_eventList = std::make_unique<TEventListGrid>(*m_eventGrid, *m_eventBar, project, std::move(hooks));
        m_titleList = std::make_unique<TTitleListGrid>(*m_titleGrid, *m_titleBar, project, currentTime,
                                                       std::function<void()>{});
    }
    void RefreshEventList(bool incremental, bool follow) override {
        m_listsStarted = TSteady::now();
        m_listsCpuMs = ThreadCpuMs();
        if (m_eventList)
            m_eventList->RefreshEventList(incremental, follow);
    }
    void RefreshTitleList(bool incremental, bool follow) override {
        if (m_titleList)
            m_titleList->RefreshTitleList(incremental, follow);
        m_costs.lists.Add(MsSince(m_listsStarted), ThreadCpuMs() - m_listsCpuMs);
    }
    void RenderOutput() override {}
    void SetTimelinePosition(int32_t) override {}
    void RefreshTimeline() override {}
    void RepaintTimeline() override {}
    void SetEditingEnabled(bool) override {}
    void PostTimerMessage(uint32_t wParam) override { PostWindowMessage(this, WM_TIMER, wParam, 0); }

protected:
    bool event(QEvent* event) override {
        if (event->type() != TWindowMessageEvent::EventType())
            return QWidget::event(event);
        const auto& message = static_cast<const TWindowMessageEvent&>(*event);
        const auto started = TSteady::now();
        const double cpu = ThreadCpuMs();
        const bool timed = !m_clock->Groups().empty();
        const int32_t frame = timed ? m_clock->Groups()[0].Frame : 0;
        const int32_t dropped = timed ? m_clock->Groups()[0].Dropped : 0;
        m_clock->HandleTimerMessage(message.WParam());
        const double duration = MsSince(started);
        m_costs.tick.Add(duration, ThreadCpuMs() - cpu);
        if (timed && !m_clock->Groups().empty()) {
            const double late = std::chrono::duration<double, std::milli>(started - PlayStarted).count() -
                                frame * FramePeriodMs;
            TTickTiming& timing = m_costs.timing;
            timing.StartLateMs.push_back(late);
            timing.DurationMs.push_back(duration);
            if (m_clock->Groups()[0].Dropped != dropped) {
                timing.DroppingStartLateMs.push_back(late);
                timing.DroppingDurationMs.push_back(duration);
            }
        }
        return true;
    }

private:
    TTickCosts& m_costs;
    TPlaybackClock* m_clock = nullptr;
    QSlider* m_slider;
    QLabel* m_panels[3];
    TSteady::time_point m_listsStarted;
    double m_listsCpuMs = 0;
    QTableWidget* m_eventGrid = nullptr;
    QScrollBar* m_eventBar = nullptr;
    QTableWidget* m_titleGrid = nullptr;
    QScrollBar* m_titleBar = nullptr;
    std::unique_ptr<TEventListGrid> m_eventList;
    std::unique_ptr<TTitleListGrid> m_titleList;
};

// The annotation the lists show while the bench plays: 100,000 events over
// ten minutes (about seven passing every tick) and a title every 10 s.
void FillAnnotation(TProject& project) {
    project.AddEventType(TEventType(QStringLiteral("Gaze")));
    std::vector<std::unique_ptr<TEvent>> events;
    constexpr int32_t count = 100'000;
    events.reserve(count);
    for (int32_t i = 0; i < count; ++i)
        events.push_back(
            std::make_unique<TEvent>(0, i * 6, QStringLiteral("look %1").arg(i),
                                     TParameters{{QStringLiteral("Person"), QStringLiteral("Ann")}}));
    project.InsertEvents(std::move(events));
    for (int32_t time = 0; time < 600'000; time += 10'000)
        project.InsertTitle(std::make_unique<TTitle>(QStringLiteral("Scene"), time));
}

// A tracker's output over the first 20 s: 500 rectangles per frame period,
// 125 on each of cameras 1 to 4, labelled with their object number.
void FillTrackerEvents(TProject& project) {
    const int32_t type = project.AddEventType(TEventType(QStringLiteral("Person")));
    std::vector<std::unique_ptr<TEvent>> events;
    for (int32_t frame = 0; frame < 500; ++frame)
        for (int32_t i = 0; i < 500; ++i) {
            const int32_t x = (i * 37 + frame) % 1200;
            const int32_t y = (i * 53) % 640;
            TParameters parameters{{QStringLiteral("Camera"), QString::number(1 + i % 4)},
                                   {QStringLiteral("MinX"), QString::number(x)},
                                   {QStringLiteral("MinY"), QString::number(y)},
                                   {QStringLiteral("MaxX"), QString::number(x + 60)},
                                   {QStringLiteral("MaxY"), QString::number(y + 70)},
                                   {QStringLiteral("Object"), QString::number(i)}};
            events.push_back(std::make_unique<TEvent>(type, frame * static_cast<int32_t>(FramePeriodMs),
                                                      QString(), std::move(parameters)));
        }
    project.InsertEvents(std::move(events));
}

struct TRig {
    TRig(const std::string& clip, int cameras, bool tracked = false) : window(costs), list(nullptr, nullptr) {
        for (int i = 0; i < cameras; ++i)
            if (list.AddFile(QString::fromStdString(clip)) < 0)
                throw std::runtime_error("the clip does not open");
        timed = std::make_unique<TTimedList>(list, costs);
        FillAnnotation(project);
        if (tracked) {
            FillTrackerEvents(project);
            for (int i = 0; i < cameras; ++i)
                list.Window(i).Camera = i + 1;
        }
        clock = std::make_unique<TPlaybackClock>(project, *timed, window, timer);
        window.SetClock(clock.get());
        window.AttachLists(
            project, [this] { return clock->CurrentTime(); }, tracked ? &list : nullptr);
        for (int i = 0; i < cameras; ++i)
            clock->MediumAdded(i);
    }
    ~TRig() { clock->Stop(false); }

    TTickCosts costs;
    TProject project;
    TThreadMMTimer timer;
    TBenchWindow window;
    TFormVideoList list;
    std::unique_ptr<TTimedList> timed;
    std::unique_ptr<TPlaybackClock> clock;
};

void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void PlaySection(const std::string& clip, double capacityOneFps) {
    std::printf("\nPlayback at speed 100 for 30 s, after the first second (ratios: frames shown per camera / "
                "25 fps; position advance / wall time; drops / frames due; CPU / 2 cores):\n");
    std::printf("  %-8s %-14s %-10s %-14s %-9s %-11s %-10s\n", "cameras", "effective fps", "fps ratio",
                "position rate", "dropped", "drop ratio", "CPU share");
    TTickCosts oneCamera;
    TTickCosts fourCameras;
    for (int cameras : {1, 2, 4, 6}) {
        TRig rig(clip, cameras);
        rig.clock->Play();
        RunEventsFor(1000);
        const int32_t droppedAtOne = rig.clock->Groups().empty() ? 0 : rig.clock->Groups()[0].Dropped;
        const int32_t positionAtOne = rig.clock->PositionMs();
        rig.costs = TTickCosts{};
        const double cpu = CpuSeconds();
        const auto started = TSteady::now();
        RunEventsFor(29000);
        const double seconds = MsSince(started) / 1000.0;
        const double cpuShare = (CpuSeconds() - cpu) / seconds / 2.0;
        const TTimerInfo& group = rig.clock->Groups()[0];
        const int32_t dropped = group.Dropped - droppedAtOne;
        const double effective = static_cast<double>(rig.costs.fetchesInWindow) / cameras / seconds;
        const double due = seconds * 25.0;
        const double positionRate = (rig.clock->PositionMs() - positionAtOne) / (seconds * 1000.0);
        std::printf(
            "  %-8d %-14.2f %-10.3f %-14.3f %-9d %-11.4f %-10.3f (last rate the clock measured: %.2f fps)\n",
            cameras, effective, effective / 25.0, positionRate, dropped, dropped / due, cpuShare, group.Fps);
        std::fflush(stdout);
        if (cameras == 1)
            oneCamera = rig.costs;
        if (cameras == 4)
            fourCameras = rig.costs;
    }
    std::printf("\nTick cost (means; ratio = share of the 40 ms frame period):\n");
    for (const auto& [cameras, costs] : {std::pair{1, oneCamera}, std::pair{4, fourCameras}}) {
        const double fetchPerTick = costs.fetch.Mean() * cameras;
        const double paintPerTick = costs.paint.Mean() * cameras;
        std::printf(
            "  %d camera(s): tick %.2f ms (%.3f) = fetch %.2f ms (%.3f; %.2f per medium) + paint %.2f ms "
            "(%.3f; %.2f per window) + list refresh %.3f ms (100,000 events) + rest %.2f ms\n",
            cameras, costs.tick.Mean(), costs.tick.Mean() / FramePeriodMs, fetchPerTick,
            fetchPerTick / FramePeriodMs, costs.fetch.Mean(), paintPerTick, paintPerTick / FramePeriodMs,
            costs.paint.Mean(), costs.lists.Mean(),
            costs.tick.Mean() - fetchPerTick - paintPerTick - costs.lists.Mean());
    }
    std::printf("  baseline: the backend alone decodes %.1f frames/s of this clip (fetch at 1 camera / "
                "1000/capacity = %.2f)\n",
                capacityOneFps, oneCamera.fetch.Mean() / (1000.0 / capacityOneFps));
}

void SeekSection(const std::string& clip) {
    std::printf(
        "\nSlider moved to 50 random positions with 4 cameras, until every window shows the frame:\n");
    TRig rig(clip, 4);
    std::mt19937 random(11);
    std::uniform_int_distribution<int32_t> position(0, rig.clock->TrackBar().Maximum);
    std::vector<double> latencies;
    for (int i = 0; i < 50; ++i) {
        const auto started = TSteady::now();
        rig.clock->SetPosition(position(random)); // seeks, fetches and repaints every window
        QCoreApplication::processEvents();
        latencies.push_back(MsSince(started));
    }
    std::sort(latencies.begin(), latencies.end());
    // Baseline: the same positions through one bare backend, no windows.
    std::unique_ptr<TAVFile> bare = OpenMedia(clip, TAVFile::StreamVideo);
    std::mt19937 again(11);
    std::uniform_int_distribution<int32_t> frame(0, ClipFrames - 1);
    std::vector<double> bareTimes;
    for (int i = 0; i < 50; ++i) {
        const auto started = TSteady::now();
        bare->GetFrameAt(frame(again));
        bareTimes.push_back(MsSince(started));
    }
    std::sort(bareTimes.begin(), bareTimes.end());
    const double median = latencies[latencies.size() / 2];
    const double bareMedian = bareTimes[bareTimes.size() / 2];
    std::printf("  median %.1f ms, worst %.1f ms; bare single-backend seek median %.1f ms, worst %.1f ms\n",
                median, latencies.back(), bareMedian, bareTimes.back());
    std::printf(
        "  ratios: median / (4 x bare median) = %.2f, worst / (4 x bare worst) = %.2f, median / 40 ms "
        "= %.2f\n",
        median / (4 * bareMedian), latencies.back() / (4 * bareTimes.back()), median / FramePeriodMs);
}

void MemorySection(const std::string& clip) {
    std::printf("\nResident memory, 4 cameras playing 10 minutes (clip looped, a seek every 10 s):\n");
    TRig rig(clip, 4);
    std::mt19937 random(5);
    std::uniform_int_distribution<int32_t> position(0, rig.clock->TrackBar().Maximum - 2000);
    double rssAtOneMinute = 0;
    int seeks = 0;
    for (int second = 0; second < 600; ++second) {
        if (second % 10 == 0) {
            rig.clock->SetPosition(position(random));
            ++seeks;
            rig.clock->Play();
        } else if (rig.clock->PositionMs() + 1000 >= rig.clock->TrackBar().Maximum) {
            rig.clock->SetPosition(0);
            rig.clock->Play();
        }
        RunEventsFor(1000);
        if (second == 59)
            rssAtOneMinute = StatusMiB("VmRSS");
        if (second % 60 == 59) {
            std::printf("  %2d min: resident %.1f MiB, peak %.1f MiB, %d seeks so far\n", (second + 1) / 60,
                        StatusMiB("VmRSS"), StatusMiB("VmHWM"), seeks);
            std::fflush(stdout);
        }
    }
    std::printf("  ratio resident at 10 min / at 1 min = %.3f\n", StatusMiB("VmRSS") / rssAtOneMinute);
}

// Draw off and on take turns, so a change in the load of the shared machine
// touches both alike.
void OverlaysSection(const std::string& clip) {
    std::printf(
        "\n4 cameras with 500 tracked rectangles active per tick, 10 s with \"Draw\" off and on in "
        "turn, twice (drops after the first second of each turn; ratios against the 40 ms period):\n");
    TRig rig(clip, 4, true);
    struct TTotals {
        int32_t Dropped = 0;
        double Due = 0;
        TCost Tick, Paint, Lists;
        TTickTiming Timing;
    } totals[2];
    for (int turn = 0; turn < 4; ++turn) {
        const bool draw = turn % 2 == 1;
        rig.window.IsDrawChecked = draw;
        rig.clock->SetPosition(0);
        rig.clock->Play();
        // Play seeks every medium before it reads the clock it plays from.
        rig.window.PlayStarted = TSteady::now();
        RunEventsFor(1000);
        const int32_t droppedAtOne = rig.clock->Groups()[0].Dropped;
        rig.costs = TTickCosts{};
        const auto started = TSteady::now();
        RunEventsFor(9000);
        const double seconds = MsSince(started) / 1000.0;
        TTotals& sum = totals[draw];
        sum.Dropped += rig.clock->Groups()[0].Dropped - droppedAtOne;
        sum.Due += seconds * 25.0;
        for (const auto& [into, from] :
             {std::pair{&sum.Tick, &rig.costs.tick}, std::pair{&sum.Paint, &rig.costs.paint},
              std::pair{&sum.Lists, &rig.costs.lists}}) {
            into->totalMs += from->totalMs;
            into->cpuMs += from->cpuMs;
            into->count += from->count;
        }
        const TTickTiming& timing = rig.costs.timing;
        for (const auto& [into, from] :
             {std::pair{&sum.Timing.StartLateMs, &timing.StartLateMs},
              std::pair{&sum.Timing.DurationMs, &timing.DurationMs},
              std::pair{&sum.Timing.DroppingStartLateMs, &timing.DroppingStartLateMs},
              std::pair{&sum.Timing.DroppingDurationMs, &timing.DroppingDurationMs}})
            into->insert(into->end(), from->begin(), from->end());
        rig.clock->Stop(false);
    }
    const auto percentile = [](std::vector<double> values, double share) {
        if (values.empty())
            return 0.0;
        std::sort(values.begin(), values.end());
        return values[std::min(values.size() - 1,
                               static_cast<size_t>(share * static_cast<double>(values.size())))];
    };
    const auto mean = [](const std::vector<double>& values) {
        double total = 0;
        for (double value : values)
            total += value;
        return values.empty() ? 0.0 : total / static_cast<double>(values.size());
    };
    for (const bool draw : {false, true}) {
        const TTotals& sum = totals[draw];
        std::printf(
            "  Draw %-3s: dropped %d of %.0f frames due (%.4f); tick %.2f ms (%.3f) of which paint %.2f ms "
            "(4 windows) and list refresh %.2f ms (with the overlays' rebuild)\n",
            draw ? "on" : "off", sum.Dropped, sum.Due, sum.Dropped / sum.Due, sum.Tick.Mean(),
            sum.Tick.Mean() / FramePeriodMs, 4 * sum.Paint.Mean(), sum.Lists.Mean());
        std::printf(
            "            UI thread's CPU: tick %.2f ms (%.2f of its wall time), paint %.2f ms (%.2f), "
            "list refresh %.2f ms (%.2f)\n",
            sum.Tick.CpuMean(), sum.Tick.CpuMean() / sum.Tick.Mean(), 4 * sum.Paint.CpuMean(),
            sum.Paint.CpuMean() / sum.Paint.Mean(), sum.Lists.CpuMean(),
            sum.Lists.CpuMean() / sum.Lists.Mean());
        const TTickTiming& timing = sum.Timing;
        std::printf("            tick start after its due time: median %.1f ms, 95th %.1f ms; tick: median "
                    "%.1f ms, 95th %.1f ms, worst %.1f ms\n",
                    percentile(timing.StartLateMs, 0.5), percentile(timing.StartLateMs, 0.95),
                    percentile(timing.DurationMs, 0.5), percentile(timing.DurationMs, 0.95),
                    percentile(timing.DurationMs, 1.0));
        std::printf("            %zu ticks dropped frames after them: started late by %.1f ms, ran %.1f ms "
                    "(means; late start + run past the period: %.2f)\n",
                    timing.DroppingDurationMs.size(), mean(timing.DroppingStartLateMs),
                    mean(timing.DroppingDurationMs),
                    (mean(timing.DroppingStartLateMs) + mean(timing.DroppingDurationMs)) / FramePeriodMs);
    }
    std::printf("  extra drops with Draw: %d; extra per tick: %.2f ms (UI thread's CPU: %.2f ms)\n",
                totals[1].Dropped - totals[0].Dropped, totals[1].Tick.Mean() - totals[0].Tick.Mean(),
                totals[1].Tick.CpuMean() - totals[0].Tick.CpuMean());
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string only = argc > 1 ? argv[1] : "";
    const std::filesystem::path folder = argc > 2
                                             ? std::filesystem::path(argv[2])
                                             : std::filesystem::temp_directory_path() / "scenemark-bench";
    std::filesystem::create_directories(folder);
    const std::string clip = EnsureHardClip(folder);

    const double capacityOne = DecodeCapacityFps(clip, 1, 250);
    const double capacityFour = DecodeCapacityFps(clip, 4, 100);
    std::printf(
        "Decode capacity of the backend alone (decoder threads as the backend sets them): 1 clip %.1f "
        "frames/s = %.2f x real time; 4 clips in turn %.1f frames/s = %.2f x the 100 frames/s they need\n",
        capacityOne, capacityOne / 25.0, capacityFour, capacityFour / 100.0);

    if (only.empty() || only == "play")
        PlaySection(clip, capacityOne);
    if (only.empty() || only == "seek")
        SeekSection(clip);
    if (only.empty() || only == "memory")
        MemorySection(clip);
    if (only.empty() || only == "overlays")
        OverlaysSection(clip);
    return 0;
}
