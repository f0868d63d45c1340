// With the default backend order (less the filter graph, which reads most of
// these too), files that only the FFmpeg backend can read open through the
// registry, and through nothing without it.

#include "media/ffmpeg/ff_file.h"
#include "media/registry/registry.h"
#include "tests/media/ff_test_clips.h"
#include "tests/support/bmp_bytes.h"

#include <gtest/gtest.h>

namespace {

struct TRegistryCase {
    TClipSpec clip;
    int32_t streams; // what the opened file must offer
};

void PrintTo(const TRegistryCase& value, std::ostream* out) {
    *out << value.clip.label;
}

TClipSpec AudioOnly(const std::string& label, const std::string& format, const std::string& codec) {
    TClipSpec spec;
    spec.label = label;
    spec.format = format;
    spec.extension = format;
    spec.audioCodec = codec;
    spec.audioMs = 500;
    spec.audioDelayMs = 0;
    return spec;
}

// AVI and WAV files open through backend 0 before FFmpeg in the default
// order; without it they are FFmpeg's.
class FFRegistry : public ::testing::TestWithParam<TRegistryCase> {
protected:
    void SetUp() override {
        UninitialiseBackendOrder();
        SetBackendPosition(0, -1);
        SetBackendPosition(1, -1);
    }
    void TearDown() override { UninitialiseBackendOrder(); }
};

TEST_P(FFRegistry, TheDefaultOrderOpensItWithFFmpegAndNothingElseCan) {
    const std::string path = ClipPath(GetParam().clip);
    const auto file = OpenMedia(path, TAVFile::StreamVideo | TAVFile::StreamAudio);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetDescription(), "FFmpeg file input and output");
    EXPECT_EQ(file->GetStreams(), GetParam().streams);
    if (GetParam().streams & TAVFile::StreamVideo) {
        EXPECT_EQ(file->GetVideoLength(), GetParam().clip.frameCount);
        const TAVFile::TVideoFormat format = file->GetVideoFormat();
        EXPECT_EQ(ReadFrameNumber(file->GetFrameAt(7), format.Width, format.Height), 7);
    }

    SetBackendPosition(2, -1);
    EXPECT_EQ(OpenMedia(path, TAVFile::StreamVideo | TAVFile::StreamAudio), nullptr);
}

constexpr int32_t Both = TAVFile::StreamVideo | TAVFile::StreamAudio;

INSTANTIATE_TEST_SUITE_P(
    Formats, FFRegistry,
    ::testing::Values(TRegistryCase{ClipFor("Mpeg4Avi"), Both}, TRegistryCase{ClipFor("Mpeg1Mpg"), Both},
                      TRegistryCase{ClipFor("H264Mp4"), Both}, TRegistryCase{ClipFor("Mpeg4Mkv"), Both},
                      TRegistryCase{AudioOnly("Wave", "wav", "pcm_s16le"), TAVFile::StreamAudio},
                      TRegistryCase{AudioOnly("Mp3", "mp3", "libmp3lame"), TAVFile::StreamAudio}),
    [](const ::testing::TestParamInfo<TRegistryCase>& info) { return info.param.clip.label; });

TEST(FFStillImages, AreLeftToTheImageSequenceBackend) {
    const std::string first = ScratchPath("still0001.bmp");
    WriteBytes(first, MakeBMPBytes(8, 4, 24, [](int32_t x, int32_t) { return x; }));
    WriteBytes(ScratchPath("still0002.bmp"), MakeBMPBytes(8, 4, 24, [](int32_t x, int32_t) { return x; }));
    TFFFile file;
    file.Open(first, TAVFile::ModeRead, TAVFile::StreamVideo, false);
    EXPECT_EQ(file.GetMode(), TAVFile::ModeClosed);

    UninitialiseBackendOrder();
    const auto sequence = OpenMedia(first, TAVFile::StreamVideo | TAVFile::StreamAudio);
    ASSERT_NE(sequence, nullptr);
    EXPECT_EQ(sequence->GetDescription(), "BMP file input and output");
    EXPECT_EQ(sequence->GetVideoLength(), 2);
}

} // namespace
