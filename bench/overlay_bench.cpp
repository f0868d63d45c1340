// What the shapes of active events, the output window and the graph cost at
// every tick, each against a baseline measured in the same run:
//
// - overlays: 4 video windows of 1280 x 720 and a project of 200,000 events
//   of which 500 (a tracker's rectangles, 125 per camera) are active at each
//   tick: clearing, BuildEventOverlays and painting the four windows, against
//   the same tick without "Draw" (clearing and painting only).
// - output: the output window's choice and copy of a 1920 x 1080 picture at
//   ZoomRatio 1 and 2, against a bare memcpy of the picture.
// - graph: DrawGraph of 8 colours with one event each per frame period over
//   a 1280-pixel graph, against filling the picture white.
//
// The cases of a section take turns, one sample each per round, so a change
// in the load of the shared machine touches them alike; times are the UI
// thread's CPU time, which other processes on the cores do not inflate.
//
// Usage: overlay_bench [overlays|output|graph] [rounds]   (default all, 200;
// runs on QT_QPA_PLATFORM=offscreen when there is no display)

#include "media/av_file.h"
#include "views/core/event_overlays.h"
#include "views/core/graph_picture.h"
#include "views/core/output_picture.h"
#include "views/form_video.h"

#include <QApplication>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int32_t FramePeriod = 40;

class TStillMedia : public TAVFile {
public:
    TStillMedia(int32_t width, int32_t height) {
        m_mode = ModeRead;
        m_streams = StreamVideo;
        m_width = width;
        m_height = height;
        m_rate = 25;
        m_scale = 1;
        m_frame.resize(static_cast<size_t>(width) * 4 * height);
        for (size_t i = 0; i < m_frame.size(); ++i)
            m_frame[i] = static_cast<uint8_t>(i * 7);
    }
    uint8_t* GetFrameAt(int32_t) override { return m_frame.data(); }
    void Seek(int32_t) override {}
    int32_t GetVideoLength() override { return 1; }

private:
    std::vector<uint8_t> m_frame;
};

struct TCase {
    std::string Name;
    std::function<void(int32_t round)> Run;
    std::vector<double> Samples;

    double Mean() const {
        double sum = 0;
        for (double s : Samples)
            sum += s;
        return Samples.empty() ? 0 : sum / static_cast<double>(Samples.size());
    }
    double Min() const { return Samples.empty() ? 0 : *std::min_element(Samples.begin(), Samples.end()); }
    double Median() const {
        std::vector<double> sorted = Samples;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[sorted.size() / 2];
    }
};

// CPU time of this thread: on a shared machine the wall clock also counts
// the time other processes held the cores.
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void Measure(std::vector<TCase>& cases, int rounds) {
    for (TCase& c : cases)
        c.Run(0);
    for (int round = 0; round < rounds; ++round)
        for (TCase& c : cases) {
            const double started = ThreadCpuMs();
            c.Run(round);
            c.Samples.push_back(ThreadCpuMs() - started);
        }
}

void Print(const std::vector<TCase>& cases, const TCase& baseline) {
    for (const TCase& c : cases)
        std::printf("  %-46s min %7.3f  median %7.3f  mean %7.3f ms  (median %.3f x baseline, %.4f of the "
                    "40 ms period)\n",
                    c.Name.c_str(), c.Min(), c.Median(), c.Mean(), c.Median() / baseline.Median(),
                    c.Median() / FramePeriod);
}

// 500 rectangles per frame period over 400 frame periods (16 s), 125 on
// each of 4 cameras, as a tracker's output imports.
void FillTrackerEvents(TProject& project) {
    const int32_t type = project.AddEventType(TEventType(QStringLiteral("Person")));
    std::vector<std::unique_ptr<TEvent>> events;
    events.reserve(200'000);
    for (int32_t frame = 0; frame < 400; ++frame)
        for (int32_t i = 0; i < 500; ++i) {
            const int32_t x = (i * 37 + frame) % 1200;
            const int32_t y = (i * 53) % 640;
            TParameters parameters{{QStringLiteral("Camera"), QString::number(1 + i % 4)},
                                   {QStringLiteral("MinX"), QString::number(x)},
                                   {QStringLiteral("MinY"), QString::number(y)},
                                   {QStringLiteral("MaxX"), QString::number(x + 60)},
                                   {QStringLiteral("MaxY"), QString::number(y + 70)},
                                   {QStringLiteral("Object"), QString::number(i)}};
            events.push_back(
                std::make_unique<TEvent>(type, frame * FramePeriod, QString(), std::move(parameters)));
        }
    project.InsertEvents(std::move(events));
}

void OverlaySection(int rounds) {
    TProject project;
    FillTrackerEvents(project);
    std::vector<std::unique_ptr<TFormVideo>> windows;
    for (int32_t camera = 1; camera <= 4; ++camera) {
        auto window = std::make_unique<TFormVideo>(nullptr, nullptr, [](const std::string&, int32_t) {
            return std::make_unique<TStillMedia>(1280, 720);
        });
        window->OpenFile(QStringLiteral("camera%1").arg(camera));
        window->Camera = camera;
        window->FetchFrame(0);
        windows.push_back(std::move(window));
    }
    std::vector<std::unique_ptr<TFormVideo>> unlabelled;
    for (int32_t camera = 1; camera <= 4; ++camera) {
        auto window = std::make_unique<TFormVideo>(nullptr, nullptr, [](const std::string&, int32_t) {
            return std::make_unique<TStillMedia>(1280, 720);
        });
        window->OpenFile(QStringLiteral("camera%1").arg(camera));
        window->FetchFrame(0);
        unlabelled.push_back(std::move(window));
    }
    QCoreApplication::processEvents();
    TOverlayValues values;
    const auto targetFor = [&](double camera) -> TOverlayTarget* {
        for (auto& window : windows)
            if (window->Camera == camera)
                return window.get();
        return nullptr;
    };
    int32_t shapes = 0;
    const auto build = [&](int32_t round) {
        const int32_t time = (round % 400) * FramePeriod + FramePeriod / 2;
        const int32_t cursor = static_cast<int32_t>(project.Events().UpperBound(time)) - 1;
        BuildEventOverlays(project, cursor, TListClock{time, TTimeFormat::Milliseconds, FramePeriod}, false,
                           targetFor, values);
    };
    const auto clear = [&] {
        for (auto& window : windows)
            window->ClearOverlays();
    };
    const auto paint = [&] {
        for (auto& window : windows)
            window->Paint();
    };
    std::vector<TCase> cases{
        {"tick without Draw (clear, paint 4)",
         [&](int32_t) {
             clear();
             paint();
         },
         {}},
        {"tick with Draw (clear, build, paint 4)",
         [&](int32_t round) {
             clear();
             build(round);
             paint();
         },
         {}},
        // Runs right after the tick with Draw, so the shapes of that tick are
        // still there.
        {"paint 4 with the 500 shapes of that tick", [&](int32_t) { paint(); }, {}},
        {"paint 4 with them unlabelled",
         [&](int32_t) {
             if (unlabelled[0]->Overlays().empty())
                 for (auto& window : unlabelled)
                     for (int32_t i = 0; i < 125; ++i)
                         window->AddRectangle((i * 37) % 1200, (i * 53) % 640, (i * 37) % 1200 + 60,
                                              (i * 53) % 640 + 70, QString(), nullptr);
             for (auto& window : unlabelled)
                 window->Paint();
         },
         {}},
        {"BuildEventOverlays alone (and clearing)",
         [&](int32_t round) {
             clear();
             build(round);
             shapes = 0;
             for (auto& window : windows)
                 shapes += static_cast<int32_t>(window->Overlays().size());
         },
         {}},
    };
    Measure(cases, rounds);
    std::printf("\nOverlays: 200,000 events, %d shapes active per tick on 4 windows of 1280 x 720 "
                "(baseline: the tick without Draw):\n",
                shapes);
    Print(cases, cases[0]);
    std::printf("  added by Draw: %.3f ms per tick (difference of the medians), %.3f ms (of the minima)\n",
                cases[1].Median() - cases[0].Median(), cases[1].Min() - cases[0].Min());
}

void OutputSection(int rounds) {
    TProject project;
    const int32_t output = project.EnsureBuiltInType(BuiltInOutput);
    for (int32_t i = 0; i < 100; ++i)
        project.InsertEvent(std::make_unique<TEvent>(
            output, i * 1000, QString(), TParameters{{QStringLiteral("Camera"), QStringLiteral("1")}}));
    QImage source(1920, 1080, QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y)
        std::memset(source.scanLine(y), y & 0xff, static_cast<size_t>(source.bytesPerLine()));
    QImage copy(source.size(), source.format());
    QImage picture;
    const uchar* storage = nullptr;
    int32_t reallocations = 0;
    const auto render = [&](double ratio) {
        const int32_t cursor = static_cast<int32_t>(project.Events().Count()) - 1;
        std::optional<TOutputChoice> choice =
            ChooseOutput(project, cursor, source.size(), [](int32_t camera) { return camera == 1 ? 0 : -1; });
        choice->ZoomRatio = ratio;
        RenderOutputPicture(picture, source, *choice);
        if (picture.constBits() != storage) {
            storage = picture.constBits();
            ++reallocations;
        }
    };
    std::vector<TCase> cases{
        {"memcpy of the 1080p picture (baseline)",
         [&](int32_t) {
             std::memcpy(copy.bits(), source.constBits(), static_cast<size_t>(source.sizeInBytes()));
         },
         {}},
        {"RenderOutput, ZoomRatio 1", [&](int32_t) { render(1); }, {}},
        {"RenderOutput, ZoomRatio 2", [&](int32_t) { render(2); }, {}},
    };
    Measure(cases, rounds);
    std::printf("\nOutput window at 1920 x 1080 (baseline: memcpy of one picture):\n");
    Print(cases, cases[0]);
    std::printf("  new picture storage during %d renderings: %d (the first one)\n", 2 * (rounds + 1),
                reallocations);
}

void GraphSection(int rounds) {
    TProject project;
    const int32_t graph = project.EnsureBuiltInType(BuiltInGraph);
    constexpr int32_t Width = 1280;
    std::vector<std::unique_ptr<TEvent>> events;
    for (int32_t frame = 0; frame <= Width; ++frame)
        for (int32_t color = 0; color < 8; ++color) {
            const double value = 0.5 + 0.4 * std::sin(frame / 40.0 + color);
            events.push_back(std::make_unique<TEvent>(
                graph, frame * FramePeriod, QString(),
                TParameters{{QStringLiteral("Value"), QString::number(value, 'f', 3)},
                            {QStringLiteral("Color"), QString::number(color)}}));
        }
    project.InsertEvents(std::move(events));
    QImage picture(Width, 160, QImage::Format_RGB32);
    TGraphPainter painter;
    const int32_t cursor = static_cast<int32_t>(project.Events().Count()) - 1;
    std::vector<TCase> cases{
        {"fill 1280 x 160 white (baseline)", [&](int32_t) { picture.fill(Qt::white); }, {}},
        {"DrawGraph, 8 colours x 1280 points",
         [&](int32_t) {
             painter.Draw(picture, project, graph, cursor, TGraphClock{Width * FramePeriod, FramePeriod});
         },
         {}},
    };
    Measure(cases, rounds);
    std::printf("\nGraph of 1280 x 160 pixels, %zu events in its span (baseline: filling it):\n",
                project.Events().Count());
    Print(cases, cases[0]);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string section = argc > 1 ? argv[1] : "all";
    const int rounds = argc > 2 ? std::max(std::atoi(argv[2]), 1) : 200;
    if (section == "all" || section == "overlays")
        OverlaySection(rounds);
    if (section == "all" || section == "output")
        OutputSection(rounds);
    if (section == "all" || section == "graph")
        GraphSection(rounds);
    return 0;
}
