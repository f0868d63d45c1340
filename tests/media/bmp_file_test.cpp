#include "media/bmp/bmp_file.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

using TFrame = std::vector<uint8_t>;

// Reads the current frame of file as a copy.
TFrame ReadFrame(TBMPFile& file) {
    const auto format = file.GetVideoFormat();
    const uint8_t* frame = file.GetFrame();
    return TFrame(frame, frame + static_cast<size_t>(format.Width) * 4 * format.Height);
}

TFrame SolidFrame(int32_t width, int32_t height, uint32_t colour) {
    return MakeFrame(width, height, [=](int32_t, int32_t) { return colour; });
}

class BMPFileTest : public ::testing::Test {
protected:
    // A 32-bit file whose every pixel is colour (the fourth byte included).
    void WriteSolid(const std::string& name, uint32_t colour, int32_t width = 3, int32_t height = 2) {
        WriteBytes(dir.File(name), MakeBMPBytes(width, height, 32, [=](int32_t, int32_t) { return colour; }));
    }

    // Opens name for reading, raising on failure.
    void OpenRead(const std::string& name) {
        file.Open(dir.File(name), TAVFile::ModeRead, TAVFile::StreamVideo, true);
    }

    TTempDir dir;
    TBMPFile file;
};

TEST_F(BMPFileTest, WrittenSequenceReadsBackPixelExact) {
    const int32_t width = 5; // odd sizes catch row and stride mix-ups
    const int32_t height = 3;
    TBMPFile writer;
    writer.SetVideoFormat(width, height, 25, 1);
    writer.Open(dir.File("clip.avi"), TAVFile::ModeWrite, TAVFile::StreamVideo, true);
    for (int32_t frame = 0; frame < 3; ++frame)
        writer.PutFrame(
            MakeFrame(width, height, [=](int32_t x, int32_t y) { return FramePixel(frame, x, y); }).data());
    EXPECT_EQ(writer.GetVideoLength(), 3);
    writer.Close();
    EXPECT_TRUE(std::filesystem::exists(dir.File("clip000000002.bmp")));

    const std::vector<uint8_t> bytes = ReadBytes(dir.File("clip000000001.bmp"));
    ASSERT_EQ(bytes.size(), 54u + width * 4 * height);
    EXPECT_EQ(GetLE32(bytes, BMPField::FileSize), bytes.size());
    EXPECT_EQ(GetLE32(bytes, BMPField::PixelOffset), 54u);
    // The first stored row is the bottom row of the picture.
    EXPECT_EQ(GetLE32(bytes, 54), FramePixel(1, 0, height - 1));

    OpenRead("clip000000000.bmp");
    EXPECT_EQ(file.GetVideoLength(), 3);
    for (int32_t frame = 0; frame < 3; ++frame) {
        EXPECT_EQ(file.GetVideoPosition(), frame);
        EXPECT_EQ(ReadFrame(file),
                  MakeFrame(width, height, [=](int32_t x, int32_t y) { return FramePixel(frame, x, y); }))
            << "frame " << frame;
    }
    TFrame copy(static_cast<size_t>(width) * 4 * height);
    file.CopyFrameAt(copy.data(), 1);
    EXPECT_EQ(copy, MakeFrame(width, height, [](int32_t x, int32_t y) { return FramePixel(1, x, y); }));
    EXPECT_EQ(file.GetVideoPosition(), 2);
}

TEST_F(BMPFileTest, BitmapIsThirtyTwoBitBottomUpWithItsOwnHeader) {
    WriteBytes(dir.File("pic.bmp"),
               MakeBMPBytes(3, 2, 24, [](int32_t x, int32_t y) { return FramePixel(0, x, y); }));
    OpenRead("pic.bmp");
    const uint8_t* bitmap = file.GetBitmap();
    TBitmapInfoHeader info;
    std::memcpy(&info, bitmap, sizeof info);
    EXPECT_EQ(info.biSize, 40u);
    EXPECT_EQ(info.biBitCount, 32);
    EXPECT_EQ(info.biSizeImage, 3u * 4 * 2);
    EXPECT_EQ(info.biWidth, 3);
    EXPECT_EQ(info.biHeight, 2);
    uint32_t firstStored;
    std::memcpy(&firstStored, bitmap + 40, 4);
    EXPECT_EQ(firstStored & 0xFFFFFF, FramePixel(0, 0, 1) & 0xFFFFFF);
}

TEST_F(BMPFileTest, CompanionFileHoldsTheSevenLines) {
    std::filesystem::create_directory(dir.File("out"));
    TBMPFile writer;
    writer.SetVideoFormat(640, 480, 30000, 1001);
    writer.Open(dir.File("out/clip.avi"), TAVFile::ModeWrite, TAVFile::StreamVideo, true);
    const TFrame black = SolidFrame(640, 480, 0);
    for (int i = 0; i < 3; ++i)
        writer.PutFrame(black.data());
    writer.Close();
    EXPECT_EQ(ReadText(dir.File("out/clip.ini")),
              "[Parameters]\nFirst=0\nLength=3\nRate=30000\nScale=1001\nWidth=640\nHeight=480\n");

    OpenRead("out/clip000000000.bmp");
    const auto format = file.GetVideoFormat();
    EXPECT_EQ(format.Rate, 25u);
    EXPECT_EQ(format.Scale, 1u);
    EXPECT_EQ(file.GetVideoLength(), 3);
}

TEST_F(BMPFileTest, CompanionWrittenOnlyWhenAFrameWasWritten) {
    {
        TBMPFile writer;
        writer.Open(dir.File("empty.avi"), TAVFile::ModeWrite, TAVFile::StreamVideo, true);
        writer.Close();
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("empty.ini")));
    {
        TBMPFile writer;
        writer.SetVideoFormat(2, 2, 25, 1);
        writer.Open(dir.File("dropped.avi"), TAVFile::ModeWrite, TAVFile::StreamVideo, true);
        writer.PutFrame(SolidFrame(2, 2, 1).data());
    } // destroyed without Close
    EXPECT_TRUE(std::filesystem::exists(dir.File("dropped.ini")));
}

TEST_F(BMPFileTest, WritingNamesFramesInsideTheGivenFolder) {
    std::filesystem::create_directory(dir.File("take.2"));
    TBMPFile writer;
    writer.SetVideoFormat(2, 2, 25, 1);
    writer.Open(dir.File("take.2/clip"), TAVFile::ModeWrite, TAVFile::StreamVideo, true);
    writer.PutFrame(SolidFrame(2, 2, 7).data());
    writer.Close();
    EXPECT_TRUE(std::filesystem::exists(dir.File("take.2/clip000000000.bmp")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("take.2/clip.ini")));
}

TEST_F(BMPFileTest, FailedPutKeepsPositionAndLeavesNoCompanion) {
    TBMPFile writer;
    writer.SetVideoFormat(2, 2, 25, 1);
    writer.Open(dir.File("missing/clip.avi"), TAVFile::ModeWrite, TAVFile::StreamVideo, true);
    try {
        writer.PutFrame(SolidFrame(2, 2, 7).data());
        FAIL() << "a frame was written into a missing folder";
    } catch (const TAVFile::AVFileErrorPutVideo& error) {
        EXPECT_STREQ(error.what(), "Could not put frame!");
    }
    EXPECT_EQ(writer.GetVideoPosition(), 0);
    EXPECT_EQ(writer.GetVideoLength(), 0);
}

TEST_F(BMPFileTest, InvalidWriteFormatIsRefused) {
    TBMPFile writer;
    writer.SetVideoFormat(0, 10, 25, 1);
    EXPECT_THROW(writer.Open(dir.File("a.avi"), TAVFile::ModeWrite, TAVFile::StreamVideo, true),
                 TAVFile::AVFileErrorOpenVideo);
    EXPECT_EQ(writer.GetMode(), 0);
    writer.SetVideoFormat(65536, 65536, 25, 1); // 16 GiB per frame
    writer.Open(dir.File("a.avi"), TAVFile::ModeWrite, TAVFile::StreamVideo, false);
    EXPECT_EQ(writer.GetMode(), 0);
}

TEST_F(BMPFileTest, PutBitmapOfTheBaseRoundTrips) {
    TBMPFile writer;
    writer.SetVideoFormat(3, 2, 25, 1);
    writer.Open(dir.File("b.avi"), TAVFile::ModeWrite, TAVFile::StreamVideo, true);
    const TFrame frame = MakeFrame(3, 2, [](int32_t x, int32_t y) { return FramePixel(4, x, y); });
    std::vector<uint8_t> bitmap(40 + frame.size());
    const TBitmapInfoHeader info{40, 3, 2, 1, 32, 0, static_cast<uint32_t>(frame.size()), 0, 0, 0, 0};
    std::memcpy(bitmap.data(), &info, sizeof info);
    for (int32_t row = 0; row < 2; ++row)
        std::memcpy(bitmap.data() + 40 + row * 12, frame.data() + (1 - row) * 12, 12);
    writer.PutBitmap(bitmap.data());
    writer.Close();
    OpenRead("b000000000.bmp");
    EXPECT_EQ(ReadFrame(file), frame);
}

TEST_F(BMPFileTest, RunOfNumberedFilesWithoutCompanion) {
    for (int32_t number : {7, 8, 9})
        WriteSolid("shot000" + std::to_string(number) + ".bmp", 0x01000000u * number);
    WriteSolid("shot0011.bmp", 11); // after a gap: not part of the run
    OpenRead("shot0007.bmp");
    EXPECT_EQ(file.FrameName(2), dir.File("shot0009.bmp"));
    EXPECT_EQ(file.GetVideoLength(), 3);
    EXPECT_EQ(ReadFrame(file), SolidFrame(3, 2, 0x07000000u));
    EXPECT_EQ(file.GetFrameAt(2)[3], 9) << "frame 2 is shot0009.bmp";
}

TEST_F(BMPFileTest, SingleImageWithoutDigitsServesEveryIndex) {
    WriteSolid("photo.bmp", 0x112233);
    OpenRead("photo.bmp");
    EXPECT_EQ(file.GetVideoLength(), 1);
    file.Seek(40);
    EXPECT_EQ(ReadFrame(file), SolidFrame(3, 2, 0x112233));
    EXPECT_EQ(file.GetVideoPosition(), 41);
}

TEST_F(BMPFileTest, CompanionFirstNumberOverridesTheOpenedName) {
    WriteSolid("a01.bmp", 1);
    WriteSolid("a02.bmp", 2);
    WriteSolid("a05.bmp", 5);
    WriteText(dir.File("a.ini"), "[Parameters]\n\nNote=x=y\nFirst=1\nLength=2\nHeight=9");
    OpenRead("a05.bmp");
    EXPECT_EQ(file.GetVideoLength(), 2);
    EXPECT_EQ(ReadFrame(file), SolidFrame(3, 2, 1)) << "frame 0 is a01.bmp";
    EXPECT_EQ(ReadFrame(file), SolidFrame(3, 2, 2));
}

TEST_F(BMPFileTest, UnusableCompanionValuesAreIgnored) {
    WriteSolid("c1.bmp", 1);
    WriteSolid("c2.bmp", 2);
    // Not numbers, too large, a negative length, and a last line with no line feed.
    WriteText(dir.File("c.ini"), "First=abc\nFirst=99999999999\nLength=-4\nLength=7");
    OpenRead("c1.bmp");
    EXPECT_EQ(file.GetVideoLength(), 2) << "the files were counted";
    EXPECT_EQ(ReadFrame(file), SolidFrame(3, 2, 1));
}

TEST_F(BMPFileTest, FrameNumberLongerThanItsDigitsIsNotCut) {
    WriteSolid("x9.bmp", 9);
    WriteSolid("x10.bmp", 10);
    OpenRead("x9.bmp");
    EXPECT_EQ(file.GetVideoLength(), 2);
    EXPECT_EQ(file.GetFrameAt(1)[0], 10);
}

TEST_F(BMPFileTest, LongDigitRunCountsOnFromTheOpenedName) {
    WriteSolid("cam12345678901.bmp", 1);
    WriteSolid("cam12345678902.bmp", 2);
    OpenRead("cam12345678901.bmp");
    EXPECT_EQ(file.FrameName(1), dir.File("cam12345678902.bmp"));
    EXPECT_EQ(file.GetVideoLength(), 2);
    EXPECT_EQ(file.GetFrameAt(1)[0], 2);
}

TEST_F(BMPFileTest, TwentyFourBitKeyColourMarksTheBottomLeftColour) {
    const uint32_t white = 0xFFFFFF;
    // Width 3 makes 9-byte rows padded to 12. Bottom-left (0, 2) is white.
    const auto pixel = [=](int32_t x, int32_t y) -> uint32_t {
        return (x + y) % 2 == 0 ? white : static_cast<uint32_t>(0x102030 + x + 16 * y);
    };
    WriteBytes(dir.File("key.bmp"), MakeBMPBytes(3, 3, 24, pixel));
    OpenRead("key.bmp");
    EXPECT_EQ(ReadFrame(file), MakeFrame(3, 3, [&](int32_t x, int32_t y) {
                  return pixel(x, y) | (pixel(x, y) == white ? 0xFF000000u : 0u);
              }));
}

TEST_F(BMPFileTest, MissingOrResizedFrameFailsForThatFrameOnly) {
    WriteSolid("m1.bmp", 1);
    WriteSolid("m2.bmp", 2, 4, 2); // another width
    WriteSolid("m3.bmp", 3);
    OpenRead("m1.bmp");
    for (int32_t index : {1, 5}) {
        file.Seek(index);
        try {
            file.GetFrame();
            FAIL() << "frame " << index << " read";
        } catch (const TAVFile::AVFileErrorGetVideo& error) {
            EXPECT_STREQ(error.what(), "Could not get frame!");
        }
        EXPECT_EQ(file.GetVideoPosition(), index);
    }
    EXPECT_EQ(file.GetFrameAt(2)[0], 3);
    EXPECT_EQ(file.GetFrameAt(0)[0], 1);
}

TEST_F(BMPFileTest, BuffersAreReusedFromFrameToFrame) {
    for (int32_t number = 1; number <= 3; ++number)
        WriteSolid("r" + std::to_string(number) + ".bmp", number, 64, 48);
    OpenRead("r1.bmp");
    const uint8_t* frame = file.GetFrame();
    const uint8_t* bitmap = file.GetBitmap();
    EXPECT_EQ(file.GetFrame(), frame);
    EXPECT_EQ(file.GetBitmapAt(0), bitmap);
    EXPECT_EQ(bitmap[40], 1) << "the reused block holds the new frame";
}

TEST_F(BMPFileTest, FailedOpensLeaveTheObjectClosed) {
    try {
        OpenRead("absent.bmp");
        FAIL() << "opened a missing file";
    } catch (const TAVFile::AVFileErrorOpenInvalidMode& error) {
        EXPECT_STREQ(error.what(), "Invalid open mode!");
    }
    EXPECT_EQ(file.GetMode(), 0);

    WriteSolid("v.bmp", 1);
    try {
        file.Open(dir.File("v.bmp"), TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, true);
        FAIL() << "a BMP sequence has no audio";
    } catch (const TAVFile::AVFileErrorOpenAudio& error) {
        EXPECT_STREQ(error.what(), "Could not open audio stream!");
    }
    EXPECT_EQ(file.GetMode(), 0);

    file.Open(dir.File("v.bmp"), TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, false);
    EXPECT_EQ(file.GetStreams(), TAVFile::StreamVideo);
    file.Open(dir.File("v.bmp"), TAVFile::ModeRead, TAVFile::StreamAudio, false);
    EXPECT_EQ(file.GetMode(), 0);
}

TEST_F(BMPFileTest, ReadingAndWritingCallsNeedTheirMode) {
    WriteSolid("w.bmp", 1);
    OpenRead("w.bmp");
    try {
        file.PutFrame(SolidFrame(3, 2, 0).data());
        FAIL() << "wrote into a sequence opened for reading";
    } catch (const TAVFile::AVFileErrorOpenInvalidMode& error) {
        EXPECT_STREQ(error.what(), "File is not opened for writing!");
    }
    file.Close();
    file.Open(dir.File("w.avi"), TAVFile::ModeWrite, TAVFile::StreamVideo, true);
    try {
        file.GetBitmap();
        FAIL() << "read from a sequence opened for writing";
    } catch (const TAVFile::AVFileErrorOpenInvalidMode& error) {
        EXPECT_STREQ(error.what(), "File is not opened for reading!");
    }
}

} // namespace
