// TDSFile over GStreamer with generated clips: every way of reaching frame n
// shows the picture carrying n, audio is the tone at its place, and the
// registry picks the backend when it leads the order.

#include "media/gstreamer/ds_file.h"
#include "media/registry/registry.h"
#include "tests/media/ff_test_clips.h"

#include <gtest/gtest.h>

#include <gst/gst.h>

#include <chrono>
#include <random>
#include <thread>

namespace {

TClipSpec Clip(const std::string& label, const std::string& format, const std::string& extension,
               const std::string& video, const std::string& audio, int maxBFrames) {
    TClipSpec spec;
    spec.label = "DS" + label;
    spec.format = format;
    spec.extension = extension;
    spec.videoCodec = video;
    spec.audioCodec = audio;
    spec.maxBFrames = maxBFrames;
    spec.frameCount = 100;
    spec.gopSize = 12;
    return spec;
}

TClipSpec Opus(TClipSpec spec) {
    spec.sampleRate = 48000; // the only rate libopus takes
    return spec;
}

std::vector<TClipSpec> Clips() {
    return {
        Clip("H264Mp4", "mp4", "mp4", "libx264", "aac", 2),
        Clip("H264Mkv", "matroska", "mkv", "libx264", "aac", 2),
        Clip("Mpeg4Avi", "avi", "avi", "mpeg4", "mp2", 2),
        Clip("Mpeg2Ps", "vob", "vob", "mpeg2video", "mp2", 2),
        Clip("Mpeg2Ts", "mpegts", "ts", "mpeg2video", "mp2", 2),
        Clip("MjpegAvi", "avi", "avi", "mjpeg", "pcm_s16le", 0),
        Opus(Clip("Vp9Webm", "webm", "webm", "libvpx-vp9", "libopus", 0)),
    };
}

// Where the plugins the project installs are missing, the clip cannot play.
bool CanPlay(const TClipSpec& spec) {
    const char* demuxer = spec.format == "vob" ? "mpegpsdemux" : nullptr;
    if (demuxer == nullptr)
        return true;
    gst_init(nullptr, nullptr);
    GstElementFactory* factory = gst_element_factory_find(demuxer);
    if (factory != nullptr)
        gst_object_unref(factory);
    return factory != nullptr;
}

class DSAccuracy : public ::testing::TestWithParam<TClipSpec> {
protected:
    void SetUp() override {
        if (!CanPlay(GetParam()))
            GTEST_SKIP() << "no GStreamer demuxer for " << GetParam().format;
        m_file.Open(ClipPath(GetParam()), TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio,
                    true);
    }

    int FrameNumberAt(int index) {
        const uint8_t* frame = m_file.GetFrameAt(index);
        return ReadFrameNumber(frame, m_file.GetVideoFormat().Width, m_file.GetVideoFormat().Height);
    }

    int Frames() const { return GetParam().frameCount; }

    TDSFile m_file;
};

TEST_P(DSAccuracy, ReadsEveryFrameInOrder) {
    EXPECT_EQ(m_file.GetVideoLength(), Frames());
    EXPECT_EQ(m_file.GetVideoFormat().Width, GetParam().width);
    EXPECT_NEAR(static_cast<double>(m_file.GetVideoFormat().Rate) / m_file.GetVideoFormat().Scale, 25.0,
                0.01);
    for (int i = 0; i < Frames(); ++i)
        ASSERT_EQ(FrameNumberAt(i), i) << "frame " << i;
    EXPECT_THROW(m_file.GetFrameAt(Frames()), TAVFile::AVFileErrorGetVideo);
}

TEST_P(DSAccuracy, LandsOnTheFrameAfterEverySeekAndContinuesFromIt) {
    std::mt19937 random(17);
    std::uniform_int_distribution<int> pick(0, Frames() - 1);
    for (int i = 0; i < 200; ++i) {
        const int target = pick(random);
        ASSERT_EQ(FrameNumberAt(target), target) << "seek " << i;
        if (i % 20 == 0 && target + 3 < Frames()) {
            for (int next = target + 1; next <= target + 3; ++next)
                ASSERT_EQ(FrameNumberAt(next), next) << "after the seek to " << target;
        }
    }
    // Seeks that run into the end of the stream and back.
    ASSERT_EQ(FrameNumberAt(Frames() - 1), Frames() - 1);
    ASSERT_EQ(FrameNumberAt(0), 0);
}

// The full-size frame scaled by the nearest pixel, as a window's stretch
// without smoothing shows it.
std::vector<uint8_t> NearestScaled(const uint8_t* frame, int width, int height, int toWidth, int toHeight) {
    std::vector<uint8_t> scaled(static_cast<size_t>(toWidth) * toHeight * 4);
    for (int y = 0; y < toHeight; ++y)
        for (int x = 0; x < toWidth; ++x)
            std::copy_n(frame + (static_cast<size_t>((2 * y + 1) * height / (2 * toHeight)) * width +
                                 (2 * x + 1) * width / (2 * toWidth)) *
                                    4,
                        4, scaled.data() + (static_cast<size_t>(y) * toWidth + x) * 4);
    return scaled;
}

// Steps a window's fetches take: in order, skipping, seeking back, and the
// full-size frame asked for after the scaled one, or after frames were
// skipped past it.
TEST_P(DSAccuracy, ScaledPicturesAreTheFullSizeFramesScaled) {
    const TAVFile::TVideoFormat format = m_file.GetVideoFormat();
    const int width = format.Width * 3 / 4;
    const int height = format.Height / 2;
    const auto check = [&](int index, const char* step) {
        const uint8_t* picture = m_file.GetScaledFrameAt(index, width, height);
        ASSERT_EQ(ReadFrameNumber(picture, width, height), index) << step << " " << index;
        const std::vector<uint8_t> scaled(picture, picture + static_cast<size_t>(width) * height * 4);
        EXPECT_EQ(m_file.GetVideoPosition(), index + 1);
        const uint8_t* full = m_file.GetFrameAt(index);
        ASSERT_EQ(ReadFrameNumber(full, format.Width, format.Height), index) << "full size after " << step;
        // One pass from the decoder's layout places chroma a little
        // differently from converting first: edges differ, the picture not.
        EXPECT_LT(MeanAbsoluteError(scaled.data(),
                                    NearestScaled(full, format.Width, format.Height, width, height).data(),
                                    width, height),
                  1.5)
            << step << " " << index;
    };
    for (int index : {0, 1, 2, 17, 9, Frames() - 1})
        check(index, "seek or in order");
    check(20, "seek");
    m_file.SkipFrames(3);
    check(24, "after skipping");
    m_file.SkipFrames(2);
    ASSERT_EQ(FrameNumberAt(24), 24) << "skipped past, never converted to full size";
    ASSERT_EQ(FrameNumberAt(25), 25);
}

TEST_P(DSAccuracy, KeyFrameSeekLandsOnTheGopKeyAndReadingOnIsExact) {
    const std::string& label = GetParam().label;
    // Containers whose key frames lie on the frame grid by their times; the
    // others seek exactly, which is never wrong, only slower.
    const bool findsKeys = label == "DSH264Mp4" || label == "DSH264Mkv";
    for (int target : {40, 5, Frames() - 1, 12, 13, 70}) {
        const int key = m_file.SeekKeyFrame(target);
        ASSERT_LE(key, target);
        if (findsKeys && target < Frames() - 1) {
            EXPECT_EQ(key, target - target % GetParam().gopSize) << "target " << target;
        }
        EXPECT_EQ(m_file.GetVideoPosition(), key);
        ASSERT_EQ(FrameNumberAt(key), key) << "key frame for " << target;
        if (key + 1 < Frames()) {
            ASSERT_EQ(FrameNumberAt(key + 1), key + 1) << "after the key frame for " << target;
        }
        ASSERT_EQ(FrameNumberAt(target), target) << "exact frame after the preview of " << target;
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, DSAccuracy, ::testing::ValuesIn(Clips()),
                         [](const ::testing::TestParamInfo<TClipSpec>& info) { return info.param.label; });

// Files whose pictures' times after a seek are off (AVI keeps decoding times
// only; program streams have odd times after a key frame), long enough that
// counting from the start would be the slow way.
std::vector<TClipSpec> ReorderedClips() {
    std::vector<TClipSpec> clips = {
        Clip("LongMpeg4BAvi", "avi", "avi", "mpeg4", "mp2", 2),
        Clip("LongH264Avi", "avi", "avi", "libx264", "mp2", 2),
        Clip("LongMpeg2Avi", "avi", "avi", "mpeg2video", "mp2", 2),
        Clip("LongMpeg2Ps", "vob", "vob", "mpeg2video", "mp2", 2),
    };
    for (TClipSpec& clip : clips)
        clip.frameCount = 400;
    return clips;
}

class DSReordered : public DSAccuracy {};

TEST_P(DSReordered, RandomAccessIsExactToTheLastFrame) {
    std::mt19937 random(23);
    std::uniform_int_distribution<int> anywhere(0, Frames() - 1);
    std::uniform_int_distribution<int> nearTheEnd(Frames() - 30, Frames() - 1);
    for (int i = 0; i < 200; ++i) {
        const int target = i % 4 == 3 ? nearTheEnd(random) : anywhere(random);
        ASSERT_EQ(FrameNumberAt(target), target) << "seek " << i;
        if (i % 25 == 0 && target + 2 < Frames()) {
            ASSERT_EQ(FrameNumberAt(target + 1), target + 1) << "after the seek to " << target;
            ASSERT_EQ(FrameNumberAt(target + 2), target + 2) << "after the seek to " << target;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, DSReordered, ::testing::ValuesIn(ReorderedClips()),
                         [](const ::testing::TestParamInfo<TClipSpec>& info) { return info.param.label; });

TClipSpec ToneClip() {
    TClipSpec spec = Clip("ToneAvi", "avi", "avi", "mjpeg", "pcm_s16le", 0);
    spec.frameCount = 50;
    spec.audioDelayMs = 0;
    spec.audioMs = 2000;
    return spec;
}

double CorrelationOfNext(TDSFile& file, int64_t position) {
    int32_t bytes = 0;
    const auto* samples = reinterpret_cast<const int16_t*>(file.GetAudio(bytes));
    const int frames = std::min(bytes / 4, 2048);
    return ToneCorrelation(samples, frames, 2, 44100, position);
}

TEST(DSAudio, DeliversTheWholeToneInPlace) {
    TDSFile file;
    file.Open(ClipPath(ToneClip()), TAVFile::ModeRead, TAVFile::StreamAudio, true);
    EXPECT_EQ(file.GetAudioFormat().Channels, 2);
    EXPECT_EQ(file.GetAudioFormat().SamplesPerSecond, 44100);
    EXPECT_NEAR(file.GetAudioLength(), 88200, 2);
    int64_t total = 0;
    double worst = 1;
    while (file.GetAudioPosition() < file.GetAudioLength()) {
        const int32_t at = file.GetAudioPosition();
        int32_t bytes = 0;
        const auto* samples = reinterpret_cast<const int16_t*>(file.GetAudio(bytes));
        if (file.GetAudioLength() - at > 1024)
            worst = std::min(worst, ToneCorrelation(samples, std::min(bytes / 4, 1024), 2, 44100, at));
        total += bytes / 4;
    }
    EXPECT_EQ(total, file.GetAudioLength());
    EXPECT_GT(worst, 0.95);
}

TEST(DSAudio, SetAudioPositionStartsTheToneThere) {
    TDSFile file;
    file.Open(ClipPath(ToneClip()), TAVFile::ModeRead, TAVFile::StreamAudio | TAVFile::StreamVideo, true);
    for (const int32_t sample : {44100, 4410, 70000, 0}) {
        const int32_t position = file.SetAudioPosition(sample);
        EXPECT_NEAR(position, sample, 44100 / 25) << sample;
        EXPECT_GT(CorrelationOfNext(file, position), 0.95) << sample;
    }
}

TEST(DSReadAhead, TheVideoQueueStaysShortWhileTheCallerDawdles) {
    TDSFile file;
    file.Open(ClipPath(ToneClip()), TAVFile::ModeRead, TAVFile::StreamAudio | TAVFile::StreamVideo, true);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(ReadFrameNumber(file.GetFrameAt(i * 10), file.GetVideoFormat().Width,
                                  file.GetVideoFormat().Height),
                  i * 10);
        // Long enough to decode the whole clip were nothing holding the graph;
        // small pictures are held at twelve, and one may be on its way.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_LE(file.QueuedBuffers(TGraphStream::Video), 13u) << i;
    }
}

class DSRegistry : public ::testing::Test {
protected:
    void SetUp() override { UninitialiseBackendOrder(); }
    void TearDown() override { UninitialiseBackendOrder(); }
};

TEST_F(DSRegistry, OpensThroughTheFilterGraphWhenItLeadsTheOrder) {
    const std::string path = ClipPath(Clips()[0]);
    SetBackendPosition(2, 0);
    SetBackendPosition(1, 1);
    EXPECT_EQ(OpenMedia(path, TAVFile::StreamVideo | TAVFile::StreamAudio)->GetDescription(),
              "FFmpeg file input and output");
    SetBackendPosition(1, 0);
    SetBackendPosition(2, 1);
    const auto file = OpenMedia(path, TAVFile::StreamVideo | TAVFile::StreamAudio);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetDescription(), "DirectShow file input");
    EXPECT_EQ(file->GetStreams(), TAVFile::StreamVideo | TAVFile::StreamAudio);
    EXPECT_EQ(file->GetFlags(), TAVFile::FlagInterleaved);
    EXPECT_EQ(
        ReadFrameNumber(file->GetFrameAt(42), file->GetVideoFormat().Width, file->GetVideoFormat().Height),
        42);
}

} // namespace
