// The clips users bring, through the filter graph: frame n shows the picture
// on screen at the time of frame n, however it is reached. A file GStreamer
// cannot seek exactly is declined at open and opens through the next backend.

#include "media/gstreamer/ds_file.h"
#include "media/gstreamer/platform/ts_clock.h"
#include "media/registry/registry.h"
#include "tests/media/ff_test_clips.h"
#include "tests/media/grid_clips.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

namespace {

// A transport stream whose clock wraps: GStreamer's seeks past the wrap
// land on pictures labelled with other pictures' times.
bool IsDeclined(const TGridCase& grid) {
    return grid.clip.label == "NegativeStartTs";
}

int NumberAt(TAVFile& file, int index) {
    const TAVFile::TVideoFormat format = file.GetVideoFormat();
    return ReadFrameNumber(file.GetFrameAt(index), format.Width, format.Height);
}

class DSGrid : public ::testing::TestWithParam<TGridCase> {
protected:
    void SetUp() override { UninitialiseBackendOrder(); }
    void TearDown() override { UninitialiseBackendOrder(); }
};

void ExpectOpenedByTheNextBackend(const TGridCase& grid) {
    const std::string path = ClipPath(grid.clip);
    TDSFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, false);
    EXPECT_EQ(file.GetMode(), 0);
    EXPECT_THROW(file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true),
                 TAVFile::AVFileErrorOpenVideo);

    SetBackendPosition(1, 0);
    SetBackendPosition(2, 1);
    const auto opened = OpenMedia(path, TAVFile::StreamVideo);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->GetDescription(), "FFmpeg file input and output");
    for (int n : {100, 30, 149, 60, 0})
        EXPECT_EQ(NumberAt(*opened, n), grid.expected[static_cast<size_t>(n)]) << "frame " << n;
}

TEST_P(DSGrid, EveryWayOfReachingAFrameAgreesOnTheGrid) {
    if (IsDeclined(GetParam())) {
        ExpectOpenedByTheNextBackend(GetParam());
        return;
    }
    TDSFile file;
    file.Open(ClipPath(GetParam().clip), TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio,
              false);
    ASSERT_EQ(file.GetMode(), TAVFile::ModeRead);
    ASSERT_TRUE(file.GetStreams() & TAVFile::StreamVideo);
    const std::vector<int>& expected = GetParam().expected;
    const int frames = static_cast<int>(expected.size());
    EXPECT_EQ(file.GetVideoLength(), frames);
    for (int n = 0; n < frames; ++n)
        ASSERT_EQ(NumberAt(file, n), expected[static_cast<size_t>(n)]) << "in order, frame " << n;
    EXPECT_THROW(file.GetFrameAt(frames), TAVFile::AVFileErrorGetVideo);

    std::mt19937 random(5);
    std::uniform_int_distribution<int> anywhere(0, frames - 1);
    for (int i = 0; i < 200; ++i) {
        const int n = anywhere(random);
        ASSERT_EQ(NumberAt(file, n), expected[static_cast<size_t>(n)])
            << "random access " << i << ", frame " << n;
    }

    // As playback moves on: skip, then show; and short steps ahead read on.
    file.Seek(3);
    for (int n = 3; n + 4 < frames; n += 4) {
        file.SkipFrames(n + 4 - file.GetVideoPosition());
        ASSERT_EQ(NumberAt(file, n + 4), expected[static_cast<size_t>(n + 4)])
            << "after skipping to " << n + 4;
    }
    for (int n = 1; n < frames; n += n % 3 + 1)
        ASSERT_EQ(NumberAt(file, n), expected[static_cast<size_t>(n)]) << "stepping to " << n;

    // A scrub's preview shows the frame it names, and the exact frame follows.
    for (int n : {frames * 2 / 3, 30, frames - 1, 61, 7}) {
        const int key = file.SeekKeyFrame(n);
        ASSERT_LE(key, n);
        ASSERT_EQ(NumberAt(file, key), expected[static_cast<size_t>(key)])
            << "key frame " << key << " for " << n;
        ASSERT_EQ(NumberAt(file, n), expected[static_cast<size_t>(n)]) << "after the preview of " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, DSGrid, ::testing::ValuesIn(GridCases()),
                         [](const ::testing::TestParamInfo<TGridCase>& info) {
                             return info.param.clip.label;
                         });

} // namespace

namespace {

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Camcorders write M2TS: every packet behind a 4-byte time code.
std::vector<uint8_t> WithTimeCodes(const std::vector<uint8_t>& transport) {
    std::vector<uint8_t> m2ts;
    for (size_t at = 0; at + 188 <= transport.size(); at += 188) {
        m2ts.insert(m2ts.end(), {0x12, 0x34, 0x56, 0x78});
        m2ts.insert(m2ts.end(), transport.begin() + static_cast<std::ptrdiff_t>(at),
                    transport.begin() + static_cast<std::ptrdiff_t>(at + 188));
    }
    return m2ts;
}

TEST(DSTransportClock, AWrapIsFoundInEitherPacketLayoutAndOnlyThere) {
    TGridCase wrapped;
    for (const TGridCase& grid : GridCases())
        if (IsDeclined(grid))
            wrapped = grid;
    TClipSpec plain = wrapped.clip;
    plain.label = "PlainTs";
    plain.muxerOptions.clear();
    for (const TClipSpec& clip : {wrapped.clip, plain}) {
        const bool wraps = !clip.muxerOptions.empty();
        const std::string path = ClipPath(clip);
        EXPECT_EQ(TransportStreamWraps(path), wraps) << clip.label;
        const std::string m2ts = ScratchPath(clip.label + ".m2ts");
        WriteFileBytes(m2ts, WithTimeCodes(FileBytes(path)));
        EXPECT_EQ(TransportStreamWraps(m2ts), wraps) << clip.label << " as M2TS";
        int pid = -1;
        EXPECT_GT(TransportStreamTimes(FileBytes(path), pid).size(), 100u) << clip.label;
    }
}

} // namespace
