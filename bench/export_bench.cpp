// The output video export through the main window: four generated 1280x720
// 25 fps cameras (MPEG-4 part 2 AVI with PCM sound), the cut changing camera
// every 5 seconds, written as Motion JPEG at quality 7500. Its wall time is
// printed as a multiple of the recording's length, and against two baselines
// measured in the same run: a bare libav loop doing the same work (decode the
// four cameras in order, convert to BGRA, encode the cut's camera to MJPEG
// AVI), and the ffmpeg command-line tool decoding the same cut (the camera
// segments through its concat demuxer) and encoding it to MJPEG AVI at the
// same quantiser (skipped with a note when ffmpeg is not installed).
//
// Usage: export_bench [seconds] [export]   (default 120; runs offscreen; with
// "export" only the export runs, for profiling)

#include "document/ui/form_main.h"
#include "media/avi/avi_file.h"
#include "platform/fake_mm_timer.h"
#include "playback/ui/form_video_list.h"
#include "tests/support/media_clips.h"
#include "tests/support/temp_dir.h"
#include "views/form_video.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <QApplication>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using TBenchClock = std::chrono::steady_clock;

constexpr int Width = 1280;
constexpr int Height = 720;
constexpr int Cameras = 4;
constexpr int CutFrames = 125; // 5 s at 25 fps
// What quality 7500 means to our compressor.
constexpr int Quantiser = 31 - 7500 * 30 / 10000;

double Seconds(TBenchClock::time_point from) {
    return std::chrono::duration<double>(TBenchClock::now() - from).count();
}

class TBenchDialogs final : public TFormMainDialogs {
public:
    explicit TBenchDialogs(std::string output) : m_output(std::move(output)) {}
    std::optional<QString> AskOpenDocument(QWidget*) override { return std::nullopt; }
    std::optional<QString> AskSaveDocument(QWidget*) override { return std::nullopt; }
    void ShowError(QWidget*, const QString& message) override {
        std::fprintf(stderr, "error: %s\n", message.toLocal8Bit().constData());
    }
    std::optional<QString> AskSaveExport(QWidget*, const QString&, const QString&) override {
        return QString::fromStdString(m_output);
    }
    bool AskCompressor(QWidget*, TAVICompressorOptions& options) override {
        options.Handler = FourCCFromText("MJPG");
        options.Quality = 7500;
        return true;
    }

private:
    std::string m_output;
};

// Decodes one file's video in order into BGRA.
class TBareDecoder {
public:
    explicit TBareDecoder(const std::string& path) : m_buffer(static_cast<size_t>(Width) * 4 * Height) {
        if (avformat_open_input(&m_input, path.c_str(), nullptr, nullptr) < 0 ||
            avformat_find_stream_info(m_input, nullptr) < 0)
            throw std::runtime_error("bare open");
        m_stream = av_find_best_stream(m_input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        const AVCodec* decoder = avcodec_find_decoder(m_input->streams[m_stream]->codecpar->codec_id);
        m_codec = avcodec_alloc_context3(decoder);
        avcodec_parameters_to_context(m_codec, m_input->streams[m_stream]->codecpar);
        m_codec->thread_count = 0;
        m_codec->thread_type = FF_THREAD_SLICE;
        if (avcodec_open2(m_codec, decoder, nullptr) < 0)
            throw std::runtime_error("bare decoder");
        m_packet = av_packet_alloc();
        m_frame = av_frame_alloc();
    }
    ~TBareDecoder() {
        av_frame_free(&m_frame);
        av_packet_free(&m_packet);
        sws_freeContext(m_scaler);
        avcodec_free_context(&m_codec);
        avformat_close_input(&m_input);
    }
    // The next picture as BGRA rows top-down; nullptr at the end.
    const uint8_t* Next() {
        for (;;) {
            const int result = avcodec_receive_frame(m_codec, m_frame);
            if (result == 0)
                break;
            if (result == AVERROR_EOF || m_ended)
                return nullptr;
            Feed();
        }
        m_scaler = sws_getCachedContext(m_scaler, m_frame->width, m_frame->height,
                                        static_cast<AVPixelFormat>(m_frame->format), Width, Height,
                                        AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
        uint8_t* planes[4] = {m_buffer.data(), nullptr, nullptr, nullptr};
        const int strides[4] = {Width * 4, 0, 0, 0};
        sws_scale(m_scaler, m_frame->data, m_frame->linesize, 0, m_frame->height, planes, strides);
        av_frame_unref(m_frame);
        return m_buffer.data();
    }

private:
    void Feed() {
        while (av_read_frame(m_input, m_packet) >= 0) {
            const bool isOurs = m_packet->stream_index == m_stream;
            if (isOurs)
                avcodec_send_packet(m_codec, m_packet);
            av_packet_unref(m_packet);
            if (isOurs)
                return;
        }
        avcodec_send_packet(m_codec, nullptr);
        m_ended = true;
    }

    AVFormatContext* m_input = nullptr;
    AVCodecContext* m_codec = nullptr;
    SwsContext* m_scaler = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_stream = -1;
    bool m_ended = false;
    std::vector<uint8_t> m_buffer;
};

// Encodes BGRA pictures to Motion JPEG in an AVI file.
class TBareEncoder {
public:
    explicit TBareEncoder(const std::string& path) {
        avformat_alloc_output_context2(&m_output, nullptr, "avi", path.c_str());
        const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
        m_codec = avcodec_alloc_context3(encoder);
        m_codec->width = Width;
        m_codec->height = Height;
        m_codec->pix_fmt = AV_PIX_FMT_YUVJ420P;
        m_codec->time_base = AVRational{1, 25};
        m_codec->thread_count = 0;
        m_codec->flags |= AV_CODEC_FLAG_QSCALE;
        m_codec->global_quality = FF_QP2LAMBDA * Quantiser;
        if (m_output->oformat->flags & AVFMT_GLOBALHEADER)
            m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(m_codec, encoder, nullptr) < 0)
            throw std::runtime_error("bare encoder");
        m_stream = avformat_new_stream(m_output, nullptr);
        avcodec_parameters_from_context(m_stream->codecpar, m_codec);
        m_stream->time_base = m_codec->time_base;
        if (avio_open(&m_output->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 ||
            avformat_write_header(m_output, nullptr) < 0)
            throw std::runtime_error("bare muxer");
        m_frame = av_frame_alloc();
        m_frame->format = m_codec->pix_fmt;
        m_frame->width = Width;
        m_frame->height = Height;
        av_frame_get_buffer(m_frame, 0);
        m_packet = av_packet_alloc();
        m_scaler = sws_getContext(Width, Height, AV_PIX_FMT_BGRA, Width, Height, AV_PIX_FMT_YUV420P,
                                  SWS_BICUBIC, nullptr, nullptr, nullptr);
        const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
        sws_setColorspaceDetails(m_scaler, coefficients, 1, coefficients, 1, 0, 1 << 16, 1 << 16);
    }
    ~TBareEncoder() {
        avcodec_send_frame(m_codec, nullptr);
        Drain();
        av_write_trailer(m_output);
        avio_closep(&m_output->pb);
        sws_freeContext(m_scaler);
        av_packet_free(&m_packet);
        av_frame_free(&m_frame);
        avcodec_free_context(&m_codec);
        avformat_free_context(m_output);
    }
    void Put(const uint8_t* bgra) {
        av_frame_make_writable(m_frame);
        const uint8_t* planes[4] = {bgra, nullptr, nullptr, nullptr};
        const int strides[4] = {Width * 4, 0, 0, 0};
        sws_scale(m_scaler, planes, strides, 0, Height, m_frame->data, m_frame->linesize);
        m_frame->pts = m_pts++;
        avcodec_send_frame(m_codec, m_frame);
        Drain();
    }

private:
    void Drain() {
        while (avcodec_receive_packet(m_codec, m_packet) == 0) {
            av_packet_rescale_ts(m_packet, m_codec->time_base, m_stream->time_base);
            m_packet->stream_index = m_stream->index;
            av_interleaved_write_frame(m_output, m_packet);
        }
    }

    AVFormatContext* m_output = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVStream* m_stream = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    SwsContext* m_scaler = nullptr;
    int64_t m_pts = 0;
};

double BareLoop(const std::string& clip, const std::string& output, int frames) {
    const TBenchClock::time_point start = TBenchClock::now();
    std::vector<std::unique_ptr<TBareDecoder>> decoders;
    for (int camera = 0; camera < Cameras; ++camera)
        decoders.push_back(std::make_unique<TBareDecoder>(clip));
    TBareEncoder encoder(output);
    for (int n = 0; n < frames; ++n) {
        std::array<const uint8_t*, Cameras> pictures{};
        for (int camera = 0; camera < Cameras; ++camera)
            pictures[static_cast<size_t>(camera)] = decoders[static_cast<size_t>(camera)]->Next();
        const uint8_t* shown = pictures[static_cast<size_t>(n / CutFrames % Cameras)];
        if (shown == nullptr)
            break;
        encoder.Put(shown);
    }
    return Seconds(start);
}

// The cut as the concat demuxer reads it: every segment of 5 s from its
// camera (all cameras are the same clip). The segments start on key frames,
// so each is decoded from its first frame exactly as the export shows it.
std::string WriteCutList(TTempDir& folder, const std::string& clip, int seconds) {
    const std::string path = folder.File("cut.ffconcat");
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr)
        throw std::runtime_error("cut list");
    std::fprintf(file, "ffconcat version 1.0\n");
    for (int start = 0; start < seconds * 25; start += CutFrames)
        std::fprintf(file, "file '%s'\ninpoint %.3f\noutpoint %.3f\n", clip.c_str(), start / 25.0,
                     std::min(start + CutFrames, seconds * 25) / 25.0);
    std::fclose(file);
    return path;
}

double Export(TTempDir& folder, const std::string& clip, const std::string& output, int& framesWritten) {
    TFormMainOptions options;
    options.SettingsFileName = folder.File("Scenemark.ini");
    options.Dialogs = std::make_unique<TBenchDialogs>(output);
    options.Timer = std::make_unique<TFakeMMTimer>();
    TFormMain form(std::move(options));
    form.show();
    QCoreApplication::processEvents();
    for (int camera = 1; camera <= Cameras; ++camera) {
        if (!form.AddMedium(QString::fromStdString(clip)))
            throw std::runtime_error("the clip does not open");
        form.VideoList().Window(camera - 1).Camera = camera;
    }
    const int32_t type = form.Project().EnsureBuiltInType(BuiltInOutput);
    const int32_t lengthMs = form.VideoList().Window(0).MediaFile()->GetVideoLength() * 40;
    std::vector<std::unique_ptr<TEvent>> events;
    for (int32_t time = 0, camera = 1; time < lengthMs;
         time += CutFrames * 40, camera = camera % Cameras + 1) {
        TParameters parameters;
        parameters.ParametersFromLines({QStringLiteral("Camera=%1").arg(camera)});
        events.push_back(std::make_unique<TEvent>(type, time, QString(), parameters));
    }
    form.Project().InsertEvents(std::move(events));
    const TBenchClock::time_point start = TBenchClock::now();
    form.Execute([&form] { form.ActionExportOutputVideoExecute(); });
    const double seconds = Seconds(start);
    TAVIFile file;
    file.Open(output, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    framesWritten = file.GetVideoLength();
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 120;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    av_log_set_level(AV_LOG_ERROR);
    TTempDir folder;
    const std::string clip = folder.File("camera.avi");
    TClipSpec spec;
    spec.format = "avi";
    spec.extension = "avi";
    spec.videoCodec = "mpeg4";
    spec.audioCodec = "pcm_s16le";
    spec.width = Width;
    spec.height = Height;
    spec.frameCount = seconds * 25;
    spec.gopSize = 25;
    spec.maxBFrames = 0;
    spec.videoBitRate = 6000000;
    spec.encoderThreads = 2;
    const TBenchClock::time_point written = TBenchClock::now();
    WriteClip(clip, spec);
    std::printf("clip: %d s of 1280x720 25 fps MPEG-4 with PCM sound, written in %.1f s; 4 cameras\n",
                seconds, Seconds(written));

    int frames = 0;
    const double ours = Export(folder, clip, folder.File("export.avi"), frames);
    if (argc > 2 && std::string(argv[2]) == "export") {
        std::printf("export: %d frames in %.2f s = %.2f x the recording's length\n", frames, ours,
                    ours / seconds);
        return 0;
    }
    const double bare = BareLoop(clip, folder.File("bare.avi"), spec.frameCount);
    std::printf("export: %d frames in %.2f s = %.2f x the recording's length (%.1f fps)\n", frames, ours,
                ours / seconds, frames / ours);
    std::printf("bare libav loop (4 decodes + 1 MJPEG encode per frame): %.2f s; export / bare = %.2f\n",
                bare, ours / bare);
    if (std::system("command -v ffmpeg >/dev/null 2>&1") == 0) {
        const std::string list = WriteCutList(folder, clip, seconds);
        const std::string cli = folder.File("cli.avi");
        const std::string command = "ffmpeg -v error -y -f concat -safe 0 -i '" + list +
                                    "' -an -c:v mjpeg -q:v " + std::to_string(Quantiser) + " '" + cli + "'";
        const TBenchClock::time_point start = TBenchClock::now();
        const int status = std::system(command.c_str());
        const double seconds = Seconds(start);
        if (status == 0) {
            TAVIFile file;
            file.Open(cli, TAVFile::ModeRead, TAVFile::StreamVideo, true);
            std::printf(
                "ffmpeg CLI (the cut's camera segments, 1 decode + 1 MJPEG encode per frame, %d frames): "
                "%.2f s; export / ffmpeg = %.2f\n",
                file.GetVideoLength(), seconds, ours / seconds);
        } else {
            std::printf("ffmpeg CLI failed (status %d): no comparison\n", status);
        }
    } else {
        std::printf("ffmpeg CLI not installed: no comparison (apt-get install ffmpeg for it)\n");
    }
    double load[3] = {};
    if (getloadavg(load, 3) > 0)
        std::printf("load average at the end: %.2f %.2f %.2f (2 cores, shared)\n", load[0], load[1], load[2]);
    return 0;
}
