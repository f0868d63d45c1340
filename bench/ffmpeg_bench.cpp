// Figures of the FFmpeg backend against bare library loops over the same
// files, measured in the same run (the machine is shared: read the ratios,
// not the absolute times).
//
// - Sequential GetFrameAt(0..n-1) against a plain decode-and-convert loop
//   into one reused BGRA buffer (the limit), single-threaded and with the
//   decoder's own threads.
// - GetFrameAt at 50 random positions against a bare accurate seek with the
//   same one-second preroll.
// - Page faults per frame while reading in order (a frame-sized allocation
//   per frame shows as thousands).
// - Heap and resident memory while reading a 10-minute interleaved clip with the
//   consumers the interface asks for, against one that leaves the audio.

#include "media/ffmpeg/ff_file.h"
#include "tests/support/media_clips.h"
#include "tests/support/temp_dir.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point from) {
    return std::chrono::duration<double>(TClock::now() - from).count();
}

// CPU time of the whole process (decoder threads included): other users of
// this shared machine barely move it, while they can double wall times.
double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct TTimes {
    double wall = 1e9;
    double cpu = 1e9;
};

// Runs action and keeps the smallest wall and CPU times seen so far.
template <typename Action> void Measure(TTimes& best, Action action) {
    const double cpu = CpuSeconds();
    const auto wall = TClock::now();
    action();
    best.wall = std::min(best.wall, Seconds(wall));
    best.cpu = std::min(best.cpu, CpuSeconds() - cpu);
}

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double ResidentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// The limit: demultiplex, decode, convert each picture into one buffer.
class TBareReader {
public:
    TBareReader(const std::string& path, int threads) {
        if (avformat_open_input(&m_input, path.c_str(), nullptr, nullptr) < 0 ||
            avformat_find_stream_info(m_input, nullptr) < 0)
            throw std::runtime_error("bare open");
        m_stream = av_find_best_stream(m_input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        const AVStream* stream = m_input->streams[m_stream];
        const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
        m_codec = avcodec_alloc_context3(decoder);
        avcodec_parameters_to_context(m_codec, stream->codecpar);
        m_codec->thread_count = threads;
        m_codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
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
                continue;
            }
            if (result == AVERROR_EOF)
                return frames;
            if (ended)
                return frames;
            if (!Feed())
                ended = true;
        }
    }

    // Seek one second before the target, decode forward, convert the target.
    void SeekAccurate(int frame) {
        const AVStream* stream = m_input->streams[m_stream];
        const AVRational rate = stream->r_frame_rate;
        const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
        const int64_t target = start + av_rescale_q(frame, av_inv_q(rate), stream->time_base);
        const int64_t targetUs = av_rescale_q(frame, av_inv_q(rate), AVRational{1, AV_TIME_BASE});
        const int64_t formatStart = m_input->start_time != AV_NOPTS_VALUE ? m_input->start_time : 0;
        av_seek_frame(m_input, -1, std::max<int64_t>(targetUs - AV_TIME_BASE + formatStart, 0),
                      AVSEEK_FLAG_BACKWARD);
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
                continue;
            }
            if (result == AVERROR_EOF || ended)
                return;
            if (!Feed())
                ended = true;
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
                                        AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
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

int ReadAllFrames(const std::string& path, int threads) {
    TFFFile file;
    file.SetDecoderThreads(threads);
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    int frames = 0;
    for (;; ++frames) {
        try {
            file.GetFrameAt(frames);
        } catch (const TAVFile::AVFileErrorRead&) {
            return frames;
        }
    }
}

void Sequential(const std::string& label, const std::string& path, int threads) {
    TTimes limit;
    TTimes ours;
    int frames = 0;
    long oursFaults = 0;
    long limitFaults = 0;
    for (int round = 0; round < 5; ++round) {
        long faults = MinorFaults();
        Measure(limit, [&] {
            TBareReader bare(path, threads);
            frames = bare.DecodeAll();
        });
        limitFaults = MinorFaults() - faults;
        faults = MinorFaults();
        int read = 0;
        Measure(ours, [&] { read = ReadAllFrames(path, threads); });
        oursFaults = MinorFaults() - faults;
        if (read != frames)
            std::printf("  !! %s: backend read %d frames, the loop %d\n", label.c_str(), read, frames);
    }
    std::printf("%-22s threads=%s  limit %7.1f fps  backend %7.1f fps  ratio %.3f (CPU time ratio %.3f)  "
                "page faults/frame %.1f (limit %.1f)\n",
                label.c_str(), threads == 1 ? "1   " : "auto", frames / limit.wall, frames / ours.wall,
                limit.wall / ours.wall, limit.cpu / ours.cpu, static_cast<double>(oursFaults) / frames,
                static_cast<double>(limitFaults) / frames);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void RandomAccess(const std::string& label, const std::string& path, int frames, int threads) {
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> anywhere(0, frames - 1);
    std::vector<int> positions(50);
    for (int& position : positions)
        position = anywhere(random);

    std::vector<double> bareWall;
    std::vector<double> bareCpu;
    std::vector<double> oursWall;
    std::vector<double> oursCpu;
    TBareReader bare(path, threads);
    TFFFile file;
    file.SetDecoderThreads(threads);
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    for (int position : positions) {
        TTimes times;
        Measure(times, [&] { bare.SeekAccurate(position); });
        bareWall.push_back(times.wall * 1000);
        bareCpu.push_back(times.cpu * 1000);
        times = TTimes{};
        Measure(times, [&] { file.GetFrameAt(position); });
        oursWall.push_back(times.wall * 1000);
        oursCpu.push_back(times.cpu * 1000);
    }
    std::printf(
        "%-22s threads=%s  bare median %6.1f ms worst %6.1f ms  GetFrameAt median %6.1f ms worst %6.1f ms  "
        "median ratio %.3f (CPU time ratio %.3f)\n",
        label.c_str(), threads == 1 ? "1   " : "auto", Median(bareWall),
        *std::max_element(bareWall.begin(), bareWall.end()), Median(oursWall),
        *std::max_element(oursWall.begin(), oursWall.end()), Median(oursWall) / Median(bareWall),
        Median(oursCpu) / Median(bareCpu));
}

double HeapInUseMiB() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

// Reads a long interleaved clip with one kind of consumer, in a child
// process of its own so that no earlier section's memory blurs the figures,
// and reports heap in use and resident size after one minute and at the end.
void Memory(const std::string& label, const std::string& path, int32_t streams,
            const std::function<void(TFFFile&, int)>& step, int frames) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child != 0) {
        int status = 0;
        waitpid(child, &status, 0);
        return;
    }
    TFFFile file;
    file.SetDecoderThreads(1);
    file.Open(path, TAVFile::ModeRead, streams, true);
    double earlyHeap = 0;
    double earlyResident = 0;
    for (int i = 0; i < frames; ++i) {
        step(file, i);
        if (i == frames / 10) {
            earlyHeap = HeapInUseMiB();
            earlyResident = ResidentMiB();
        }
    }
    const double lateHeap = HeapInUseMiB();
    const double lateResident = ResidentMiB();
    std::printf(
        "%-40s heap in use %5.1f -> %5.1f MiB (ratio %.3f), resident %5.1f -> %5.1f MiB (ratio %.3f)\n",
        label.c_str(), earlyHeap, lateHeap, lateHeap / earlyHeap, earlyResident, lateResident,
        lateResident / earlyResident);
    std::fflush(stdout);
    _exit(0);
}

} // namespace

std::vector<char> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

double OpenSeconds(const std::string& path, int32_t& length) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        TFFFile file;
        const auto start = TClock::now();
        file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
        best = std::min(best, Seconds(start));
        length = file.GetVideoLength();
    }
    return best;
}

// A stream that states no duration is measured at open by reading all its
// packets; the baseline is the same pictures in a program stream with
// timestamps.
void NoDurationScan(TTempDir& folder) {
    TClipSpec spec;
    spec.label = "scan";
    spec.format = "mpeg1video";
    spec.videoCodec = "mpeg1video";
    spec.width = 720;
    spec.height = 576;
    spec.frameCount = 1500; // one minute at 25 fps
    spec.videoBitRate = 6000000;
    const std::string elementary = folder.File("minute.m1v");
    WriteClip(elementary, spec);
    const std::string bare = folder.File("minute-bare.mpg");
    {
        const std::vector<char> bytes = BareProgramStream(FileBytes(elementary));
        std::ofstream(bare, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    spec.format = "mpeg";
    const std::string stamped = folder.File("minute-stamped.mpg");
    WriteClip(stamped, spec);
    int32_t bareLength = 0;
    int32_t stampedLength = 0;
    const double bareSeconds = OpenSeconds(bare, bareLength);
    const double stampedSeconds = OpenSeconds(stamped, stampedLength);
    std::printf("\nOpening one minute of 720x576 MPEG-1 at 6 Mbit/s without any duration (%d frames found) "
                "against the same with timestamps (%d frames):\n  %.1f ms against %.1f ms, ratio %.2f; "
                "the scan costs %.1f ms per minute of media\n",
                bareLength, stampedLength, bareSeconds * 1000, stampedSeconds * 1000,
                bareSeconds / stampedSeconds, (bareSeconds - stampedSeconds) * 1000);
}

int main(int argc, char** argv) {
    // Optional argument: one section only (sequential, random, scan, memory).
    const std::string only = argc > 1 ? argv[1] : "";
    const auto wanted = [&](const char* section) { return only.empty() || only == section; };
    TTempDir folder;
    std::printf("Writing the clips...\n");
    std::fflush(stdout);

    TClipSpec h264;
    h264.label = "h264";
    h264.format = "mp4";
    h264.videoCodec = "libx264";
    h264.width = 1920;
    h264.height = 1080;
    h264.frameCount = 250;
    h264.gopSize = 50; // two-second GOPs
    h264.maxBFrames = 2;
    h264.videoBitRate = 8000000;
    h264.encoderThreads = 2;
    const std::string h264Path = folder.File("h264-1080p.mp4");
    if (wanted("sequential") || wanted("random"))
        WriteClip(h264Path, h264);

    TClipSpec mpeg4;
    mpeg4.label = "mpeg4";
    mpeg4.format = "avi";
    mpeg4.videoCodec = "mpeg4";
    mpeg4.width = 720;
    mpeg4.height = 576;
    mpeg4.frameCount = 1000;
    mpeg4.gopSize = 12;
    mpeg4.maxBFrames = 0;
    mpeg4.videoBitRate = 4000000;
    const std::string mpeg4Path = folder.File("mpeg4-576p.avi");
    if (wanted("sequential") || wanted("random"))
        WriteClip(mpeg4Path, mpeg4);

    if (wanted("sequential")) {
        std::printf("\nSequential GetFrameAt(0..n-1) against a decode-and-convert loop (ratio = "
                    "backend/limit fps):\n");
        for (int threads : {1, 0}) {
            Sequential("H.264 1920x1080 MP4", h264Path, threads);
            Sequential("MPEG-4 720x576 AVI", mpeg4Path, threads);
        }
    }
    if (wanted("random")) {
        std::printf("\nRandom GetFrameAt at 50 places against a bare accurate seek with 1 s preroll "
                    "(ratio = backend/bare median):\n");
        for (int threads : {1, 0}) {
            RandomAccess("H.264 1920x1080 MP4", h264Path, h264.frameCount, threads);
            RandomAccess("MPEG-4 720x576 AVI", mpeg4Path, mpeg4.frameCount, threads);
        }
    }
    if (wanted("scan"))
        NoDurationScan(folder);
    if (!wanted("memory"))
        return 0;
    TClipSpec longClip;
    longClip.label = "long";
    longClip.format = "avi";
    longClip.videoCodec = "mpeg4";
    longClip.audioCodec = "mp2";
    longClip.width = 160;
    longClip.height = 120;
    longClip.frameCount = 15000; // ten minutes at 25 fps
    longClip.maxBFrames = 0;
    longClip.videoBitRate = 200000;
    const std::string longPath = folder.File("ten-minutes.avi");
    WriteClip(longPath, longClip);
    const int frames = longClip.frameCount;
    std::printf("\nMemory over a 10-minute interleaved clip, after one minute -> at the end:\n");
    const int32_t both = TAVFile::StreamVideo | TAVFile::StreamAudio;
    Memory(
        "video, SkipAudio after each frame", longPath, both,
        [](TFFFile& file, int i) {
            file.GetFrameAt(i);
            file.SkipAudio();
        },
        frames);
    Memory(
        "audio only (opened without video)", longPath, TAVFile::StreamAudio,
        [](TFFFile& file, int) {
            if (file.GetAudioPosition() < file.GetAudioLength()) {
                int32_t bytes = 0;
                file.GetAudio(bytes);
            }
        },
        frames);
    Memory(
        "audio, SkipFrames(1) per 40 ms", longPath, both,
        [](TFFFile& file, int i) {
            while (file.GetAudioPosition() < int64_t{i + 1} * 1764 &&
                   file.GetAudioPosition() < file.GetAudioLength()) {
                int32_t bytes = 0;
                file.GetAudio(bytes);
            }
            if (file.GetVideoPosition() + 1 < file.GetVideoLength())
                file.SkipFrames(1);
        },
        frames);
    Memory(
        "contrast: video, audio left undrained", longPath, both,
        [](TFFFile& file, int i) { file.GetFrameAt(i); }, frames);
    return 0;
}
