// Writing with TFFFile and reading the result back: every frame and every
// sample put in comes back out, also what the encoders and the audio input
// still held when the file was closed.

#include "media/ffmpeg/ff_file.h"
#include "tests/media/ff_test_clips.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr int Width = 320;
constexpr int Height = 240;

struct TWriteCase {
    std::string label;
    std::string extension;
    std::string videoCodec; // empty: the container's default
    std::string audioCodec;
    double maxPixelError; // mean per colour byte
};

void PrintTo(const TWriteCase& value, std::ostream* out) {
    *out << value.label;
}

std::vector<uint8_t> Picture(int number) {
    std::vector<uint8_t> frame(static_cast<size_t>(Width) * 4 * Height);
    DrawFrame(frame.data(), Width, Height, number);
    return frame;
}

// The same picture as a bottom-up 32-bit bitmap block.
std::vector<uint8_t> Bitmap(int number) {
    const std::vector<uint8_t> frame = Picture(number);
    std::vector<uint8_t> block(sizeof(TBitmapInfoHeader) + frame.size());
    TBitmapInfoHeader header{};
    header.biSize = sizeof header;
    header.biWidth = Width;
    header.biHeight = Height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biSizeImage = static_cast<uint32_t>(frame.size());
    std::memcpy(block.data(), &header, sizeof header);
    const size_t row = static_cast<size_t>(Width) * 4;
    for (int y = 0; y < Height; ++y)
        std::memcpy(block.data() + sizeof header + (Height - 1 - y) * row, frame.data() + y * row, row);
    return block;
}

std::vector<int16_t> Tone(int64_t from, int frames) {
    std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i)
        for (int channel = 0; channel < 2; ++channel)
            samples[static_cast<size_t>(i) * 2 + channel] = ToneSample(from + i, 44100, channel);
    return samples;
}

// Puts frames (every fourth as a bitmap) and the tone in uneven chunks.
void WriteMedia(TFFFile& file, int frames, int audioFrames) {
    int64_t audioWritten = 0;
    for (int i = 0; i < frames; ++i) {
        if (i % 4 == 3)
            file.PutBitmap(Bitmap(i).data());
        else
            file.PutFrame(Picture(i).data());
        const int64_t due = std::min<int64_t>(audioFrames, (i + 1) * int64_t{audioFrames} / frames);
        while (audioWritten < due) {
            const int count = static_cast<int>(std::min<int64_t>(due - audioWritten, 1000));
            const std::vector<int16_t> samples = Tone(audioWritten, count);
            file.PutAudio(reinterpret_cast<const uint8_t*>(samples.data()), count * 4);
            audioWritten += count;
        }
    }
}

void OpenForWriting(TFFFile& file, const std::string& path, const TWriteCase& value, int32_t streams) {
    file.SetVideoFormat(Width, Height, 25, 1);
    file.SetAudioFormat(2, 44100);
    TAVFile::TParameters parameters;
    parameters.VideoCodec = value.videoCodec;
    parameters.AudioCodec = value.audioCodec;
    file.SetParameters(parameters);
    file.Open(path, TAVFile::ModeWrite, streams, true);
}

class FFRoundTrip : public ::testing::TestWithParam<TWriteCase> {};

TEST_P(FFRoundTrip, ReadsBackEveryFrameAndAllTheAudio) {
    constexpr int Frames = 30;
    constexpr int AudioFrames = Frames * 1764 + 333; // not a whole number of encoder frames
    const std::string path = ScratchPath("roundtrip-" + GetParam().label + "." + GetParam().extension);
    {
        TFFFile file;
        OpenForWriting(file, path, GetParam(), TAVFile::StreamVideo | TAVFile::StreamAudio);
        ASSERT_EQ(file.GetStreams(), TAVFile::StreamVideo | TAVFile::StreamAudio);
        WriteMedia(file, Frames, AudioFrames);
        EXPECT_EQ(file.GetVideoPosition(), Frames);
        EXPECT_EQ(file.GetVideoLength(), Frames);
        EXPECT_EQ(file.GetAudioPosition(), AudioFrames);
        file.Close();
    }
    TFFFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, true);
    EXPECT_EQ(file.GetVideoFormat().Width, Width);
    EXPECT_EQ(file.GetVideoFormat().Height, Height);
    EXPECT_EQ(file.GetVideoLength(), Frames);
    for (int i = 0; i < Frames; ++i) {
        const uint8_t* frame = file.GetFrameAt(i);
        ASSERT_EQ(ReadFrameNumber(frame, Width, Height), i);
        EXPECT_LT(MeanAbsoluteError(frame, Picture(i).data(), Width, Height), GetParam().maxPixelError)
            << "frame " << i;
        file.SkipAudio();
    }
    EXPECT_THROW(file.GetFrameAt(Frames), TAVFile::AVFileErrorRead);

    // Lossy encoders add their delay and pad the last frame; nothing is lost.
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamAudio, true);
    int64_t total = 0;
    for (;;) {
        int32_t bytes = 0;
        try {
            file.GetAudio(bytes);
        } catch (const TAVFile::AVFileErrorGetAudio&) {
            break;
        }
        total += bytes / 4;
    }
    EXPECT_GE(total, AudioFrames);
    EXPECT_LE(total, AudioFrames + 4 * 1152);
    EXPECT_GE(file.GetAudioLength(), AudioFrames - 2 * 1152); // an estimate in program streams
}

INSTANTIATE_TEST_SUITE_P(Containers, FFRoundTrip,
                         ::testing::Values(TWriteCase{"AviDefault", "avi", "", "", 10.0},
                                           TWriteCase{"MpgDefault", "mpg", "", "", 12.0},
                                           TWriteCase{"VobDefault", "vob", "", "", 12.0},
                                           TWriteCase{"Mp4H264Aac", "mp4", "libx264", "aac", 10.0},
                                           TWriteCase{"Mp4Mpeg4", "mp4", "mpeg4", "aac", 10.0},
                                           TWriteCase{"MkvMjpegPcm", "mkv", "mjpeg", "pcm_s16le", 10.0}),
                         [](const ::testing::TestParamInfo<TWriteCase>& info) { return info.param.label; });

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FFWrite, WaveKeepsEverySampleThatWaitedInTheInputBuffer) {
    // 1.5 s is less than one input block of 16-bit PCM: all of it is still
    // waiting when the file is closed.
    const std::string path = ScratchPath("flush.wav");
    constexpr int AudioFrames = 66150;
    {
        TFFFile file;
        OpenForWriting(file, path, TWriteCase{"Wave", "wav", "", "", 0}, TAVFile::StreamAudio);
        ASSERT_EQ(file.GetStreams(), TAVFile::StreamAudio);
        WriteMedia(file, 0, 0);
        const std::vector<int16_t> samples = Tone(0, AudioFrames);
        file.PutAudio(reinterpret_cast<const uint8_t*>(samples.data()), AudioFrames * 4);
    } // the destructor closes
    TFFFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamAudio, true);
    ASSERT_EQ(file.GetAudioLength(), AudioFrames);
    int64_t position = 0;
    while (file.GetAudioPosition() < file.GetAudioLength()) {
        int32_t bytes = 0;
        const auto* samples = reinterpret_cast<const int16_t*>(file.GetAudio(bytes));
        for (int i = 0; i < bytes / 2; ++i)
            ASSERT_EQ(samples[i], ToneSample(position + i / 2, 44100, i % 2));
        position += bytes / 4;
    }
    EXPECT_EQ(position, AudioFrames);
}

TEST(FFWrite, AudioAfterASeekStartsAtTheSeekTimeInLongPcmBlocks) {
    // PCM is written in blocks of several seconds; a seek into the middle of
    // one must still deliver the samples of the target time first.
    const std::string path = ScratchPath("pcm-seek.avi");
    constexpr int Frames = 250;
    {
        TFFFile file;
        OpenForWriting(file, path, TWriteCase{"AviPcm", "avi", "mpeg4", "pcm_s16le", 0},
                       TAVFile::StreamVideo | TAVFile::StreamAudio);
        WriteMedia(file, Frames, Frames * 1764);
    }
    TFFFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, true);
    for (int frame : {150, 37, 201}) {
        file.Seek(frame);
        EXPECT_EQ(ReadFrameNumber(file.GetFrameAt(frame), Width, Height), frame);
        ASSERT_EQ(file.GetAudioPosition(), frame * 1764);
        int32_t bytes = 0;
        const auto* samples = reinterpret_cast<const int16_t*>(file.GetAudio(bytes));
        ASSERT_GE(bytes, 4000);
        for (int i = 0; i < 1000; ++i)
            ASSERT_EQ(samples[i * 2], ToneSample(int64_t{frame} * 1764 + i, 44100, 0)) << "seek to " << frame;
    }
}

TEST(FFWrite, UnknownExtensionsGetAnMpegProgramStream) {
    const std::string path = ScratchPath("program.xyz");
    {
        TFFFile file;
        OpenForWriting(file, path, TWriteCase{"Xyz", "xyz", "", "", 0}, TAVFile::StreamVideo);
        WriteMedia(file, 5, 0);
    }
    const std::string bytes = Contents(path);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x00\x00\x01\xba", 4)); // pack header
    TFFFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    EXPECT_EQ(ReadFrameNumber(file.GetFrameAt(4), Width, Height), 4);
}

TEST(FFWrite, Mpeg4VideoIsTaggedDivxWhereTheContainerKnowsTheTag) {
    for (const std::string& codec : {std::string("mpeg4"), std::string()}) {
        const std::string path = ScratchPath("divx" + codec + ".avi");
        {
            TFFFile file;
            OpenForWriting(file, path, TWriteCase{"Divx", "avi", codec, "", 0}, TAVFile::StreamVideo);
            WriteMedia(file, 3, 0);
        }
        EXPECT_NE(Contents(path).find("DIVX"), std::string::npos) << "codec '" << codec << "'";
    }
    const std::string path = ScratchPath("mpeg4.mkv");
    {
        TFFFile file;
        OpenForWriting(file, path, TWriteCase{"Mkv", "mkv", "mpeg4", "", 0}, TAVFile::StreamVideo);
        WriteMedia(file, 3, 0);
    }
    EXPECT_EQ(Contents(path).find("DIVX"), std::string::npos);
}

TEST(FFWrite, OpenFailuresAreRaisedAsVideoErrors) {
    TFFFile file;
    file.SetVideoFormat(Width, Height, 25, 1);
    try {
        file.Open("/nonexistent-folder/out.avi", TAVFile::ModeWrite, TAVFile::StreamVideo, true);
        ADD_FAILURE() << "opened a file in a missing folder";
    } catch (const TAVFile::AVFileErrorOpenVideo& error) {
        EXPECT_STREQ(error.what(), "Could not open file!");
    }
    EXPECT_EQ(file.GetMode(), TAVFile::ModeClosed);

    // A wave file has no video stream to give.
    try {
        file.Open(ScratchPath("video.wav"), TAVFile::ModeWrite, TAVFile::StreamVideo | TAVFile::StreamAudio,
                  true);
        ADD_FAILURE() << "a wave file took video";
    } catch (const TAVFile::AVFileErrorOpenVideo& error) {
        EXPECT_STREQ(error.what(), "Could not open video stream!");
    }
    EXPECT_EQ(file.GetMode(), TAVFile::ModeClosed);
    file.Open(ScratchPath("video.wav"), TAVFile::ModeWrite, TAVFile::StreamVideo | TAVFile::StreamAudio,
              false);
    EXPECT_EQ(file.GetMode(), TAVFile::ModeWrite);
    EXPECT_EQ(file.GetStreams(), TAVFile::StreamAudio);
    EXPECT_THROW(file.PutFrame(Picture(0).data()), TAVFile::AVFileErrorVideoNotOpened);
}

} // namespace
