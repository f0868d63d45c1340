#include "playback/audio_output.h"
#include "playback/platform/audio_converter.h"
#include "playback/platform/audio_device_null.h"
#include "playback/playback_clock.h"
#include "tests/playback/playback_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// A clip whose audio sample at frame p, channel c is (p * 7 + c * 1000) as a
// 16-bit pattern, delivered in chunks that straddle the output's buffers.
class TToneClip final : public TTestClip {
public:
    TToneClip(int32_t streams, int32_t channels, int32_t sampleRate, int32_t audioFrames, int32_t flags = 0)
        : TTestClip(25, 1, 1000, streams, flags), m_audioFrames(audioFrames) {
        m_channels = channels;
        m_samplesPerSecond = sampleRate;
        if (!(streams & StreamVideo)) {
            m_rate = 1000; // without video, frames count milliseconds
            m_scale = 1;
        }
    }
    static int16_t Sample(int64_t frame, int channel) {
        return static_cast<int16_t>(static_cast<uint16_t>(frame * 7 + channel * 1000));
    }
    int32_t GetAudioLength() override { return m_audioFrames; }
    uint8_t* GetAudio(int32_t& byteCount) override {
        if (FailAtFrame >= 0 && m_audioPosition >= FailAtFrame)
            throw AVFileErrorGetAudio();
        const int32_t frames = std::min(ChunkFrames, m_audioFrames - m_audioPosition);
        m_block.resize(static_cast<size_t>(frames) * m_channels);
        for (int32_t i = 0; i < frames; ++i)
            for (int32_t c = 0; c < m_channels; ++c)
                m_block[static_cast<size_t>(i * m_channels + c)] = Sample(m_audioPosition + i, c);
        m_audioPosition += frames;
        byteCount = frames * m_channels * 2;
        return reinterpret_cast<uint8_t*>(m_block.data());
    }
    void Seek(int32_t index) override {
        TTestClip::Seek(index);
        const int64_t ms = int64_t{index} * 1000 * m_scale / m_rate;
        m_audioPosition = static_cast<int32_t>(ms * m_samplesPerSecond / 1000);
    }

    int32_t ChunkFrames = 1000;
    int32_t FailAtFrame = -1;

private:
    int32_t m_audioFrames;
    std::vector<int16_t> m_block;
};

struct TAudioRig {
    TProject Project;
    TTestMediaList Media;
    TRecordingHost Host;
    TFakeMMTimer Timer;
    TNullAudioSystem Sound;
    std::deque<uint32_t> Done;
    int32_t Returned = 0;
    TAudioOutput Audio{Sound, [this](uint32_t device) { Done.push_back(device); }};
    TPlaybackClock Clock{Project, Media, Host, Timer, &Audio};

    explicit TAudioRig(TNullAudioLimits limits = {}) : Sound(TNullPacing::Manual, &Timer.Clock(), limits) {
        Sound.SetRecording(true);
    }

    TToneClip& AddTone(int32_t streams, int32_t channels, int32_t rate, int32_t audioFrames,
                       int32_t offsetMs = 0, int32_t flags = 0) {
        auto clip = std::make_unique<TToneClip>(streams, channels, rate, audioFrames, flags);
        TToneClip& tone = *clip;
        Media.Items.push_back(std::make_unique<TTestMedium>(std::move(clip), offsetMs, Timer.MutableClock()));
        Media.Items.back()->AudioEnabled = true;
        Clock.MediumAdded(Media.MediumCount() - 1);
        return tone;
    }
    // The window thread: timer messages and buffer-done notifications.
    void Deliver() {
        while (!Host.Posted.empty() || !Done.empty()) {
            if (!Host.Posted.empty()) {
                const uint32_t wParam = Host.Posted.front();
                Host.Posted.pop_front();
                Clock.HandleTimerMessage(wParam);
            } else {
                const uint32_t device = Done.front();
                Done.pop_front();
                ++Returned;
                Clock.HandleAudioBufferDone(device);
            }
        }
    }
    void RunFor(int64_t durationMs) {
        Deliver();
        for (int64_t t = 0; t < durationMs; ++t) {
            Timer.AdvanceMs(1);
            Sound.Pump();
            Deliver();
        }
    }
    TNullAudioSystem::TRecord Record(size_t index = 0) const { return Sound.Records().at(index); }
};

constexpr int32_t Both = TAVFile::StreamVideo | TAVFile::StreamAudio;

// Index of the first sample frame of `record` that is not the pattern from
// `firstFrame` on; the frame count when all are.
int64_t MatchingFrames(const TNullAudioSystem::TRecord& record, int64_t firstFrame) {
    const auto* samples = reinterpret_cast<const int16_t*>(record.Samples.data());
    const int channels = record.DeviceFormat.Channels;
    const int64_t frames = static_cast<int64_t>(record.Samples.size()) / (2 * channels);
    for (int64_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            if (samples[i * channels + c] != TToneClip::Sample(firstFrame + i, c))
                return i;
    return frames;
}

struct TFormatCase {
    int32_t channels, rate, speed;
    uint32_t deviceRate, bytesPerSecond, bufferBytes;
};

TEST(AudioOutputFormat, DeviceRateFollowsSpeedAndBuffersHoldASixteenthOfASecond) {
    const TFormatCase cases[] = {
        {2, 44100, 100, 44100, 176400, 11024},
        {2, 44100, 50, 22050, 88200, 5512},
        {2, 44100, 200, 88200, 352800, 22048},
        {1, 22050, 100, 22050, 44100, 2756},
    };
    for (const TFormatCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << "ch " << c.rate << " Hz at " << c.speed << "%");
        TAudioRig rig;
        rig.AddTone(Both, c.channels, c.rate, c.rate * 10);
        rig.Clock.SetPlaybackSpeed(c.speed);
        rig.Clock.Play();
        ASSERT_EQ(rig.Audio.Outputs().size(), 1u);
        const TAudioInfo& output = *rig.Audio.Outputs()[0];
        EXPECT_EQ(output.Format.SamplesPerSec, c.deviceRate);
        EXPECT_EQ(output.Format.AvgBytesPerSec, c.bytesPerSecond);
        EXPECT_EQ(output.Format.BlockAlign, c.channels * 2);
        for (const TWaveHeader& header : output.Buffers)
            EXPECT_EQ(header.BufferLength, c.bufferBytes);
        EXPECT_EQ(rig.Record().DeviceFormat.SamplesPerSec, c.deviceRate);
    }
}

class AudioPlayback : public ::testing::Test {
protected:
    TAudioRig rig;
};

TEST_F(AudioPlayback, SamplesReachTheDeviceInOrderFromThePosition) {
    rig.AddTone(Both, 2, 44100, 44100 * 20);
    rig.Clock.SetPosition(2000); // audio from frame 88200
    rig.Clock.Play();
    rig.RunFor(3000);
    const auto record = rig.Record();
    EXPECT_NEAR(record.FramesPlayed, 3 * 44100, 44100 / 16);
    EXPECT_EQ(MatchingFrames(record, 88200), record.FramesPlayed);
    // The ring stays full: each returned buffer was queued again at once.
    EXPECT_EQ(rig.Audio.Outputs()[0]->Queued, AudioBufferCount);
}

TEST_F(AudioPlayback, AnAudioOnlyMediumIsPositionedByItsOffset) {
    rig.AddTone(TAVFile::StreamAudio, 1, 22050, 22050 * 20, -500);
    rig.AddTone(Both, 1, 22050, 22050 * 20); // gives the slider a range
    rig.Clock.SetPosition(1000);
    rig.Clock.Play();
    rig.RunFor(500);
    EXPECT_EQ(MatchingFrames(rig.Record(0), 22050 * 3 / 2), rig.Record(0).FramesPlayed);
    EXPECT_GT(rig.Record(0).FramesPlayed, 0);
}

TEST_F(AudioPlayback, ALaterMediumStartsAfterItsOffsetInRealMilliseconds) {
    for (const int32_t speed : {100, 200}) {
        SCOPED_TRACE(speed);
        TAudioRig local;
        local.AddTone(Both, 2, 44100, 44100 * 20, 3000);
        local.Clock.SetPosition(1000);
        local.Clock.SetPlaybackSpeed(speed);
        local.Clock.SetPosition(1000);
        local.Clock.Play();
        local.RunFor(1999);
        EXPECT_EQ(local.Record().FramesPlayed, 0);
        local.RunFor(100);
        EXPECT_GT(local.Record().FramesPlayed, 0);
        EXPECT_EQ(MatchingFrames(local.Record(), 0), local.Record().FramesPlayed);
    }
}

TEST_F(AudioPlayback, AShortMediumEndsWithAPaddedBufferAndFallsSilent) {
    TToneClip& tone = rig.AddTone(Both, 2, 44100, 44100 + 3000); // 1.07 s
    rig.Clock.Play();
    rig.RunFor(3000);
    const auto record = rig.Record();
    const int64_t bufferFrames = 11024 / 4;
    // Whole buffers: the sound, then zeros up to the end of the last one.
    EXPECT_EQ(record.FramesPlayed, (44100 + 3000 + bufferFrames - 1) / bufferFrames * bufferFrames);
    EXPECT_EQ(MatchingFrames(record, 0), 44100 + 3000);
    const auto* samples = reinterpret_cast<const int16_t*>(record.Samples.data());
    EXPECT_TRUE(std::all_of(samples + (44100 + 3000) * 2, samples + record.FramesPlayed * 2,
                            [](int16_t s) { return s == 0; }));
    const TAudioInfo& output = *rig.Audio.Outputs()[0];
    EXPECT_FALSE(output.Active);
    for (const TWaveHeader& header : output.Buffers)
        EXPECT_EQ(header.Flags.load() & (WaveHeaderFlag::Done | WaveHeaderFlag::InQueue),
                  WaveHeaderFlag::Done);
    EXPECT_EQ(tone.GetAudioPosition(), 44100 + 3000);

    // Notifications after the end (or of unknown devices) change nothing.
    const int32_t next = output.NextBuffer;
    rig.Clock.HandleAudioBufferDone(output.Device->Handle());
    rig.Clock.HandleAudioBufferDone(0);
    rig.RunFor(200);
    EXPECT_EQ(output.NextBuffer, next);
    EXPECT_EQ(rig.Record().FramesPlayed, record.FramesPlayed);
}

TEST_F(AudioPlayback, AnAudioErrorEndsTheSoundOfThatMediumOnly) {
    TToneClip& broken = rig.AddTone(Both, 2, 44100, 44100 * 20);
    rig.AddTone(Both, 2, 44100, 44100 * 20);
    broken.FailAtFrame = 30000;
    rig.Clock.Play();
    rig.RunFor(2000);
    EXPECT_FALSE(rig.Audio.Outputs()[0]->Active);
    EXPECT_TRUE(rig.Audio.Outputs()[1]->Active);
    EXPECT_EQ(MatchingFrames(rig.Record(0), 0), 30000);
    EXPECT_NEAR(rig.Record(1).FramesPlayed, 2 * 44100, 44100 / 16);
}

TEST_F(AudioPlayback, AFailedOpenLeavesTheMediumSilentAndItsAudioDrained) {
    rig.Sound.SetRefusingOpen(true);
    TToneClip& tone = rig.AddTone(Both, 2, 44100, 44100 * 20, 0, TAVFile::FlagInterleaved);
    rig.Clock.Play();
    rig.RunFor(400);
    EXPECT_TRUE(rig.Audio.Outputs().empty());
    EXPECT_TRUE(rig.Sound.Records().empty());
    EXPECT_EQ(rig.Media.At(0).Fetched.size(), 11u); // the video plays on
    EXPECT_EQ(tone.AudioSkips, 11);
}

TEST_F(AudioPlayback, UntickedAudioGetsNoOutput) {
    rig.AddTone(Both, 2, 44100, 44100 * 20);
    rig.Media.At(0).AudioEnabled = false;
    rig.Clock.Play();
    rig.RunFor(100);
    EXPECT_TRUE(rig.Audio.Outputs().empty());
    EXPECT_TRUE(rig.Sound.Records().empty());
}

TEST_F(AudioPlayback, StopReturnsAndFreesEveryBufferAndRepeatsLeakNothing) {
    rig.AddTone(Both, 2, 44100, 44100 * 600);
    rig.AddTone(TAVFile::StreamAudio, 1, 8000, 8000 * 600, 700);
    uint32_t released = 0;
    for (int i = 0; i < 100; ++i) {
        rig.Clock.Play();
        rig.RunFor(i % 10 == 0 ? 900 : 3);
        ASSERT_EQ(rig.Audio.Outputs().size(), 2u);
        released = rig.Audio.Outputs()[0]->Device->Handle();
        rig.Clock.Stop(true);
        ASSERT_TRUE(rig.Audio.Outputs().empty());
        ASSERT_EQ(rig.Sound.OpenDeviceCount(), 0);
    }
    // A notification still queued from a released device is ignored, also
    // by the outputs of the next playback.
    rig.Clock.Play();
    rig.RunFor(10);
    const int32_t queued = rig.Audio.Outputs()[0]->Queued;
    rig.Done.push_back(released);
    rig.Deliver();
    EXPECT_EQ(rig.Audio.Outputs()[0]->Queued, queued);
    rig.Clock.Stop(true);
    const auto records = rig.Sound.Records();
    EXPECT_EQ(records.size(), 202u);
    EXPECT_TRUE(std::none_of(records.begin(), records.end(), [](const auto& r) { return r.IsOpen; }));
}

TEST(AudioConversion, RefusedFormatsAreConvertedNotSilenced) {
    struct TCase {
        const char* label;
        int32_t channels, rate, speed;
        bool keepPitch;
        uint16_t deviceChannels;
        uint32_t deviceRate;
    };
    const TCase cases[] = {
        {"500% is beyond the device", 2, 44100, 500, false, 2, 48000},
        {"5.1 mixed down", 6, 48000, 100, false, 2, 48000},
        {"keep pitch at 50%", 2, 44100, 50, true, 2, 44100},
        {"keep pitch at 300%", 1, 22050, 300, true, 1, 22050},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.label);
        TAudioRig rig({2, 8000, 96000, 48000});
        rig.Audio.SetKeepPitch(c.keepPitch);
        rig.AddTone(Both, c.channels, c.rate, c.rate * 60);
        rig.Clock.SetPlaybackSpeed(c.speed);
        rig.Clock.Play();
        rig.RunFor(2000);
        ASSERT_EQ(rig.Audio.Outputs().size(), 1u);
        const auto record = rig.Record();
        EXPECT_EQ(record.DeviceFormat.Channels, c.deviceChannels);
        EXPECT_EQ(record.DeviceFormat.SamplesPerSec, c.deviceRate);
        // Each buffer still lasts a sixteenth of a second: about 32 in 2 s.
        EXPECT_NEAR(rig.Returned, 32, 3);
        // Sound came out, not silence.
        const auto* samples = reinterpret_cast<const int16_t*>(record.Samples.data());
        const size_t count = record.Samples.size() / 2;
        EXPECT_GT(count, c.deviceRate);
        EXPECT_GT(std::count_if(samples, samples + count, [](int16_t s) { return std::abs(s) > 1000; }),
                  static_cast<std::ptrdiff_t>(count / 4));
    }
}

TEST(AudioConversion, LengthChangesAndThePitchStays) {
    const TAudioConversion cases[] = {
        {2, 44100, 2, 48000, 1.0}, // rate refused
        {6, 48000, 2, 48000, 1.0}, // 5.1 mixed down
        {1, 44100, 1, 44100, 0.5}, // keep pitch at 50 %
        {2, 22050, 2, 48000, 3.0}, // keep pitch at 300 % on a converted rate
    };
    for (const TAudioConversion& c : cases) {
        SCOPED_TRACE(testing::Message() << c.InChannels << "ch " << c.InRate << " -> " << c.OutChannels
                                        << "ch " << c.OutRate << " tempo " << c.Tempo);
        // 4 s of 441 Hz on every channel, in blocks of a sixteenth of a second.
        TAudioConverter converter(c);
        std::vector<int16_t> out;
        const int block = c.InRate / 16;
        for (int64_t start = 0; start < 4 * c.InRate; start += block) {
            std::vector<int16_t> in(static_cast<size_t>(block * c.InChannels));
            for (int i = 0; i < block; ++i)
                for (int ch = 0; ch < c.InChannels; ++ch)
                    in[static_cast<size_t>(i * c.InChannels + ch)] = static_cast<int16_t>(
                        10000 * std::sin(2 * M_PI * 441.0 * static_cast<double>(start + i) / c.InRate));
            std::vector<uint8_t> bytes;
            ASSERT_TRUE(converter.Convert(reinterpret_cast<const uint8_t*>(in.data()), block, bytes));
            const auto* samples = reinterpret_cast<const int16_t*>(bytes.data());
            out.insert(out.end(), samples, samples + bytes.size() / 2);
        }
        const double seconds = static_cast<double>(out.size()) / c.OutChannels / c.OutRate;
        EXPECT_NEAR(seconds, 4.0 / c.Tempo, 0.15);
        // Rising zero crossings of channel 0 per second of output: the pitch.
        int crossings = 0;
        for (size_t i = c.OutChannels; i < out.size(); i += c.OutChannels)
            crossings += out[i - c.OutChannels] < 0 && out[i] >= 0;
        EXPECT_NEAR(crossings / seconds, 441.0, 10.0);
    }
}

TEST(AudioConversion, TempoChainsStayWithinWhatOneFilterTakes) {
    const std::pair<double, std::vector<double>> cases[] = {
        {1.0, {}}, {0.75, {0.75}}, {5.0, {2.0, 2.0, 1.25}}, {0.2, {0.5, 0.5, 0.8}}, {2.0, {2.0}}};
    for (const auto& [tempo, chain] : cases) {
        const std::vector<double> got = TempoChain(tempo);
        ASSERT_EQ(got.size(), chain.size()) << tempo;
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], chain[i], 1e-9) << tempo;
    }
}

} // namespace
