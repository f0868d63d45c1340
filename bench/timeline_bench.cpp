// Painting the timeline: 100,000 events in 50 rows into a 1200 x 400 image,
// fully zoomed out and zoomed in, against the same views of a timeline with
// 100 times fewer events (same rows, same pixels) measured in the same run.
// Ratios near 1 mean the cost follows the pixels, not the events.
// Then a timeline of mouse-drawn regions: 10,000 events whose parameters
// all differ, so each is a row of its own (seven label lines), painted with
// the label widths remembered between paints as the window does, against
// measuring every label at every paint.

#include "views/timeline_layout.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

namespace {

constexpr int32_t HourMs = 3'600'000;

void FillProject(TProject& project, int eventCount) {
    static const char* names[] = {"Ann", "Bob", "Cleo", "Dan", "Eve", "Fritz", "Gus", "Hana", "Ida", "Jon"};
    for (int group = 0; group < 5; ++group) {
        project.AddGroup({QStringLiteral("Group %1").arg(group), QStringLiteral("State"), true});
        for (int kind = 0; kind < 2; ++kind) {
            TEventType type(QStringLiteral("Type %1.%2").arg(group).arg(kind));
            type.Group = group;
            type.GroupIndex = group * 2 + kind;
            project.AddEventType(type);
        }
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> time(0, HourMs);
    std::uniform_int_distribution<int> row(0, 49);
    std::vector<std::unique_ptr<TEvent>> events;
    for (int i = 0; i < eventCount; ++i) {
        const int r = row(random);
        events.push_back(std::make_unique<TEvent>((r / 10) * 2 + i % 2, time(random),
                                                  QStringLiteral("e%1").arg(i),
                                                  TParameters{{QStringLiteral("Person"), names[r % 10]}}));
    }
    project.InsertEvents(std::move(events));
}

// Processor time of this thread: the machine is shared, and wall time would
// measure the neighbours too.
double CpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + now.tv_nsec * 1e-6;
}

double MedianMs(const TTimelineRows& rows, const TProject& project, TTimelineView view, int runs,
                TTimelineLabelWidths* labelWidths = nullptr) {
    QImage image(1200, 400, QImage::Format_RGB32);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double start = CpuMs();
        QPainter painter(&image);
        TTimelineView copy = view;
        PaintTimeline(painter, image.size(), rows, project, copy, TRecentre::Yes, labelWidths);
        painter.end();
        times.push_back(CpuMs() - start);
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[static_cast<std::size_t>(runs / 2)];
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    TProject many;
    TProject few;
    FillProject(many, 100'000);
    FillProject(few, 1'000);
    TTimelineRows manyRows(many);
    TTimelineRows fewRows(few);
    manyRows.Rebuild();
    fewRows.Rebuild();
    std::printf("rows: %zu and %zu\n", manyRows.Rows().size(), fewRows.Rows().size());

    TTimelineView view;
    view.PositionMaximum = HourMs;
    view.TimelinePosition = HourMs / 2;
    const int runs = 51;
    struct TZoom {
        const char* Name;
        int32_t Position;
    };
    for (const TZoom zoom :
         {TZoom{"whole hour", 1000}, TZoom{"about a minute", 20}, TZoom{"1 ms per pixel", 0}}) {
        view.ZoomPosition = zoom.Position;
        const double manyMs = MedianMs(manyRows, many, view, runs);
        const double fewMs = MedianMs(fewRows, few, view, runs);
        std::printf("%-16s 100,000 events: median %.2f ms; 1,000 events: %.2f ms; ratio %.2f\n", zoom.Name,
                    manyMs, fewMs, manyMs / fewMs);
    }

    // Regions drawn in mouse mode: every event has its own centre.
    TProject regions;
    regions.AddGroup({QStringLiteral("Hands"), QStringLiteral("State"), true});
    TEventType hand(QStringLiteral("Hand"));
    hand.Group = 0;
    hand.GroupIndex = 3;
    regions.AddEventType(hand);
    std::vector<std::unique_ptr<TEvent>> drawn;
    for (int32_t i = 0; i < 10'000; ++i) {
        const QString x = QString::number(100 + i % 500) + QStringLiteral(".5");
        const QString y = QString::number(50 + i / 500);
        drawn.push_back(std::make_unique<TEvent>(0, i * 40, QString(),
                                                 TParameters{{QStringLiteral("Camera"), QStringLiteral("1")},
                                                             {QStringLiteral("CenterX"), x},
                                                             {QStringLiteral("CenterY"), y},
                                                             {QStringLiteral("MinX"), x},
                                                             {QStringLiteral("MaxX"), x},
                                                             {QStringLiteral("MinY"), y}}));
    }
    regions.InsertEvents(std::move(drawn));
    TTimelineRows regionRows(regions);
    regionRows.Rebuild();
    view.ZoomPosition = 1000;
    view.PositionMaximum = 400'000;
    TTimelineLabelWidths remembered;
    const double measuredMs = MedianMs(regionRows, regions, view, 11);
    const double rememberedMs = MedianMs(regionRows, regions, view, 11, &remembered);
    std::printf(
        "%zu rows of regions: median %.2f ms with the label widths remembered, %.2f ms measuring every "
        "label; ratio %.3f\n",
        regionRows.Rows().size(), rememberedMs, measuredMs, rememberedMs / measuredMs);
    return 0;
}
