// Figures of the filter-graph backend against bare loops over the same files,
// measured in the same run (the machine is shared: read the ratios).
//
// - Sequential GetFrameAt(0..n-1) against a bare GStreamer appsink pipeline
//   (decodebin, videoconvert to BGRx, pull every sample) and against a bare
//   libav decode-and-convert loop, 1080p H.264 MP4 and 576p MPEG-4 AVI.
// - GetFrameAt at random positions (median and worst) against a bare
//   accurate GStreamer seek (flush, accurate, preroll, pull the picture).
// - A phone's 1088x1920 60 fps H.264 read in order as a 270x480 window asks
//   for it (GetScaledFrameAt) against full-size GetFrameAt, and a scrub's
//   key-frame preview against the exact random GetFrameAt.
// - A 10-minute clip read in order with 60 seeks by a consumer slower than the
//   graph: the largest queue and resident memory at start and end.

#include "media/gstreamer/ds_file.h"
#include "tests/support/media_clips.h"
#include "tests/support/temp_dir.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <sys/resource.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point from) {
    return std::chrono::duration<double>(TClock::now() - from).count();
}

// CPU time of every thread of the process: on a shared machine the work done
// is steadier than the wall clock, which also counts waiting for a core.
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double ResidentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// The bare GStreamer reader: the same pipeline shape without queues of ours.
class TBarePipeline {
public:
    explicit TBarePipeline(const std::string& path) {
        const std::string description = "filesrc location=\"" + path +
                                        "\" ! decodebin ! queue ! videoconvert ! video/x-raw,format=BGRx ! "
                                        "appsink name=sink sync=false";
        m_pipeline = gst_parse_launch(description.c_str(), nullptr);
        m_sink = gst_bin_get_by_name(GST_BIN(m_pipeline), "sink");
        gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
        gst_element_get_state(m_pipeline, nullptr, nullptr, GST_CLOCK_TIME_NONE);
    }
    ~TBarePipeline() {
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        gst_object_unref(m_sink);
        gst_object_unref(m_pipeline);
    }
    int ReadAll() {
        gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
        int frames = 0;
        while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(m_sink))) {
            Touch(sample);
            ++frames;
        }
        return frames;
    }
    void SeekAccurate(int frame, int fps) {
        const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
        gst_element_seek_simple(m_sink, GST_FORMAT_TIME, flags, frame * GST_SECOND / fps);
        gst_element_get_state(m_pipeline, nullptr, nullptr, GST_CLOCK_TIME_NONE);
        if (GstSample* sample = gst_app_sink_try_pull_preroll(GST_APP_SINK(m_sink), GST_SECOND))
            Touch(sample);
    }

private:
    void Touch(GstSample* sample) {
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            m_copy.resize(map.size);
            std::memcpy(m_copy.data(), map.data, map.size);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    GstElement* m_pipeline = nullptr;
    GstElement* m_sink = nullptr;
    std::vector<uint8_t> m_copy;
};

// Decode and convert to BGRA into one reused buffer, single-threaded.
int BareLibavFrames(const std::string& path) {
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0)
        throw std::runtime_error("bare open");
    avformat_find_stream_info(input, nullptr);
    const AVCodec* decoder = nullptr;
    const int stream = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    AVCodecContext* codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec, input->streams[stream]->codecpar);
    codec->thread_count = 1;
    avcodec_open2(codec, decoder, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scaler = nullptr;
    std::vector<uint8_t> buffer(static_cast<size_t>(codec->width) * 4 * codec->height);
    int frames = 0;
    bool ended = false;
    for (;;) {
        const int result = avcodec_receive_frame(codec, frame);
        if (result == 0) {
            scaler = sws_getCachedContext(
                scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
                frame->height, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
            uint8_t* planes[4] = {buffer.data(), nullptr, nullptr, nullptr};
            const int strides[4] = {frame->width * 4, 0, 0, 0};
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
            av_frame_unref(frame);
            ++frames;
            continue;
        }
        if (result == AVERROR_EOF || ended)
            break;
        for (;;) {
            if (av_read_frame(input, packet) < 0) {
                avcodec_send_packet(codec, nullptr);
                ended = true;
                break;
            }
            const bool ours = packet->stream_index == stream;
            if (ours)
                avcodec_send_packet(codec, packet);
            av_packet_unref(packet);
            if (ours)
                break;
        }
    }
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&input);
    return frames;
}

TClipSpec Clip(const std::string& label, const std::string& format, const std::string& extension,
               const std::string& video, int width, int height, int frames, int gop) {
    TClipSpec spec;
    spec.label = label;
    spec.format = format;
    spec.extension = extension;
    spec.videoCodec = video;
    spec.audioCodec = format == "mp4" ? "aac" : "pcm_s16le";
    spec.width = width;
    spec.height = height;
    spec.frameCount = frames;
    spec.gopSize = gop;
    spec.maxBFrames = format == "mp4" ? 2 : 0;
    spec.videoBitRate = width >= 1920 ? 8000000 : 3000000;
    return spec;
}

void Sequential(const std::string& label, const std::string& path, int frames) {
    double ours = 1e9, bare = 1e9, libav = 1e9, opening = 1e9, oursCpu = 1e9, bareCpu = 1e9, openingCpu = 1e9;
    // Best of five, the order swapped every round so neither reader always
    // meets the other's leftovers in the caches.
    for (int round = 0; round < 5; ++round) {
        const auto readOurs = [&] {
            auto start = TClock::now();
            double cpu = CpuSeconds();
            TDSFile file;
            file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
            opening = std::min(opening, Seconds(start));
            openingCpu = std::min(openingCpu, CpuSeconds() - cpu);
            start = TClock::now();
            cpu = CpuSeconds();
            for (int i = 0; i < frames; ++i)
                file.GetFrameAt(i);
            ours = std::min(ours, Seconds(start));
            oursCpu = std::min(oursCpu, CpuSeconds() - cpu);
        };
        const auto readBare = [&] {
            TBarePipeline pipeline(path);
            const auto start = TClock::now();
            const double cpu = CpuSeconds();
            if (pipeline.ReadAll() != frames)
                std::printf("  (bare pipeline read a different count)\n");
            bare = std::min(bare, Seconds(start));
            bareCpu = std::min(bareCpu, CpuSeconds() - cpu);
        };
        if (round % 2 == 0) {
            readOurs();
            readBare();
        } else {
            readBare();
            readOurs();
        }
        const auto start = TClock::now();
        BareLibavFrames(path);
        libav = std::min(libav, Seconds(start));
    }
    std::printf(
        "%s sequential, %d frames (opening apart; libav with it): TDSFile %.0f fps, bare appsink %.0f fps, "
        "bare libav %.0f fps; TDSFile Open %.0f ms\n",
        label.c_str(), frames, frames / ours, frames / bare, frames / libav, opening * 1e3);
    std::printf("  speed ratio TDSFile / bare appsink = %.2f (goal >= 0.9), TDSFile / bare libav = %.2f\n",
                bare / ours, libav / ours);
    std::printf("  CPU time: TDSFile %.0f ms, bare appsink %.0f ms (work ratio bare / TDSFile = %.2f); Open "
                "%.0f ms\n",
                oursCpu * 1e3, bareCpu * 1e3, bareCpu / oursCpu, openingCpu * 1e3);
}

void Random(const std::string& label, const std::string& path, int frames) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> pick(0, frames - 1);
    std::vector<int> targets(30);
    for (int& target : targets)
        target = pick(random);
    std::vector<double> ours, bare;
    double oursCpu = 0, bareCpu = 0;
    {
        TDSFile file;
        file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
        const double cpu = CpuSeconds();
        for (int target : targets) {
            const auto start = TClock::now();
            file.GetFrameAt(target);
            ours.push_back(Seconds(start));
        }
        oursCpu = CpuSeconds() - cpu;
    }
    {
        TBarePipeline pipeline(path);
        const double cpu = CpuSeconds();
        for (int target : targets) {
            const auto start = TClock::now();
            pipeline.SeekAccurate(target, 25);
            bare.push_back(Seconds(start));
        }
        bareCpu = CpuSeconds() - cpu;
    }
    std::sort(ours.begin(), ours.end());
    std::sort(bare.begin(), bare.end());
    const double oursMedian = ours[ours.size() / 2], bareMedian = bare[bare.size() / 2];
    std::printf("%s random GetFrameAt x%zu: median %.1f ms worst %.1f ms; bare accurate seek median %.1f ms "
                "worst %.1f ms\n",
                label.c_str(), ours.size(), oursMedian * 1e3, ours.back() * 1e3, bareMedian * 1e3,
                bare.back() * 1e3);
    std::printf("  time ratio TDSFile / bare: median %.2f, worst %.2f (goal <= 1.2); CPU time of all threads "
                "%.0f ms / %.0f ms = %.2f\n",
                oursMedian / bareMedian, ours.back() / bare.back(), oursCpu * 1e3, bareCpu * 1e3,
                oursCpu / bareCpu);
}

void Scaled(const std::string& label, const std::string& path, int frames, int width, int height) {
    double full = 1e9, scaled = 1e9, fullCpu = 1e9, scaledCpu = 1e9, bare = 1e9;
    for (int round = 0; round < 3; ++round) {
        for (const bool isScaled : {round % 2 == 0, round % 2 != 0}) {
            TDSFile file;
            file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
            const auto start = TClock::now();
            const double cpu = CpuSeconds();
            for (int i = 0; i < frames; ++i) {
                if (isScaled)
                    file.GetScaledFrameAt(i, width, height);
                else
                    file.GetFrameAt(i);
            }
            (isScaled ? scaled : full) = std::min(isScaled ? scaled : full, Seconds(start));
            (isScaled ? scaledCpu : fullCpu) = std::min(isScaled ? scaledCpu : fullCpu, CpuSeconds() - cpu);
        }
        TBarePipeline pipeline(path);
        const auto start = TClock::now();
        pipeline.ReadAll();
        bare = std::min(bare, Seconds(start));
    }
    std::printf(
        "%s in order, %d frames: GetScaledFrameAt %dx%d %.0f fps, GetFrameAt full size %.0f fps, bare "
        "appsink (BGRx) %.0f fps\n",
        label.c_str(), frames, width, height, frames / scaled, frames / full, frames / bare);
    std::printf("  time ratio scaled / full = %.2f; CPU time scaled %.0f ms, full %.0f ms (ratio %.2f)\n",
                scaled / full, scaledCpu * 1e3, fullCpu * 1e3, scaledCpu / fullCpu);

    std::mt19937 random(11);
    std::uniform_int_distribution<int> pick(0, frames - 1);
    std::vector<int> targets(20);
    for (int& target : targets)
        target = pick(random);
    std::vector<double> previews, exact;
    TDSFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    for (int target : targets) {
        auto start = TClock::now();
        file.GetScaledFrameAt(file.SeekKeyFrame(target), width, height);
        previews.push_back(Seconds(start));
        start = TClock::now();
        file.GetScaledFrameAt(target, width, height);
        exact.push_back(Seconds(start));
    }
    std::sort(previews.begin(), previews.end());
    std::sort(exact.begin(), exact.end());
    std::printf(
        "  scrub x%zu: key-frame preview median %.1f ms worst %.1f ms; exact frame after it median %.1f "
        "ms worst %.1f ms (median ratio preview / exact %.2f)\n",
        previews.size(), previews[previews.size() / 2] * 1e3, previews.back() * 1e3,
        exact[exact.size() / 2] * 1e3, exact.back() * 1e3,
        previews[previews.size() / 2] / exact[exact.size() / 2]);
}

void Memory(const std::string& path, int frames) {
    TDSFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, true);
    const double startMiB = ResidentMiB();
    size_t largestVideo = 0, largestAudio = 0;
    double peakMiB = startMiB;
    const int seekEvery = frames / 60;
    std::mt19937 random(9);
    std::uniform_int_distribution<int> pick(0, frames - 2);
    int position = 0;
    int seeks = 0;
    for (int step = 0; step < frames && seeks <= 60; ++step) {
        if (step > 0 && step % seekEvery == 0) {
            position = pick(random);
            ++seeks;
        }
        if (position >= frames)
            position = pick(random);
        file.GetFrameAt(position++);
        // The interleaved file's consumer drains the audio it does not play.
        if (file.GetAudioPosition() < file.GetAudioLength())
            file.SkipAudio();
        if (step % 4 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200)); // slower than the graph
        largestVideo = std::max(largestVideo, file.QueuedBuffers(TGraphStream::Video));
        largestAudio = std::max(largestAudio, file.QueuedBuffers(TGraphStream::Audio));
        if (step % 500 == 0)
            peakMiB = std::max(peakMiB, ResidentMiB());
        if (step > 0 && step % (frames / 4) == 0)
            std::printf("  after %d frames: resident %.1f MiB\n", step, ResidentMiB());
    }
    std::printf("10-minute clip, %d frames read with %d seeks: largest queue %zu video / %zu audio buffers; "
                "resident %.1f MiB at start, peak %.1f MiB, %.1f MiB at end (end / start %.2f)\n",
                frames, seeks, largestVideo, largestAudio, startMiB, peakMiB, ResidentMiB(),
                ResidentMiB() / startMiB);
}

} // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    const std::string what = argc > 1 ? argv[1] : "all";
    TTempDir folder;
    const auto make = [&](const TClipSpec& spec) {
        const std::string path = folder.File(spec.label + "." + spec.extension);
        WriteClip(path, spec);
        return path;
    };
    if (what == "all" || what == "sequential" || what == "random" || what == "random-sd") {
        const TClipSpec hd = Clip("H264-1080p", "mp4", "mp4", "libx264", 1920, 1080, 150, 50);
        const TClipSpec sd = Clip("MPEG4-576p", "avi", "avi", "mpeg4", 720, 576, 500, 12);
        const std::string hdPath = make(hd), sdPath = make(sd);
        if (what != "random" && what != "random-sd") {
            Sequential(hd.label, hdPath, hd.frameCount);
            Sequential(sd.label, sdPath, sd.frameCount);
        }
        if (what != "sequential") {
            if (what != "random-sd")
                Random(hd.label, hdPath, hd.frameCount);
            Random(sd.label, sdPath, sd.frameCount);
        }
    }
    if (what == "all" || what == "reordered") {
        // Files whose pictures' times cannot be trusted after a seek.
        TClipSpec bAvi = Clip("MPEG4-B-576p-AVI", "avi", "avi", "mpeg4", 720, 576, 1500, 12);
        bAvi.maxBFrames = 2;
        TClipSpec ps = Clip("MPEG2-576p-PS", "vob", "vob", "mpeg2video", 720, 576, 1500, 12);
        ps.maxBFrames = 2;
        ps.audioCodec = "mp2";
        Random(bAvi.label, make(bAvi), bAvi.frameCount);
        Random(ps.label, make(ps), ps.frameCount);
    }
    if (what == "all" || what == "scaled") {
        TClipSpec phone = Clip("H264-1088x1920-60", "mp4", "mp4", "libx264", 1088, 1920, 240, 120);
        phone.rate = 60;
        Scaled(phone.label, make(phone), phone.frameCount, 270, 480);
    }
    if (what == "all" || what == "memory") {
        const TClipSpec longClip = Clip("Long", "avi", "avi", "mpeg4", 320, 240, 15000, 25);
        Memory(make(longClip), longClip.frameCount);
    }
    return 0;
}
