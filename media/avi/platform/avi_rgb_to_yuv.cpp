#include "media/avi/platform/avi_rgb_to_yuv.h"

#include <algorithm>

namespace {

// Fixed point with 16 fraction bits: luma of one pixel, chroma of the sum of
// four (hence 18 bits there).
struct TCoefficients {
    int32_t YR, YG, YB, YOffset;
    int32_t UR, UG, UB;
    int32_t VR, VG, VB;
};

constexpr TCoefficients FullRange{19595, 38470, 7471, 0, -11059, -21709, 32768, 32768, -27439, -5329};
constexpr TCoefficients LimitedRange{16829, 33039, 6416, 16, -9714, -19070, 28784, 28784, -24103, -4681};

void ConvertRows(const uint8_t* top, const uint8_t* bottom, int32_t width, const TCoefficients& c,
                 uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v) {
    const int32_t yRound = (c.YOffset << 16) + (1 << 15);
    for (int32_t x = 0; x < width; ++x) {
        y0[x] = static_cast<uint8_t>(
            (c.YR * top[4 * x + 2] + c.YG * top[4 * x + 1] + c.YB * top[4 * x] + yRound) >> 16);
        y1[x] = static_cast<uint8_t>(
            (c.YR * bottom[4 * x + 2] + c.YG * bottom[4 * x + 1] + c.YB * bottom[4 * x] + yRound) >> 16);
    }
    constexpr int32_t chromaRound = (128 << 18) + (1 << 17);
    for (int32_t x = 0; x < width / 2; ++x) {
        const int32_t b = top[8 * x] + top[8 * x + 4] + bottom[8 * x] + bottom[8 * x + 4];
        const int32_t g = top[8 * x + 1] + top[8 * x + 5] + bottom[8 * x + 1] + bottom[8 * x + 5];
        const int32_t r = top[8 * x + 2] + top[8 * x + 6] + bottom[8 * x + 2] + bottom[8 * x + 6];
        // Pure blue or red rounds up to 256 in full range.
        u[x] = static_cast<uint8_t>(std::min((c.UR * r + c.UG * g + c.UB * b + chromaRound) >> 18, 255));
        v[x] = static_cast<uint8_t>(std::min((c.VR * r + c.VG * g + c.VB * b + chromaRound) >> 18, 255));
    }
}

} // namespace

void BgrToYuv420(const uint8_t* topRow, ptrdiff_t rowBytes, int32_t width, int32_t height, bool isFullRange,
                 const TYuv420Planes& planes) {
    const TCoefficients& c = isFullRange ? FullRange : LimitedRange;
    for (int32_t row = 0; row + 1 < height; row += 2) {
        const uint8_t* top = topRow + row * rowBytes;
        uint8_t* y0 = planes.Data[0] + static_cast<ptrdiff_t>(row) * planes.Stride[0];
        ConvertRows(top, top + rowBytes, width, c, y0, y0 + planes.Stride[0],
                    planes.Data[1] + static_cast<ptrdiff_t>(row / 2) * planes.Stride[1],
                    planes.Data[2] + static_cast<ptrdiff_t>(row / 2) * planes.Stride[2]);
    }
}
