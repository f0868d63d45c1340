// Replays the fuzz entry point over corrupt inputs generated here, with the
// normal compiler and without libFuzzer, so every test run covers the input
// families fuzzing explores and every finding it made.
#include "media/bmp/bmp_reader.h"
#include "tests/support/bmp_bytes.h"

#include <gtest/gtest.h>

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using TBytes = std::vector<uint8_t>;

std::vector<TBytes> Seeds() {
    const auto pattern = [](int32_t x, int32_t y) { return FramePixel(3, x, y); };
    const auto keyed = [](int32_t x, int32_t y) { return (x + y) % 2 ? 0xFFFFFFu : 0x123456u; };
    return {MakeBMPBytes(5, 4, 24, pattern), MakeBMPBytes(3, 2, 32, pattern), MakeBMPBytes(1, 1, 24, pattern),
            MakeBMPBytes(3, 3, 24, keyed)};
}

bool IsLoadable(TBytes bytes) {
    if (bytes.empty())
        return false;
    std::FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
    const bool isLoadable = ReadBMPLayout(file).has_value();
    std::fclose(file);
    return isLoadable;
}

void Replay(const TBytes& bytes) {
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

TEST(BMPFuzzReplay, EveryTruncationIsRefused) {
    for (const TBytes& seed : Seeds()) {
        ASSERT_TRUE(IsLoadable(seed));
        Replay(seed);
        for (size_t size = 0; size < seed.size(); ++size) {
            const TBytes cut(seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(size));
            EXPECT_FALSE(IsLoadable(cut)) << "cut to " << size << " of " << seed.size();
            Replay(cut);
        }
    }
}

TEST(BMPFuzzReplay, EveryHeaderByteMutationIsSafe) {
    int loadable = 0;
    int replayed = 0;
    for (const TBytes& seed : Seeds()) {
        for (size_t offset = 0; offset < 54; ++offset) {
            for (uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF}) {
                TBytes mutated = seed;
                mutated[offset] = value;
                Replay(mutated);
                loadable += IsLoadable(mutated);
                ++replayed;
            }
        }
    }
    // Bytes that do not matter (reserved words, resolution, colour counts)
    // keep a file loadable; the rest do not. Both kinds must be present.
    EXPECT_GT(loadable, 0);
    EXPECT_LT(loadable, replayed);
}

TEST(BMPFuzzReplay, HostileSizeCombinationsAreRefused) {
    struct TSizes {
        uint32_t Width, Height, PixelOffset, SizeImage;
    };
    for (const TSizes sizes : {
             TSizes{0x7FFFFFFF, 0x7FFFFFFF, 54, 0},
             TSizes{0x40000000, 1, 54, 0},
             TSizes{0x20000000, 0x20000000, 54, 0},
             TSizes{1, 0x7FFFFFFF, 54, 0},
             TSizes{5, 4, 0xFFFFFFFF, 0},
             TSizes{5, 4, 54, 0xFFFFFFFF},
             TSizes{5, 4, 0x7FFFFFFF, 0x7FFFFFFF},
         }) {
        TBytes bytes = Seeds().front();
        PutLE32(bytes, BMPField::Width, sizes.Width);
        PutLE32(bytes, BMPField::Height, sizes.Height);
        PutLE32(bytes, BMPField::PixelOffset, sizes.PixelOffset);
        PutLE32(bytes, BMPField::SizeImage, sizes.SizeImage);
        EXPECT_FALSE(IsLoadable(bytes)) << sizes.Width << " x " << sizes.Height;
        Replay(bytes);
    }
}

} // namespace
