// How long a recorded event takes to appear, from the key press to the event
// list, the timeline rows and the event grid, through the real main window:
// its application-wide key filter, the event command, RecordEvent and the
// views' refreshes, on the offscreen platform.
//
// A thread plays the keyboard: every 97 ms (so presses fall at every phase of
// the 40 ms frame ticks) it posts a press and release of the event type's hot
// key to the main window's top-level window, as the platform does, followed
// by a probe event. Per press:
//  - queue: until the key filter sees the key (the UI thread was busy);
//  - list: until the event is in the project's event list (seen by a
//    project listener added after the time line's and the grid's own, so
//    it includes what they do at once: the time line redraws its picture);
//  - timeline: until the shown time line holds it in its rows;
//  - grid: until the event grid shows its row (index and cells), checked
//    whenever the grid's cells change and when the probe arrives right
//    behind the key, then every millisecond for a second ("unseen" after
//    that).
// All from the moment the key was posted.
//
// Scenarios, run in this order in one process:
//  1. baseline: no other events, playback stopped;
//  2. 100,000 events, playback stopped;
//  3. 100,000 events, 4 cameras (the 720p H.264 camera clip) playing;
//  4. as 3 with the session journal observing the project and writing to a
//     file, its presses in blocks taking turns with those of 3.
// Figures are printed as medians and worst cases, with ratios to the
// baseline and to one frame period (40 ms).
//
// Usage: record_latency_bench [presses, default 200] [clip folder]
// The clip is written once into the folder (default: a folder in the
// temporary directory that later runs reuse).

#include "bench/hard_clip.h"
#include "document/session_journal.h"
#include "document/ui/form_main.h"
#include "platform/window_message.h"
#include "playback/playback_clock.h"
#include "views/form_time_line.h"
#include "views/list_grids.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QInputDevice>
#include <QKeyEvent>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <thread>
#include <vector>

namespace {

using TSteady = std::chrono::steady_clock;

constexpr auto PressInterval = std::chrono::milliseconds(97);
constexpr double FramePeriodMs = 40.0;
constexpr int32_t BackgroundEvents = 100000;
constexpr int32_t Cameras = 4;
constexpr THotKey PressKey = 113; // F2
constexpr double GiveUpMs = 1000.0;
// Scenarios 3 and 4 take turns, this many blocks in all.
constexpr int JournalBlocks = 6;
// The background events are spread over an hour of annotation (about 28 a
// second) of which the clip is the first 30 s; packed into the 30 s they
// would pass the list's rows faster than anyone could read them.
constexpr int32_t AnnotationLengthMs = 3600 * 1000;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(TSteady::now().time_since_epoch()).count();
}

struct TSample {
    int64_t PostedNs = 0; // written by the keyboard thread before posting
    int64_t QueuedNs = -1;
    int64_t ListedNs = -1;
    int64_t TimelineNs = -1;
    int64_t GridNs = -1;
    const TEvent* Event = nullptr;
};

const QEvent::Type ProbeEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class TProbeEvent final : public QEvent {
public:
    explicit TProbeEvent(std::size_t press) : QEvent(ProbeEventType), Press(press) {}
    std::size_t Press;
};

// Watches one scenario's presses on the UI thread.
class TWatcher final : public QObject, public TProjectListener {
public:
    TWatcher(TFormMain& form, int32_t pressType, std::vector<TSample>& samples)
        : m_form(form), m_pressType(pressType), m_samples(samples) {
        // Installed after the main window's key filter, so it runs first.
        qApp->installEventFilter(this);
        form.Project().AddListener(this);
        // The row may scroll away at the next playback tick, so the grid is
        // watched as it is filled, not only when the probe comes by.
        connect(form.StringGridMessages->model(), &QAbstractItemModel::dataChanged, this, [this] {
            if (m_gridPending < m_samples.size())
                CheckGrid(m_samples[m_gridPending]);
        });
    }
    ~TWatcher() override {
        m_form.Project().RemoveListener(this);
        qApp->removeEventFilter(this);
    }

    std::function<void()> OnFinished;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && watched->isWindowType() && m_queued < m_samples.size())
            m_samples[m_queued++].QueuedNs = NowNs();
        return false;
    }
    bool event(QEvent* event) override {
        if (event->type() != ProbeEventType)
            return QObject::event(event);
        Check(static_cast<TProbeEvent*>(event)->Press);
        return true;
    }
    void EventInserted(const TEvent* event) override {
        if (event->EventType != m_pressType || m_listed >= m_samples.size())
            return;
        TSample& sample = m_samples[m_listed++];
        sample.ListedNs = NowNs();
        sample.Event = event;
        m_gridPending = m_listed - 1;
        // The time line is an earlier listener of the project.
        if (m_form.FormTimeLine->Rows().Contains(event))
            sample.TimelineNs = sample.ListedNs;
    }

private:
    void Check(std::size_t press) {
        TSample& sample = m_samples[press];
        if (sample.Event != nullptr) {
            if (sample.TimelineNs < 0 && m_form.FormTimeLine->Rows().Contains(sample.Event))
                sample.TimelineNs = NowNs();
            CheckGrid(sample);
        }
        const bool isDone = sample.GridNs >= 0 && sample.TimelineNs >= 0;
        if (!isDone && static_cast<double>(NowNs() - sample.PostedNs) / 1e6 < GiveUpMs) {
            QTimer::singleShot(1, Qt::PreciseTimer, this, [this, press] { Check(press); });
            return;
        }
        if (++m_checked == m_samples.size() && OnFinished)
            OnFinished();
    }

    void CheckGrid(TSample& sample) {
        if (sample.GridNs < 0 && IsInGrid(sample.Event))
            sample.GridNs = NowNs();
    }

    bool IsInGrid(const TEvent* event) const {
        const TEvents& events = m_form.Project().Events();
        const auto first = std::lower_bound(events.begin(), events.end(), event->Time,
                                            [](const auto& item, int32_t time) { return item->Time < time; });
        int32_t index = -1;
        for (auto item = first; item != events.end() && (*item)->Time == event->Time; ++item) {
            if ((*item).get() == event) {
                index = static_cast<int32_t>(item - events.begin());
                break;
            }
        }
        if (index < 0)
            return false;
        const QStringList cells = EventToRow(*event, m_form.Project().EventTypes);
        const QTableWidget& grid = *m_form.StringGridMessages;
        for (int row = 0; row < grid.rowCount(); ++row) {
            const QTableWidgetItem* item = grid.item(row, 0);
            if (item == nullptr || item->data(RoleListIndex).toInt() != index)
                continue;
            for (int column = 0; column < grid.columnCount() && column < cells.size(); ++column) {
                const QTableWidgetItem* cell = grid.item(row, column);
                if (cell == nullptr || cell->text() != cells[column])
                    return false;
            }
            return true;
        }
        return false;
    }

    TFormMain& m_form;
    int32_t m_pressType;
    std::vector<TSample>& m_samples;
    std::size_t m_queued = 0;
    std::size_t m_listed = 0;
    std::size_t m_checked = 0;
    std::size_t m_gridPending = SIZE_MAX; // the sample whose row the grid should show next
};

std::vector<TSample> RunPresses(TFormMain& form, int32_t pressType, int presses) {
    std::vector<TSample> samples(static_cast<std::size_t>(presses));
    TWatcher watcher(form, pressType, samples);
    QEventLoop loop;
    watcher.OnFinished = [&loop] { loop.quit(); };
    QWindow* window = form.windowHandle();
    // Key events made on the keyboard thread refer to the primary keyboard
    // device, which must be created on the UI thread.
    QInputDevice::primaryKeyboard();
    std::atomic<bool> isCancelled{false};
    std::thread keyboard([&] {
        auto next = TSteady::now() + PressInterval;
        for (std::size_t i = 0; i < samples.size() && !isCancelled; ++i) {
            std::this_thread::sleep_until(next);
            next += PressInterval;
            samples[i].PostedNs = NowNs();
            QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier));
            QCoreApplication::postEvent(window,
                                        new QKeyEvent(QEvent::KeyRelease, Qt::Key_F2, Qt::NoModifier));
            QCoreApplication::postEvent(&watcher, new TProbeEvent(i));
        }
    });
    // A hung main window ends the run instead of the benchmark.
    QTimer::singleShot(static_cast<int>(presses * PressInterval.count() + 10000), &loop, [&] {
        std::fprintf(stderr, "timed out\n");
        loop.quit();
    });
    loop.exec();
    isCancelled = true;
    keyboard.join();
    QCoreApplication::processEvents();
    return samples;
}

struct TFigure {
    double Median = 0;
    double Worst = 0;
    int Missing = 0;
};

TFigure Summarise(const std::vector<TSample>& samples, int64_t TSample::*field) {
    std::vector<double> values;
    TFigure figure;
    for (const TSample& sample : samples) {
        if (sample.*field < 0)
            ++figure.Missing;
        else
            values.push_back(static_cast<double>(sample.*field - sample.PostedNs) / 1e6);
    }
    if (values.empty())
        return figure;
    std::sort(values.begin(), values.end());
    figure.Median = values[values.size() / 2];
    figure.Worst = values.back();
    return figure;
}

void PrintScenario(const char* name, const std::vector<TSample>& samples,
                   const std::vector<TSample>& baseline) {
    std::printf("\n%s\n", name);
    std::printf("  %-9s %9s %9s %9s %9s %9s %9s %8s\n", "to", "median", "worst", "base med", "base wst",
                "wst/base", "wst/40ms", "unseen");
    const std::pair<const char*, int64_t TSample::*> stages[] = {
        {"queue", &TSample::QueuedNs},
        {"list", &TSample::ListedNs},
        {"timeline", &TSample::TimelineNs},
        {"grid", &TSample::GridNs},
    };
    for (const auto& [stage, field] : stages) {
        const TFigure figure = Summarise(samples, field);
        const TFigure base = Summarise(baseline, field);
        std::printf("  %-9s %9.2f %9.2f %9.2f %9.2f %8.1fx %8.2fx %8d\n", stage, figure.Median, figure.Worst,
                    base.Median, base.Worst, base.Worst > 0 ? figure.Worst / base.Worst : 0.0,
                    figure.Worst / FramePeriodMs, figure.Missing);
    }
}

void AddBackgroundEvents(TProject& project, int32_t types, int32_t lengthMs) {
    std::mt19937 random(3);
    std::uniform_int_distribution<int32_t> time(0, lengthMs - 1);
    std::vector<std::unique_ptr<TEvent>> events;
    events.reserve(BackgroundEvents);
    for (int32_t i = 0; i < BackgroundEvents; ++i) {
        auto event = std::make_unique<TEvent>(i % types, time(random));
        // A time line row per group and parameter set: a few people seen by
        // the cameras, as in a real annotation.
        event->Parameters = TParameters{{QStringLiteral("Camera"), QString::number(i % Cameras)},
                                        {QStringLiteral("Person"), QString(QChar(u'A' + (i / 7) % 6))}};
        events.push_back(std::move(event));
    }
    project.InsertEvents(std::move(events));
}

void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const std::filesystem::path folder =
        argc > 2 ? std::filesystem::path(argv[2])
                 : std::filesystem::path(
                       QDir::temp().filePath(QStringLiteral("scenemark-bench-clips")).toStdString());
    std::filesystem::create_directories(folder);
    const std::string clip = EnsureHardClip(folder);

    TFormMainOptions options;
    options.SettingsFileName = (folder / "scenemark-bench-absent.ini").string();
    TFormMain form(std::move(options));
    form.show();
    form.activateWindow();
    RunEventsFor(200);
    for (int32_t camera = 0; camera < Cameras; ++camera) {
        if (!form.AddMedium(QString::fromStdString(clip))) {
            std::fprintf(stderr, "could not open %s\n", clip.c_str());
            return 1;
        }
    }
    form.activateWindow();

    TProject& project = form.Project();
    const int32_t groupA = project.AddGroup(TEventTypeGroup{QStringLiteral("People")});
    const int32_t groupB = project.AddGroup(TEventTypeGroup{QStringLiteral("Objects")});
    constexpr int32_t BackgroundTypes = 8;
    for (int32_t i = 0; i < BackgroundTypes; ++i) {
        TEventType type(QStringLiteral("Type %1").arg(i));
        type.Group = i % 2 == 0 ? groupA : groupB;
        type.GroupIndex = i;
        project.AddEventType(type);
    }
    TEventType press(QStringLiteral("Press"));
    press.Key = PressKey;
    press.Group = groupA;
    press.GroupIndex = 9;
    const int32_t pressType = project.AddEventType(press);
    form.RefreshTypeList();
    form.SetToolWindowVisible(TToolWindow::TimeLine, true);
    form.activateWindow();
    RunEventsFor(200);
    form.Action(TAppCommandId::ActionEventsInserting)->setChecked(true);

    std::printf("record_latency_bench: %d presses of F2 every %lld ms, posted to the main window\n", presses,
                static_cast<long long>(PressInterval.count()));
    std::fprintf(stderr, "scenario 1...\n");
    const std::vector<TSample> baseline = RunPresses(form, pressType, presses);

    project.ClearEvents();
    // A shown time line redraws itself for every event inserted; it takes
    // the whole list at once when it is shown again.
    form.SetToolWindowVisible(TToolWindow::TimeLine, false);
    AddBackgroundEvents(project, BackgroundTypes, AnnotationLengthMs);
    form.SetToolWindowVisible(TToolWindow::TimeLine, true);
    form.RefreshEventList(false, false);
    form.activateWindow();
    RunEventsFor(200);
    std::fprintf(stderr, "scenario 2...\n");
    const std::vector<TSample> stopped = RunPresses(form, pressType, presses);

    std::fprintf(stderr, "scenarios 3 and 4...\n");
    // The session journal as the editor has it (writing to a real file),
    // switched on for every other block of presses so that both see the
    // same playback and the same machine load.
    QTemporaryDir stateFolder;
    TSessionJournal journal(project, stateFolder.path().toStdString());
    journal.Begin({});
    journal.Suspend();
    std::vector<TSample> playing;
    std::vector<TSample> journalled;
    int32_t playedMs = 0;
    double playedWallMs = 0;
    for (int block = 0; block < JournalBlocks; ++block) {
        const bool isJournalled = block % 2 == 1;
        // Every block plays from the start, so none runs past the clip's
        // end and each has the same start-up of the cameras.
        form.Clock().SetPosition(0);
        RunEventsFor(200);
        form.Action(TAppCommandId::ActionPlay)->trigger();
        const int32_t startMs = form.Clock().PositionMs();
        const auto playStarted = TSteady::now();
        if (isJournalled)
            journal.Resume();
        const std::vector<TSample> samples =
            RunPresses(form, pressType, std::max(1, presses / (JournalBlocks / 2)));
        if (isJournalled)
            journal.Suspend();
        playedWallMs += std::chrono::duration<double, std::milli>(TSteady::now() - playStarted).count();
        playedMs += form.Clock().PositionMs() - startMs;
        form.Clock().Stop(false);
        std::vector<TSample>& into = isJournalled ? journalled : playing;
        into.insert(into.end(), samples.begin(), samples.end());
    }
    journal.Writer().Sync();

    PrintScenario("1. baseline: no other events, stopped", baseline, baseline);
    PrintScenario("2. 100,000 events, stopped", stopped, baseline);
    PrintScenario("3. 100,000 events, 4 x 720p H.264 playing", playing, baseline);
    PrintScenario("4. as 3, with the session journal writing", journalled, baseline);
    std::printf("\njournal on against off (4 / 3, presses in alternating blocks):\n");
    for (const auto& [stage, field] :
         {std::pair{"list", &TSample::ListedNs}, std::pair{"grid", &TSample::GridNs}}) {
        const TFigure on = Summarise(journalled, field);
        const TFigure off = Summarise(playing, field);
        std::printf("  %-9s median %.3f x, worst %.3f x (%.2f / %.2f ms)\n", stage,
                    off.Median > 0 ? on.Median / off.Median : 0.0, off.Worst > 0 ? on.Worst / off.Worst : 0.0,
                    on.Worst, off.Worst);
    }
    std::printf("  journal flushes to the disk: %lld\n",
                static_cast<long long>(journal.Writer().SyncCount()));
    std::printf("\nunseen: presses whose stage was not reached within %.0f ms (a grid the user scrolled\n"
                "back from its newest rows keeps its place, so the new row may stay out of view).\n",
                GiveUpMs);
    std::printf("\nplayback advanced %d ms in %.0f ms of wall time (%.2f x real time); %zu events\n",
                playedMs, playedWallMs, playedMs / playedWallMs, project.Events().Count());
    return 0;
}
