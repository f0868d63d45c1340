#pragma once
// The compressors' picture conversion: 32-bit BGR rows (the fourth byte is
// ignored) to planar YUV 4:2:0 with the BT.601 coefficients, in full (JPEG)
// or limited range; each chroma sample is the mean of its 2 x 2 block.
// swscale has no fast path for this direction and costs about twice as much.

#include <cstddef>
#include <cstdint>

struct TYuv420Planes {
    uint8_t* Data[3];  // Y, U (Cb), V (Cr)
    int32_t Stride[3]; // bytes from one row to the next
};

// width and height must be even; rowBytes may be negative (bottom-up rows,
// top row first).
void BgrToYuv420(const uint8_t* topRow, ptrdiff_t rowBytes, int32_t width, int32_t height, bool isFullRange,
                 const TYuv420Planes& planes);
