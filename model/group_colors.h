#pragma once
// The colour code (`GroupIndex`) of event types: 0-47 pick an entry of the
// fixed palette, v >= 48 stands for the colour v - 48, negative means none.
//
// Colours are 0x00BBGGRR: red in the low byte, blue in the third byte.

#include <array>
#include <cstdint>

using TColor = uint32_t;

constexpr int32_t GroupColorPaletteSize = 48;
constexpr int32_t NoGroupIndex = -1;

// Entries 36 and 37 are the same colour.
extern const std::array<TColor, GroupColorPaletteSize> GroupColorPalette;

// The colour of a code. Negative codes have no colour: callers test for them
// first; they get black here. Codes beyond the 24-bit colour range keep their
// low 24 bits.
TColor GroupIndexToColor(int32_t groupIndex);

// The first palette index with this colour, else the colour + 48. Only the
// low 24 bits of `color` count (an alpha byte is ignored).
int32_t ColorToGroupIndex(TColor color);
