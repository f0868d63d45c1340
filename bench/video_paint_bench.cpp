// What one video window's paint costs for a 1280 x 720 frame, against a bare
// QPainter::drawImage of the same frame into a QImage of the same size,
// measured in the same run.
//
// Cases: the window repainting its picture area (Paint: paint event, backing
// store, flush) at Normal and Double zoom, each with and without double
// buffering, without and with a typical set of overlays (three labelled
// rectangles, an ellipse, a caption); and, for the choice of frame layout,
// drawing the bottom-up bitmap mirrored through the painter's transform.
//
// Usage: video_paint_bench [iterations]   (default 200; run with
// QT_QPA_PLATFORM=offscreen, which is set when there is no display)

#include "media/av_file.h"
#include "views/form_video.h"

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int32_t Width = 1280;
constexpr int32_t Height = 720;

// A medium whose every frame is the same generated picture, so the figures
// hold painting only.
class TStillMedia : public TAVFile {
public:
    TStillMedia() {
        m_mode = ModeRead;
        m_streams = StreamVideo;
        m_width = Width;
        m_height = Height;
        m_rate = 25;
        m_scale = 1;
        m_frame.resize(static_cast<size_t>(Width) * 4 * Height);
        for (int32_t y = 0; y < Height; ++y)
            for (int32_t x = 0; x < Width; ++x) {
                uint8_t* pixel = &m_frame[(static_cast<size_t>(y) * Width + x) * 4];
                pixel[0] = static_cast<uint8_t>(x);
                pixel[1] = static_cast<uint8_t>(y);
                pixel[2] = static_cast<uint8_t>(x ^ y);
                pixel[3] = 0;
            }
    }
    uint8_t* GetFrameAt(int32_t) override { return m_frame.data(); }
    void Seek(int32_t) override {}
    int32_t GetVideoLength() override { return 1; }

private:
    std::vector<uint8_t> m_frame;
};

struct TCase {
    std::string Name;
    std::function<void()> Run;
    // Runs before the case's first sample and after switching from another
    // case: zoom and buffering settings of the shared window.
    std::function<void()> Prepare;
    std::vector<double> Samples;
};

// The cases take turns, one sample each per round, so a change in the load
// of the shared machine touches every case alike.
void Measure(std::vector<TCase>& cases, int iterations) {
    for (TCase& c : cases) {
        if (c.Prepare)
            c.Prepare();
        c.Run(); // warm caches and lazily created buffers
    }
    for (int i = 0; i < iterations; ++i)
        for (TCase& c : cases) {
            if (c.Prepare)
                c.Prepare();
            const auto start = std::chrono::steady_clock::now();
            c.Run();
            c.Samples.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
}

double Median(std::vector<double> samples) {
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

void AddTypicalOverlays(TFormVideo& form) {
    form.AddRectangle(100, 100, 300, 260, QStringLiteral("Walk - Ann"), nullptr);
    form.AddRectangle(500, 200, 640, 420, QStringLiteral("Look - Bob(cup)"), nullptr);
    form.AddRectangle(900, 300, 1100, 600, QStringLiteral("Hold"), nullptr);
    form.AddEllipse(640, 360, 120, 60, 0.4f);
    form.SetCaptionText(QStringLiteral("A caption line of ordinary length along the bottom"));
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int iterations = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    TStillMedia source;
    const QImage frame = WrapFrame(source.GetFrameAt(0), Width, Height);
    QImage target(Width, Height, QImage::Format_RGB32);
    QImage doubleTarget(2 * Width, 2 * Height, QImage::Format_RGB32);

    TFormVideo form(nullptr, nullptr, [](const std::string&, int32_t) -> std::unique_ptr<TAVFile> {
        return std::make_unique<TStillMedia>();
    });
    if (!form.OpenFile(QStringLiteral("still"))) {
        std::fprintf(stderr, "could not open the generated medium\n");
        return 1;
    }
    QCoreApplication::processEvents();
    TFormVideo overlaid(nullptr, nullptr, [](const std::string&, int32_t) -> std::unique_ptr<TAVFile> {
        return std::make_unique<TStillMedia>();
    });
    overlaid.OpenFile(QStringLiteral("still"));
    AddTypicalOverlays(overlaid);

    std::vector<TCase> cases;
    cases.push_back({"baseline: drawImage into a same-size QImage",
                     [&] {
                         QPainter painter(&target);
                         painter.drawImage(QRect(0, 0, Width, Height), frame);
                     },
                     nullptr,
                     {}});
    cases.push_back({"bare drawImage stretched to 2560x1440",
                     [&] {
                         QPainter painter(&doubleTarget);
                         painter.drawImage(QRect(0, 0, 2 * Width, 2 * Height), frame);
                     },
                     nullptr,
                     {}});
    cases.push_back({"bare drawImage bottom-up, mirrored by the transform",
                     [&] {
                         QPainter painter(&target);
                         painter.setTransform(QTransform(1, 0, 0, -1, 0, Height));
                         painter.drawImage(QRect(0, 0, Width, Height), frame);
                     },
                     nullptr,
                     {}});
    for (TFormVideo* window : {&form, &overlaid})
        for (const int32_t zoom : {ZoomNormal, ZoomDouble})
            for (const bool buffered : {false, true}) {
                char name[96];
                std::snprintf(name, sizeof name, "window Paint, %s zoom, %s%s",
                              zoom == ZoomNormal ? "normal" : "double",
                              buffered ? "double buffered" : "direct",
                              window == &overlaid ? ", overlays" : "");
                cases.push_back({name,
                                 [window] {
                                     window->FetchFrame(0);
                                     window->Paint();
                                 },
                                 [window, zoom, buffered] {
                                     window->SetDoubleBuffered(buffered);
                                     if (window->ZoomLevel() != zoom) {
                                         window->SetZoom(zoom);
                                         QCoreApplication::processEvents();
                                     }
                                 },
                                 {}});
            }
    Measure(cases, iterations);

    const double baseline = Median(cases[0].Samples);
    std::printf("%d rounds, medians, %dx%d frame\n", iterations, Width, Height);
    for (const TCase& c : cases) {
        const double ms = Median(c.Samples);
        std::printf("%-52s %8.3f ms  %6.2f x baseline\n", c.Name.c_str(), ms, ms / baseline);
    }
    return 0;
}
