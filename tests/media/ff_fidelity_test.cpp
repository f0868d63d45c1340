// Clips shaped like the ones users bring: every way of reaching frame n must
// give the picture on screen at the time of frame n.

#include "media/ffmpeg/ff_file.h"
#include "platform/fake_mm_timer.h"
#include "playback/playback_clock.h"
#include "tests/media/ff_test_clips.h"
#include "tests/media/grid_clips.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <random>

namespace {

class FFGrid : public ::testing::TestWithParam<TGridCase> {
protected:
    void SetUp() override {
        m_file.Open(ClipPath(GetParam().clip), TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio,
                    false);
        ASSERT_EQ(m_file.GetMode(), TAVFile::ModeRead);
        ASSERT_TRUE(m_file.GetStreams() & TAVFile::StreamVideo);
    }

    int NumberAt(int index) {
        const TAVFile::TVideoFormat format = m_file.GetVideoFormat();
        return ReadFrameNumber(m_file.GetFrameAt(index), format.Width, format.Height);
    }

    TFFFile m_file;
};

TEST_P(FFGrid, InOrderRandomAccessAndSkippingAgreeOnTheGrid) {
    const std::vector<int>& expected = GetParam().expected;
    const int frames = static_cast<int>(expected.size());
    // Stated durations may miss the last picture's; the length grows to it.
    EXPECT_NEAR(m_file.GetVideoLength(), frames, 1);
    for (int n = 0; n < frames; ++n)
        ASSERT_EQ(NumberAt(n), expected[static_cast<size_t>(n)]) << "in order, frame " << n;
    EXPECT_EQ(m_file.GetVideoLength(), frames);
    EXPECT_THROW(m_file.GetFrameAt(frames), TAVFile::AVFileError);

    std::mt19937 random(5);
    std::uniform_int_distribution<int> anywhere(0, frames - 1);
    for (int i = 0; i < 200; ++i) {
        const int n = anywhere(random);
        ASSERT_EQ(NumberAt(n), expected[static_cast<size_t>(n)]) << "random access " << i << ", frame " << n;
    }

    // As playback moves on: skip, then show.
    m_file.Seek(3);
    for (int n = 3; n + 4 < frames; n += 4) {
        m_file.SkipFrames(n + 4 - m_file.GetVideoPosition());
        ASSERT_EQ(NumberAt(n + 4), expected[static_cast<size_t>(n + 4)]) << "after skipping to " << n + 4;
    }
}

// A camera as the playback clock sees it: the file and the numbers fetched.
class TGridMedium : public TPlaybackMedium {
public:
    explicit TGridMedium(TFFFile& file) : m_file(file) {}
    TAVFile* MediaFile() override { return &m_file; }
    int32_t Offset() const override { return 0; }
    void FetchFrame(int32_t frame) override {
        const TAVFile::TVideoFormat format = m_file.GetVideoFormat();
        Shown.emplace_back(frame, ReadFrameNumber(m_file.GetFrameAt(frame), format.Width, format.Height));
    }
    void Paint() override {}
    void CommitMouseRegion() override {}
    bool IsAudioEnabled() const override { return false; }
    void ShowPlaybackRate(double, int32_t) override {}

    std::vector<std::pair<int32_t, int>> Shown; // frame, number read

private:
    TFFFile& m_file;
};

class TOneMedium : public TPlaybackMediaList {
public:
    explicit TOneMedium(TPlaybackMedium& medium) : m_medium(medium) {}
    int32_t MediumCount() const override { return 1; }
    TPlaybackMedium& Medium(int32_t) override { return m_medium; }

private:
    TPlaybackMedium& m_medium;
};

class TQueueHost : public TPlaybackHost {
public:
    void TrackBarChanged(const TTrackBar&) override {}
    void SetStatusTexts(const QString&, const QString&, const QString&) override {}
    void RefreshEventList(bool, bool) override {}
    void RefreshTitleList(bool, bool) override {}
    void RenderOutput() override {}
    void SetTimelinePosition(int32_t) override {}
    void RefreshTimeline() override {}
    void RepaintTimeline() override {}
    void SetEditingEnabled(bool) override {}
    void PostTimerMessage(uint32_t wParam) override { Posted.push_back(wParam); }
    std::deque<uint32_t> Posted;
};

TEST_P(FFGrid, PlaybackOnTheClockShowsTheGridFrameAtEveryTick) {
    TProject project;
    TGridMedium medium(m_file);
    TOneMedium media(medium);
    TQueueHost host;
    TFakeMMTimer timer;
    TPlaybackClock clock(project, media, host, timer);
    clock.MediumAdded(0);
    clock.Play();
    // Every third tick runs two frame periods late, so frames are skipped too.
    for (int tick = 0; tick < 400 && (!host.Posted.empty() || timer.FireNext()); ++tick) {
        if (tick % 3 == 2)
            timer.MutableClock().AdvanceMs(80);
        const uint32_t wParam = host.Posted.front();
        host.Posted.pop_front();
        clock.HandleTimerMessage(wParam);
    }
    const std::vector<int>& expected = GetParam().expected;
    ASSERT_GT(medium.Shown.size(), expected.size() / 2);
    for (const auto& [frame, number] : medium.Shown)
        ASSERT_EQ(number, expected[static_cast<size_t>(frame)]) << "frame " << frame;
}

INSTANTIATE_TEST_SUITE_P(Shapes, FFGrid, ::testing::ValuesIn(GridCases()),
                         [](const ::testing::TestParamInfo<TGridCase>& info) {
                             return info.param.clip.label;
                         });

std::vector<uint8_t> Copy(const uint8_t* frame, const TAVFile::TVideoFormat& format) {
    return std::vector<uint8_t>(frame, frame + static_cast<size_t>(format.Width) * 4 * format.Height);
}

TEST(FFGridDeinterlaced, TheFirstPictureAfterASeekIsTheOneReadInOrder) {
    TClipSpec clip = ClipFor("Mpeg2PsLongGop");
    TFFFile file;
    TAVFile::TParameters parameters;
    parameters.Deinterlace = true;
    file.SetParameters(parameters);
    file.Open(ClipPath(clip), TAVFile::ModeRead, TAVFile::StreamVideo, true);
    const TAVFile::TVideoFormat format = file.GetVideoFormat();
    std::vector<std::vector<uint8_t>> inOrder;
    for (int n = 0; n < clip.frameCount; ++n)
        inOrder.push_back(Copy(file.GetFrameAt(n), format));
    // Key frames (every GOP start) and their neighbours; a program stream
    // has no index, so seeks land near their target, also on its key frame.
    for (int n : {100, 50, 101, 51, 99, 49, 119, 1, 0}) {
        const std::vector<uint8_t>& expected = inOrder[static_cast<size_t>(n)];
        const uint8_t* sought = file.GetFrameAt(n);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), sought))
            << "frame " << n << " differs by "
            << MeanAbsoluteError(sought, expected.data(), format.Width, format.Height) << " per byte";
    }
}

std::vector<char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(FFGridDamaged, PicturesAfterADamagedPacketKeepTheirPlaces) {
    TClipSpec clip = ClipFor("Mpeg2Ps");
    std::vector<char> bytes = ReadBytes(ClipPath(clip));
    // Garbage inside one packet of the second GOP, away from its start codes.
    const size_t at = bytes.size() * 3 / 10;
    for (size_t i = at; i < at + 1500; ++i)
        bytes[i] = static_cast<char>(0x55 ^ i);
    const std::string path = ScratchPath("damaged-packet.vob");
    WriteBytes(path, bytes);

    TFFFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    const TAVFile::TVideoFormat format = file.GetVideoFormat();
    std::vector<int> inOrder;
    int exact = 0;
    for (int n = 0; n < clip.frameCount; ++n) {
        const int number = ReadFrameNumber(file.GetFrameAt(n), format.Width, format.Height);
        inOrder.push_back(number);
        // A damaged picture or one repeated in its place, never a later one.
        EXPECT_LE(number, n) << "frame " << n;
        if (number == n)
            ++exact;
    }
    EXPECT_EQ(file.GetVideoLength(), clip.frameCount);
    // The damage costs at most the rest of its GOP.
    EXPECT_GE(exact, clip.frameCount - clip.gopSize);
    for (int n = 36; n < clip.frameCount; ++n)
        EXPECT_EQ(inOrder[static_cast<size_t>(n)], n) << "frame " << n << " after the damaged GOP";
    for (int n : {50, 40, 59, 37, 45})
        EXPECT_EQ(ReadFrameNumber(file.GetFrameAt(n), format.Width, format.Height), n) << "seek to " << n;
}

struct TAudioCase {
    const char* label;
    const char* format;
    const char* codec;
    double minimumCorrelation; // lossy coding blurs the tone a little
};

void PrintTo(const TAudioCase& value, std::ostream* out) {
    *out << value.label;
}

// The tone's correlation over the next 1024 sample frames the file gives.
double NextToneCorrelation(TFFFile& file, int64_t position) {
    std::vector<int16_t> samples;
    while (samples.size() < 2 * 1024) {
        int32_t bytes = 0;
        const auto* data = reinterpret_cast<const int16_t*>(file.GetAudio(bytes));
        samples.insert(samples.end(), data, data + bytes / 2);
    }
    return ToneCorrelation(samples.data(), 1024, 2, 44100, position);
}

class FFAudioOnly : public ::testing::TestWithParam<TAudioCase> {};

// A separate microphone must start where the clock is, not at 0.
TEST_P(FFAudioOnly, SeekAndSetAudioPositionStartAtThatSample) {
    TClipSpec spec;
    spec.label = std::string("Microphone") + GetParam().label;
    spec.format = GetParam().format;
    spec.extension = GetParam().format;
    spec.audioCodec = GetParam().codec;
    spec.audioMs = 4000;
    spec.audioDelayMs = 0;
    TFFFile file;
    file.Open(ClipPath(spec), TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, false);
    ASSERT_EQ(file.GetStreams(), TAVFile::StreamAudio);
    EXPECT_NEAR(file.GetAudioLength(), 4 * 44100, 44100 / 20);
    // Without video, Seek counts milliseconds (the default frame rate).
    for (int64_t ms : {2500, 700, 3100, 0}) {
        file.Seek(static_cast<int32_t>(ms));
        const int64_t sample = ms * 44100 / 1000;
        EXPECT_EQ(file.GetAudioPosition(), sample);
        EXPECT_GT(NextToneCorrelation(file, sample), GetParam().minimumCorrelation) << ms << " ms";
    }
    EXPECT_EQ(file.SetAudioPosition(100003), 100003);
    EXPECT_GT(NextToneCorrelation(file, 100003), GetParam().minimumCorrelation);
}

INSTANTIATE_TEST_SUITE_P(Formats, FFAudioOnly,
                         ::testing::Values(TAudioCase{"Wav", "wav", "pcm_s16le", 0.999},
                                           TAudioCase{"Mp3", "mp3", "libmp3lame", 0.9}),
                         [](const ::testing::TestParamInfo<TAudioCase>& info) { return info.param.label; });

TEST(FFAudioLength, MatroskaAudioLengthIsTheStreamsOwn) {
    TClipSpec spec;
    spec.label = "ToneMkv";
    spec.format = "matroska";
    spec.extension = "mkv";
    spec.audioCodec = "pcm_s16le";
    spec.audioMs = 10000;
    spec.audioDelayMs = 0;
    TFFFile file;
    file.Open(ClipPath(spec), TAVFile::ModeRead, TAVFile::StreamAudio, true);
    EXPECT_NEAR(file.GetAudioLength(), 10 * 44100, 44100 / 100);
}

// A one-picture clip written through the image muxer.
std::string StillPath(const std::string& codec, const std::string& extension) {
    TClipSpec spec;
    spec.label = "Still" + codec;
    spec.format = "image2";
    spec.extension = extension;
    spec.videoCodec = codec;
    spec.frameCount = 1;
    spec.maxBFrames = 0;
    spec.pixelFormat = codec == "mjpeg" ? "yuvj420p" : "rgb24";
    spec.muxerOptions = "update=1";
    return ClipPath(spec);
}

TEST(FFStill, PngAndJpegAreOneFrameMedia) {
    for (const auto& [codec, extension] : {std::pair{"png", "png"}, std::pair{"mjpeg", "jpg"}}) {
        TFFFile file;
        file.Open(StillPath(codec, extension), TAVFile::ModeRead, TAVFile::StreamVideo, true);
        EXPECT_EQ(file.GetVideoLength(), 1) << codec;
        const TAVFile::TVideoFormat format = file.GetVideoFormat();
        EXPECT_EQ(ReadFrameNumber(file.GetFrameAt(0), format.Width, format.Height), 0) << codec;
    }
}

TEST(FFNoDuration, ALengthIsFoundByScanningAndEveryFrameIsReachable) {
    TClipSpec spec;
    spec.label = "Mpeg1Elementary";
    spec.format = spec.videoCodec = "mpeg1video";
    spec.extension = "m1v";
    spec.width = 192;
    spec.height = 144;
    spec.frameCount = 90;
    const std::string path = ScratchPath("bare.mpg");
    WriteBytes(path, BareProgramStream(ReadBytes(ClipPath(spec))));
    TFFFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    EXPECT_EQ(file.GetVideoLength(), spec.frameCount);
    const TAVFile::TVideoFormat format = file.GetVideoFormat();
    for (int n = 0; n < spec.frameCount; ++n)
        ASSERT_EQ(ReadFrameNumber(file.GetFrameAt(n), format.Width, format.Height), n) << "frame " << n;
    for (int n : {60, 10, 89, 45, 0, 46})
        EXPECT_EQ(ReadFrameNumber(file.GetFrameAt(n), format.Width, format.Height), n) << "seek to " << n;
}

} // namespace
