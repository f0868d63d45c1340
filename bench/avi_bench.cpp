// Figures of the AVI backend against a bare libavformat + libavcodec +
// swscale loop over the same AVI files, measured in the same run (the machine
// is shared: read the ratios, not the absolute times).
//
// - Sequential GetFrame over every frame against decoding and converting every
//   picture into one reused BGRA buffer.
// - GetFrameAt at 50 random positions against a bare accurate seek from the
//   same key frame: seek back to it, decode forward to the target, convert.

#include "media/avi/avi_file.h"
#include "tests/support/media_clips.h"
#include "tests/support/temp_dir.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point from) {
    return std::chrono::duration<double>(TClock::now() - from).count();
}

class TBareReader {
public:
    explicit TBareReader(const std::string& path) {
        if (avformat_open_input(&m_input, path.c_str(), nullptr, nullptr) < 0 ||
            avformat_find_stream_info(m_input, nullptr) < 0)
            throw std::runtime_error("bare open");
        m_stream = av_find_best_stream(m_input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        const AVStream* stream = m_input->streams[m_stream];
        const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
        m_codec = avcodec_alloc_context3(decoder);
        avcodec_parameters_to_context(m_codec, stream->codecpar);
        // As our decompressor: slice threads where the codec has them.
        m_codec->thread_count = 0;
        m_codec->thread_type = FF_THREAD_SLICE;
        m_codec->pkt_timebase = stream->time_base;
        if (avcodec_open2(m_codec, decoder, nullptr) < 0)
            throw std::runtime_error("bare decoder");
        m_width = m_codec->width;
        m_height = m_codec->height;
        m_buffer.resize(static_cast<size_t>(m_width) * 4 * m_height);
        m_packet = av_packet_alloc();
        m_frame = av_frame_alloc();
    }
    ~TBareReader() {
        av_frame_free(&m_frame);
        av_packet_free(&m_packet);
        sws_freeContext(m_scaler);
        avcodec_free_context(&m_codec);
        avformat_close_input(&m_input);
    }

    int DecodeAll() {
        int frames = 0;
        bool ended = false;
        for (;;) {
            const int result = avcodec_receive_frame(m_codec, m_frame);
            if (result == 0) {
                Convert();
                ++frames;
            } else if (result == AVERROR_EOF || ended) {
                return frames;
            } else if (!Feed()) {
                ended = true;
            }
        }
    }

    // Seeks back to the key frame at or before the frame (the preroll our
    // decompressor has: it starts at the index's key frame) and decodes on.
    void SeekAccurate(int frame) {
        const AVStream* stream = m_input->streams[m_stream];
        const AVRational rate = stream->r_frame_rate;
        const int64_t target = av_rescale_q(frame, av_inv_q(rate), stream->time_base);
        av_seek_frame(m_input, m_stream, target, AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(m_codec);
        bool ended = false;
        for (;;) {
            const int result = avcodec_receive_frame(m_codec, m_frame);
            if (result == 0) {
                if (m_frame->best_effort_timestamp >= target) {
                    Convert();
                    return;
                }
                av_frame_unref(m_frame);
            } else if (result == AVERROR_EOF || ended) {
                return;
            } else if (!Feed()) {
                ended = true;
            }
        }
    }

private:
    bool Feed() {
        for (;;) {
            if (av_read_frame(m_input, m_packet) < 0) {
                avcodec_send_packet(m_codec, nullptr);
                return false;
            }
            const bool ours = m_packet->stream_index == m_stream;
            if (ours)
                avcodec_send_packet(m_codec, m_packet);
            av_packet_unref(m_packet);
            if (ours)
                return true;
        }
    }

    void Convert() {
        m_scaler = sws_getCachedContext(m_scaler, m_frame->width, m_frame->height,
                                        static_cast<AVPixelFormat>(m_frame->format), m_width, m_height,
                                        AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
        uint8_t* planes[4] = {m_buffer.data(), nullptr, nullptr, nullptr};
        const int strides[4] = {m_width * 4, 0, 0, 0};
        sws_scale(m_scaler, m_frame->data, m_frame->linesize, 0, m_frame->height, planes, strides);
        av_frame_unref(m_frame);
    }

    AVFormatContext* m_input = nullptr;
    AVCodecContext* m_codec = nullptr;
    SwsContext* m_scaler = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_stream = -1;
    int m_width = 0;
    int m_height = 0;
    std::vector<uint8_t> m_buffer;
};

int ReadAll(const std::string& path) {
    TAVIFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    const int frames = file.GetVideoLength();
    for (int n = 0; n < frames; ++n)
        file.GetFrame();
    return frames;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Best of five rounds each, in alternating order so that neither reader
// always finds the file's pages warmed by the other; with the process's CPU
// time, which other work on a shared machine disturbs far less than the
// wall time.
void Sequential(const std::string& label, const std::string& path) {
    double bare = 1e9, ours = 1e9, bareCpu = 1e9, ourCpu = 1e9;
    int bareFrames = 0, ourFrames = 0;
    for (int round = 0; round < 5; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool isBare = (round + turn) % 2 == 0;
            const auto start = TClock::now();
            const double cpu = CpuSeconds();
            if (isBare) {
                TBareReader reader(path);
                bareFrames = reader.DecodeAll();
                bare = std::min(bare, Seconds(start));
                bareCpu = std::min(bareCpu, CpuSeconds() - cpu);
            } else {
                ourFrames = ReadAll(path);
                ours = std::min(ours, Seconds(start));
                ourCpu = std::min(ourCpu, CpuSeconds() - cpu);
            }
        }
    }
    std::printf(
        "%-10s sequential: bare %7.1f fps  TAVIFile %7.1f fps  ratio %.3f (CPU time bare / ours %.3f)%s\n",
        label.c_str(), bareFrames / bare, ourFrames / ours, (ourFrames / ours) / (bareFrames / bare),
        (bareCpu / bareFrames) / (ourCpu / ourFrames),
        bareFrames == ourFrames ? "" : "  (frame counts differ!)");
}

void Random(const std::string& label, const std::string& path, int frames) {
    std::mt19937 random(2024);
    std::vector<int> positions(50);
    for (int& position : positions)
        position = static_cast<int>(random() % frames);
    TBareReader reader(path);
    TAVIFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    std::vector<double> bare, ours;
    for (const int position : positions) {
        auto start = TClock::now();
        reader.SeekAccurate(position);
        bare.push_back(Seconds(start));
        start = TClock::now();
        file.GetFrameAt(position);
        ours.push_back(Seconds(start));
    }
    std::printf("%-10s random:     bare median %6.2f ms  TAVIFile median %6.2f ms  ratio %.3f\n",
                label.c_str(), Median(bare) * 1000, Median(ours) * 1000, Median(ours) / Median(bare));
}

} // namespace

// Usage: avi_bench [MJPEG|MPEG-4|raw] [sequential|random]   (default: all)
int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    const std::string part = argc > 2 ? argv[2] : "";
    av_log_set_level(AV_LOG_ERROR);
    TTempDir folder;
    const struct {
        const char* label;
        const char* codec;
        const char* pixels;
    } clips[] = {{"MJPEG", "mjpeg", ""}, {"MPEG-4", "mpeg4", ""}, {"BI_RGB 24", "rawvideo", "bgr24"}};
    for (const auto& clip : clips) {
        if (!only.empty() && only != clip.label && !(only == "raw" && std::string(clip.codec) == "rawvideo"))
            continue;
        TClipSpec spec;
        spec.label = clip.label;
        spec.format = "avi";
        spec.extension = "avi";
        spec.videoCodec = clip.codec;
        spec.pixelFormat = clip.pixels;
        spec.width = 1280;
        spec.height = 720;
        spec.frameCount = 250;
        spec.gopSize = 25;
        spec.maxBFrames = 0;
        spec.videoBitRate = 8000000;
        const std::string path = folder.File(std::string(clip.codec) + ".avi");
        WriteClip(path, spec);
        if (part != "random")
            Sequential(clip.label, path);
        if (part != "sequential")
            Random(clip.label, path, spec.frameCount);
    }
    return 0;
}
