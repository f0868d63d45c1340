// How well the one-shot timer drives a 40 ms frame clock through window
// messages, against a plain sleep_until thread measured in the same run.
//
// Both sources post WM_TIMER to a QObject on a running QEventLoop. The timer
// is re-armed from the receiving (window) thread after each delivery, the way
// playback re-arms after every frame, with whole-millisecond delays computed
// from the start so that no drift accumulates. Figures: post->deliver
// latency, interval jitter (delivery interval minus 40 ms) and lateness of
// each delivery against its ideal deadline (start + n x 40 ms; negative when
// early: the engine arms whole milliseconds, truncated).
//
// Usage: timer_jitter [ticks]   (default 100)

#include "platform/mm_timer.h"
#include "platform/window_message.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

namespace {

using TSteady = std::chrono::steady_clock;
constexpr auto kPeriod = std::chrono::milliseconds(40);

int64_t Ns(TSteady::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(TSteady::now().time_since_epoch()).count();
}

struct TSample {
    int64_t PostedNs;
    int64_t DeliveredNs;
    int64_t DueNs = 0;
};

class TReceiver : public QObject {
public:
    std::function<void(const TSample&)> OnDelivery;

    bool event(QEvent* e) override {
        if (e->type() != TWindowMessageEvent::EventType())
            return QObject::event(e);
        const auto* message = static_cast<TWindowMessageEvent*>(e);
        OnDelivery(TSample{static_cast<int64_t>(message->LParam()), NowNs()});
        return true;
    }
};

struct TStats {
    double Mean = 0;
    double Sd = 0;
    double Max = 0;
};

TStats Summarise(const std::vector<double>& values) {
    TStats stats;
    if (values.empty())
        return stats;
    for (double v : values)
        stats.Mean += v;
    stats.Mean /= static_cast<double>(values.size());
    for (double v : values)
        stats.Sd += (v - stats.Mean) * (v - stats.Mean);
    stats.Sd = std::sqrt(stats.Sd / static_cast<double>(values.size()));
    stats.Max = *std::max_element(values.begin(), values.end());
    return stats;
}

struct TRun {
    TStats LatencyMs;
    TStats JitterMs; // |interval - 40 ms|
    TStats LatenessMs;
};

TRun Analyse(const std::vector<TSample>& samples) {
    std::vector<double> latency;
    std::vector<double> jitter;
    std::vector<double> lateness;
    for (size_t i = 0; i < samples.size(); ++i) {
        latency.push_back(static_cast<double>(samples[i].DeliveredNs - samples[i].PostedNs) / 1e6);
        lateness.push_back(static_cast<double>(samples[i].DeliveredNs - samples[i].DueNs) / 1e6);
        if (i > 0) {
            const double intervalMs =
                static_cast<double>(samples[i].DeliveredNs - samples[i - 1].DeliveredNs) / 1e6;
            jitter.push_back(std::fabs(intervalMs - 40.0));
        }
    }
    return TRun{Summarise(latency), Summarise(jitter), Summarise(lateness)};
}

std::vector<TSample> RunSleepUntilBaseline(int ticks) {
    TReceiver receiver;
    QEventLoop loop;
    std::vector<TSample> samples;
    const auto start = TSteady::now();
    receiver.OnDelivery = [&](const TSample& sample) {
        samples.push_back(sample);
        samples.back().DueNs = Ns(start + static_cast<int>(samples.size()) * kPeriod);
        if (static_cast<int>(samples.size()) == ticks)
            loop.quit();
    };
    std::thread ticker([&] {
        for (int i = 1; i <= ticks; ++i) {
            std::this_thread::sleep_until(start + i * kPeriod);
            PostWindowMessage(&receiver, WM_TIMER, 0, static_cast<intptr_t>(NowNs()));
        }
    });
    loop.exec();
    ticker.join();
    return samples;
}

std::vector<TSample> RunOneShotTimer(int ticks) {
    TThreadMMTimer timer;
    TReceiver receiver;
    QEventLoop loop;
    std::vector<TSample> samples;
    TTimerCaps caps{};
    const uint32_t period =
        timer.GetDevCaps(caps) ? std::min(std::max(caps.PeriodMinMs, 1u), caps.PeriodMaxMs) : 0;
    if (period != 0)
        timer.BeginPeriod(period);

    const auto post = [&receiver] {
        PostWindowMessage(&receiver, WM_TIMER, 0, static_cast<intptr_t>(NowNs()));
    };
    const auto start = TSteady::now();
    const auto arm = [&](int frame) {
        const auto delay = start + frame * kPeriod - TSteady::now();
        const auto delayMs = std::chrono::duration_cast<std::chrono::milliseconds>(delay).count();
        if (delayMs >= 1)
            timer.SetOneShot(static_cast<uint32_t>(delayMs), post);
        else
            post();
    };
    receiver.OnDelivery = [&](const TSample& sample) {
        samples.push_back(sample);
        samples.back().DueNs = Ns(start + static_cast<int>(samples.size()) * kPeriod);
        if (static_cast<int>(samples.size()) == ticks)
            loop.quit();
        else
            arm(static_cast<int>(samples.size()) + 1);
    };
    arm(1);
    loop.exec();
    if (period != 0)
        timer.EndPeriod(period);
    return samples;
}

double Ratio(double value, double baseline) {
    return baseline > 0 ? value / baseline : 0;
}

void PrintRow(const char* name, double baseline, double measured) {
    std::printf("%-22s %12.3f %12.3f %9.2fx %+11.3f\n", name, baseline, measured, Ratio(measured, baseline),
                measured - baseline);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int ticks = argc > 1 ? std::max(2, std::atoi(argv[1])) : 100;

    const TRun baseline = Analyse(RunSleepUntilBaseline(ticks));
    const TRun timer = Analyse(RunOneShotTimer(ticks));

    std::printf("timer_jitter: %d ticks of 40 ms, WM_TIMER posted to a QObject on a running QEventLoop\n",
                ticks);
    std::printf("%-22s %12s %12s %10s %11s\n", "figure (ms)", "sleep_until", "one-shot", "ratio",
                "difference");
    PrintRow("latency mean", baseline.LatencyMs.Mean, timer.LatencyMs.Mean);
    PrintRow("latency SD", baseline.LatencyMs.Sd, timer.LatencyMs.Sd);
    PrintRow("latency max", baseline.LatencyMs.Max, timer.LatencyMs.Max);
    PrintRow("|interval-40| mean", baseline.JitterMs.Mean, timer.JitterMs.Mean);
    PrintRow("|interval-40| SD", baseline.JitterMs.Sd, timer.JitterMs.Sd);
    PrintRow("|interval-40| max", baseline.JitterMs.Max, timer.JitterMs.Max);
    PrintRow("lateness mean", baseline.LatenessMs.Mean, timer.LatenessMs.Mean);
    PrintRow("lateness SD", baseline.LatenessMs.Sd, timer.LatenessMs.Sd);
    PrintRow("lateness max", baseline.LatenessMs.Max, timer.LatenessMs.Max);
    return 0;
}
