// AVI files written by libavformat, read through TAVIFile: every frame in
// order and at random, audio length and place.
#include "media/avi/avi_file.h"
#include "media/avi/platform/avi_writer.h"
#include "tests/support/media_clips.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>

namespace {

TTempDir& Folder() {
    static TTempDir folder;
    return folder;
}

TClipSpec Clip(const std::string& label, const std::string& video, const std::string& audio, int bFrames) {
    TClipSpec spec;
    spec.label = label;
    spec.format = "avi";
    spec.extension = "avi";
    spec.videoCodec = video;
    spec.audioCodec = audio;
    spec.maxBFrames = bFrames;
    spec.frameCount = 60;
    spec.gopSize = 12;
    return spec;
}

std::vector<TClipSpec> ReadClips() {
    TClipSpec raw = Clip("Raw24OddWidth", "rawvideo", "pcm_s16le", 0);
    raw.pixelFormat = "bgr24";
    raw.width = 321;
    raw.height = 241;
    TClipSpec mulaw = Clip("MjpegMuLaw", "mjpeg", "pcm_mulaw", 0);
    return {
        Clip("Mjpeg", "mjpeg", "pcm_s16le", 0),
        Clip("Mpeg4", "mpeg4", "pcm_s16le", 0),
        Clip("Mpeg4BFrames", "mpeg4", "libmp3lame", 2),
        Clip("H264", "libx264", "pcm_s16le", 2),
        raw,
        mulaw,
    };
}

// Every sample to the end; an empty answer before the end fails, as players
// take it for the end of the sound.
std::vector<int16_t> ReadAllAudio(TAVIFile& file) {
    std::vector<int16_t> pcm;
    try {
        for (;;) {
            int32_t bytes = 0;
            const uint8_t* data = file.GetAudio(bytes);
            EXPECT_GT(bytes, 0) << "after " << pcm.size() << " samples";
            if (bytes <= 0)
                break;
            pcm.insert(pcm.end(), reinterpret_cast<const int16_t*>(data),
                       reinterpret_cast<const int16_t*>(data + bytes));
        }
    } catch (const TAVFile::AVFileErrorGetAudio&) {
    }
    return pcm;
}

std::string PathOf(const TClipSpec& spec) {
    static std::map<std::string, std::string> written;
    auto found = written.find(spec.label);
    if (found != written.end())
        return found->second;
    const std::string path = Folder().File(spec.label + ".avi");
    WriteClip(path, spec);
    return written[spec.label] = path;
}

class AVIReadTest : public ::testing::TestWithParam<TClipSpec> {};

TEST_P(AVIReadTest, EveryFrameInOrderAndAtRandomShowsItsNumber) {
    const TClipSpec& spec = GetParam();
    TAVIFile file;
    file.Open(PathOf(spec), TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, true);
    const TAVFile::TVideoFormat format = file.GetVideoFormat();
    ASSERT_EQ(format.Width, spec.width);
    ASSERT_EQ(format.Height, spec.height);
    EXPECT_EQ(format.Rate * static_cast<uint32_t>(spec.scale),
              format.Scale * static_cast<uint32_t>(spec.rate));
    ASSERT_EQ(file.GetVideoLength(), spec.frameCount);
    for (int n = 0; n < spec.frameCount; ++n)
        ASSERT_EQ(ReadFrameNumber(file.GetFrame(), format.Width, format.Height), n)
            << "in order, frame " << n;
    EXPECT_THROW(file.GetFrame(), TAVFile::AVFileErrorGetVideo);

    std::mt19937 random(7);
    std::vector<uint8_t> copy(static_cast<size_t>(format.Width) * 4 * format.Height);
    for (int i = 0; i < 40; ++i) {
        const int n = static_cast<int>(random() % spec.frameCount);
        file.CopyFrameAt(copy.data(), n);
        ASSERT_EQ(ReadFrameNumber(copy.data(), format.Width, format.Height), n) << "at random, frame " << n;
    }
}

TEST_P(AVIReadTest, AudioCoversTheVideoAndStartsWithTheTone) {
    const TClipSpec& spec = GetParam();
    TAVIFile file;
    file.Open(PathOf(spec), TAVFile::ModeRead, TAVFile::StreamAudio, true);
    const TAVFile::TAudioFormat format = file.GetAudioFormat();
    ASSERT_EQ(format.Channels, spec.channels);
    ASSERT_EQ(format.SamplesPerSecond, spec.sampleRate);
    const std::vector<int16_t> pcm = ReadAllAudio(file);
    const int64_t frames = static_cast<int64_t>(pcm.size()) / spec.channels;
    const int64_t expected = int64_t{spec.sampleRate} * spec.frameCount * spec.scale / spec.rate;
    const bool isPCM = spec.audioCodec.rfind("pcm_", 0) == 0;
    if (isPCM)
        EXPECT_EQ(frames, expected);
    else
        EXPECT_NEAR(frames, expected, spec.sampleRate / 10);
    ASSERT_GT(frames, 4096);
    // The coded audio lags by the encoder's delay; PCM is exact.
    const int64_t delay = isPCM ? 0 : 1105;
    double best = 0;
    for (int64_t shift = 0; shift <= delay + 1200; shift += isPCM ? 4096 : 1)
        best = std::max(best, ToneCorrelation(pcm.data() + 1000 * spec.channels, 2048, spec.channels,
                                              spec.sampleRate, 1000 - shift));
    EXPECT_GT(best, 0.9);
}

INSTANTIATE_TEST_SUITE_P(Clips, AVIReadTest, ::testing::ValuesIn(ReadClips()),
                         [](const auto& info) { return info.param.label; });

// Capture cards store a dropped frame as an empty chunk: it shows the picture
// before it, in order and at random.
TEST(AVIReadEmptyChunks, ShowThePreviousPicture) {
    const int width = 160, height = 120;
    const std::string path = Folder().File("empty-chunks.avi");
    const std::vector<bool> isEmpty = {false, false, true, true, false, true, false, false, true, false};
    {
        TAVIWriter writer(path);
        TAVIStreamHeader header{};
        header.fccType = FourCCVideo;
        header.dwScale = 1;
        header.dwRate = 25;
        header.rcRight = width;
        header.rcBottom = height;
        const int32_t stream = writer.AddStream(header);
        TBitmapInfoHeader format{40, width, -height, 1, 32, 0, width * 4 * height, 0, 0, 0, 0};
        std::vector<uint8_t> bytes(40);
        std::memcpy(bytes.data(), &format, 40);
        writer.SetFormat(stream, bytes);
        std::vector<uint8_t> frame(static_cast<size_t>(width) * 4 * height);
        for (size_t n = 0; n < isEmpty.size(); ++n) {
            DrawFrame(frame.data(), width, height, static_cast<int>(n));
            writer.Write(stream, frame.data(), isEmpty[n] ? 0 : static_cast<uint32_t>(frame.size()), 1, true);
        }
        writer.Close();
    }
    std::vector<int> expected;
    for (size_t n = 0, shown = 0; n < isEmpty.size(); ++n)
        expected.push_back(static_cast<int>(shown = isEmpty[n] ? shown : n));
    TAVIFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    ASSERT_EQ(file.GetVideoLength(), static_cast<int32_t>(isEmpty.size()));
    for (size_t n = 0; n < isEmpty.size(); ++n)
        EXPECT_EQ(ReadFrameNumber(file.GetFrame(), width, height), expected[n]) << "in order " << n;
    for (size_t n = isEmpty.size(); n-- > 0;)
        EXPECT_EQ(ReadFrameNumber(file.GetFrameAt(static_cast<int32_t>(n)), width, height), expected[n])
            << "backwards " << n;
}

// The same with B pictures: the clip copied chunk by chunk with empty chunks
// between them, each slot of an empty chunk showing the picture before it.
TEST(AVIReadEmptyChunks, ShowThePreviousPictureWithBPictures) {
    TClipSpec spec = Clip("Mpeg4BFrames", "mpeg4", "", 2);
    spec.frameCount = 36;
    const std::string source = Folder().File("bframes-source.avi");
    WriteClip(source, spec);
    const std::string path = Folder().File("bframes-empty-chunks.avi");
    const std::vector<int> emptyAfter = {0, 3, 4, 12, 13, 20, 35}; // source entries
    std::vector<int> expected;                                     // the frame number each sample shows
    {
        TAVIReader reader(OpenAVIFileSource(source));
        const int32_t stream = reader.FindStream(FourCCVideo);
        ASSERT_GE(stream, 0);
        TAVIWriter writer(path);
        const int32_t target = writer.AddStream(reader.Stream(stream).Header);
        writer.SetFormat(target, reader.Stream(stream).Format);
        std::vector<uint8_t> chunk;
        for (int entry = 0, pictures = 0; entry < static_cast<int>(reader.Stream(stream).Index.size());
             ++entry) {
            ASSERT_TRUE(reader.ReadEntry(stream, entry, chunk));
            writer.Write(target, chunk.data(), static_cast<uint32_t>(chunk.size()), 1,
                         reader.Stream(stream).Index[entry].IsKey);
            expected.push_back(pictures++);
            for (int after : emptyAfter)
                if (after == entry) {
                    writer.Write(target, chunk.data(), 0, 1, false);
                    expected.push_back(pictures - 1);
                }
        }
        writer.Close();
    }
    TAVIFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    ASSERT_EQ(file.GetVideoLength(), static_cast<int32_t>(expected.size()));
    for (size_t n = 0; n < expected.size(); ++n)
        EXPECT_EQ(ReadFrameNumber(file.GetFrame(), spec.width, spec.height), expected[n]) << "in order " << n;
    for (size_t n = expected.size(); n-- > 0;)
        EXPECT_EQ(ReadFrameNumber(file.GetFrameAt(static_cast<int32_t>(n)), spec.width, spec.height),
                  expected[n])
            << "backwards " << n;
}

} // namespace

namespace {

TEST(AVIReadWave, AWaveFileReadsAsOneAudioStream) {
    TClipSpec spec;
    spec.label = "Wave";
    spec.format = "wav";
    spec.extension = "wav";
    spec.audioCodec = "pcm_s16le";
    spec.audioMs = 1500;
    spec.audioDelayMs = 0;
    const std::string path = Folder().File("tone.wav");
    WriteClip(path, spec);
    TAVIFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, false);
    ASSERT_EQ(file.GetStreams(), TAVFile::StreamAudio);
    EXPECT_EQ(file.GetAudioLength(), spec.sampleRate * 3 / 2);
    file.Seek(1000); // milliseconds, as the file has no video
    EXPECT_EQ(file.GetAudioPosition(), spec.sampleRate);
    int32_t bytes = 0;
    const auto* samples = reinterpret_cast<const int16_t*>(file.GetAudio(bytes));
    ASSERT_EQ(bytes, TAVIFile::ConverterBufferBytes);
    EXPECT_GT(ToneCorrelation(samples, bytes / 4, 2, spec.sampleRate, spec.sampleRate), 0.99);
}

} // namespace

namespace {

// Coded audio without video: the whole tone decodes, to its length.
class AVIReadCodedAudio : public ::testing::TestWithParam<TClipSpec> {};

TEST_P(AVIReadCodedAudio, DecodesTheWholeTone) {
    const TClipSpec& spec = GetParam();
    const std::string path = Folder().File(spec.label + ".avi");
    WriteClip(path, spec);
    TAVIFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamAudio, true);
    ASSERT_EQ(file.GetAudioFormat().Channels, spec.channels);
    const std::vector<int16_t> pcm = ReadAllAudio(file);
    const int64_t frames = static_cast<int64_t>(pcm.size()) / spec.channels;
    // Nothing lost at the end; a coder's delay and padding may add a little.
    const int64_t expected = int64_t{spec.sampleRate} * spec.audioMs / 1000;
    EXPECT_GE(frames, expected);
    EXPECT_LE(frames, expected + spec.sampleRate / 20);
    ASSERT_GT(frames, spec.sampleRate);
    // Somewhere past the encoder's delay channel 0 carries the tone.
    double best = 0;
    for (int64_t shift = 0; shift <= 2000; ++shift)
        best = std::max(best, ToneCorrelation(pcm.data() + spec.sampleRate / 2 * spec.channels, 2048,
                                              spec.channels, spec.sampleRate, spec.sampleRate / 2 - shift));
    EXPECT_GT(best, 0.9);
}

TClipSpec CodedAudio(const char* label, const char* codec, int channels, int rate) {
    TClipSpec spec;
    spec.label = label;
    spec.format = "avi";
    spec.extension = "avi";
    spec.audioCodec = codec;
    spec.channels = channels;
    spec.sampleRate = rate;
    spec.audioMs = 2000;
    return spec;
}

INSTANTIATE_TEST_SUITE_P(Codecs, AVIReadCodedAudio,
                         ::testing::Values(CodedAudio("Ac3Stereo", "ac3", 2, 48000),
                                           CodedAudio("Ac3Six", "ac3", 6, 48000),
                                           CodedAudio("Mp3Stereo", "libmp3lame", 2, 44100)),
                         [](const auto& info) { return info.param.label; });

} // namespace
