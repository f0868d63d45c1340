// Every audio format the FFmpeg backend reads sounds through the audio
// output: generated clips played onto a stereo null device on a fake clock.

#include "media/registry/registry.h"
#include "playback/audio_output.h"
#include "playback/platform/audio_device_null.h"
#include "tests/support/media_clips.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>

namespace {

class TFileMedium final : public TPlaybackMedium {
public:
    explicit TFileMedium(std::unique_ptr<TAVFile> file) : m_file(std::move(file)) {}
    TAVFile* MediaFile() override { return m_file.get(); }
    int32_t Offset() const override { return 0; }
    void FetchFrame(int32_t) override {}
    void Paint() override {}
    void CommitMouseRegion() override {}
    bool IsAudioEnabled() const override { return true; }
    void ShowPlaybackRate(double, int32_t) override {}

private:
    std::unique_ptr<TAVFile> m_file;
};

class TOneMedium final : public TPlaybackMediaList {
public:
    explicit TOneMedium(TPlaybackMedium& medium) : m_medium(medium) {}
    int32_t MediumCount() const override { return 1; }
    TPlaybackMedium& Medium(int32_t) override { return m_medium; }

private:
    TPlaybackMedium& m_medium;
};

TClipSpec AudioClip(const char* label, const char* format, const char* extension, const char* codec,
                    int channels, int rate, const char* muxerOptions = "") {
    TClipSpec spec;
    spec.label = label;
    spec.format = format;
    spec.extension = extension;
    spec.audioCodec = codec;
    spec.channels = channels;
    spec.sampleRate = rate;
    spec.muxerOptions = muxerOptions;
    spec.audioMs = 3000;
    return spec;
}

class AudioFormats : public ::testing::TestWithParam<TClipSpec> {};

TEST_P(AudioFormats, PlaysItsToneOnAStereoDevice) {
    TClipSpec spec = GetParam();
    TTempDir dir;
    const std::string path = dir.File("clip." + spec.extension);
    try {
        WriteClip(path, spec);
    } catch (const std::runtime_error& error) {
        GTEST_SKIP() << "cannot write the clip here: " << error.what();
    }
    UninitialiseBackendOrder();
    std::unique_ptr<TAVFile> file = OpenMedia(path, TAVFile::StreamVideo | TAVFile::StreamAudio);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->GetStreams() & TAVFile::StreamAudio);
    TFileMedium medium(std::move(file));
    TOneMedium media(medium);

    TFakeClock clock;
    TNullAudioSystem sound(TNullPacing::Manual, &clock, {2, 8000, 192000, 48000});
    sound.SetRecording(true);
    std::deque<uint32_t> done;
    TAudioOutput audio(sound, [&](uint32_t device) { done.push_back(device); });
    ASSERT_EQ(audio.OpenOutputs(media, 0, 100).size(), 1u);
    audio.StartOutput(0);
    for (int t = 0; t < 2000; ++t) {
        clock.AdvanceMs(1);
        sound.Pump();
        for (; !done.empty(); done.pop_front())
            audio.AudioBufferDone(done.front());
    }
    const TNullAudioSystem::TRecord record = sound.Records().at(0);
    EXPECT_EQ(record.Format.Channels, spec.channels);
    EXPECT_LE(record.DeviceFormat.Channels, 2);
    EXPECT_NEAR(static_cast<double>(record.FramesPlayed), 2.0 * record.DeviceFormat.SamplesPerSec,
                record.DeviceFormat.SamplesPerSec / 16.0 + 1);
    // Loud where the tone is (12000 peak): well above codec noise and silence.
    const auto* samples = reinterpret_cast<const int16_t*>(record.Samples.data());
    const size_t count = record.Samples.size() / 2;
    double energy = 0;
    for (size_t i = 0; i < count; ++i)
        energy += static_cast<double>(samples[i]) * samples[i];
    EXPECT_GT(std::sqrt(energy / static_cast<double>(count)), 3000.0);
    audio.ReleaseOutputs();
    UninitialiseBackendOrder();
}

INSTANTIATE_TEST_SUITE_P(
    EveryReadableFormat, AudioFormats,
    ::testing::Values(AudioClip("WavU8", "wav", "wav", "pcm_u8", 1, 22050),
                      AudioClip("WavMuLaw", "wav", "wav", "pcm_mulaw", 1, 8000),
                      AudioClip("Mp3WithId3", "mp3", "mp3", "libmp3lame", 2, 44100, "id3v2_version=4"),
                      AudioClip("Mp3WithoutId3", "mp3", "mp3", "libmp3lame", 2, 44100, "id3v2_version=0"),
                      AudioClip("AacStereo", "mp4", "m4a", "aac", 2, 48000),
                      AudioClip("Aac51", "mp4", "m4a", "aac", 6, 48000),
                      AudioClip("Ac3InAvi", "avi", "avi", "ac3", 6, 48000),
                      AudioClip("VorbisInWebm", "webm", "webm", "libvorbis", 2, 48000),
                      AudioClip("OpusInMkv", "matroska", "mkv", "libopus", 2, 48000)),
    [](const auto& info) { return info.param.label; });

} // namespace
