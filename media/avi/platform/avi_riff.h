#pragma once
// The on-disk records of AVI files (RIFF, little-endian) shared by our reader
// and writer. Layouts are those of the AVI and OpenDML formats, byte for byte.

#include <cstdint>
#include <stdexcept>
#include <string>

constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

inline uint32_t FourCCFromText(const std::string& text) {
    char c[4] = {' ', ' ', ' ', ' '};
    for (size_t i = 0; i < 4 && i < text.size(); ++i)
        c[i] = text[i];
    return MakeFourCC(c[0], c[1], c[2], c[3]);
}

inline std::string FourCCText(uint32_t code) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i)
        text[i] = static_cast<char>((code >> (8 * i)) & 0xFF);
    return text;
}

constexpr uint32_t FourCCVideo = MakeFourCC('v', 'i', 'd', 's');
constexpr uint32_t FourCCAudio = MakeFourCC('a', 'u', 'd', 's');

// Flag of an index entry: the chunk starts a key frame.
constexpr uint32_t AVIIndexKeyFrame = 0x10;

#pragma pack(push, 1)
struct TAVIMainHeader { // "avih"
    uint32_t dwMicroSecPerFrame;
    uint32_t dwMaxBytesPerSec;
    uint32_t dwPaddingGranularity;
    uint32_t dwFlags;
    uint32_t dwTotalFrames;
    uint32_t dwInitialFrames;
    uint32_t dwStreams;
    uint32_t dwSuggestedBufferSize;
    uint32_t dwWidth;
    uint32_t dwHeight;
    uint32_t dwReserved[4];
};
static_assert(sizeof(TAVIMainHeader) == 56);

struct TAVIStreamHeader { // "strh"
    uint32_t fccType;
    uint32_t fccHandler;
    uint32_t dwFlags;
    uint16_t wPriority;
    uint16_t wLanguage;
    uint32_t dwInitialFrames;
    uint32_t dwScale;
    uint32_t dwRate;
    uint32_t dwStart;
    uint32_t dwLength;
    uint32_t dwSuggestedBufferSize;
    uint32_t dwQuality;
    uint32_t dwSampleSize;
    int16_t rcLeft;
    int16_t rcTop;
    int16_t rcRight;
    int16_t rcBottom;
};
static_assert(sizeof(TAVIStreamHeader) == 56);

// WAVEFORMATEX; cbSize extra bytes follow it in a format block.
struct TWaveFormatEx {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};
static_assert(sizeof(TWaveFormatEx) == 18);
#pragma pack(pop)

constexpr uint16_t WaveFormatPCM = 0x0001;
constexpr uint16_t WaveFormatMSADPCM = 0x0002;
constexpr uint16_t WaveFormatALaw = 0x0006;
constexpr uint16_t WaveFormatMuLaw = 0x0007;
constexpr uint16_t WaveFormatIMAADPCM = 0x0011;
constexpr uint16_t WaveFormatExtensible = 0xFFFE;
constexpr uint16_t WaveFormatMP3 = 0x0055;

// Raised by the reader and writer for a file they cannot take or make.
class TAVIFormatError : public std::runtime_error {
public:
    explicit TAVIFormatError(const std::string& message) : std::runtime_error(message) {}
};
