#include "tests/support/bmp_bytes.h"

#include <cstdio>

#include <fstream>
#include <iterator>
#include <stdexcept>

void PutLE16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
    bytes.at(offset) = static_cast<uint8_t>(value);
    bytes.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

void PutLE32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i)
        bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLE32(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(bytes.at(offset + i)) << (8 * i);
    return value;
}

std::vector<uint8_t> MakeBMPBytes(int32_t width, int32_t height, uint16_t bitCount,
                                  const TPixelFunction& pixel) {
    const size_t bytesPerPixel = bitCount / 8;
    const size_t rowBytes = (static_cast<size_t>(width) * bytesPerPixel + 3) / 4 * 4;
    const size_t imageBytes = rowBytes * static_cast<size_t>(height);
    std::vector<uint8_t> bytes(54 + imageBytes, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    PutLE32(bytes, BMPField::FileSize, static_cast<uint32_t>(bytes.size()));
    PutLE32(bytes, BMPField::PixelOffset, 54);
    PutLE32(bytes, BMPField::InfoSize, 40);
    PutLE32(bytes, BMPField::Width, static_cast<uint32_t>(width));
    PutLE32(bytes, BMPField::Height, static_cast<uint32_t>(height));
    PutLE16(bytes, BMPField::Planes, 1);
    PutLE16(bytes, BMPField::BitCount, bitCount);
    PutLE32(bytes, BMPField::SizeImage, static_cast<uint32_t>(imageBytes));
    for (int32_t storedRow = 0; storedRow < height; ++storedRow) {
        const int32_t y = height - 1 - storedRow;
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t value = pixel(x, y);
            uint8_t* target = &bytes[54 + storedRow * rowBytes + x * bytesPerPixel];
            for (size_t i = 0; i < bytesPerPixel; ++i)
                target[i] = static_cast<uint8_t>(value >> (8 * i));
        }
    }
    return bytes;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("could not write " + path);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("could not read " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

uint32_t FramePixel(int32_t frame, int32_t x, int32_t y) {
    return static_cast<uint32_t>((frame ^ 0x5A) & 0xFF) << 24 | static_cast<uint32_t>(frame & 0xFF) << 16 |
           static_cast<uint32_t>(y & 0xFF) << 8 | static_cast<uint32_t>(x & 0xFF);
}

std::vector<uint8_t> MakeFrame(int32_t width, int32_t height, const TPixelFunction& pixel) {
    std::vector<uint8_t> frame(static_cast<size_t>(width) * 4 * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (size_t i = 0; i < 4; ++i)
                frame[(static_cast<size_t>(y) * width + x) * 4 + i] =
                    static_cast<uint8_t>(pixel(x, y) >> (8 * i));
    return frame;
}

std::string WriteBMPSequence(const std::string& prefix, int32_t frames) {
    for (int32_t frame = 0; frame < frames; ++frame) {
        char number[16];
        std::snprintf(number, sizeof number, "%04d", frame);
        WriteBytes(prefix + number + ".bmp",
                   MakeBMPBytes(16, 16, 32, [frame](int32_t, int32_t) { return 0xFF000000u | frame; }));
    }
    return prefix + "0000.bmp";
}
