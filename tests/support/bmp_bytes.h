#pragma once
// BMP files made byte by byte, so tests control every header field, including
// values no sound writer produces. Pixels are given top-down as 0xAARRGGBB
// (blue in the low byte); 24-bit files drop the top byte.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Byte offsets of the header fields inside a BMP file.
namespace BMPField {
inline constexpr size_t FileSize = 2;
inline constexpr size_t PixelOffset = 10;
inline constexpr size_t InfoSize = 14;
inline constexpr size_t Width = 18;
inline constexpr size_t Height = 22;
inline constexpr size_t Planes = 26;
inline constexpr size_t BitCount = 28;
inline constexpr size_t Compression = 30;
inline constexpr size_t SizeImage = 34;
inline constexpr size_t ClrUsed = 46;
} // namespace BMPField

using TPixelFunction = std::function<uint32_t(int32_t x, int32_t y)>;

// A well-formed uncompressed bottom-up BMP file of 24 or 32 bits per pixel,
// rows padded to 4 bytes, pixel data at offset 54.
std::vector<uint8_t> MakeBMPBytes(int32_t width, int32_t height, uint16_t bitCount,
                                  const TPixelFunction& pixel);

void PutLE16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value);
void PutLE32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);
uint32_t GetLE32(const std::vector<uint8_t>& bytes, size_t offset);

// A 25 fps sequence as the BMP backend reads it: `frames` 16 x 16 pictures
// named prefix0000.bmp, prefix0001.bmp, ... (each a different colour);
// returns the first file's name.
std::string WriteBMPSequence(const std::string& prefix, int32_t frames);

// Writes bytes to path, replacing the file; throws std::runtime_error on failure.
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);

// A 32-bit pixel that encodes a frame number and a position, distinct for
// every (frame < 256, x < 256, y < 256) and with a meaningful fourth byte.
uint32_t FramePixel(int32_t frame, int32_t x, int32_t y);

// Top-down frame buffer (4 bytes per pixel) filled from pixel.
std::vector<uint8_t> MakeFrame(int32_t width, int32_t height, const TPixelFunction& pixel);
