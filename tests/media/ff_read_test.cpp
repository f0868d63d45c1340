// Reading with TFFFile: position and length bookkeeping, audio, offsets and
// the errors of opening and seeking.

#include "media/ffmpeg/ff_file.h"
#include "tests/media/ff_test_clips.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

int NumberOf(TAVFile& file, int index) {
    const TAVFile::TVideoFormat format = file.GetVideoFormat();
    return ReadFrameNumber(file.GetFrameAt(index), format.Width, format.Height);
}

std::vector<char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

template <typename Error, typename Action> void ExpectError(Action action, const std::string& message) {
    try {
        action();
        ADD_FAILURE() << "no error, expected \"" << message << "\"";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), message);
    }
}

TClipSpec SmallClip(const std::string& label, int frames) {
    TClipSpec spec;
    spec.label = label;
    spec.format = "avi";
    spec.extension = "avi";
    spec.videoCodec = "mpeg4";
    spec.width = 160;
    spec.height = 120;
    spec.frameCount = frames;
    spec.gopSize = 25;
    return spec;
}

TClipSpec ToneWav(const std::string& label, int milliseconds) {
    TClipSpec spec;
    spec.label = label;
    spec.format = "wav";
    spec.extension = "wav";
    spec.audioCodec = "pcm_s16le";
    spec.audioMs = milliseconds;
    spec.audioDelayMs = 0;
    return spec;
}

// Checks that interleaved samples are exactly the tone from a position on.
void ExpectTone(const uint8_t* data, int32_t bytes, int64_t position, int channels) {
    const auto* samples = reinterpret_cast<const int16_t*>(data);
    const int frames = bytes / (2 * channels);
    for (int i = 0; i < frames; ++i)
        for (int channel = 0; channel < channels; ++channel)
            ASSERT_EQ(samples[i * channels + channel], ToneSample(position + i, 44100, channel))
                << "sample frame " << position + i << " channel " << channel;
}

TEST(FFRead, SeekAt25FramesPerSecondPlacesVideoAndAudio) {
    TClipSpec spec = SmallClip("Seek250", 260);
    spec.audioCodec = "pcm_s16le";
    spec.audioDelayMs = 0;
    TFFFile file;
    file.Open(ClipPath(spec), TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, true);
    file.Seek(250);
    EXPECT_EQ(file.GetVideoPosition(), 250);
    EXPECT_EQ(file.GetAudioPosition(), 441000);
    EXPECT_EQ(NumberOf(file, 250), 250);
    // The audio that follows starts exactly at the new position, although
    // the packet holding it starts earlier.
    int32_t bytes = 0;
    const uint8_t* audio = file.GetAudio(bytes);
    ASSERT_GT(bytes, 0);
    ExpectTone(audio, bytes, 441000, 2);
    EXPECT_EQ(file.GetAudioPosition(), 441000 + bytes / 4);

    // Audio positions seek through the video frame they fall in.
    EXPECT_EQ(file.SetAudioPosition(441000 + 1000), 441000);
    EXPECT_EQ(file.GetVideoPosition(), 250);
}

TEST(FFRead, LengthEstimateGrowsWhileMoreFramesFollow) {
    // Two program streams back to back: the stated duration covers only
    // the first, so the estimate must grow while frames keep coming.
    TClipSpec first;
    first.label = "GrowFirst";
    first.format = "mpeg";
    first.extension = "mpg";
    first.videoCodec = "mpeg1video";
    first.frameCount = 30;
    TClipSpec second = first;
    second.label = "GrowSecond";
    second.firstFrameNumber = 30;
    std::vector<char> bytes = ReadBytes(ClipPath(first));
    const std::vector<char> more = ReadBytes(ClipPath(second));
    bytes.insert(bytes.end(), more.begin(), more.end());
    const std::string path = ScratchPath("grow.mpg");
    WriteBytes(path, bytes);

    TFFFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    EXPECT_LT(file.GetVideoLength(), 60);
    for (int i = 0; i < 60; ++i) {
        ASSERT_EQ(NumberOf(file, i), i);
        ASSERT_GT(file.GetVideoLength(), i);
    }
    EXPECT_EQ(file.GetVideoLength(), 60);
    ExpectError<TAVFile::AVFileErrorGetVideo>([&] { file.GetFrameAt(60); }, "Could not get frame!");
}

TEST(FFRead, SkipFramesPastTheEndRaisesWithoutDecoding) {
    TFFFile file;
    file.Open(ClipPath(SmallClip("Twelve", 12)), TAVFile::ModeRead, TAVFile::StreamVideo, true);
    ASSERT_EQ(file.GetVideoLength(), 12);
    EXPECT_EQ(NumberOf(file, 9), 9);
    ExpectError<TAVFile::AVFileErrorGetVideo>([&] { file.SkipFrames(3); }, "Could not get frame!");
    EXPECT_EQ(file.GetVideoPosition(), 10);
    EXPECT_EQ(NumberOf(file, 10), 10); // the decoder did not move
    EXPECT_EQ(file.SkipFrames(0), 0);
    ExpectError<TAVFile::AVFileErrorGetVideo>([&] { file.SkipFrames(1); }, "Could not get frame!");
    EXPECT_EQ(NumberOf(file, 11), 11);
    ExpectError<TAVFile::AVFileErrorGetVideo>([&] { file.GetFrameAt(12); }, "Could not get frame!");
}

TEST(FFRead, AudioIsExactAndEndsInSilenceUpToItsStatedLength) {
    // The sample table at the front of the file states the full length; the
    // samples themselves end 1000 sample frames earlier.
    TClipSpec spec = ToneWav("ToneMov", 1000);
    spec.format = "mov";
    spec.extension = "mov";
    spec.muxerOptions = "movflags=+faststart";
    const std::vector<char> whole = ReadBytes(ClipPath(spec));
    std::vector<char> cut(whole.begin(), whole.end() - 4000);
    const std::string path = ScratchPath("cut.mov");
    WriteBytes(path, cut);

    TFFFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamAudio, true);
    EXPECT_EQ(file.GetStreams(), TAVFile::StreamAudio);
    EXPECT_EQ(file.GetAudioFormat().Channels, 2);
    EXPECT_EQ(file.GetAudioFormat().SamplesPerSecond, 44100);
    ASSERT_EQ(file.GetAudioLength(), 44100);
    int64_t position = 0;
    while (position < 44100 - 1000) {
        int32_t bytes = 0;
        const uint8_t* data = file.GetAudio(bytes);
        ExpectTone(data, bytes, position, 2);
        position += bytes / 4;
        ASSERT_EQ(file.GetAudioPosition(), position);
    }
    EXPECT_EQ(position, 44100 - 1000);
    int32_t bytes = 0;
    const uint8_t* silence = file.GetAudio(bytes);
    ASSERT_EQ(bytes, 1000 * 4);
    EXPECT_TRUE(std::all_of(silence, silence + bytes, [](uint8_t value) { return value == 0; }));
    EXPECT_EQ(file.GetAudioPosition(), 44100);
    ExpectError<TAVFile::AVFileErrorGetAudio>([&] { file.GetAudio(bytes); }, "Could not get audio!");
}

TEST(FFRead, AudioOffsetIsTheDelayOfTheAudioAfterTheVideo) {
    TFFFile file;
    file.Open(ClipPath(ClipFor("Mpeg4Mkv")), TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio,
              true);
    EXPECT_EQ(file.GetAudioOffset(), 40);
    file.Open(ClipPath(ClipFor("Mpeg4Mkv")), TAVFile::ModeRead, TAVFile::StreamVideo, true);
    EXPECT_EQ(file.GetAudioOffset(), 0); // only both streams together have an offset
}

TEST(FFRead, StreamsWithoutDurationGetTheirExactLength) {
    // Matroska states no duration per stream; the container's duration also
    // covers the audio, which ends 40 ms after the video.
    const TClipSpec spec = ClipFor("Mpeg4Mkv");
    TFFFile file;
    file.Open(ClipPath(spec), TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, true);
    EXPECT_EQ(file.GetVideoLength(), spec.frameCount);
    EXPECT_EQ(NumberOf(file, spec.frameCount - 1), spec.frameCount - 1);
    EXPECT_EQ(file.GetAudioLength(), spec.frameCount * 44100 / 25);
}

TEST(FFRead, AVideoOnlyConsumerDrainsTheAudioOfAnInterleavedFile) {
    const TClipSpec spec = ClipFor("Mpeg4Avi");
    TFFFile file;
    file.Open(ClipPath(spec), TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, true);
    EXPECT_EQ(file.GetFlags() & TAVFile::FlagInterleaved, TAVFile::FlagInterleaved);
    int32_t previous = 0;
    for (int i = 0; i < spec.frameCount; ++i) {
        ASSERT_EQ(NumberOf(file, i), i);
        file.SkipAudio();
        ASSERT_GE(file.GetAudioPosition(), previous);
        previous = file.GetAudioPosition();
        // the audio keeps pace with the video (mp2 frames are 26 ms; the
        // reader looks one picture ahead to place it on the frame grid)
        ASSERT_LE(std::abs(previous - (i + 1) * 1764), 1764 * 4) << "frame " << i;
    }
}

TEST(FFRead, AnAudioOnlyConsumerReadsTheWholeTone) {
    const TClipSpec spec = ClipFor("MjpegAvi"); // PCM audio
    TFFFile file;
    file.Open(ClipPath(spec), TAVFile::ModeRead, TAVFile::StreamAudio, true);
    int64_t total = 0;
    while (file.GetAudioPosition() < file.GetAudioLength()) {
        int32_t bytes = 0;
        const uint8_t* data = file.GetAudio(bytes);
        ExpectTone(data, bytes, total, 2);
        total += bytes / 4;
    }
    EXPECT_EQ(total, spec.frameCount * 44100 / 25);
}

TEST(FFRead, OpenFailuresCarryTheirMessages) {
    TFFFile file;
    ExpectError<TAVFile::AVFileErrorOpenVideo>(
        [&] { file.Open(ScratchPath("missing.avi"), TAVFile::ModeRead, TAVFile::StreamVideo, true); },
        "Could not open file!");
    EXPECT_EQ(file.GetMode(), TAVFile::ModeClosed);
    file.Open(ScratchPath("missing.avi"), TAVFile::ModeRead, TAVFile::StreamVideo, false);
    EXPECT_EQ(file.GetMode(), TAVFile::ModeClosed);

    const std::string wave = ClipPath(ToneWav("OpenErrors", 200));
    ExpectError<TAVFile::AVFileErrorOpenVideo>(
        [&] { file.Open(wave, TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, true); },
        "Could not find video stream!");
    EXPECT_EQ(file.GetMode(), TAVFile::ModeClosed);
    file.Open(wave, TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, false);
    EXPECT_EQ(file.GetMode(), TAVFile::ModeRead);
    EXPECT_EQ(file.GetStreams(), TAVFile::StreamAudio);

    ExpectError<TAVFile::AVFileErrorOpenAudio>(
        [&] { file.Open(ClipPath(SmallClip("Silent", 5)), TAVFile::ModeRead, TAVFile::StreamAudio, true); },
        "Could not find audio stream!");

    const std::string text = ScratchPath("not-media.avi");
    WriteBytes(text, std::vector<char>(5000, 'x'));
    EXPECT_THROW(file.Open(text, TAVFile::ModeRead, TAVFile::StreamVideo, true),
                 TAVFile::AVFileErrorOpenVideo);
    EXPECT_EQ(file.GetMode(), TAVFile::ModeClosed);
}

TEST(FFRead, NegativeFramesAndReadingWhileWritingAreRefused) {
    TFFFile file;
    file.Open(ClipPath(SmallClip("Negative", 5)), TAVFile::ModeRead, TAVFile::StreamVideo, true);
    ExpectError<TAVFile::AVFileErrorRead>([&] { file.GetFrameAt(-1); }, "Could not seek!");
    ExpectError<TAVFile::AVFileErrorRead>([&] { file.GetFrameAt(-1); }, "Could not seek!");
    EXPECT_EQ(NumberOf(file, 2), 2); // still usable afterwards
    ExpectError<TAVFile::AVFileErrorOpenInvalidMode>([&] { file.PutFrame(nullptr); },
                                                     "File is not opened for writing!");
}

} // namespace
