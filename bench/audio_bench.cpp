// Sound during playback, through the playback clock, the audio output and the
// clocked null device:
//   drift    A/V offset at the end of 10 minutes at 100 % and 50 % (fake clock,
//            then 60 s on the steady clock), against the frame period
//   cost     CPU share of the audio path for 4 stereo 48 kHz media (20 s),
//            against one core, with and without rate conversion
//   latency  Play to the first sample handed to the device, against one
//            buffer period
//   memory   resident memory while 4 generated 10-minute clips play at 500 %
//            (2 minutes), audio played and audio unticked, against the start
// Usage: audio_bench [drift|cost|latency|memory] [clip folder]

#include "media/registry/registry.h"
#include "platform/fake_mm_timer.h"
#include "platform/mm_timer.h"
#include "playback/audio_output.h"
#include "playback/platform/audio_device_null.h"
#include "playback/playback_clock.h"
#include "tests/support/media_clips.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace {

constexpr uint32_t MessageTimer = 0x0113;
constexpr uint32_t MessageBufferDone = 0x03BD;

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}
double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}
double StatusMiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stod(line.substr(std::strlen(field) + 1)) / 1024.0;
    return 0;
}

// 25 frames per second of video; stereo audio silent but for a click at the
// start of every second.
class TClickClip final : public TAVFile {
public:
    TClickClip(int32_t seconds, int32_t sampleRate, bool hasVideo) : m_frames(seconds * 25) {
        m_mode = ModeRead;
        m_streams = StreamAudio | (hasVideo ? StreamVideo : 0);
        m_channels = 2;
        m_samplesPerSecond = sampleRate;
        m_audioFrames = int64_t{seconds} * sampleRate;
        if (hasVideo)
            SetVideoFormatOpen(25, 1);
    }
    int32_t GetVideoLength() override { return m_frames; }
    int32_t SetVideoPosition(int32_t index) override { return m_videoPosition = index; }
    uint8_t* GetBitmapAt(int32_t index) override {
        m_videoPosition = index + 1;
        return m_pixel;
    }
    void Seek(int32_t index) override {
        m_videoPosition = index;
        m_audioPosition =
            static_cast<int32_t>(int64_t{index} * 1000 * m_scale / m_rate * m_samplesPerSecond / 1000);
    }
    int32_t GetAudioLength() override { return static_cast<int32_t>(m_audioFrames); }
    uint8_t* GetAudio(int32_t& byteCount) override {
        const int32_t frames = static_cast<int32_t>(std::min<int64_t>(1024, m_audioFrames - m_audioPosition));
        m_block.assign(static_cast<size_t>(frames) * 2, 0);
        for (int32_t i = 0; i < frames; ++i)
            if ((m_audioPosition + i) % m_samplesPerSecond < 48)
                m_block[static_cast<size_t>(i) * 2] = m_block[static_cast<size_t>(i) * 2 + 1] = 20000;
        m_audioPosition += frames;
        byteCount = frames * 4;
        return reinterpret_cast<uint8_t*>(m_block.data());
    }

private:
    void SetVideoFormatOpen(uint32_t rate, uint32_t scale) {
        m_rate = rate;
        m_scale = scale;
        m_width = 8;
        m_height = 8;
    }
    int32_t m_frames;
    int64_t m_audioFrames;
    std::vector<int16_t> m_block;
    uint8_t m_pixel[256] = {};
};

class TBenchMedium final : public TPlaybackMedium {
public:
    TBenchMedium(std::unique_ptr<TAVFile> file, bool audio) : m_file(std::move(file)), m_audio(audio) {}
    TAVFile* MediaFile() override { return m_file.get(); }
    int32_t Offset() const override { return 0; }
    void FetchFrame(int32_t frame) override { m_file->GetBitmapAt(frame); }
    void Paint() override {}
    void CommitMouseRegion() override {}
    bool IsAudioEnabled() const override { return m_audio; }
    void ShowPlaybackRate(double, int32_t) override {}

private:
    std::unique_ptr<TAVFile> m_file;
    bool m_audio;
};

class TBenchMedia final : public TPlaybackMediaList {
public:
    int32_t MediumCount() const override { return static_cast<int32_t>(Items.size()); }
    TPlaybackMedium& Medium(int32_t index) override { return *Items[static_cast<size_t>(index)]; }
    std::vector<std::unique_ptr<TBenchMedium>> Items;
};

// The window thread's message queue; posts come from timer and device threads.
class TMessageQueue final : public TPlaybackHost {
public:
    void Post(uint32_t message, uint32_t wParam) {
        {
            const std::lock_guard lock(m_mutex);
            m_messages.emplace_back(message, wParam);
        }
        m_ready.notify_one();
    }
    // Handles messages until `until` (steady clock) or, with a fake clock, until none is queued.
    void Run(TPlaybackClock& clock, std::chrono::steady_clock::time_point until,
             double* audioCpuMs = nullptr) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_messages.empty() && !m_ready.wait_until(lock, until, [&] { return !m_messages.empty(); }))
                return;
            const auto [message, wParam] = m_messages.front();
            m_messages.pop_front();
            lock.unlock();
            const bool audio = message == MessageBufferDone || (wParam & TimerMessage::AudioBit);
            const double start = audio && audioCpuMs ? ThreadCpuMs() : 0;
            if (message == MessageTimer)
                clock.HandleTimerMessage(wParam);
            else
                clock.HandleAudioBufferDone(wParam);
            if (!audio && AfterVideoTick)
                AfterVideoTick();
            if (audio && audioCpuMs)
                *audioCpuMs += ThreadCpuMs() - start;
            lock.lock();
        }
    }
    void RunQueued(TPlaybackClock& clock) {
        Run(clock, std::chrono::steady_clock::now() - std::chrono::hours(1));
    }

    void TrackBarChanged(const TTrackBar&) override {}
    void SetStatusTexts(const QString&, const QString&, const QString&) override {}
    void RefreshEventList(bool, bool) override {}
    void RefreshTitleList(bool, bool) override {}
    void RenderOutput() override {}
    void SetTimelinePosition(int32_t) override {}
    void RefreshTimeline() override {}
    void RepaintTimeline() override {}
    void SetEditingEnabled(bool) override {}
    void PostTimerMessage(uint32_t wParam) override { Post(MessageTimer, wParam); }

    std::function<void()> AfterVideoTick;

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::pair<uint32_t, uint32_t>> m_messages;
};

struct TRig {
    explicit TRig(TMMTimer& timer, TAudioSystem& sound)
        : Audio(sound, [this](uint32_t device) { Queue.Post(MessageBufferDone, device); }),
          Clock(Project, Media, Queue, timer, &Audio) {}
    TProject Project;
    TBenchMedia Media;
    TMessageQueue Queue;
    TAudioOutput Audio;
    TPlaybackClock Clock;
    void Add(std::unique_ptr<TAVFile> file, bool audio) {
        Media.Items.push_back(std::make_unique<TBenchMedium>(std::move(file), audio));
        Clock.MediumAdded(Media.MediumCount() - 1);
    }
};

// The sound's media time minus the picture's, sampled right after each video
// tick: its first and last second differ by the drift.
struct TOffsetTrack {
    std::vector<double> Offsets;
    void Attach(TRig& rig, const TNullAudioSystem& sound, int32_t speed) {
        rig.Queue.AfterVideoTick = [this, &rig, &sound, speed] {
            const TNullAudioSystem::TRecord record = sound.RecordCounters(0);
            Offsets.push_back(static_cast<double>(record.FramesPlayed) * 1000.0 /
                                  record.DeviceFormat.SamplesPerSec * speed / 100.0 -
                              rig.Clock.PositionMs());
        };
    }
    void Report(double ticksPerSecond) const {
        const auto window = static_cast<size_t>(ticksPerSecond);
        if (Offsets.size() < 4 * window)
            return;
        auto mean = [&](size_t from) {
            double sum = 0;
            for (size_t i = from; i < from + window; ++i)
                sum += Offsets[i];
            return sum / static_cast<double>(window);
        };
        const double early = mean(2 * window); // after the first two seconds
        const double late = mean(Offsets.size() - window);
        std::printf("    offset after each tick: mean %+.2f ms in second 3, %+.2f ms in the last second:"
                    " drift %+.2f ms = %.3f frame periods\n",
                    early, late, late - early, (late - early) / 40.0);
    }
};

// Media milliseconds the device has played against the slider position.
void ReportDrift(const char* label, TRig& rig, const TNullAudioSystem& sound, int32_t speed) {
    const TNullAudioSystem::TRecord record = sound.Records().at(0);
    const double audioMs =
        static_cast<double>(record.FramesPlayed) * 1000.0 / record.DeviceFormat.SamplesPerSec * speed / 100.0;
    const double videoMs = rig.Clock.PositionMs();
    int64_t clicks = 0;
    int64_t misplaced = 0;
    const auto* samples = reinterpret_cast<const int16_t*>(record.Samples.data());
    const int64_t frames = static_cast<int64_t>(record.Samples.size() / 4);
    const int64_t mediaRate = static_cast<int64_t>(record.DeviceFormat.SamplesPerSec) * 100 / speed;
    for (int64_t i = 0; i < frames; ++i)
        if (samples[i * 2] != 0 && (i == 0 || samples[(i - 1) * 2] == 0)) {
            ++clicks;
            misplaced += i % mediaRate != 0;
        }
    std::printf("  %-22s speed %3d%%: audio %.1f ms, video %.1f ms, offset %+.1f ms = %.3f frame periods;"
                " clicks %lld (%lld misplaced)\n",
                label, speed, audioMs, videoMs, audioMs - videoMs, (audioMs - videoMs) / 40.0,
                static_cast<long long>(clicks), static_cast<long long>(misplaced));
}

void Drift() {
    std::printf("drift: 10-minute clip, 25 fps, stereo 44100 Hz, click every second\n");
    for (const int32_t speed : {100, 50}) {
        TFakeMMTimer timer;
        TNullAudioSystem sound(TNullPacing::Manual, &timer.Clock());
        sound.SetRecording(true);
        TRig rig(timer, sound);
        rig.Add(std::make_unique<TClickClip>(600, 44100, true), true);
        rig.Clock.SetPlaybackSpeed(speed);
        TOffsetTrack track;
        track.Attach(rig, sound, speed);
        rig.Clock.Play();
        const int64_t endMs = 600000LL * 100 / speed - 2000; // before the end of the clip
        for (int64_t t = 0; t < endMs; ++t) {
            timer.AdvanceMs(1);
            sound.Pump();
            rig.Queue.RunQueued(rig.Clock);
        }
        ReportDrift("fake clock, 10 min", rig, sound, speed);
        track.Report(25.0 * speed / 100);
        rig.Queue.AfterVideoTick = nullptr;
        rig.Clock.Stop(false);
    }
    TThreadMMTimer timer;
    TNullAudioSystem sound(TNullPacing::Thread);
    sound.SetRecording(true);
    TRig rig(timer, sound);
    rig.Add(std::make_unique<TClickClip>(600, 44100, true), true);
    TOffsetTrack track;
    track.Attach(rig, sound, 100);
    rig.Clock.Play();
    rig.Queue.Run(rig.Clock, std::chrono::steady_clock::now() + std::chrono::seconds(60));
    ReportDrift("steady clock, 60 s", rig, sound, 100);
    track.Report(25.0);
    rig.Queue.AfterVideoTick = nullptr;
    rig.Clock.Stop(false);
}

void Cost() {
    std::printf("cost: 4 audio-only media, stereo 48000 Hz, 20 s each run\n");
    for (const uint32_t maxRate : {384000u, 44100u}) {
        TThreadMMTimer timer;
        TNullAudioLimits limits;
        limits.MaxRate = maxRate;
        limits.PreferredRate = 44100;
        TNullAudioSystem sound(TNullPacing::Thread, nullptr, limits);
        TRig rig(timer, sound);
        for (int i = 0; i < 4; ++i)
            rig.Add(std::make_unique<TClickClip>(600, 48000, false), true);
        double audioCpuMs = 0;
        const double processStart = ProcessCpuMs();
        const auto wallStart = std::chrono::steady_clock::now();
        rig.Clock.Play();
        rig.Queue.Run(rig.Clock, wallStart + std::chrono::seconds(20), &audioCpuMs);
        const double wallMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
        const double processMs = ProcessCpuMs() - processStart;
        rig.Clock.Stop(false);
        std::printf("  %s: refill and conversion on the window thread %.3f %% of one core; whole process"
                    " (with the null devices' threads) %.3f %%\n",
                    maxRate == 44100 ? "converted to 44100 Hz" : "no conversion        ",
                    100.0 * audioCpuMs / wallMs, 100.0 * processMs / wallMs);
    }
}

void Latency() {
    std::printf("latency: Play to the first sample handed to the device, 20 runs, stereo 48000 Hz\n");
    TThreadMMTimer timer;
    TNullAudioSystem sound(TNullPacing::Thread);
    TRig rig(timer, sound);
    rig.Add(std::make_unique<TClickClip>(600, 48000, true), true);
    std::vector<double> latencies;
    for (int run = 0; run < 20; ++run) {
        const auto start = std::chrono::steady_clock::now();
        rig.Clock.Play();
        const size_t record = sound.Records().size() - 1;
        while (sound.Records()[record].FramesPlayed == 0) {
            rig.Queue.Run(rig.Clock, std::chrono::steady_clock::now() + std::chrono::microseconds(200));
        }
        latencies.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        rig.Clock.Stop(false);
        rig.Queue.RunQueued(rig.Clock);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("  median %.2f ms, max %.2f ms = %.3f / %.3f buffer periods (62.5 ms)\n", latencies[10],
                latencies.back(), latencies[10] / 62.5, latencies.back() / 62.5);
}

void Memory(const std::string& folder) {
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/audio_bench_10min.avi";
    if (!std::filesystem::exists(path)) {
        std::printf("writing %s ...\n", path.c_str());
        TClipSpec spec;
        spec.format = "avi";
        spec.extension = "avi";
        spec.videoCodec = "mpeg4";
        spec.audioCodec = "pcm_s16le";
        spec.sampleRate = 48000;
        spec.maxBFrames = 0;
        spec.frameCount = 25 * 600;
        spec.gopSize = 50;
        spec.videoBitRate = 300000;
        WriteClip(path, spec);
    }
    std::printf("memory: 4 x 10-minute 320x240 MPEG-4 + PCM stereo 48 kHz played at 500 %% for 2 minutes\n");
    for (const bool audio : {true, false}) {
        UninitialiseBackendOrder();
        TThreadMMTimer timer;
        TNullAudioSystem sound(TNullPacing::Thread);
        TRig rig(timer, sound);
        for (int i = 0; i < 4; ++i)
            rig.Add(OpenMedia(path, TAVFile::StreamVideo | TAVFile::StreamAudio), audio);
        rig.Clock.SetPlaybackSpeed(500);
        rig.Clock.Play();
        const auto start = std::chrono::steady_clock::now();
        rig.Queue.Run(rig.Clock, start + std::chrono::seconds(10));
        const double first = StatusMiB("VmRSS");
        std::printf("  audio %s: at 50 s of media %.1f MiB", audio ? "played " : "unticked", first);
        for (int step = 2; step <= 12; ++step) {
            rig.Queue.Run(rig.Clock, start + std::chrono::seconds(10 * step));
            if (step % 4 == 0)
                std::printf(", %d s %.1f", step * 50, StatusMiB("VmRSS"));
        }
        std::printf(" MiB; ratio at 10 min / at 50 s = %.3f; slider at %d ms\n", StatusMiB("VmRSS") / first,
                    rig.Clock.PositionMs());
        rig.Clock.Stop(false);
        rig.Queue.RunQueued(rig.Clock);
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "all";
    const std::string folder = argc > 2 ? argv[2] : "/tmp/scenemark-bench";
    std::printf("load: %s",
                [] {
                    std::ifstream loadavg("/proc/loadavg");
                    std::string line;
                    std::getline(loadavg, line);
                    return line + "\n";
                }()
                    .c_str());
    if (mode == "drift" || mode == "all")
        Drift();
    if (mode == "cost" || mode == "all")
        Cost();
    if (mode == "latency" || mode == "all")
        Latency();
    if (mode == "memory" || mode == "all")
        Memory(folder);
    return 0;
}
