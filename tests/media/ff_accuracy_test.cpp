// Frame accuracy of TFFFile: every way of reaching frame n gives the picture
// that carries the number n, for every codec, with and without decoder
// threads, including the last frames that reordering decoders hold back.

#include "media/ffmpeg/ff_file.h"
#include "tests/media/ff_test_clips.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

namespace {

struct TAccuracyCase {
    TClipSpec clip;
    int threads;
};

void PrintTo(const TAccuracyCase& value, std::ostream* out) {
    *out << value.clip.label << "/threads" << value.threads;
}

std::vector<TAccuracyCase> AccuracyCases() {
    std::vector<TAccuracyCase> cases;
    for (const TClipSpec& clip : AccuracyClips())
        for (int threads : {1, 0})
            cases.push_back({clip, threads});
    return cases;
}

class FFAccuracy : public ::testing::TestWithParam<TAccuracyCase> {
protected:
    void SetUp() override {
        m_file.SetDecoderThreads(GetParam().threads);
        m_file.Open(ClipPath(GetParam().clip), TAVFile::ModeRead, TAVFile::StreamVideo, true);
    }

    int FrameNumberAt(int index) {
        const uint8_t* frame = m_file.GetFrameAt(index);
        const TAVFile::TVideoFormat format = m_file.GetVideoFormat();
        return ReadFrameNumber(frame, format.Width, format.Height);
    }

    int Frames() const { return GetParam().clip.frameCount; }

    TFFFile m_file;
};

TEST_P(FFAccuracy, ReadsEveryFrameInOrderAndNothingAfterTheLast) {
    EXPECT_EQ(m_file.GetVideoFormat().Rate, 25u);
    EXPECT_EQ(m_file.GetVideoFormat().Scale, 1u);
    for (int i = 0; i < Frames(); ++i) {
        ASSERT_EQ(FrameNumberAt(i), i) << "frame " << i;
        EXPECT_EQ(m_file.GetVideoPosition(), i + 1);
    }
    EXPECT_EQ(m_file.GetVideoLength(), Frames());
    EXPECT_THROW(m_file.GetFrameAt(Frames()), TAVFile::AVFileErrorRead);
}

TEST_P(FFAccuracy, RandomAccessForwardsAndBackwardsMatchesTheOrder) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> anywhere(0, Frames() - 1);
    std::vector<int> positions = {Frames() - 1, 0, Frames() - 2, 30, 29, 31, 13, Frames() - 3, 1};
    for (int i = 0; i < 15; ++i)
        positions.push_back(anywhere(random));
    for (int position : positions) {
        ASSERT_EQ(FrameNumberAt(position), position) << "seek to " << position;
        // and reading on in order from the place the seek left
        if (position + 1 < Frames()) {
            ASSERT_EQ(FrameNumberAt(position + 1), position + 1) << "after seek to " << position;
        }
    }
}

TEST_P(FFAccuracy, SeekLeavesTheTargetInTheBufferAndThePositionOnIt) {
    for (int target : {40, 7, Frames() - 1}) {
        m_file.Seek(target);
        EXPECT_EQ(m_file.GetVideoPosition(), target);
        const uint8_t* buffer = m_file.GetFrameAt(target);
        const TAVFile::TVideoFormat format = m_file.GetVideoFormat();
        EXPECT_EQ(ReadFrameNumber(buffer, format.Width, format.Height), target);
        EXPECT_EQ(m_file.GetVideoPosition(), target + 1);
    }
}

TEST_P(FFAccuracy, SkipFramesKeepsTheDecoderInStep) {
    EXPECT_EQ(m_file.SkipFrames(1), 1); // frame 0 was decoded at open
    EXPECT_EQ(m_file.SkipFrames(5), 6);
    EXPECT_EQ(FrameNumberAt(6), 6);
    m_file.Seek(20);
    EXPECT_EQ(m_file.SkipFrames(3), 23);
    EXPECT_EQ(FrameNumberAt(23), 23);
    EXPECT_EQ(FrameNumberAt(22), 22);
}

// Steps a window's fetches take: in order, skipping, seeking back, and the
// full-size frame asked for after the scaled one, or after frames were
// skipped past it.
TEST_P(FFAccuracy, ScaledPicturesShowTheSameFramesAsFullSizeOnes) {
    const TAVFile::TVideoFormat format = m_file.GetVideoFormat();
    const int width = format.Width / 2;
    const int height = format.Height / 2;
    const auto scaledNumber = [&](int index) {
        return ReadFrameNumber(m_file.GetScaledFrameAt(index, width, height), width, height);
    };
    for (int index : {0, 1, 2, 17, 9, Frames() - 1}) {
        ASSERT_EQ(scaledNumber(index), index) << "scaled " << index;
        EXPECT_EQ(m_file.GetVideoPosition(), index + 1);
        ASSERT_EQ(FrameNumberAt(index), index) << "full-size after scaled " << index;
    }
    ASSERT_EQ(scaledNumber(20), 20);
    m_file.SkipFrames(3);
    ASSERT_EQ(scaledNumber(24), 24);
    m_file.SkipFrames(2);
    EXPECT_EQ(FrameNumberAt(24), 24) << "the frame skipped past was never converted";
    ASSERT_EQ(FrameNumberAt(30), 30);
    m_file.SkipFrames(2);
    EXPECT_EQ(scaledNumber(30), 30) << "only the full-size buffer still held it";
}

TEST_P(FFAccuracy, KeyFrameSeekLandsAtOrBeforeAndReadingOnIsExact) {
    for (int target : {40, 5, Frames() - 1, 12, 13}) {
        const int key = m_file.SeekKeyFrame(target);
        ASSERT_LE(key, target);
        // Indexed containers find the GOP's own key frame; the others seek
        // exactly, which is never wrong, only slower.
        const std::string& label = GetParam().clip.label;
        if ((label == "H264Mp4" || label == "Mpeg4Avi" || label == "Mpeg4Mkv") && target < Frames() - 1) {
            EXPECT_EQ(key, target - target % GetParam().clip.gopSize) << "target " << target;
        }
        EXPECT_EQ(m_file.GetVideoPosition(), key);
        ASSERT_EQ(FrameNumberAt(key), key) << "key frame for " << target;
        ASSERT_EQ(FrameNumberAt(key + 1 < Frames() ? key + 1 : key), key + 1 < Frames() ? key + 1 : key);
        ASSERT_EQ(FrameNumberAt(target), target) << "exact frame after the preview of " << target;
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, FFAccuracy, ::testing::ValuesIn(AccuracyCases()),
                         [](const ::testing::TestParamInfo<TAccuracyCase>& info) {
                             return info.param.clip.label + "_threads" + std::to_string(info.param.threads);
                         });

TEST(FFAccuracyDeinterlaced, YadifGivesUpItsLastPictureAndKeepsNumbers) {
    const TClipSpec clip = ClipFor("Mpeg2Ps");
    TFFFile file;
    TAVFile::TParameters parameters;
    parameters.Deinterlace = true;
    file.SetParameters(parameters);
    file.Open(ClipPath(clip), TAVFile::ModeRead, TAVFile::StreamVideo, true);
    for (int i = 0; i < clip.frameCount; ++i)
        ASSERT_EQ(ReadFrameNumber(file.GetFrameAt(i), clip.width, clip.height), i) << "frame " << i;
    for (int target : {33, 5, clip.frameCount - 1, 17})
        ASSERT_EQ(ReadFrameNumber(file.GetFrameAt(target), clip.width, clip.height), target);

    // Switching deinterlacing off mid-way must not lose the picture yadif holds.
    file.GetFrameAt(10);
    parameters.Deinterlace = false;
    file.SetParameters(parameters);
    for (int i = 11; i < 20; ++i)
        ASSERT_EQ(ReadFrameNumber(file.GetFrameAt(i), clip.width, clip.height), i) << "frame " << i;
}

} // namespace
