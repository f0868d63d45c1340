// Writing through TAVIFile with every compressor and audio format offered,
// reading back through TAVIFile; the size cropping of the compressors that
// need multiples; positions of start samples and of audio-only files.
#include "media/avi/avi_file.h"
#include "media/avi/platform/avi_audio.h"
#include "media/avi/platform/avi_reader.h"
#include "media/avi/platform/avi_rgb_to_yuv.h"
#include "media/avi/platform/avi_writer.h"
#include "media/registry/registry.h"
#include "tests/support/media_clips.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

class TFixedChooser : public TAVIChooser {
public:
    bool ChooseCompressor(TAVICompressorOptions& options) override {
        EXPECT_EQ(options.Quality, 7500);
        if (!isVideoAccepted)
            return false;
        options.Handler = handler;
        return true;
    }
    bool ChooseAudioFormat(const std::vector<uint8_t>& source, std::vector<uint8_t>& chosen) override {
        if (!isAudioAccepted)
            return false;
        chosen = audio.empty() ? source : audio;
        return true;
    }
    uint32_t handler = 0;
    std::vector<uint8_t> audio;
    bool isVideoAccepted = true;
    bool isAudioAccepted = true;
};

std::vector<uint8_t> Tone(int frames, int channels, int rate) {
    std::vector<uint8_t> bytes(static_cast<size_t>(frames) * channels * 2);
    auto* samples = reinterpret_cast<int16_t*>(bytes.data());
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[i * channels + c] = ToneSample(i, rate, c);
    return bytes;
}

struct TWritten {
    int frames;
    int width;
    int height;
};

// Writes frames of the pattern (and a second of tone when audio is set) and
// returns what was asked for.
void WriteFile(const std::string& path, TFixedChooser& chooser, int width, int height, int frames,
               int audioFrames = 0, uint64_t riffBoundary = TAVIWriter::DefaultRiffBoundary) {
    TAVIFile file;
    file.SetChooser(&chooser);
    file.SetRiffBoundary(riffBoundary);
    file.SetVideoFormat(width, height, 25, 1);
    file.SetAudioFormat(2, 44100);
    const int32_t streams = TAVFile::StreamVideo | (audioFrames > 0 ? TAVFile::StreamAudio : 0);
    file.Open(path, TAVFile::ModeWrite, streams, true);
    std::vector<uint8_t> frame(static_cast<size_t>(width) * 4 * height);
    for (int n = 0; n < frames; ++n) {
        DrawFrame(frame.data(), width, height, n);
        file.PutFrame(frame.data());
    }
    if (audioFrames > 0) {
        const std::vector<uint8_t> tone = Tone(audioFrames, 2, 44100);
        file.PutAudio(tone.data(), static_cast<int32_t>(tone.size()));
    }
    file.Close();
}

class AVICompressorRoundTrip : public ::testing::TestWithParam<TAVICompressorInfo> {
protected:
    TTempDir folder;
};

TEST_P(AVICompressorRoundTrip, FramesWrittenReadBackInOrderAndAlike) {
    TFixedChooser chooser;
    chooser.handler = GetParam().Handler;
    const std::string path = folder.File("out.avi");
    const int width = 320, height = 240, frames = 30;
    WriteFile(path, chooser, width, height, frames);
    TAVIFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    ASSERT_EQ(file.GetVideoLength(), frames);
    std::vector<uint8_t> expected(static_cast<size_t>(width) * 4 * height);
    const bool isLossless = GetParam().Handler == 0;
    for (int n = 0; n < frames; ++n) {
        const uint8_t* picture = file.GetFrameAt(n);
        DrawFrame(expected.data(), width, height, n);
        ASSERT_EQ(ReadFrameNumber(picture, width, height), n);
        EXPECT_LE(MeanAbsoluteError(picture, expected.data(), width, height), isLossless ? 0.0 : 12.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Offered, AVICompressorRoundTrip, ::testing::ValuesIn(AVICompressorList()),
                         [](const auto& info) {
                             std::string name = info.param.Handler ? FourCCText(info.param.Handler) : "Full";
                             for (char& c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

class AVIAudioRoundTrip : public ::testing::TestWithParam<TAVIAudioFormatInfo> {
protected:
    TTempDir folder;
};

TEST_P(AVIAudioRoundTrip, AudioWrittenReadsBackAsTheTone) {
    TFixedChooser chooser;
    chooser.audio = GetParam().Format;
    const std::string path = folder.File("out.avi");
    const int audioFrames = 100000; // several converter buffers and a tail
    WriteFile(path, chooser, 64, 48, 5, audioFrames);
    TAVIFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamAudio, true);
    std::vector<int16_t> pcm;
    for (;;) {
        int32_t bytes = 0;
        try {
            const uint8_t* data = file.GetAudio(bytes);
            pcm.insert(pcm.end(), reinterpret_cast<const int16_t*>(data),
                       reinterpret_cast<const int16_t*>(data + bytes));
        } catch (const TAVFile::AVFileErrorGetAudio&) {
            break;
        }
    }
    TWaveFormatEx wave;
    std::memcpy(&wave, GetParam().Format.data(), sizeof wave);
    const int64_t frames = static_cast<int64_t>(pcm.size()) / 2;
    if (wave.wFormatTag == WaveFormatPCM) {
        EXPECT_EQ(frames, audioFrames);
    } else {
        // Coded formats round up to whole blocks or frames and may add the
        // encoder's delay; none may lose the end.
        EXPECT_GE(frames, audioFrames);
        EXPECT_LE(frames, audioFrames + 4096);
    }
    const int64_t delay = wave.wFormatTag == WaveFormatMP3 ? 1105 : 0;
    double best = 0;
    for (int64_t shift = 0; shift <= delay + 600; ++shift)
        best = std::max(best, ToneCorrelation(pcm.data() + 2 * (50000 + shift), 2048, 2, 44100, 50000));
    EXPECT_GT(best, 0.9);
}

INSTANTIATE_TEST_SUITE_P(Offered, AVIAudioRoundTrip, ::testing::ValuesIn(AVIAudioFormatList(2, 44100)),
                         [](const auto& info) { return "Format" + std::to_string(info.index); });

// Every 2 x 2 block of one colour gives the BT.601 values of that colour
// (within rounding), in both ranges, for top-down and bottom-up rows; pure
// blue and red reach the top of the chroma scale without wrapping round.
TEST(AVIRgbToYuv, BlocksOfOneColourGiveTheirBt601Values) {
    struct TColour {
        uint8_t B, G, R;
    };
    const TColour colours[] = {{0, 0, 0},   {255, 255, 255}, {255, 0, 0},
                               {0, 0, 255}, {0, 255, 0},     {40, 130, 200}};
    constexpr int32_t Width = 2 * std::size(colours);
    constexpr int32_t Height = 4; // the bottom pair of rows is black
    std::vector<uint8_t> pixels(Width * 4 * Height, 0);
    for (int32_t x = 0; x < Width; ++x)
        for (int32_t y = 0; y < 2; ++y) {
            const TColour& c = colours[x / 2];
            uint8_t* p = pixels.data() + (y * Width + x) * 4;
            p[0] = c.B, p[1] = c.G, p[2] = c.R, p[3] = 0x5A;
        }
    for (const bool isFullRange : {true, false})
        for (const bool isBottomUp : {false, true}) {
            SCOPED_TRACE(testing::Message() << "full range " << isFullRange << ", bottom-up " << isBottomUp);
            std::vector<uint8_t> y(Width * Height), u(Width / 2 * Height / 2), v(u.size());
            const ptrdiff_t rowBytes = Width * 4;
            // Bottom-up: the black rows come first.
            const uint8_t* top = isBottomUp ? pixels.data() + (Height - 1) * rowBytes : pixels.data();
            BgrToYuv420(top, isBottomUp ? -rowBytes : rowBytes, Width, Height, isFullRange,
                        TYuv420Planes{{y.data(), u.data(), v.data()}, {Width, Width / 2, Width / 2}});
            const int32_t colourRow = isBottomUp ? 1 : 0;
            for (size_t i = 0; i < std::size(colours); ++i) {
                const double r = colours[i].R, g = colours[i].G, b = colours[i].B;
                const double luma = 0.299 * r + 0.587 * g + 0.114 * b;
                const double cb = (b - luma) / 1.772, cr = (r - luma) / 1.402;
                const double yScale = isFullRange ? 1.0 : 219.0 / 255.0,
                             cScale = isFullRange ? 1.0 : 224.0 / 255.0;
                const double expected[3] = {std::min(255.0, (isFullRange ? 0 : 16) + luma * yScale),
                                            std::min(255.0, 128 + cb * cScale),
                                            std::min(255.0, 128 + cr * cScale)};
                const int got[3] = {y[colourRow * 2 * Width + 2 * i], u[colourRow * Width / 2 + i],
                                    v[colourRow * Width / 2 + i]};
                for (int plane = 0; plane < 3; ++plane)
                    EXPECT_NEAR(got[plane], expected[plane], 1.0) << "colour " << i << ", plane " << plane;
            }
        }
}

TEST(AVIAlignment, TableCodesNeedMultiplesOfFourByTwoInAnyCase) {
    const struct {
        const char* code;
        int32_t widthStep;
        int32_t heightStep;
    } cases[] = {{"mpg4", 4, 2}, {"MP42", 4, 2}, {"mP43", 4, 2}, {"DIV3", 4, 2}, {"divx", 4, 2},
                 {"XVID", 1, 1}, {"MJPG", 1, 1}, {"div4", 1, 1}, {"H264", 1, 1}};
    for (const auto& c : cases) {
        const TAVIAlignment steps = AVIAlignmentSteps(FourCCFromText(c.code));
        EXPECT_EQ(steps.WidthStep, c.widthStep) << c.code;
        EXPECT_EQ(steps.HeightStep, c.heightStep) << c.code;
    }
    EXPECT_EQ(AVIAlignmentSteps(0).WidthStep, 1);
}

class AVIWriteEdgeCases : public ::testing::Test {
protected:
    TTempDir folder;
};

TEST_F(AVIWriteEdgeCases, CompressorsThatNeedMultiplesStoreTheTopLeftPart) {
    const struct {
        const char* code;
        int width;
        int height;
        int storedWidth;
        int storedHeight;
    } cases[] = {{"DIVX", 642, 480, 640, 480}, {"div3", 640, 481, 640, 480}, {"MJPG", 642, 481, 642, 481}};
    for (const auto& c : cases) {
        TFixedChooser chooser;
        chooser.handler = FourCCFromText(c.code);
        const std::string path = folder.File(std::string(c.code) + ".avi");
        WriteFile(path, chooser, c.width, c.height, 3);
        TAVIFile file;
        file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
        const TAVFile::TVideoFormat format = file.GetVideoFormat();
        ASSERT_EQ(format.Width, c.storedWidth) << c.code;
        ASSERT_EQ(format.Height, c.storedHeight) << c.code;
        std::vector<uint8_t> full(static_cast<size_t>(c.width) * 4 * c.height);
        DrawFrame(full.data(), c.width, c.height, 2);
        std::vector<uint8_t> topLeft(static_cast<size_t>(c.storedWidth) * 4 * c.storedHeight);
        for (int y = 0; y < c.storedHeight; ++y)
            std::memcpy(&topLeft[static_cast<size_t>(y) * c.storedWidth * 4],
                        &full[static_cast<size_t>(y) * c.width * 4], static_cast<size_t>(c.storedWidth) * 4);
        EXPECT_LE(MeanAbsoluteError(file.GetFrameAt(2), topLeft.data(), c.storedWidth, c.storedHeight), 12.0)
            << c.code;
    }
}

TEST_F(AVIWriteEdgeCases, CancelledChoicesLeaveTheirStreamUnopened) {
    TFixedChooser chooser;
    chooser.isAudioAccepted = false;
    TAVIFile file;
    file.SetChooser(&chooser);
    try {
        file.Open(folder.File("a.avi"), TAVFile::ModeWrite, TAVFile::StreamVideo | TAVFile::StreamAudio,
                  true);
        FAIL() << "no audio error";
    } catch (const TAVFile::AVFileErrorOpenAudio& error) {
        EXPECT_STREQ(error.what(), "Could not open audio stream!");
    }
    EXPECT_EQ(file.GetMode(), TAVFile::ModeClosed);
    chooser.isAudioAccepted = true;
    chooser.isVideoAccepted = false;
    file.Open(folder.File("b.avi"), TAVFile::ModeWrite, TAVFile::StreamVideo | TAVFile::StreamAudio, false);
    EXPECT_EQ(file.GetMode(), TAVFile::ModeWrite);
    EXPECT_EQ(file.GetStreams(), TAVFile::StreamAudio);
    EXPECT_THROW(file.PutFrame(nullptr), TAVFile::AVFileErrorVideoNotOpened);
    // A file that cannot be created fails whatever raiseErrors says.
    EXPECT_THROW(
        file.Open(folder.File("no/such/folder.avi"), TAVFile::ModeWrite, TAVFile::StreamVideo, false),
        TAVFile::AVFileErrorOpen);
}

// Long recordings go on in RIFF extensions; a small boundary shows it with a
// small file.
TEST_F(AVIWriteEdgeCases, DataBeyondTheBoundaryGoOnInExtensionsAndReadBack) {
    TFixedChooser chooser;
    chooser.handler = FourCCFromText("MJPG");
    const std::string path = folder.File("long.avi");
    const int frames = 120;
    WriteFile(path, chooser, 160, 120, frames, 44100 * 5, 64 * 1024);
    TAVIReader reader(OpenAVIFileSource(path));
    EXPECT_EQ(reader.IndexKind(), TAVIIndexKind::SuperIndex);
    const auto& index = reader.Stream(0).Index;
    ASSERT_EQ(index.size(), static_cast<size_t>(frames));
    EXPECT_GT(index.back().Offset, uint64_t{4 * 64 * 1024}) << "the data passed several boundaries";
    TAVIFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, true);
    ASSERT_EQ(file.GetVideoLength(), frames);
    EXPECT_EQ(file.GetAudioLength(), 44100 * 5);
    for (int n = frames; n-- > 0;)
        ASSERT_EQ(ReadFrameNumber(file.GetFrameAt(n), 160, 120), n);
}

// Files made with our writer directly: stream starts and audio-only timing.
class AVIPositions : public ::testing::Test {
protected:
    void Write(bool hasVideo, uint32_t videoStart) {
        TAVIWriter writer(path);
        int32_t video = -1;
        if (hasVideo) {
            TAVIStreamHeader header{};
            header.fccType = FourCCVideo;
            header.dwScale = 1;
            header.dwRate = 25;
            header.dwStart = videoStart;
            video = writer.AddStream(header);
            TBitmapInfoHeader format{40, 16, 16, 1, 32, 0, 16 * 16 * 4, 0, 0, 0, 0};
            std::vector<uint8_t> bytes(40);
            std::memcpy(bytes.data(), &format, 40);
            writer.SetFormat(video, bytes);
        }
        TAVIStreamHeader header{};
        header.fccType = FourCCAudio;
        header.dwScale = 4;
        header.dwRate = 4 * 44100;
        header.dwSampleSize = 4;
        const int32_t audio = writer.AddStream(header);
        writer.SetFormat(audio, AVIPCMFormat(2, 44100));
        const std::vector<uint8_t> picture(16 * 16 * 4, 0x80);
        const std::vector<uint8_t> second = Tone(44100, 2, 44100);
        for (int s = 0; s < 10; ++s) {
            for (int f = 0; hasVideo && f < 25; ++f)
                writer.Write(video, picture.data(), static_cast<uint32_t>(picture.size()), 1, true);
            writer.Write(audio, second.data(), static_cast<uint32_t>(second.size()), 44100, true);
        }
        writer.Close();
    }
    TTempDir folder;
    std::string path = folder.File("positions.avi");
};

TEST_F(AVIPositions, VideoStartingAtSampleThreeOpensThere) {
    Write(true, 3);
    TAVIFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    EXPECT_EQ(file.GetVideoPosition(), 3);
    EXPECT_EQ(file.GetVideoLength(), 250);
}

TEST_F(AVIPositions, SeekMapsTheAudioByTime) {
    Write(true, 0);
    TAVIFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, true);
    file.Seek(100);
    EXPECT_EQ(file.GetVideoPosition(), 100);
    EXPECT_EQ(file.GetAudioPosition(), 4 * 44100);

    Write(false, 0);
    TAVIFile audioOnly;
    audioOnly.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, false);
    ASSERT_EQ(audioOnly.GetStreams(), TAVFile::StreamAudio);
    EXPECT_EQ(audioOnly.GetVideoFormat().Rate, 1000u);
    EXPECT_EQ(audioOnly.GetVideoFormat().Scale, 1u);
    audioOnly.Seek(4000);
    EXPECT_EQ(audioOnly.GetAudioPosition(), 4 * 44100);
    int32_t bytes = 0;
    const auto* samples = reinterpret_cast<const int16_t*>(audioOnly.GetAudio(bytes));
    EXPECT_EQ(bytes, TAVIFile::ConverterBufferBytes);
    EXPECT_GT(ToneCorrelation(samples, bytes / 4, 2, 44100, 4 * 44100), 0.99);
    // Past the end the backward search finds the last sample; after it the
    // audio fails.
    audioOnly.Seek(20000);
    EXPECT_EQ(audioOnly.GetAudioPosition(), 10 * 44100 - 1);
    audioOnly.GetAudio(bytes);
    EXPECT_EQ(bytes, 4);
    EXPECT_THROW(audioOnly.GetAudio(bytes), TAVFile::AVFileErrorGetAudio);
}

TEST_F(AVIPositions, UnknownCodecLeavesNoDecompressor) {
    {
        TAVIWriter writer(path);
        TAVIStreamHeader header{};
        header.fccType = FourCCVideo;
        header.fccHandler = FourCCFromText("ZZZZ");
        header.dwScale = 1;
        header.dwRate = 25;
        const int32_t video = writer.AddStream(header);
        TBitmapInfoHeader format{40, 16, 16, 1, 24, FourCCFromText("ZZZZ"), 0, 0, 0, 0, 0};
        std::vector<uint8_t> bytes(40);
        std::memcpy(bytes.data(), &format, 40);
        writer.SetFormat(video, bytes);
        writer.Write(video, bytes.data(), 40, 1, true);
        writer.Close();
    }
    TAVIFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo, false);
    ASSERT_EQ(file.GetMode(), TAVFile::ModeRead);
    for (auto get : {+[](TAVIFile& f) { f.GetBitmap(); }, +[](TAVIFile& f) { f.GetFrame(); }}) {
        try {
            get(file);
            FAIL() << "a frame without a decompressor";
        } catch (const TAVFile::AVFileErrorGetVideo& error) {
            EXPECT_STREQ(error.what(), "Decompressor is not initialized!");
        }
    }
}

TEST(AVIRegistry, TheDefaultOrderOpensAVIFilesWithIdZeroAndFFmpegWithoutIt) {
    TTempDir folder;
    TFixedChooser chooser;
    chooser.handler = FourCCFromText("XVID");
    const std::string path = folder.File("cam.avi");
    WriteFile(path, chooser, 160, 120, 10, 44100);
    UninitialiseBackendOrder();
    auto file = OpenMedia(path, TAVFile::StreamVideo | TAVFile::StreamAudio);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetDescription(), "Video for Windows file input and output");
    EXPECT_EQ(file->GetStreams(), TAVFile::StreamVideo | TAVFile::StreamAudio);
    EXPECT_EQ(ReadFrameNumber(file->GetFrameAt(7), 160, 120), 7);
    // Without it (and without the filter graph, next in the default order)
    // FFmpeg reads the file.
    SetBackendPosition(0, -1);
    SetBackendPosition(1, -1);
    file = OpenMedia(path, TAVFile::StreamVideo | TAVFile::StreamAudio);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetDescription(), "FFmpeg file input and output");
    UninitialiseBackendOrder();
}

TEST(AVIRegistry, IdZeroIsTheAVIBackend) {
    const std::unique_ptr<TAVFile> file = CreateBackend(0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetDescription(), "Video for Windows file input and output");
    EXPECT_TRUE(file->SupportsExtension("AVI"));
    EXPECT_TRUE(file->SupportsExtension("wav"));
    EXPECT_EQ(file->GetFlags(), 0);
}

} // namespace
