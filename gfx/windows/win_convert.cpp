// Row converters from the 16-bit picture to the display's pixel format, with
// the two lookup tables used for 24- and 32-bit displays. See win_convert.h.
#include "gfx/windows/win_convert.h"

#include <algorithm>
#include <cstring>

namespace {

// 32-bit values of a pixel's low and high byte; their OR is the converted pixel.
uint32_t low_byte_table[256];
uint32_t high_byte_table[256];

// Fill the lookup tables: red to bits 23-19, green to 15-10, blue to 7-3 (swapped when blue first).
void build_lookup_tables(bool blue_first) {
  const int red_shift = blue_first ? 3 : 19;
  const int blue_shift = blue_first ? 19 : 3;
  for (uint32_t b = 0; b < 256; ++b) {
    low_byte_table[b] = ((b & 0x1F) << blue_shift) | (((b >> 5) & 7) << 10);
    high_byte_table[b] = (((b >> 3) & 0x1F) << red_shift) | ((b & 7) << 13);
  }
}

// Return the output lines per pixel row of a source (at least 1).
int32_t lines_per_row(const RowSource& source) { return std::max(source.line_multiplier, 1); }

// Call `convert_row(source_row, target_line)` for each dirty output line.
template <typename Convert>
void for_each_dirty_line(const RowSource& source, uint8_t* target, int32_t pitch, Convert convert_row) {
  const int32_t repeat = lines_per_row(source);
  for (int32_t y = 0; y < source.height; ++y) {
    for (int32_t k = 0; k < repeat; ++k) {
      const int32_t line = y * repeat + k;
      if (source.dirty[line] != 0) convert_row(source.rows[y], target + static_cast<intptr_t>(line) * pitch);
    }
  }
}

// Read the 16-bit pixel x of a row (rows need not be aligned).
inline uint16_t read16(const uint8_t* row, int32_t x) {
  uint16_t p;
  std::memcpy(&p, row + x * 2, 2);
  return p;
}

// Write a 16-bit pixel x of a row.
inline void write16(uint8_t* row, int32_t x, uint16_t p) { std::memcpy(row + x * 2, &p, 2); }

// Copy the dirty rows unchanged (display of the picture's own format).
template <int32_t BytesPerPixel>
void copy_rows(const RowSource& source, uint8_t* target, int32_t pitch) {
  const size_t bytes = static_cast<size_t>(source.width) * BytesPerPixel;
  for_each_dirty_line(source, target, pitch,
                     [bytes](const uint8_t* from, uint8_t* to) { std::memcpy(to, from, bytes); });
}

// Convert the dirty rows to 15-bit RGB.
void rows_to_15(const RowSource& source, uint8_t* target, int32_t pitch) {
  const int32_t width = source.width;
  for_each_dirty_line(source, target, pitch, [width](const uint8_t* from, uint8_t* to) {
    for (int32_t x = 0; x < width; ++x) write16(to, x, pixel_to_15(read16(from, x)));
  });
}

// Convert the dirty rows to 16-bit BGR by swapping the red and blue fields.
void rows_to_bgr16(const RowSource& source, uint8_t* target, int32_t pitch) {
  const int32_t width = source.width;
  for_each_dirty_line(source, target, pitch, [width](const uint8_t* from, uint8_t* to) {
    for (int32_t x = 0; x < width; ++x) {
      const uint16_t p = read16(from, x);
      write16(to, x, static_cast<uint16_t>(((p & 0x1F) << 11) | (p & 0x7E0) | (p >> 11)));
    }
  });
}

// Convert the dirty rows to 3-byte pixels through the lookup tables.
void rows_to_24(const RowSource& source, uint8_t* target, int32_t pitch) {
  const int32_t width = source.width;
  for_each_dirty_line(source, target, pitch, [width](const uint8_t* from, uint8_t* to) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t v = pixel_to_32(read16(from, x));
      to[x * 3] = static_cast<uint8_t>(v);
      to[x * 3 + 1] = static_cast<uint8_t>(v >> 8);
      to[x * 3 + 2] = static_cast<uint8_t>(v >> 16);
    }
  });
}

// Convert the dirty rows to 4-byte pixels through the lookup tables.
void rows_to_32(const RowSource& source, uint8_t* target, int32_t pitch) {
  const int32_t width = source.width;
  for_each_dirty_line(source, target, pitch, [width](const uint8_t* from, uint8_t* to) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t v = pixel_to_32(read16(from, x));
      std::memcpy(to + x * 4, &v, 4);
    }
  });
}

}  // namespace

DisplayFormat classify_display(int32_t bits, uint32_t red_mask, uint32_t green_mask) {
  switch (bits) {
    case 8:
      return DisplayFormat::palette8;
    case 15:
      return DisplayFormat::rgb15;
    case 16:
      if (green_mask == 0x3E0) return DisplayFormat::rgb15;
      return red_mask == 0x1F ? DisplayFormat::bgr16 : DisplayFormat::rgb16;
    case 24:
      return red_mask == 0xFF ? DisplayFormat::bgr24 : DisplayFormat::rgb24;
    case 32:
      return red_mask == 0xFF ? DisplayFormat::bgr32 : DisplayFormat::rgb32;
    default:
      return DisplayFormat::unknown;
  }
}

RowConverter choose_row_converter(int32_t source_depth, DisplayFormat format) {
  if (source_depth == 8) return format == DisplayFormat::palette8 ? copy_rows<1> : nullptr;
  if (source_depth == 32) return format == DisplayFormat::rgb32 ? copy_rows<4> : nullptr;
  if (source_depth != 16) return nullptr;
  switch (format) {
    case DisplayFormat::rgb15:
      return rows_to_15;
    case DisplayFormat::rgb16:
      return copy_rows<2>;
    case DisplayFormat::bgr16:
      return rows_to_bgr16;
    case DisplayFormat::rgb24:
    case DisplayFormat::rgb32:
      build_lookup_tables(false);
      return format == DisplayFormat::rgb24 ? rows_to_24 : rows_to_32;
    case DisplayFormat::bgr24:
    case DisplayFormat::bgr32:
      build_lookup_tables(true);
      return format == DisplayFormat::bgr24 ? rows_to_24 : rows_to_32;
    default:
      return nullptr;
  }
}

void convert_band(RowConverter convert, const RowSource& source, int32_t first, int32_t last, uint8_t* target,
                  int32_t pitch) {
  const int32_t repeat = lines_per_row(source);
  const int32_t first_row = std::max(first, 0) / repeat;
  const int32_t last_row = std::min(last / repeat, source.height - 1);
  if (first_row > last_row) return;
  // The band starts at a whole row; a band from dirty_band has no mark outside first..last.
  const RowSource band{source.rows + first_row, source.dirty + first_row * repeat, source.width,
                       last_row - first_row + 1, source.line_multiplier};
  convert(band, target + static_cast<intptr_t>(first_row) * repeat * pitch, pitch);
}

uint32_t pixel_to_32(uint16_t p) { return low_byte_table[p & 0xFF] | high_byte_table[p >> 8]; }
