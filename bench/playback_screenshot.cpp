// Shows the editor playing three generated clips and saves a picture of the
// whole screen: the main window below a row of three video windows (a 25 fps
// H.264 clip, a 29.97 fps MPEG-4 clip and a 25 fps clip starting 1 s later).
// Meant for a virtual X server; see scripts/playback-screenshot.sh.
//
// Usage: playback_screenshot <output.png> [seconds of playback, default 3]

#include "document/ui/form_main.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_video_list.h"
#include "tests/support/media_clips.h"
#include "tests/support/temp_dir.h"

#include <QApplication>
#include <QEventLoop>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string WriteDemoClip(const TTempDir& folder, const std::string& name, const char* format,
                          const char* codec, int rate, int scale) {
    TClipSpec spec;
    spec.format = format;
    spec.extension = format;
    spec.videoCodec = codec;
    spec.width = 480;
    spec.height = 270;
    spec.rate = rate;
    spec.scale = scale;
    spec.frameCount = 300;
    spec.maxBFrames = 0;
    spec.gopSize = 25;
    const std::string path = folder.File(name + "." + format);
    WriteClip(path, spec);
    return path;
}

void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: playback_screenshot <output.png> [seconds]\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Scenemark"));
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 3;

    TTempDir folder;
    const std::string cameras[] = {
        WriteDemoClip(folder, "hall-camera", "mp4", "libx264", 25, 1),
        WriteDemoClip(folder, "door-camera", "avi", "mpeg4", 30000, 1001),
        WriteDemoClip(folder, "desk-camera", "mp4", "libx264", 25, 1),
    };

    TFormMain form;
    form.show();
    RunEventsFor(200);
    for (const std::string& path : cameras)
        if (!form.AddMedium(QString::fromStdString(path))) {
            std::fprintf(stderr, "could not open %s\n", path.c_str());
            return 1;
        }
    TFormVideoList& videos = form.VideoList();
    videos.Window(1).Camera = 2;
    videos.Window(2).Offset = 1000;
    form.Action(TAppCommandId::ActionReorder)->trigger();
    form.move(0, videos.Window(0).frameGeometry().height());
    form.activateWindow();

    form.Action(TAppCommandId::ActionPlay)->trigger();
    RunEventsFor(seconds * 1000);

    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    if (!screen.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "could not save %s\n", argv[1]);
        return 1;
    }
    std::printf("position %d ms, status \"%s\"\n", form.Clock().PositionMs(),
                videos.Window(0).StatusText().toLocal8Bit().constData());
    form.Clock().Stop(false);
    return 0;
}
