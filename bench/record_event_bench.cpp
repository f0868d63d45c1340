// The cost of recording one event by key into a project of 100,000 events:
// median and worst of 200 presses, as ratios to a bare insertion into the
// same list measured in the same run. The views' refreshes are not part of
// it (a host that does nothing stands in for them).

#include "capture/event_commands.h"
#include "capture/recording.h"
#include "model/project.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int EventCount = 100000;
constexpr int PressCount = 200;

class TNullHost : public TCaptureHost {
public:
    void EventListChanged() override {}
    void TitleListChanged() override {}
    void RepaintTimeline() override {}
    bool IsDrawOn() const override { return false; }
    void RepaintAll() override {}
};

void Fill(TProject& project, bool checkEndPoints) {
    project.Reset();
    for (int i = 0; i < 4; ++i) {
        TEventType type{QStringLiteral("Type %1").arg(i)};
        type.CheckEndPoints = checkEndPoints;
        type.Parameters.ParametersFromLines({QStringLiteral("Person=%1").arg(i)});
        project.AddEventType(type);
    }
    std::vector<std::unique_ptr<TEvent>> events;
    for (int i = 0; i < EventCount; ++i) {
        auto event = std::make_unique<TEvent>(i % 3, i * 40);
        event->Parameters.ParametersFromLines({QStringLiteral("Person=%1").arg(i % 3)});
        events.push_back(std::move(event));
    }
    project.InsertEvents(std::move(events));
}

struct TFigures {
    double MedianUs;
    double WorstUs;
};

// Presses at times spread over the list so that insertions move events.
TFigures Measure(const std::function<void(int32_t)>& press) {
    std::vector<double> durations;
    for (int i = 0; i < PressCount; ++i) {
        const int32_t now = (i * 7919 % EventCount) * 40 + 20;
        const auto start = std::chrono::steady_clock::now();
        press(now);
        durations.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(durations.begin(), durations.end());
    return {durations[durations.size() / 2], durations.back()};
}

void Report(const char* name, const TFigures& figures, const TFigures& baseline) {
    std::printf("%-44s median %8.1f us (%.1fx)  worst %8.1f us (%.1fx)\n", name, figures.MedianUs,
                figures.MedianUs / baseline.MedianUs, figures.WorstUs, figures.WorstUs / baseline.WorstUs);
}

} // namespace

int main() {
    TProject project;
    TNullHost host;

    Fill(project, false);
    const TFigures baseline =
        Measure([&](int32_t now) { project.InsertEvent(std::make_unique<TEvent>(3, now)); });

    Fill(project, false);
    const TFigures plain =
        Measure([&](int32_t now) { ExecuteEventCommand(project, host, PackEventTag(3, 0), true, now); });

    // Type 3's parameters occur in no earlier event: the end-point rule walks
    // back through the whole list on every press.
    Fill(project, true);
    const TFigures endPoints =
        Measure([&](int32_t now) { ExecuteEventCommand(project, host, PackEventTag(3, 0), true, now); });

    Fill(project, false);
    const TFigures rebuild =
        Measure([&](int32_t) { (void)RebuildEventCommands(project.EventTypes, project.Groups); });

    std::printf("%d events, %d presses; baseline: bare InsertEvent median %.1f us, worst %.1f us\n",
                EventCount, PressCount, baseline.MedianUs, baseline.WorstUs);
    Report("event command", plain, baseline);
    Report("event command, end points, no match", endPoints, baseline);
    Report("RebuildEventCommands (4 types)", rebuild, baseline);
    return 0;
}
