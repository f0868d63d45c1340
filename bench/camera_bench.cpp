// Four phone-style cameras through the real main window on the offscreen
// platform: generated 1088 x 1920 H.264 clips at 60 fps (2-second GOPs,
// B-frames), each opened as its own medium in a video window.
//
// Sections (all by default, or the one named as the first argument):
// - play: playback at speed 100 from the start: fraction of the frames due
//   that were shown, how far the shown frame trails the clock when its
//   picture is on screen (in frame periods), CPU share of the two cores,
//   and where a tick's time goes: painting the video windows against the
//   rest of the tick (fetch and lists), with a bare-library split of one
//   frame into decoding, full-size conversion, one-pass conversion to the
//   window's size, and stretching a full-size picture to the window.
// - play720: the same for four 1280 x 720 25 fps cameras (the playback
//   benchmarks' camera clip), which must not get worse.
// - scrub: the position slider held and dragged over 20 positions, then
//   released: time until every window shows a picture for each move, and
//   until every window shows the exact frame after the release; against
//   one bare accurate seek of one medium in the same run.
//
// Usage: camera_bench [play|play720|scrub] [seconds, default 10] [zoom 0-3,
// default: as the editor opens a medium] [clip folder]
// Four clips are written, one per camera (same format, each its own content
// from its own seed), and kept under names derived from their recipes, so
// later runs (and the mpv comparison, which plays the same four) reuse them.

#include "bench/hard_clip.h"
#include "document/ui/form_main.h"
#include "media/registry/registry.h"
#include "platform/window_message.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_video_list.h"
#include "views/form_video.h"

#include <QApplication>
#include <QEventLoop>
#include <QSlider>
#include <QTimer>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using TSteady = std::chrono::steady_clock;

constexpr int32_t Cameras = 4;
constexpr int32_t PhoneWidth = 1088;
constexpr int32_t PhoneHeight = 1920;
constexpr int32_t PhoneRate = 60;
constexpr int32_t PhoneGop = 120;
constexpr int64_t PhoneBitRate = 12'000'000;

double MsSince(TSteady::time_point from) {
    return std::chrono::duration<double, std::milli>(TSteady::now() - from).count();
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()))];
}

// A moving gradient under a grain texture that slides every frame: about
// the bit rate and decoding cost of a phone camera filming a room.
void DrawPhoneFrame(std::vector<uint8_t>& bgra, const std::vector<int8_t>& grain, int32_t frame,
                    int32_t camera) {
    const int32_t shift = frame * 7 + camera * 131;
    for (int32_t y = 0; y < PhoneHeight; ++y) {
        uint8_t* row = &bgra[static_cast<size_t>(y) * PhoneWidth * 4];
        const int8_t* noise = &grain[static_cast<size_t>((y + shift) % 1024) * 1024];
        for (int32_t x = 0; x < PhoneWidth; ++x) {
            const int n = noise[(x + shift * 3) % 1024];
            row[x * 4 + 0] = static_cast<uint8_t>(std::clamp((x + 3 * frame) % 256 + n, 0, 255));
            row[x * 4 + 1] = static_cast<uint8_t>(std::clamp((y + 2 * frame) % 256 + n, 0, 255));
            row[x * 4 + 2] = static_cast<uint8_t>(std::clamp((x + y) / 8 % 256 - n, 0, 255));
            row[x * 4 + 3] = 255;
        }
    }
}

// Writes `frames` pictures of DrawPhoneFrame with libx264 at the "veryfast"
// preset (two B-frames, 2-second GOPs): the backend's writer uses the
// encoder's slow default preset, far too slow for clips of this size.
void WritePhoneClip(const std::string& path, int32_t frames, int32_t camera) {
    AVFormatContext* output = nullptr;
    if (avformat_alloc_output_context2(&output, nullptr, "mp4", path.c_str()) < 0)
        throw std::runtime_error("no mp4 muxer");
    const AVCodec* encoder = avcodec_find_encoder_by_name("libx264");
    AVStream* stream = avformat_new_stream(output, nullptr);
    AVCodecContext* codec = avcodec_alloc_context3(encoder);
    codec->width = PhoneWidth;
    codec->height = PhoneHeight;
    codec->time_base = AVRational{1, PhoneRate};
    codec->framerate = AVRational{PhoneRate, 1};
    codec->pix_fmt = AV_PIX_FMT_YUV420P;
    codec->gop_size = PhoneGop;
    codec->max_b_frames = 2;
    codec->bit_rate = PhoneBitRate;
    if (output->oformat->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", "veryfast", 0);
    if (avcodec_open2(codec, encoder, &options) < 0 ||
        avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
        throw std::runtime_error("cannot open the encoder or " + path);
    av_dict_free(&options);
    avcodec_parameters_from_context(stream->codecpar, codec);
    stream->time_base = codec->time_base;
    if (avformat_write_header(output, nullptr) < 0)
        throw std::runtime_error("cannot write the header");
    SwsContext* scaler = sws_getContext(PhoneWidth, PhoneHeight, AV_PIX_FMT_BGRA, PhoneWidth, PhoneHeight,
                                        AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    AVFrame* picture = av_frame_alloc();
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = PhoneWidth;
    picture->height = PhoneHeight;
    av_frame_get_buffer(picture, 0);
    AVPacket* packet = av_packet_alloc();
    std::vector<uint8_t> bgra(static_cast<size_t>(PhoneWidth) * 4 * PhoneHeight);
    std::vector<int8_t> grain(1024 * 1024);
    std::mt19937 random(7 + camera);
    std::uniform_int_distribution<int> noise(-12, 12);
    for (int8_t& value : grain)
        value = static_cast<int8_t>(noise(random));
    const auto drain = [&](AVFrame* frame) {
        avcodec_send_frame(codec, frame);
        while (avcodec_receive_packet(codec, packet) == 0) {
            // Without a duration the MP4 muxer drops the last picture.
            packet->duration = 1;
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            av_interleaved_write_frame(output, packet);
        }
    };
    for (int32_t i = 0; i < frames; ++i) {
        DrawPhoneFrame(bgra, grain, i, camera);
        av_frame_make_writable(picture);
        const uint8_t* source[1] = {bgra.data()};
        const int stride[1] = {PhoneWidth * 4};
        sws_scale(scaler, source, stride, 0, PhoneHeight, picture->data, picture->linesize);
        picture->pts = i;
        drain(picture);
    }
    drain(nullptr);
    av_write_trailer(output);
    avio_closep(&output->pb);
    av_packet_free(&packet);
    av_frame_free(&picture);
    sws_freeContext(scaler);
    avcodec_free_context(&codec);
    avformat_free_context(output);
}

// Camera `camera`'s clip of `seconds`, written unless a clip of the same
// recipe is already in the folder.
std::string EnsurePhoneClip(const std::filesystem::path& folder, int32_t camera, int32_t seconds) {
    const std::string recipe = "phone-v2-" + std::to_string(PhoneWidth) + "x" + std::to_string(PhoneHeight) +
                               "-" + std::to_string(PhoneRate) + "fps-gop" + std::to_string(PhoneGop) +
                               "-b2-" + std::to_string(PhoneBitRate) + "-veryfast-" +
                               std::to_string(seconds) + "s-cam" + std::to_string(camera);
    const std::string path =
        (folder / ("camera-" + std::to_string(std::hash<std::string>{}(recipe) % 1000000007) + ".mp4"))
            .string();
    if (std::filesystem::exists(path))
        return path;
    std::printf("Writing camera %d: %d s of %dx%d at %d fps (once)...\n", camera, seconds, PhoneWidth,
                PhoneHeight, PhoneRate);
    std::fflush(stdout);
    const auto started = TSteady::now();
    const std::string partial = path + ".part.mp4";
    WritePhoneClip(partial, seconds * PhoneRate, camera);
    std::filesystem::rename(partial, path);
    std::printf("  written in %.0f s: %s\n", MsSince(started) / 1000.0, path.c_str());
    return path;
}

// Times what the UI thread spends delivering events: ticks (window
// messages to the main window) and paints of the video windows' picture
// areas, which happen inside the ticks.
class TTimedApplication final : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        const bool isTick = event->type() == TWindowMessageEvent::EventType();
        bool isVideoPaint = false;
        if (event->type() == QEvent::Paint && receiver->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(receiver);
            const auto* form = dynamic_cast<const TFormVideo*>(widget->window());
            isVideoPaint = form != nullptr && form->ImageVideo == widget;
        }
        if (!isTick && !isVideoPaint)
            return QApplication::notify(receiver, event);
        const auto started = TSteady::now();
        const bool result = QApplication::notify(receiver, event);
        const double ms = MsSince(started);
        if (isTick) {
            TickMs += ms;
            ++Ticks;
            if (AfterTick)
                AfterTick();
        } else {
            VideoPaintMs += ms;
            ++VideoPaints;
        }
        return result;
    }

    void ResetCounters() {
        TickMs = VideoPaintMs = 0;
        Ticks = VideoPaints = 0;
    }

    double TickMs = 0;
    double VideoPaintMs = 0;
    int64_t Ticks = 0;
    int64_t VideoPaints = 0;
    std::function<void()> AfterTick;
};

TTimedApplication* App() {
    return static_cast<TTimedApplication*>(QCoreApplication::instance());
}

void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct TEditor {
    TEditor(const std::vector<std::string>& clips, const std::filesystem::path& folder, int zoom) {
        // FFmpeg first: the backend the editor uses for MP4 files once the
        // Input devices dialog puts it there.
        const std::filesystem::path settings = folder / "camera-bench.ini";
        std::ofstream(settings) << "[InputDevices]\n2=0\n1=1\n0=2\n3=3\n";
        TFormMainOptions options;
        options.SettingsFileName = settings.string();
        form = std::make_unique<TFormMain>(std::move(options));
        form->show();
        RunEventsFor(100);
        for (const std::string& clip : clips)
            if (!form->AddMedium(QString::fromStdString(clip)))
                throw std::runtime_error("could not open " + clip);
        for (int32_t i = 0; i < form->VideoList().Count(); ++i)
            if (zoom >= 0)
                form->VideoList().Window(i).SetZoom(zoom);
        RunEventsFor(200);
        const TFormVideo& first = form->VideoList().Window(0);
        std::printf("  %d windows, picture area %dx%d (zoom level %d), backend \"%s\"\n",
                    form->VideoList().Count(), first.ImageVideo->width(), first.ImageVideo->height(),
                    first.ZoomLevel(), first.MediaFile()->GetDescription().c_str());
    }
    ~TEditor() { form->Clock().Stop(false); }
    std::unique_ptr<TFormMain> form;
};

// Bare-library costs of one frame of the clip, in ms: decode only, decode
// and convert to full-size BGRA, decode and convert straight to the window
// size; and the painter's stretch of a full-size picture to the window.
struct TSplit {
    double decodeMs = 0;
    double fullConvertMs = 0;
    double scaledConvertMs = 0;
    double stretchMs = 0;
};

TSplit MeasureSplit(const std::string& clip, int frames, QSize window) {
    TSplit split;
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, clip.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(input, nullptr) < 0)
        return split;
    const int index = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodec* decoder = avcodec_find_decoder(input->streams[index]->codecpar->codec_id);
    AVCodecContext* codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec, input->streams[index]->codecpar);
    codec->thread_count = 0;
    avcodec_open2(codec, decoder, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* picture = av_frame_alloc();
    const int width = codec->width;
    const int height = codec->height;
    std::vector<uint8_t> full(static_cast<size_t>(width) * height * 4);
    std::vector<uint8_t> small(static_cast<size_t>(window.width()) * window.height() * 4);
    SwsContext* fullScaler = nullptr;
    SwsContext* smallScaler = nullptr;
    QImage surface(window, QImage::Format_RGB32);
    int decoded = 0;
    double decodeMs = 0;
    double fullMs = 0;
    double smallMs = 0;
    double stretchMs = 0;
    while (decoded < frames && av_read_frame(input, packet) >= 0) {
        if (packet->stream_index != index) {
            av_packet_unref(packet);
            continue;
        }
        auto started = TSteady::now();
        avcodec_send_packet(codec, packet);
        av_packet_unref(packet);
        while (avcodec_receive_frame(codec, picture) == 0) {
            decodeMs += MsSince(started);
            const auto format = static_cast<AVPixelFormat>(picture->format);
            fullScaler = sws_getCachedContext(fullScaler, width, height, format, width, height,
                                              AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
            smallScaler =
                sws_getCachedContext(smallScaler, width, height, format, window.width(), window.height(),
                                     AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
            uint8_t* fullPlanes[4] = {full.data(), nullptr, nullptr, nullptr};
            const int fullStrides[4] = {width * 4, 0, 0, 0};
            started = TSteady::now();
            sws_scale(fullScaler, picture->data, picture->linesize, 0, height, fullPlanes, fullStrides);
            fullMs += MsSince(started);
            uint8_t* smallPlanes[4] = {small.data(), nullptr, nullptr, nullptr};
            const int smallStrides[4] = {window.width() * 4, 0, 0, 0};
            started = TSteady::now();
            sws_scale(smallScaler, picture->data, picture->linesize, 0, height, smallPlanes, smallStrides);
            smallMs += MsSince(started);
            started = TSteady::now();
            {
                QPainter painter(&surface);
                painter.drawImage(QRect(QPoint(0, 0), window),
                                  QImage(full.data(), width, height, width * 4, QImage::Format_RGB32));
            }
            stretchMs += MsSince(started);
            ++decoded;
            started = TSteady::now();
        }
    }
    if (decoded > 0)
        split = {decodeMs / decoded, fullMs / decoded, smallMs / decoded, stretchMs / decoded};
    sws_freeContext(fullScaler);
    sws_freeContext(smallScaler);
    av_frame_free(&picture);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&input);
    return split;
}

void PlaySection(const char* title, const std::vector<std::string>& clips,
                 const std::filesystem::path& folder, int zoom, int seconds, double rate) {
    std::printf("\n%s: %d cameras at speed 100 for %d s from the start\n", title, Cameras, seconds);
    TEditor editor(clips, folder, zoom);
    TFormMain& form = *editor.form;
    const double periodMs = 1000.0 / rate;
    std::vector<double> trailFrames;
    TSteady::time_point playStarted;
    int32_t startPosition = 0;
    App()->AfterTick = [&] {
        if (!form.Clock().IsPlaying())
            return;
        // Where the clock is now, when the tick's pictures are on screen,
        // against the frame they show.
        const double clockMs = startPosition + MsSince(playStarted);
        trailFrames.push_back((clockMs - form.Clock().PositionMs()) / periodMs);
    };
    form.Clock().SetPosition(0);
    const double cpu = CpuSeconds();
    App()->ResetCounters();
    playStarted = TSteady::now();
    startPosition = form.Clock().PositionMs();
    form.Clock().Play();
    const int32_t firstFrame = form.Clock().Groups().at(0).Frame;
    RunEventsFor(seconds * 1000);
    const double wallS = MsSince(playStarted) / 1000.0;
    const double cpuShare = (CpuSeconds() - cpu) / wallS / 2.0;
    App()->AfterTick = nullptr;
    if (form.Clock().Groups().empty()) {
        std::printf("  playback ended early\n");
        return;
    }
    const TTimerInfo& group = form.Clock().Groups()[0];
    const int64_t due = group.Frame - firstFrame;
    const int64_t shown = due - group.Dropped;
    const int64_t ticks = App()->Ticks;
    std::printf(
        "  frames due %lld, shown %lld, dropped %d: shown / due = %.3f (the clock's last rate %.2f fps "
        "of %.0f)\n",
        static_cast<long long>(due), static_cast<long long>(shown), group.Dropped,
        due > 0 ? static_cast<double>(shown) / due : 0.0, group.Fps, rate);
    std::printf(
        "  shown frame behind the clock when painted, in frame periods: median %.2f, 95th %.2f, worst "
        "%.2f\n",
        Percentile(trailFrames, 0.5), Percentile(trailFrames, 0.95), Percentile(trailFrames, 1.0));
    std::printf("  CPU share of the two cores %.3f\n", cpuShare);
    const double tickMs = ticks ? App()->TickMs / ticks : 0;
    const double paintMs = ticks ? App()->VideoPaintMs / ticks : 0;
    std::printf("  per tick (%lld ticks): %.2f ms = %.3f frame periods; video painting %.2f ms (%.3f), "
                "fetch + lists + rest %.2f ms (%.3f)\n",
                static_cast<long long>(ticks), tickMs, tickMs / periodMs, paintMs, paintMs / periodMs,
                tickMs - paintMs, (tickMs - paintMs) / periodMs);
    const QSize window = form.VideoList().Window(0).ImageVideo->size();
    const TSplit split = MeasureSplit(clips[0], 120, window);
    const double bare = split.decodeMs + split.fullConvertMs + split.stretchMs;
    std::printf("  bare split of one frame for one %dx%d window (ms, share of decode + full conversion + "
                "stretch = %.2f ms):\n"
                "    decode %.2f (%.2f), full-size conversion %.2f (%.2f), stretch to window %.2f (%.2f), "
                "one-pass conversion to window size %.2f (%.2f)\n",
                window.width(), window.height(), bare, split.decodeMs, split.decodeMs / bare,
                split.fullConvertMs, split.fullConvertMs / bare, split.stretchMs, split.stretchMs / bare,
                split.scaledConvertMs, split.scaledConvertMs / bare);
    std::fflush(stdout);
}

void ScrubSection(const std::vector<std::string>& clips, const std::filesystem::path& folder, int zoom) {
    std::printf("\nScrubbing with %d cameras: slider held and moved to 20 positions, then released\n",
                Cameras);
    TEditor editor(clips, folder, zoom);
    TFormMain& form = *editor.form;
    QSlider& slider = *form.TrackBar;
    std::mt19937 random(11);
    std::uniform_int_distribution<int32_t> position(0, slider.maximum());
    std::vector<double> moves;
    std::vector<double> moveReturns;
    std::vector<double> releases;
    const auto isPending = [&form] {
        for (int32_t i = 0; i < form.VideoList().Count(); ++i)
            if (form.VideoList().Window(i).IsPicturePending())
                return true;
        return false;
    };
    // Until every window shows the picture of the last position asked for.
    const auto waitForPictures = [&isPending] {
        while (isPending()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        QCoreApplication::processEvents();
    };
    for (int round = 0; round < 5; ++round) {
        slider.setSliderDown(true);
        for (int i = 0; i < 4; ++i) {
            const auto started = TSteady::now();
            slider.setValue(position(random));
            moveReturns.push_back(MsSince(started));
            waitForPictures();
            moves.push_back(MsSince(started));
        }
        const auto started = TSteady::now();
        slider.setSliderDown(false); // the release
        QCoreApplication::processEvents();
        releases.push_back(MsSince(started));
    }
    // Baseline: one medium's bare accurate seek to random frames (the
    // backend's own, with its decoder threads).
    std::unique_ptr<TAVFile> bare = CreateBackend(2);
    bare->Open(clips[0], TAVFile::ModeRead, TAVFile::StreamVideo, true);
    std::uniform_int_distribution<int32_t> frame(0, bare->GetVideoLength() - 1);
    std::vector<double> seeks;
    for (int i = 0; i < 20; ++i) {
        const auto started = TSteady::now();
        bare->GetFrameAt(frame(random));
        seeks.push_back(MsSince(started));
    }
    const double bareMedian = Percentile(seeks, 0.5);
    std::printf("  during the drag, until every window shows a picture: median %.1f ms, worst %.1f ms "
                "(goal 150 ms: ratio %.2f / %.2f); the window thread is back after median %.2f ms, "
                "worst %.2f ms\n",
                Percentile(moves, 0.5), Percentile(moves, 1.0), Percentile(moves, 0.5) / 150.0,
                Percentile(moves, 1.0) / 150.0, Percentile(moveReturns, 0.5), Percentile(moveReturns, 1.0));
    std::printf(
        "  after the release, until every window shows the exact frame: median %.1f ms, worst %.1f ms\n",
        Percentile(releases, 0.5), Percentile(releases, 1.0));
    std::printf("  bare accurate seek of one medium: median %.1f ms, worst %.1f ms; release median / bare "
                "median = %.2f (goal 1.2)\n",
                bareMedian, Percentile(seeks, 1.0), Percentile(releases, 0.5) / bareMedian);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TTimedApplication app(argc, argv);
    const std::string only = argc > 1 ? argv[1] : "";
    const int seconds = argc > 2 ? std::max(2, std::atoi(argv[2])) : 10;
    const int zoom = argc > 3 ? std::atoi(argv[3]) : -1;
    const std::filesystem::path folder = argc > 4
                                             ? std::filesystem::path(argv[4])
                                             : std::filesystem::temp_directory_path() / "scenemark-bench";
    std::filesystem::create_directories(folder);
    if (only.empty() || only == "play" || only == "scrub") {
        // One second more than is played, so the run ends before the clips.
        // Four different clips: one clip four times shares the demuxer's
        // page cache and the decoders' branch history, which flatters it.
        std::vector<std::string> phones;
        for (int32_t camera = 0; camera < Cameras; ++camera)
            phones.push_back(EnsurePhoneClip(folder, camera, seconds + 1));
        std::printf("Clips (for bench/mpv_compare.sh %d", seconds);
        for (const std::string& clip : phones)
            std::printf(" %s", clip.c_str());
        std::printf("):\n");
        if (only.empty() || only == "play")
            PlaySection("1088x1920 60 fps H.264", phones, folder, zoom, seconds, PhoneRate);
        if (only.empty() || only == "scrub")
            ScrubSection(phones, folder, zoom);
    }
    if (only.empty() || only == "play720") {
        const std::string clip = EnsureHardClip(folder);
        PlaySection("1280x720 25 fps H.264", std::vector<std::string>(Cameras, clip), folder, zoom,
                    std::min(seconds, HardClipFrames / 25 - 1), 25.0);
    }
    return 0;
}
