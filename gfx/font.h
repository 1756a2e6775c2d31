// The built-in code-page-437 8x16 font: 256 glyphs of 16 bytes, one byte per
// pixel row from the top, bit 0 the leftmost pixel.
#pragma once

#include <cstdint>

extern const uint8_t font_8x16[256 * 16];
