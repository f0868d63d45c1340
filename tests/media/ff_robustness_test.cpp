// Damaged files must never crash or hang TFFFile: reading them gives the
// pictures that survive, black frames or errors of the AVFileError family.

#include "media/ffmpeg/ff_file.h"
#include "tests/media/ff_test_clips.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

namespace {

std::vector<char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct TExercise {
    bool opened = false;
    int frames = 0;  // frames asked for
    int correct = 0; // frames that showed their own number
};

// Reads every frame in order, then at random places, then all audio; any
// exception outside the AVFileError family fails the test.
TExercise Exercise(const std::string& path) {
    TExercise result;
    TFFFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, false);
    result.opened = file.GetMode() == TAVFile::ModeRead;
    if (!result.opened)
        return result;
    if (file.GetStreams() & TAVFile::StreamVideo) {
        const TAVFile::TVideoFormat format = file.GetVideoFormat();
        const int length = std::min(file.GetVideoLength(), 1000);
        for (int i = 0; i < length + 2; ++i) {
            ++result.frames;
            try {
                if (ReadFrameNumber(file.GetFrameAt(i), format.Width, format.Height) == i)
                    ++result.correct;
            } catch (const TAVFile::AVFileError&) {
            }
        }
        std::mt19937 random(7);
        std::uniform_int_distribution<int> anywhere(0, length + 1);
        for (int i = 0; i < 20; ++i) {
            try {
                file.GetFrameAt(anywhere(random));
                file.SkipAudio();
            } catch (const TAVFile::AVFileError&) {
            }
        }
    }
    if (file.GetStreams() & TAVFile::StreamAudio) {
        for (int call = 0; call < 5000 && file.GetAudioPosition() < file.GetAudioLength(); ++call) {
            int32_t bytes = 0;
            try {
                file.GetAudio(bytes);
            } catch (const TAVFile::AVFileErrorGetAudio&) {
                break;
            }
        }
    }
    return result;
}

class FFDamaged : public ::testing::TestWithParam<TClipSpec> {};

TEST_P(FFDamaged, TruncatedFilesGiveWhatSurvives) {
    const std::vector<char> whole = ReadBytes(ClipPath(GetParam()));
    const std::string path = ScratchPath("cut-" + GetParam().label + "." + GetParam().extension);
    WriteBytes(path,
               std::vector<char>(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(whole.size() / 2)));
    const TExercise result = Exercise(path);
    if (GetParam().format == "mp4") {
        EXPECT_FALSE(result.opened); // its index sits at the end
        return;
    }
    ASSERT_TRUE(result.opened);
    EXPECT_GE(result.correct, GetParam().frameCount / 3);
}

TEST_P(FFDamaged, CorruptedFilesGiveWhatSurvives) {
    std::vector<char> bytes = ReadBytes(ClipPath(GetParam()));
    std::mt19937 random(99);
    std::uniform_int_distribution<int> byte(0, 255);
    // Damage the middle of the file, away from the headers and the index.
    for (int region = 3; region <= 7; ++region) {
        const size_t at = bytes.size() * region / 10;
        for (size_t i = at; i < at + 64 && i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(byte(random));
    }
    const std::string path = ScratchPath("bad-" + GetParam().label + "." + GetParam().extension);
    WriteBytes(path, bytes);
    const TExercise result = Exercise(path);
    ASSERT_TRUE(result.opened);
    EXPECT_GE(result.correct, GetParam().frameCount / 3);
}

INSTANTIATE_TEST_SUITE_P(Codecs, FFDamaged, ::testing::ValuesIn(AccuracyClips()),
                         [](const ::testing::TestParamInfo<TClipSpec>& info) { return info.param.label; });

// Rewrites one 32-bit field of the first chunk with the given tag.
void PatchChunk(std::vector<char>& bytes, const char* tag, size_t offset, uint32_t value) {
    for (size_t i = 0; i + 8 + offset + 4 <= bytes.size(); ++i) {
        if (std::memcmp(&bytes[i], tag, 4) == 0) {
            std::memcpy(&bytes[i + 8 + offset], &value, 4);
            return;
        }
    }
    FAIL() << "no chunk " << tag;
}

TClipSpec RawAvi(const std::string& label, const std::string& codec) {
    TClipSpec spec = ClipFor("RawAvi");
    spec.label = label;
    spec.videoCodec = codec;
    spec.frameCount = 40;
    return spec;
}

TEST(FFHeaders, FramesBeyondTheLargestSizeAreRefused) {
    std::vector<char> bytes = ReadBytes(ClipPath(RawAvi("Wide", "rawvideo")));
    PatchChunk(bytes, "strf", 4, 20000);  // biWidth
    PatchChunk(bytes, "avih", 32, 20000); // dwWidth
    const std::string path = ScratchPath("wide.avi");
    WriteBytes(path, bytes);
    TFFFile file;
    try {
        file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
        ADD_FAILURE() << "a 20000 pixel wide frame was accepted";
    } catch (const TAVFile::AVFileErrorOpenVideo& error) {
        EXPECT_STREQ(error.what(), "Could not allocate frame buffer!");
    }
    // Without raising, the audio still opens.
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, false);
    EXPECT_EQ(file.GetStreams(), TAVFile::StreamAudio);
}

TEST(FFHeaders, AnAbsurdFrameRateGetsASaneOneAndFramesStayInPlace) {
    for (const std::string codec : {"rawvideo", "mpeg4"}) {
        std::vector<char> bytes = ReadBytes(ClipPath(RawAvi("Fast" + codec, codec)));
        PatchChunk(bytes, "strh", 20, 1);      // dwScale
        PatchChunk(bytes, "strh", 24, 100000); // dwRate: 100000 frames per second
        const std::string path = ScratchPath("fast-" + codec + ".avi");
        WriteBytes(path, bytes);
        TFFFile file;
        file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
        const TAVFile::TVideoFormat format = file.GetVideoFormat();
        const double perSecond = static_cast<double>(format.Rate) / format.Scale;
        EXPECT_GE(perSecond, 1.0) << codec;
        EXPECT_LE(perSecond, 1000.0) << codec;
        EXPECT_EQ(file.GetVideoLength(), 40) << codec;
        for (int index : {30, 3, 39, 17, 18})
            EXPECT_EQ(ReadFrameNumber(file.GetFrameAt(index), format.Width, format.Height), index) << codec;
    }
}

} // namespace
