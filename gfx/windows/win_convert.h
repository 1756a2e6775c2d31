// Row converters: copy the changed output lines of the picture into a display
// surface of another pixel format.
//
// Free of any window-system type, so the conversions can be checked on any
// platform. The 5-6-5 picture converts to 15-bit, 16-bit RGB or BGR, 24 and
// 32 bits; an 8-bit or 32-bit picture goes unchanged to a display of its depth.
#pragma once

#include <cstdint>

// The pixel layouts a display surface can have.
enum class DisplayFormat {
  palette8,  // 8 bits through a palette
  rgb15,     // x-5-5-5, red in bits 14-10
  rgb16,     // 5-6-5, red in bits 15-11
  bgr16,     // 5-6-5, blue in bits 15-11
  rgb24,     // 3 bytes, red in bits 23-16
  bgr24,     // 3 bytes, blue in bits 23-16
  rgb32,     // 4 bytes, red in bits 23-16
  bgr32,     // 4 bytes, blue in bits 23-16
  unknown,
};

// The picture's rows as a converter reads them. Each pixel row shows as
// `line_multiplier` output lines: row y as lines y * m to y * m + m - 1.
struct RowSource {
  uint8_t* const* rows;     // start of each pixel row (the screen's row table)
  uint8_t* dirty;           // one mark per output line; converted lines are not cleared here
  int32_t width;            // pixels per row
  int32_t height;           // pixel rows
  int32_t line_multiplier;  // output lines per pixel row
};

// Convert every dirty output line of `source` into `target`, whose lines are `pitch` bytes apart.
using RowConverter = void (*)(const RowSource& source, uint8_t* target, int32_t pitch);

// Classify a display by its bits per pixel and its red and green masks.
DisplayFormat classify_display(int32_t bits, uint32_t red_mask, uint32_t green_mask);

// Return the converter from a picture of `source_depth` bits to `format`, or nullptr.
RowConverter choose_row_converter(int32_t source_depth, DisplayFormat format);

// Convert the dirty lines of the pixel rows that the band of output lines first..last covers
// (as dirty_band finds it) into `target`, the target line of output line 0.
void convert_band(RowConverter convert, const RowSource& source, int32_t first, int32_t last, uint8_t* target,
                  int32_t pitch);

// Convert one 5-6-5 pixel to 5-5-5 by dropping the lowest green bit.
constexpr uint16_t pixel_to_15(uint16_t p) { return static_cast<uint16_t>((p & 0x1F) | ((p >> 1) & 0x7FE0)); }

// Convert one 5-6-5 pixel to 32 bits through the lookup tables of the chosen format.
uint32_t pixel_to_32(uint16_t p);
