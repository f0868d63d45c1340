#pragma once
// Reading one BMP file into the media interface's 32-bit bitmap block.
//
// Only uncompressed bottom-up 24- and 32-bit pictures with a 40-byte
// information header load. Every size the headers promise is checked against
// the real length of the file before anything frame-sized is allocated or
// read, so a corrupt or hostile file is refused instead of trusted: no
// allocation beyond what the file can fill, no read past its end.

#include "media/av_file.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

// What the headers of a loadable file promise, after validation.
struct TBMPLayout {
    TBitmapInfoHeader Info; // as stored in the file
    uint32_t PixelOffset;   // file offset of the first stored (bottom) row
    uint32_t FileRowBytes;  // stored bytes per row, padding included
    uint32_t BlockBytes;    // 40 + width * 4 * height: the bitmap block it loads into
};

// Largest width * 4 * height accepted. Keeps the bitmap block, biSizeImage and
// the size field of a written file header (54 + pixels) inside 32-bit signed
// range.
inline constexpr uint32_t MaxBMPPixelBytes = 0x7FFFFFFF - 54;

// Reads and validates both headers of file (opened for binary reading; any
// stream that can seek, a memory stream included). Returns nothing when the
// file is not a loadable BMP. Moves the file position.
std::optional<TBMPLayout> ReadBMPLayout(std::FILE* file);

// Reads the pixels layout describes into block (layout.BlockBytes bytes): the
// information header with biBitCount 32 and biSizeImage width * 4 * height,
// then the rows bottom-up, 4 bytes per pixel. A 24-bit pixel gets a fourth
// byte of 0xFF when it equals the first stored (bottom-left) pixel, the key
// colour, else 0x00. rowBuffer is scratch the caller keeps across calls.
// Returns false on a short read; the block content is then unspecified.
bool ReadBMPPixels(std::FILE* file, const TBMPLayout& layout, uint8_t* block,
                   std::vector<uint8_t>& rowBuffer);
