#include "media/bmp/bmp_reader.h"

#include <cstring>

namespace {

constexpr uint32_t FileHeaderBytes = 14;
constexpr uint32_t InfoHeaderBytes = 40;

uint16_t Little16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t Little32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

TBitmapInfoHeader DecodeInfoHeader(const uint8_t* bytes) {
    TBitmapInfoHeader info;
    info.biSize = Little32(bytes);
    info.biWidth = static_cast<int32_t>(Little32(bytes + 4));
    info.biHeight = static_cast<int32_t>(Little32(bytes + 8));
    info.biPlanes = Little16(bytes + 12);
    info.biBitCount = Little16(bytes + 14);
    info.biCompression = Little32(bytes + 16);
    info.biSizeImage = Little32(bytes + 20);
    info.biXPelsPerMeter = static_cast<int32_t>(Little32(bytes + 24));
    info.biYPelsPerMeter = static_cast<int32_t>(Little32(bytes + 28));
    info.biClrUsed = Little32(bytes + 32);
    info.biClrImportant = Little32(bytes + 36);
    return info;
}

std::optional<uint64_t> StreamLength(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0)
        return std::nullopt;
    const long end = std::ftell(file);
    if (end < 0 || std::fseek(file, 0, SEEK_SET) != 0)
        return std::nullopt;
    return static_cast<uint64_t>(end);
}

bool ReadExactly(std::FILE* file, void* target, size_t bytes) {
    return std::fread(target, 1, bytes, file) == bytes;
}

bool Has24Or32Bits(const TBitmapInfoHeader& info) {
    return info.biBitCount == 24 || info.biBitCount == 32;
}

// The sizes checked here are the ones a hostile file would use to make us
// allocate or read what is not there.
std::optional<TBMPLayout> CheckedLayout(const TBitmapInfoHeader& info, uint32_t pixelOffset,
                                        uint64_t fileBytes) {
    if (info.biSize != InfoHeaderBytes || info.biPlanes != 1 || !Has24Or32Bits(info) ||
        info.biCompression != 0)
        return std::nullopt;
    // Top-down pictures (negative height) are not ours to load.
    if (info.biWidth <= 0 || info.biHeight <= 0)
        return std::nullopt;
    const uint64_t width = static_cast<uint32_t>(info.biWidth);
    const uint64_t height = static_cast<uint32_t>(info.biHeight);
    if (width * 4 > MaxBMPPixelBytes / height)
        return std::nullopt;
    const uint64_t fileRowBytes = (width * (info.biBitCount / 8) + 3) / 4 * 4;
    if (pixelOffset < FileHeaderBytes + InfoHeaderBytes || pixelOffset > fileBytes)
        return std::nullopt;
    const uint64_t available = fileBytes - pixelOffset;
    if (fileRowBytes * height > available)
        return std::nullopt;
    // biSizeImage may be 0 for uncompressed files; a larger claim than the
    // file holds marks it as cut short or forged.
    if (info.biSizeImage > available)
        return std::nullopt;
    return TBMPLayout{info, pixelOffset, static_cast<uint32_t>(fileRowBytes),
                      static_cast<uint32_t>(InfoHeaderBytes + width * 4 * height)};
}

void ExpandKeyedRow(const uint8_t* source, uint8_t* target, uint32_t width, const uint8_t key[3]) {
    for (uint32_t x = 0; x < width; ++x, source += 3, target += 4) {
        target[0] = source[0];
        target[1] = source[1];
        target[2] = source[2];
        target[3] = (source[0] == key[0] && source[1] == key[1] && source[2] == key[2]) ? 0xFF : 0x00;
    }
}

bool Read24BitRows(std::FILE* file, const TBMPLayout& layout, uint8_t* pixels,
                   std::vector<uint8_t>& rowBuffer) {
    const auto width = static_cast<uint32_t>(layout.Info.biWidth);
    const auto height = static_cast<uint32_t>(layout.Info.biHeight);
    rowBuffer.resize(layout.FileRowBytes);
    uint8_t key[3] = {0, 0, 0};
    for (uint32_t row = 0; row < height; ++row) {
        if (!ReadExactly(file, rowBuffer.data(), layout.FileRowBytes))
            return false;
        if (row == 0)
            std::memcpy(key, rowBuffer.data(), 3);
        ExpandKeyedRow(rowBuffer.data(), pixels + static_cast<size_t>(row) * width * 4, width, key);
    }
    return true;
}

} // namespace

std::optional<TBMPLayout> ReadBMPLayout(std::FILE* file) {
    const auto fileBytes = StreamLength(file);
    if (!fileBytes)
        return std::nullopt;
    uint8_t headers[FileHeaderBytes + InfoHeaderBytes];
    if (!ReadExactly(file, headers, sizeof headers) || headers[0] != 'B' || headers[1] != 'M')
        return std::nullopt;
    return CheckedLayout(DecodeInfoHeader(headers + FileHeaderBytes), Little32(headers + 10), *fileBytes);
}

bool ReadBMPPixels(std::FILE* file, const TBMPLayout& layout, uint8_t* block,
                   std::vector<uint8_t>& rowBuffer) {
    TBitmapInfoHeader info = layout.Info;
    info.biBitCount = 32;
    info.biSizeImage = layout.BlockBytes - InfoHeaderBytes;
    std::memcpy(block, &info, sizeof info);
    if (std::fseek(file, static_cast<long>(layout.PixelOffset), SEEK_SET) != 0)
        return false;
    uint8_t* pixels = block + InfoHeaderBytes;
    if (layout.Info.biBitCount == 32)
        return ReadExactly(file, pixels, info.biSizeImage);
    return Read24BitRows(file, layout, pixels, rowBuffer);
}
