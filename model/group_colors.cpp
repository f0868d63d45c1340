#include "model/group_colors.h"

namespace {

constexpr TColor FromRgb(uint32_t rrggbb) {
    return ((rrggbb & 0xFF) << 16) | (rrggbb & 0xFF00) | ((rrggbb >> 16) & 0xFF);
}

constexpr TColor ColorMask = 0xFFFFFF;

} // namespace

// Written as RRGGBB, the way people read colours, and stored as 0x00BBGGRR;
// eight entries per row.
// clang-format off
const std::array<TColor, GroupColorPaletteSize> GroupColorPalette = {
    FromRgb(0x000000), FromRgb(0x400000), FromRgb(0x800000), FromRgb(0x804040),
    FromRgb(0xFF0000), FromRgb(0xFF8080), FromRgb(0x808000), FromRgb(0x804000),

    FromRgb(0xFF8000), FromRgb(0xFF8040), FromRgb(0xFFFF00), FromRgb(0xFFFF80),
    FromRgb(0x808040), FromRgb(0x004000), FromRgb(0x008000), FromRgb(0x00FF00),

    FromRgb(0x80FF00), FromRgb(0x80FF80), FromRgb(0x808080), FromRgb(0x004040),
    FromRgb(0x008040), FromRgb(0x008080), FromRgb(0x00FF40), FromRgb(0x00FF80),

    FromRgb(0x408080), FromRgb(0x000080), FromRgb(0x0000FF), FromRgb(0x004080),
    FromRgb(0x00FFFF), FromRgb(0x80FFFF), FromRgb(0xC0C0C0), FromRgb(0x000040),

    FromRgb(0x0000A0), FromRgb(0x8080FF), FromRgb(0x0080C0), FromRgb(0x0080FF),
    FromRgb(0x400040), FromRgb(0x400040), FromRgb(0x800080), FromRgb(0x800040),

    FromRgb(0x8080C0), FromRgb(0xFF80C0), FromRgb(0xFFFFFF), FromRgb(0x400080),
    FromRgb(0x8000FF), FromRgb(0xFF0080), FromRgb(0xFF00FF), FromRgb(0xFF80FF),
};
// clang-format on

TColor GroupIndexToColor(int32_t groupIndex) {
    if (groupIndex < 0)
        return 0;
    if (groupIndex < GroupColorPaletteSize)
        return GroupColorPalette[groupIndex];
    return static_cast<TColor>(groupIndex - GroupColorPaletteSize) & ColorMask;
}

int32_t ColorToGroupIndex(TColor color) {
    color &= ColorMask;
    for (int32_t index = 0; index < GroupColorPaletteSize; ++index)
        if (GroupColorPalette[index] == color)
            return index;
    return static_cast<int32_t>(color) + GroupColorPaletteSize;
}
