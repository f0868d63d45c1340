// Corrupt and hostile BMP files: each must be refused through the normal
// failure path, before anything frame-sized is allocated or read.
#include "media/bmp/bmp_file.h"
#include "media/bmp/bmp_reader.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

struct TCorruptCase {
    const char* Name;
    std::function<void(std::vector<uint8_t>&)> Damage;
};

std::string CaseName(const ::testing::TestParamInfo<TCorruptCase>& info) {
    return info.param.Name;
}

std::vector<uint8_t> GoodFile(uint16_t bitCount = 24) {
    return MakeBMPBytes(5, 4, bitCount, [](int32_t x, int32_t y) { return FramePixel(0, x, y); });
}

struct TMemoryFileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::optional<TBMPLayout> LayoutOf(std::vector<uint8_t>& bytes) {
    std::unique_ptr<std::FILE, TMemoryFileClose> file(fmemopen(bytes.data(), bytes.size(), "rb"));
    if (!file)
        return std::nullopt;
    return ReadBMPLayout(file.get());
}

class CorruptBMPTest : public ::testing::TestWithParam<TCorruptCase> {};

TEST_P(CorruptBMPTest, IsRefused) {
    std::vector<uint8_t> bytes = GoodFile();
    GetParam().Damage(bytes);
    EXPECT_FALSE(LayoutOf(bytes).has_value());

    TTempDir dir;
    WriteBytes(dir.File("bad.bmp"), bytes);
    TBMPFile file;
    file.Open(dir.File("bad.bmp"), TAVFile::ModeRead, TAVFile::StreamVideo, false);
    EXPECT_EQ(file.GetMode(), 0);
    EXPECT_THROW(file.Open(dir.File("bad.bmp"), TAVFile::ModeRead, TAVFile::StreamVideo, true),
                 TAVFile::AVFileErrorOpenInvalidMode);
}

void Truncate(std::vector<uint8_t>& bytes, size_t size) {
    bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(size), bytes.end());
}

INSTANTIATE_TEST_SUITE_P(
    Headers, CorruptBMPTest,
    ::testing::Values(TCorruptCase{"Empty", [](auto& b) { Truncate(b, 0); }},
                      TCorruptCase{"NotBM", [](auto& b) { b[1] = 'A'; }},
                      TCorruptCase{"FileHeaderCut", [](auto& b) { Truncate(b, 10); }},
                      TCorruptCase{"InfoHeaderCut", [](auto& b) { Truncate(b, 40); }},
                      TCorruptCase{"CoreHeader", [](auto& b) { PutLE32(b, BMPField::InfoSize, 12); }},
                      TCorruptCase{"V5Header", [](auto& b) { PutLE32(b, BMPField::InfoSize, 124); }},
                      TCorruptCase{"TwoPlanes", [](auto& b) { PutLE16(b, BMPField::Planes, 2); }},
                      TCorruptCase{"EightBits", [](auto& b) { PutLE16(b, BMPField::BitCount, 8); }},
                      TCorruptCase{"SixteenBits", [](auto& b) { PutLE16(b, BMPField::BitCount, 16); }},
                      TCorruptCase{"RunLength", [](auto& b) { PutLE32(b, BMPField::Compression, 1); }},
                      TCorruptCase{"BitFields", [](auto& b) { PutLE32(b, BMPField::Compression, 3); }}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Sizes, CorruptBMPTest,
    ::testing::Values(
        TCorruptCase{"ZeroWidth", [](auto& b) { PutLE32(b, BMPField::Width, 0); }},
        TCorruptCase{"ZeroHeight", [](auto& b) { PutLE32(b, BMPField::Height, 0); }},
        TCorruptCase{"NegativeWidth",
                     [](auto& b) { PutLE32(b, BMPField::Width, static_cast<uint32_t>(-5)); }},
        TCorruptCase{"TopDown", [](auto& b) { PutLE32(b, BMPField::Height, static_cast<uint32_t>(-4)); }},
        TCorruptCase{"MostNegativeHeight", [](auto& b) { PutLE32(b, BMPField::Height, 0x80000000u); }},
        TCorruptCase{"HugeWidth", [](auto& b) { PutLE32(b, BMPField::Width, 0x7FFFFFFFu); }},
        TCorruptCase{"ByteCountOverflows32Bits",
                     [](auto& b) {
                         PutLE32(b, BMPField::Width, 65536);
                         PutLE32(b, BMPField::Height, 16384);
                     }},
        TCorruptCase{"ByteCountWrapsToSmall",
                     [](auto& b) {
                         // 0x40000001 * 4 * 4 wraps to 16 in 32-bit arithmetic.
                         PutLE32(b, BMPField::Width, 0x40000001);
                         PutLE32(b, BMPField::Height, 4);
                     }},
        TCorruptCase{"MoreRowsThanTheFileHolds", [](auto& b) { PutLE32(b, BMPField::Height, 5); }},
        TCorruptCase{"PixelOffsetBeyondFile",
                     [](auto& b) { PutLE32(b, BMPField::PixelOffset, 0xFFFFFFF0u); }},
        TCorruptCase{"PixelOffsetInsideHeaders", [](auto& b) { PutLE32(b, BMPField::PixelOffset, 20); }},
        TCorruptCase{"PixelOffsetLeavesTooFewRows", [](auto& b) { PutLE32(b, BMPField::PixelOffset, 58); }},
        TCorruptCase{"SizeImageBeyondFile", [](auto& b) { PutLE32(b, BMPField::SizeImage, 0x10000000u); }},
        TCorruptCase{"LastRowCut", [](auto& b) { Truncate(b, b.size() - 1); }},
        TCorruptCase{"NoPixelsAtAll", [](auto& b) { Truncate(b, 54); }}),
    CaseName);

TEST(BMPReaderTest, ToleratedHeaderValuesStillLoad) {
    // Values seen in files from real writers: no biSizeImage, a wrong file size
    // field, a colour table skipped over by the pixel offset, trailing bytes.
    std::vector<uint8_t> bytes = GoodFile(32);
    PutLE32(bytes, BMPField::SizeImage, 0);
    PutLE32(bytes, BMPField::FileSize, 3);
    bytes.insert(bytes.begin() + 54, 8, 0xEE);
    PutLE32(bytes, BMPField::PixelOffset, 62);
    PutLE32(bytes, BMPField::ClrUsed, 2);
    bytes.push_back(0);

    std::unique_ptr<std::FILE, TMemoryFileClose> file(fmemopen(bytes.data(), bytes.size(), "rb"));
    const auto layout = ReadBMPLayout(file.get());
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->BlockBytes, 40u + 5 * 4 * 4);
    std::vector<uint8_t> block(layout->BlockBytes);
    std::vector<uint8_t> rows;
    ASSERT_TRUE(ReadBMPPixels(file.get(), *layout, block.data(), rows));
    // Top-left pixel of the picture is the first pixel of the last stored row.
    EXPECT_EQ(GetLE32(block, 40 + 3 * 20), FramePixel(0, 0, 0));
}

TEST(BMPReaderTest, FileCutAfterValidationFailsTheRead) {
    std::vector<uint8_t> bytes = GoodFile(24);
    std::unique_ptr<std::FILE, TMemoryFileClose> file(fmemopen(bytes.data(), bytes.size(), "rb"));
    const auto layout = ReadBMPLayout(file.get());
    ASSERT_TRUE(layout.has_value());
    std::vector<uint8_t> shorter(bytes.begin(), bytes.end() - 3);
    std::unique_ptr<std::FILE, TMemoryFileClose> cut(fmemopen(shorter.data(), shorter.size(), "rb"));
    std::vector<uint8_t> block(layout->BlockBytes);
    std::vector<uint8_t> rows;
    EXPECT_FALSE(ReadBMPPixels(cut.get(), *layout, block.data(), rows));
}

} // namespace
