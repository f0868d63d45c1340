// Runs the AVI fuzz entry point over damaged files made in code from one
// sound file, so every test run covers the paths fuzzing explores.
#include "media/avi/platform/avi_audio.h"
#include "media/avi/platform/avi_codecs.h"
#include "media/avi/platform/avi_reader.h"
#include "media/avi/platform/avi_writer.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// Four MJPEG pictures and PCM audio, with all three kinds of index.
std::vector<uint8_t> SoundFile() {
    TTempDir folder;
    const std::string path = folder.File("sound.avi");
    {
        TAVIWriter writer(path);
        TAVICompressorOptions options;
        options.Handler = FourCCFromText("MJPG");
        auto compressor = TAVICompressor::Open(options, 32, 16, 25, 1);
        TAVIStreamHeader video{};
        video.fccType = FourCCVideo;
        video.fccHandler = options.Handler;
        video.dwScale = 1;
        video.dwRate = 25;
        const int32_t v = writer.AddStream(video);
        writer.SetFormat(v, compressor->Format());
        TAVIStreamHeader audio{};
        audio.fccType = FourCCAudio;
        audio.dwScale = 2;
        audio.dwRate = 16000;
        audio.dwSampleSize = 2;
        const int32_t a = writer.AddStream(audio);
        writer.SetFormat(a, AVIPCMFormat(1, 8000));
        std::vector<uint8_t> picture(32 * 16 * 4, 0x40), sound(640, 0x10);
        for (int n = 0; n <= 4; ++n) {
            std::vector<TAVIPacket> packets;
            picture[n * 4] = 0xFF;
            if (n < 4)
                compressor->Compress(picture.data(), 32 * 4, true, packets);
            else
                compressor->Flush(packets);
            for (const TAVIPacket& p : packets)
                writer.Write(v, p.Data.data(), static_cast<uint32_t>(p.Data.size()), 1, true);
            if (n < 4)
                writer.Write(a, sound.data(), static_cast<uint32_t>(sound.size()), 320, true);
        }
        writer.Close();
    }
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

size_t Find(const std::vector<uint8_t>& bytes, const char* code, size_t from = 0) {
    for (size_t i = from; i + 4 <= bytes.size(); ++i)
        if (std::memcmp(&bytes[i], code, 4) == 0)
            return i;
    return std::string::npos;
}

void Feed(const std::vector<uint8_t>& bytes) {
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

class AVIFuzzReplay : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sound = new std::vector<uint8_t>(SoundFile()); }
    static void TearDownTestSuite() { delete sound; }
    static std::vector<uint8_t>* sound;
};
std::vector<uint8_t>* AVIFuzzReplay::sound = nullptr;

TEST_F(AVIFuzzReplay, TheSoundFileReadsThroughEveryKindOfIndex) {
    std::vector<uint8_t> noSuper = *sound;
    for (size_t at = Find(noSuper, "indx"); at != std::string::npos; at = Find(noSuper, "indx", at + 4))
        std::memset(&noSuper[at + 8], 0, 24);
    std::vector<uint8_t> noIndex = noSuper;
    std::memcpy(&noIndex[Find(noIndex, "idx1")], "JUNK", 4);
    const struct {
        const std::vector<uint8_t>* bytes;
        TAVIIndexKind kind;
    } cases[] = {{sound, TAVIIndexKind::SuperIndex},
                 {&noSuper, TAVIIndexKind::OldIndex},
                 {&noIndex, TAVIIndexKind::Scan}};
    for (const auto& c : cases) {
        TAVIReader reader(MakeAVIMemorySource(*c.bytes));
        EXPECT_EQ(reader.IndexKind(), c.kind);
        EXPECT_EQ(reader.Length(0), 4);
        EXPECT_EQ(reader.Length(1), 4 * 320);
        auto decompressor = TAVIDecompressor::Open(reader, 0, nullptr);
        ASSERT_NE(decompressor, nullptr);
        EXPECT_NE(decompressor->GetFrame(3), nullptr);
        EXPECT_EQ(decompressor->GetFrame(4), nullptr);
        Feed(*c.bytes);
    }
}

TEST_F(AVIFuzzReplay, EveryTruncationIsSafe) {
    for (size_t size = 0; size < sound->size(); size += size < 1024 ? 1 : 61)
        Feed(std::vector<uint8_t>(sound->begin(), sound->begin() + static_cast<long>(size)));
}

TEST_F(AVIFuzzReplay, SizesAndCountsSetToExtremesAreSafe) {
    // Every 32-bit field of the headers and indexes in turn.
    for (size_t at = 4; at + 4 <= sound->size(); at += 4) {
        if (at > 2048 && at < Find(*sound, "movi"))
            continue; // the reserved super index slots hold only zeros
        for (const uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
            std::vector<uint8_t> bytes = *sound;
            std::memcpy(&bytes[at], &value, 4);
            Feed(bytes);
        }
    }
}

TEST_F(AVIFuzzReplay, RandomByteDamageIsSafe) {
    std::mt19937 random(1234);
    for (int run = 0; run < 300; ++run) {
        std::vector<uint8_t> bytes = *sound;
        for (int flips = 1 + run % 8; flips > 0; --flips)
            bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
        Feed(bytes);
    }
}

// A super index that lists one standard index thousands of times must not
// make the reader build an index far larger than the file.
TEST_F(AVIFuzzReplay, ARepeatedStandardIndexIsRefused) {
    std::vector<uint8_t> bytes = *sound;
    const size_t indx = Find(bytes, "indx");
    const uint32_t slots = (static_cast<uint32_t>(bytes[indx + 4]) | bytes[indx + 5] << 8 |
                            bytes[indx + 6] << 16 | static_cast<uint32_t>(bytes[indx + 7]) << 24) -
                           24;
    const uint32_t count = slots / 16;
    std::memcpy(&bytes[indx + 8 + 4], &count, 4);
    for (uint32_t i = 1; i < count; ++i)
        std::memcpy(&bytes[indx + 8 + 24 + 16 * i], &bytes[indx + 8 + 24], 16);
    TAVIReader reader(MakeAVIMemorySource(bytes));
    EXPECT_EQ(reader.IndexKind(), TAVIIndexKind::OldIndex);
    EXPECT_EQ(reader.Length(0), 4);
}

} // namespace
