// How punctually a 40 ms one-shot timer reaches the playback handler through
// the shown main window (its event filter chain, the error handler and the
// message dispatch), against the same timer posting to a bare QObject in the
// same run. The timer is re-armed from the window thread after each delivery
// with whole-millisecond delays computed from the start, as playback does.
// Figures: post->handler latency and |delivery interval - 40 ms|.
//
// Usage: main_window_tick_jitter [ticks]   (default 100; offscreen platform
// unless QT_QPA_PLATFORM says otherwise)

#include "document/ui/form_main.h"
#include "platform/mm_timer.h"
#include "platform/window_message.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using TSteady = std::chrono::steady_clock;
constexpr auto kPeriod = std::chrono::milliseconds(40);

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(TSteady::now().time_since_epoch()).count();
}

struct TSample {
    int64_t PostedNs;
    int64_t DeliveredNs;
};

// Either receiver calls OnTick with the time the message was posted.
class TBareReceiver final : public QObject {
public:
    std::function<void(int64_t postedNs)> OnTick;
    bool event(QEvent* e) override {
        if (e->type() != TWindowMessageEvent::EventType())
            return QObject::event(e);
        OnTick(static_cast<const TWindowMessageEvent*>(e)->LParam());
        return true;
    }
};

// Notes the posting time a message carries before the window handles it.
class TPostedTimeSpy final : public QObject {
public:
    int64_t LastPostedNs = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == TWindowMessageEvent::EventType())
            LastPostedNs = static_cast<const TWindowMessageEvent*>(e)->LParam();
        return false;
    }
};

class TTickHandler final : public TWindowMessageHandler {
public:
    std::function<void()> OnTick;
    void VideoTick(int32_t) override { OnTick(); }
    void AudioStart(int32_t) override {}
    void AudioBufferDone(uint32_t) override {}
};

// Arms `ticks` one-shot timers in a chain, each posting to receiver; the
// delivery callback must call back the returned function with the posting
// time to record a sample and re-arm.
std::vector<TSample> RunChain(QObject* receiver, int ticks,
                              std::function<void(std::function<void(int64_t)>)> hook) {
    TThreadMMTimer timer;
    TTimerCaps caps{};
    const uint32_t period =
        timer.GetDevCaps(caps) ? std::min(std::max(caps.PeriodMinMs, 1u), caps.PeriodMaxMs) : 0;
    if (period != 0)
        timer.BeginPeriod(period);
    QEventLoop loop;
    std::vector<TSample> samples;
    const auto post = [receiver] {
        PostWindowMessage(receiver, WM_TIMER, 0, static_cast<intptr_t>(NowNs()));
    };
    const auto start = TSteady::now();
    const auto arm = [&](int frame) {
        const auto delayMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(start + frame * kPeriod - TSteady::now())
                .count();
        if (delayMs >= 1)
            timer.SetOneShot(static_cast<uint32_t>(delayMs), post);
        else
            post();
    };
    hook([&](int64_t postedNs) {
        samples.push_back({postedNs, NowNs()});
        if (static_cast<int>(samples.size()) == ticks)
            loop.quit();
        else
            arm(static_cast<int>(samples.size()) + 1);
    });
    arm(1);
    loop.exec();
    if (period != 0)
        timer.EndPeriod(period);
    return samples;
}

struct TStats {
    double Mean = 0;
    double Max = 0;
};

TStats Summarise(const std::vector<double>& values) {
    TStats stats;
    for (double v : values) {
        stats.Mean += v / static_cast<double>(values.size());
        stats.Max = std::max(stats.Max, v);
    }
    return stats;
}

std::pair<TStats, TStats> Analyse(const std::vector<TSample>& samples) {
    std::vector<double> latency;
    std::vector<double> jitter;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        latency.push_back(static_cast<double>(samples[i].DeliveredNs - samples[i].PostedNs) / 1e6);
        if (i > 0)
            jitter.push_back(std::fabs(
                static_cast<double>(samples[i].DeliveredNs - samples[i - 1].DeliveredNs) / 1e6 - 40.0));
    }
    return {Summarise(latency), Summarise(jitter)};
}

void PrintRow(const char* name, double baseline, double measured) {
    std::printf("%-22s %12.3f %12.3f %9.2fx\n", name, baseline, measured,
                baseline > 0 ? measured / baseline : 0.0);
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int ticks = argc > 1 ? std::max(2, std::atoi(argv[1])) : 100;

    TBareReceiver bare;
    // A short first chain takes the start-up costs (thread creation, first
    // allocations) out of the figures.
    RunChain(&bare, 10, [&](auto record) { bare.OnTick = record; });
    const auto baseline = Analyse(RunChain(&bare, ticks, [&](auto record) { bare.OnTick = record; }));

    TFormMainOptions options;
    options.SettingsFileName =
        QDir::temp().filePath(QStringLiteral("scenemark-bench-absent.ini")).toStdString();
    TFormMain form(std::move(options));
    form.show();
    TTickHandler handler;
    form.SetWindowMessageHandler(&handler);
    TPostedTimeSpy spy;
    form.installEventFilter(&spy);
    const auto measured = Analyse(RunChain(
        &form, ticks, [&](auto record) { handler.OnTick = [record, &spy] { record(spy.LastPostedNs); }; }));

    std::printf("main_window_tick_jitter: %d one-shot ticks of 40 ms\n", ticks);
    std::printf("%-22s %12s %12s %10s\n", "figure (ms)", "bare QObject", "main window", "ratio");
    PrintRow("latency mean", baseline.first.Mean, measured.first.Mean);
    PrintRow("latency max", baseline.first.Max, measured.first.Max);
    PrintRow("|interval-40| mean", baseline.second.Mean, measured.second.Mean);
    PrintRow("|interval-40| max", baseline.second.Max, measured.second.Max);
    return 0;
}
