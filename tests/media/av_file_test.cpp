#include "media/av_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

// A backend whose frames are generated: every byte of frame i is i plus the
// byte's row, so frame identity and row order both show. It implements only
// the getters its capability bits name, as a real backend must.
class TFakeFile : public TAVFile {
public:
    explicit TFakeFile(int32_t capabilities = 0) {
        m_capabilities = capabilities;
        AddExtension("avi");
    }

    // Reaches mode and streams as given; with raiseErrors the common checks follow.
    void Open(const std::string&, int32_t mode, int32_t streams, bool raiseErrors) override {
        Close();
        m_mode = reachedMode.value_or(mode);
        m_streams = reachedStreams.value_or(streams);
        if (raiseErrors)
            CheckOpenResult(mode, streams);
    }

    uint8_t* GetFrame() override {
        if (!(m_capabilities & CapGetFrame))
            return TAVFile::GetFrame();
        ++nativeCalls;
        return Produce(m_videoPosition++);
    }
    uint8_t* GetFrameAt(int32_t index) override {
        if (!(m_capabilities & CapGetFrameAt))
            return TAVFile::GetFrameAt(index);
        ++nativeCalls;
        m_videoPosition = index + 1;
        return Produce(index);
    }
    void PutFrame(const uint8_t* frame) override {
        RequireWriting();
        RequireVideo();
        put.assign(frame, frame + FrameBytes());
    }

    using TAVFile::MakeBitmap;

    std::optional<int32_t> reachedMode;
    std::optional<int32_t> reachedStreams;
    int nativeCalls = 0;
    std::vector<uint8_t> put;

private:
    uint8_t* Produce(int32_t index) {
        m_frame.resize(FrameBytes());
        const size_t rowBytes = static_cast<size_t>(m_width) * 4;
        for (size_t i = 0; i < m_frame.size(); ++i)
            m_frame[i] = static_cast<uint8_t>(index + i / rowBytes);
        return m_frame.data();
    }
    std::vector<uint8_t> m_frame;
};

std::vector<uint8_t> ExpectedFrame(int32_t width, int32_t height, int32_t index) {
    std::vector<uint8_t> frame(static_cast<size_t>(width) * 4 * height);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>(index + i / (static_cast<size_t>(width) * 4));
    return frame;
}

std::vector<uint8_t> Bitmap(int32_t width, int32_t height, uint16_t bitCount = 32, uint32_t compression = 0) {
    const size_t rowBytes = static_cast<size_t>(std::abs(width)) * 4;
    std::vector<uint8_t> bitmap(40 + rowBytes * std::abs(height));
    const TBitmapInfoHeader info{40, width, height, 1, bitCount, compression, 0, 0, 0, 0, 0};
    std::memcpy(bitmap.data(), &info, sizeof info);
    for (size_t i = 40; i < bitmap.size(); ++i)
        bitmap[i] = static_cast<uint8_t>((i - 40) / rowBytes); // stored row number
    return bitmap;
}

template <typename Error> void ExpectError(const std::function<void()>& call, const char* message) {
    try {
        call();
        ADD_FAILURE() << "nothing raised, expected \"" << message << "\"";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), message);
    }
}

TEST(AVFileTest, NewObjectDefaults) {
    TFakeFile file;
    const auto video = file.GetVideoFormat();
    EXPECT_EQ(video.Width, 320);
    EXPECT_EQ(video.Height, 240);
    EXPECT_EQ(video.Rate, 1000u);
    EXPECT_EQ(video.Scale, 1u);
    const auto audio = file.GetAudioFormat();
    EXPECT_EQ(audio.Channels, 2);
    EXPECT_EQ(audio.SamplesPerSecond, 44100);
    const auto parameters = file.GetParameters();
    EXPECT_EQ(parameters.VideoBitRate, 1500000);
    EXPECT_EQ(parameters.GopSize, 10);
    EXPECT_EQ(parameters.AudioBitRate, 128000);
    EXPECT_TRUE(parameters.VideoCodec.empty() && parameters.AudioCodec.empty());
    EXPECT_FALSE(parameters.Deinterlace);
    EXPECT_EQ(file.GetMode(), 0);
    EXPECT_EQ(file.GetStreams(), 0);
}

TEST(AVFileTest, VideoCallsNeedAnOpenVideoStream) {
    TFakeFile file;
    using NotOpened = TAVFile::AVFileErrorNotOpened;
    ExpectError<NotOpened>([&] { file.GetVideoLength(); }, "File is not opened!");
    ExpectError<NotOpened>([&] { file.GetVideoPosition(); }, "File is not opened!");
    ExpectError<NotOpened>([&] { file.SetVideoPosition(3); }, "File is not opened!");
    ExpectError<NotOpened>([&] { file.Seek(3); }, "File is not opened!");
    EXPECT_EQ(file.SkipFrames(0), 0);

    file.Open("x", TAVFile::ModeRead, TAVFile::StreamAudio, false);
    using VideoNotOpened = TAVFile::AVFileErrorVideoNotOpened;
    ExpectError<VideoNotOpened>([&] { file.GetVideoLength(); }, "Video stream is not opened!");
    ExpectError<VideoNotOpened>([&] { file.GetVideoPosition(); }, "Video stream is not opened!");
    ExpectError<VideoNotOpened>([&] { file.SetVideoPosition(3); }, "Video stream is not opened!");
    file.Seek(3); // without video there is nothing to move
    EXPECT_EQ(file.GetAudioPosition(), 0);
}

TEST(AVFileTest, FormatsAreFixedWhileOpen) {
    TFakeFile file;
    file.Open("x", TAVFile::ModeRead, TAVFile::StreamVideo, false);
    using InvalidMode = TAVFile::AVFileErrorOpenInvalidMode;
    ExpectError<InvalidMode>([&] { file.SetVideoFormat(16, 16, 25, 1); }, "File is already opened!");
    ExpectError<InvalidMode>([&] { file.SetAudioFormat(1, 8000); }, "File is already opened!");
    EXPECT_EQ(file.GetVideoFormat().Width, 320);
    EXPECT_EQ(file.GetAudioFormat().Channels, 2);
}

TEST(AVFileTest, ReadAndWriteCallsNeedTheirMode) {
    TFakeFile file;
    const int32_t both = TAVFile::StreamVideo | TAVFile::StreamAudio;
    using InvalidMode = TAVFile::AVFileErrorOpenInvalidMode;
    file.Open("x", TAVFile::ModeRead, both, false);
    ExpectError<InvalidMode>([&] { file.PutFrame(nullptr); }, "File is not opened for writing!");
    ExpectError<InvalidMode>([&] { file.PutAudio(nullptr, 0); }, "File is not opened for writing!");
    file.Open("x", TAVFile::ModeWrite, both, false);
    int32_t bytes = 0;
    ExpectError<InvalidMode>([&] { file.GetAudio(bytes); }, "File is not opened for reading!");
    ExpectError<InvalidMode>([&] { file.SkipAudio(); }, "File is not opened for reading!");
}

TEST(AVFileTest, BaseOpenIsNotImplemented) {
    TAVFile file;
    file.Open("x", TAVFile::ModeRead, TAVFile::StreamVideo, false);
    EXPECT_EQ(file.GetMode(), 0);
    ExpectError<TAVFile::AVFileErrorNotImplemented>(
        [&] { file.Open("x", TAVFile::ModeRead, TAVFile::StreamVideo, true); },
        "Function is not implemented!");
}

TEST(AVFileTest, OpenChecksRunInOrderAndClose) {
    TFakeFile file;
    const int32_t both = TAVFile::StreamVideo | TAVFile::StreamAudio;
    file.reachedMode = TAVFile::ModeWrite;
    ExpectError<TAVFile::AVFileErrorOpenInvalidMode>([&] { file.Open("x", TAVFile::ModeRead, both, true); },
                                                     "Invalid open mode!");
    EXPECT_EQ(file.GetMode(), 0);
    file.reachedMode.reset();
    file.reachedStreams = 0;
    ExpectError<TAVFile::AVFileErrorOpenVideo>([&] { file.Open("x", TAVFile::ModeRead, both, true); },
                                               "Could not open video stream!");
    EXPECT_EQ(file.GetMode(), 0);
    file.reachedStreams = TAVFile::StreamVideo;
    ExpectError<TAVFile::AVFileErrorOpenAudio>([&] { file.Open("x", TAVFile::ModeRead, both, true); },
                                               "Could not open audio stream!");
    EXPECT_EQ(file.GetMode(), 0);
    EXPECT_EQ(file.GetStreams(), 0);
}

TEST(AVFileTest, ErrorsAreCaughtByTheirBaseClasses) {
    EXPECT_THROW(throw TAVFile::AVFileErrorOpenVideo(), TAVFile::AVFileErrorOpen);
    EXPECT_THROW(throw TAVFile::AVFileErrorOpenInvalidMode(), TAVFile::AVFileErrorOpen);
    EXPECT_THROW(throw TAVFile::AVFileErrorAudioNotOpened(), TAVFile::AVFileErrorNotOpened);
    EXPECT_THROW(throw TAVFile::AVFileErrorGetVideo(), TAVFile::AVFileErrorRead);
    EXPECT_THROW(throw TAVFile::AVFileErrorPutAudio("x"), TAVFile::AVFileErrorWrite);
    EXPECT_THROW(throw TAVFile::AVFileErrorMemory(), TAVFile::AVFileError);
    EXPECT_THROW(throw TAVFile::AVFileErrorNotImplemented(), TException);
    EXPECT_STREQ(TAVFile::AVFileErrorPutVideo("Unsuported bitmap!").what(), "Unsuported bitmap!");
}

class DerivedGetterTest : public ::testing::TestWithParam<int32_t> {
protected:
    void SetUp() override {
        file = std::make_unique<TFakeFile>(GetParam());
        file->SetVideoFormat(3, 2, 25, 1);
        file->Open("x", TAVFile::ModeRead, TAVFile::StreamVideo, true);
    }
    std::unique_ptr<TFakeFile> file;
};

TEST_P(DerivedGetterTest, EveryGetterReachesTheNativeOne) {
    const uint8_t* frame = file->GetFrame();
    EXPECT_EQ(std::vector<uint8_t>(frame, frame + 24), ExpectedFrame(3, 2, 0));
    EXPECT_EQ(file->GetVideoPosition(), 1);

    frame = file->GetFrameAt(5);
    EXPECT_EQ(std::vector<uint8_t>(frame, frame + 24), ExpectedFrame(3, 2, 5));
    EXPECT_EQ(file->GetVideoPosition(), 6);

    std::vector<uint8_t> copy(24);
    file->CopyFrame(copy.data());
    EXPECT_EQ(copy, ExpectedFrame(3, 2, 6));
    file->CopyFrameAt(copy.data(), 2);
    EXPECT_EQ(copy, ExpectedFrame(3, 2, 2));
    EXPECT_EQ(file->GetVideoPosition(), 3);

    const uint8_t* bitmap = file->GetBitmap();
    EXPECT_EQ(bitmap[40], 3 + 1) << "the first stored row is the bottom row of frame 3";
    EXPECT_EQ(bitmap[40 + 12], 3);
    EXPECT_EQ(file->GetVideoPosition(), 4);
    EXPECT_GT(file->nativeCalls, 0);
}

INSTANTIATE_TEST_SUITE_P(Capabilities, DerivedGetterTest,
                         ::testing::Values(TAVFile::CapGetFrame, TAVFile::CapGetFrameAt,
                                           TAVFile::CapGetFrame | TAVFile::CapGetFrameAt));

TEST(AVFileTest, WithoutANativeFrameGetterEveryGetterFails) {
    TFakeFile file(0);
    file.Open("x", TAVFile::ModeRead, TAVFile::StreamVideo, false);
    std::vector<uint8_t> buffer(320 * 4 * 240);
    using NotImplemented = TAVFile::AVFileErrorNotImplemented;
    EXPECT_THROW(file.GetFrame(), NotImplemented);
    EXPECT_THROW(file.GetFrameAt(1), NotImplemented);
    EXPECT_THROW(file.CopyFrame(buffer.data()), NotImplemented);
    EXPECT_THROW(file.CopyFrameAt(buffer.data(), 1), NotImplemented);
    EXPECT_THROW(file.GetBitmap(), NotImplemented);
    EXPECT_THROW(file.GetBitmapAt(1), NotImplemented);
}

TEST(AVFileTest, BitmapBlockIsReusedWhileTheSizeHolds) {
    TFakeFile file(TAVFile::CapGetFrameAt);
    file.SetVideoFormat(4, 3, 25, 1);
    file.Open("x", TAVFile::ModeRead, TAVFile::StreamVideo, false);
    const uint8_t* first = file.GetBitmapAt(1);
    const uint8_t* second = file.GetBitmapAt(7);
    EXPECT_EQ(first, second);
    TBitmapInfoHeader info;
    std::memcpy(&info, second, sizeof info);
    EXPECT_EQ(info.biSize, 40u);
    EXPECT_EQ(info.biWidth, 4);
    EXPECT_EQ(info.biHeight, 3);
    EXPECT_EQ(info.biPlanes, 1);
    EXPECT_EQ(info.biBitCount, 32);
    EXPECT_EQ(info.biSizeImage, 4u * 4 * 3);
    EXPECT_EQ(info.biClrUsed, 0u);
    EXPECT_EQ(second[40], 7 + 2) << "overwritten with frame 7, bottom row first";
}

TEST(AVFileTest, BitmapOfAFormatWithoutPixelsIsEmpty) {
    TFakeFile file;
    file.SetVideoFormat(-4, 3, 25, 1);
    const uint8_t frame[16] = {};
    const uint8_t* bitmap = file.MakeBitmap(frame);
    TBitmapInfoHeader info;
    std::memcpy(&info, bitmap, sizeof info);
    EXPECT_EQ(info.biSizeImage, 0u);
}

TEST(AVFileTest, PutBitmapFlipsIntoAFrame) {
    TFakeFile file;
    file.SetVideoFormat(3, 2, 25, 1);
    file.Open("x", TAVFile::ModeWrite, TAVFile::StreamVideo, false);
    std::vector<uint8_t> bitmap = Bitmap(3, 2);
    file.PutBitmap(bitmap.data());
    EXPECT_EQ(file.put,
              (std::vector<uint8_t>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // A colour table sits between the header and the pixels.
    TBitmapInfoHeader info;
    std::memcpy(&info, bitmap.data(), sizeof info);
    info.biClrUsed = 2;
    std::memcpy(bitmap.data(), &info, sizeof info);
    bitmap.insert(bitmap.begin() + 40, 8, 0xEE);
    file.PutBitmap(bitmap.data());
    EXPECT_EQ(file.put[0], 1);
    EXPECT_EQ(file.put[12], 0);
}

TEST(AVFileTest, PutBitmapRefusesWhatItCannotTake) {
    TFakeFile file;
    file.SetVideoFormat(3, 2, 25, 1);
    file.Open("x", TAVFile::ModeWrite, TAVFile::StreamVideo, false);
    for (const auto& bitmap :
         {Bitmap(3, 2, 24), Bitmap(3, 2, 32, 3), Bitmap(4, 2), Bitmap(3, 3), Bitmap(3, -2)})
        ExpectError<TAVFile::AVFileErrorPutVideo>([&] { file.PutBitmap(bitmap.data()); },
                                                  "Unsuported bitmap!"); // sic
    EXPECT_TRUE(file.put.empty());

    TFakeFile empty;
    empty.SetVideoFormat(3, 0, 25, 1);
    empty.Open("x", TAVFile::ModeWrite, TAVFile::StreamVideo, false);
    const std::vector<uint8_t> noRows = Bitmap(3, 0);
    ExpectError<TAVFile::AVFileErrorPutVideo>([&] { empty.PutBitmap(noRows.data()); }, "Unsuported bitmap!");
}

TEST(AVFileTest, SupportsExtensionIgnoresCaseOnly) {
    TFakeFile file;
    EXPECT_TRUE(file.SupportsExtension("AVI"));
    EXPECT_TRUE(file.SupportsExtension("aVi"));
    EXPECT_FALSE(file.SupportsExtension("avi "));
    EXPECT_FALSE(file.SupportsExtension("av"));
    EXPECT_FALSE(file.SupportsExtension(""));
}

} // namespace
