// Text in graphics mode: the grid of 8x16 cells, the cursor, the colours, the
// text window and print_to_screen, the sink of the screen channel.
//
// Glyphs are painted whole (set bits in the foreground colour, clear bits in
// the background colour) straight into the rows, ignoring the viewport; at 16
// bits a pixel each glyph row is one 16-byte store from a table of the font
// in the colour pair. A print that ends inside its text row skips the layout.
// Scrolling rotates row pointers; no pixel is copied. A row filled to its
// last cell in the window's bottom row leaves the scroll pending until the
// next print, which a locate cancels. The background of the row a scroll
// frees is owed rather than written: glyphs painted from its left edge on
// cover their cells of it, and the rest is written when the print ends, or,
// on a screen without lock, when anything else needs the pixels (another
// scroll, a print that would leave a gap in the row, lock_screen). On such a
// screen the glyphs themselves are held back too: each cell keeps the last
// glyph printed there and its colours, and is painted only when someone takes
// the lock for its rows; a row that scrolls out of the window drops its held
// glyphs unpainted. A glyph covers its whole cell, so the picture is the one
// painting at once would give. The text
// state (colours, cursor, window, pending scroll, owed fill, held glyphs) lives in the
// screen record; the layer registers itself with the screen, which then
// routes the screen channel here while a screen is open.
#include "gfx/text.h"

#include <algorithm>
#include <array>
#include <new>
#include <cstring>

#include "gfx/driver.h"
#include "gfx/pixels.h"
#include "runtime/print.h"
#include "runtime/program.h"

namespace {

constexpr int32_t RUN_LIMIT = 256;     // printable bytes drawn at once
constexpr int32_t TAB_WIDTH = 8;
constexpr int32_t REPEAT_LEAST = 8;    // glyphs of one byte painted as a run rather than in pairs
constexpr int32_t FORCE_BOOKKEEPING = 8;  // flags bit 3: act even on an empty print
constexpr int32_t CONSOLE_COLUMNS = 80;   // the text grid while no screen is open
constexpr int32_t CONSOLE_ROWS = 25;
// The bytes that lay_out_byte acts on (bell, backspace, tab, line feed, carriage return), as bits.
constexpr uint32_t CONTROL_CODES = (1u << 7) | (1u << 8) | (1u << 9) | (1u << 10) | (1u << 13);

// The working state of one print.
struct Layout {
  GraphicsScreen& screen;
  int32_t left, right, top, bottom;  // the text window, cells from 0
  int32_t cx, cy;                    // the cursor
  int32_t band_first, band_last;     // pixel rows changed; empty while first > last
};

// Eight 16-bit pixels of one font byte in one colour pair, as two 64-bit words.
struct GlyphRow {
  uint64_t left;
  uint64_t right;
};

// The 256 font bytes expanded for one colour pair.
struct ColourTable {
  std::array<GlyphRow, 256> rows{};
};

constexpr uint64_t NO_PAIR = uint64_t{1} << 32;  // the key of a table not built yet

std::array<ColourTable, 4> colour_tables;  // the most recent colour pairs
// The pair of each table, (foreground << 16) | background (16-bit pixels), side by side so
// that a look-up reads one cache line; NO_PAIR before the table is built.
std::array<uint64_t, 4> table_pairs = {NO_PAIR, NO_PAIR, NO_PAIR, NO_PAIR};
size_t next_table = 0;  // the table replaced on a miss

// Return four pixels of a nibble: pixel i (bit i of the nibble) in bits 16i..16i+15.
constexpr uint64_t nibble_mask(uint32_t nibble) {
  uint64_t mask = 0;
  for (uint32_t i = 0; i < 4; ++i) {
    if (nibble & (1u << i)) mask |= 0xFFFFull << (16 * i);
  }
  return mask;
}

// Fill a table with every font byte painted in a colour pair.
void build_table(ColourTable& table, uint32_t foreground, uint32_t background) {
  uint64_t fg = (foreground & 0xFFFF) * 0x0001000100010001ull;
  uint64_t bg = (background & 0xFFFF) * 0x0001000100010001ull;
  for (uint32_t b = 0; b < 256; ++b) {
    uint64_t low = nibble_mask(b & 15), high = nibble_mask(b >> 4);
    table.rows[b] = GlyphRow{(fg & low) | (bg & ~low), (fg & high) | (bg & ~high)};
  }
}

// Return the expanded font for a colour pair, building it when not at hand.
const ColourTable& colour_table(uint32_t foreground, uint32_t background) {
  const uint64_t pair = ((foreground & 0xFFFF) << 16) | (background & 0xFFFF);
  // Every table is looked at, without a branch on which one matches: prints that change
  // colours at random (the bits) would send such a branch the wrong way half the time.
  // The pairs differ from each other, so the sum is 1 + the index of the one that matches, or 0.
  size_t found = 0;
  for (size_t i = 0; i < colour_tables.size(); ++i) found += (i + 1) * (table_pairs[i] == pair);
  if (found != 0) return colour_tables[found - 1];
  ColourTable& table = colour_tables[next_table];
  table_pairs[next_table] = pair;
  next_table = (next_table + 1) % colour_tables.size();
  build_table(table, foreground, background);
  return table;
}

// Return whether a screen takes the 16-bit 8x16 paths: glyphs from the colour tables, owed fills.
bool fast_cells(const GraphicsScreen& screen) { return screen.bytes_per_pixel == 2 && screen.font_height == 16; }

// Write pixels x..width-1 of rows first..end-1 in one colour: the first row, then copies of it.
void fill_rows(const GraphicsScreen& s, int32_t first, int32_t end, int32_t x, uint32_t pixel) {
  if (first >= end) return;
  fill_run(s, first, x, s.width - 1, pixel);
  const size_t offset = static_cast<size_t>(x) * static_cast<size_t>(s.bytes_per_pixel);
  const size_t bytes = static_cast<size_t>(s.pitch) - offset;
  for (int32_t y = first + 1; y < end; ++y) std::memcpy(s.rows[y] + offset, s.rows[first] + offset, bytes);
}

// Write the background that a scroll left owed.
void pay_owed_fill(GraphicsScreen& s) {
  if (s.owed_fill_row < 0) return;
  fill_rows(s, s.owed_fill_row, s.owed_fill_row + s.font_height, s.owed_fill_x, s.owed_fill_pixel);
  s.owed_fill_row = -1;
}


// Owe the background of the text row at pixel row y instead of writing it.
void owe_fill(GraphicsScreen& s, int32_t y) {
  s.owed_fill_row = y;
  s.owed_fill_x = 0;
  s.owed_fill_pixel = s.background;
  s.drawing_owed = true;
}

void set_owed_fill_aside(GraphicsScreen& s);

// Take cells cx..cx+k-1 of text row cy for glyphs: the owed fill they cover is owed no longer;
// one they would leave a gap in is written (or held, before the glyphs) first.
void claim_cells(GraphicsScreen& s, int32_t cx, int32_t cy, int32_t k) {
  if (s.owed_fill_row != cy * 16) return;
  const int32_t x = cx * 8;
  if (x > s.owed_fill_x) {
    set_owed_fill_aside(s);
    return;
  }
  s.owed_fill_x = std::max(s.owed_fill_x, x + k * 8);
  if (s.owed_fill_x >= s.width) s.owed_fill_row = -1;
}

// Return whether a glyph is blank: every font row clear.
bool blank_glyph(const uint8_t* glyph) {
  uint64_t top, bottom;
  std::memcpy(&top, glyph, 8);
  std::memcpy(&bottom, glyph + 8, 8);
  return (top | bottom) == 0;
}

// Paint two glyphs in 16-bit 8x16 cells row by row: per pixel row one row lookup, then one
// 16-byte store per glyph. A blank glyph (BLANK_*) takes the background row without reading
// the font.
template <bool BLANK_FIRST, bool BLANK_SECOND>
void paint_pair(const ColourTable& table, uint8_t* const* rows, size_t offset, const uint8_t* first,
                const uint8_t* second) {
  const GlyphRow blank = table.rows[0];
  for (int32_t j = 0; j < 16; ++j) {
    uint8_t* out = rows[j] + offset;
    std::memcpy(out, BLANK_FIRST ? &blank : &table.rows[first[j]], 16);
    std::memcpy(out + 16, BLANK_SECOND ? &blank : &table.rows[second[j]], 16);
  }
}

// Paint one glyph in a 16-bit 8x16 cell, one 16-byte store per row.
void paint_one(const ColourTable& table, uint8_t* const* rows, size_t offset, const uint8_t* glyph) {
  for (int32_t j = 0; j < 16; ++j) std::memcpy(rows[j] + offset, &table.rows[glyph[j]], 16);
}

// Return whether k bytes (k >= 1) are all one byte.
bool one_byte_repeated(const unsigned char* bytes, int32_t k) {
  return std::memcmp(bytes, bytes + 1, static_cast<size_t>(k - 1)) == 0;
}

// Paint k copies of one glyph in 16-bit 8x16 cells: per pixel row one look-up, then k 16-byte stores.
void paint_repeated(const ColourTable& table, uint8_t* const* rows, size_t offset, const uint8_t* glyph,
                    int32_t k) {
  for (int32_t j = 0; j < 16; ++j) {
    const GlyphRow row = table.rows[glyph[j]];
    uint8_t* out = rows[j] + offset;
    int32_t i = 0;
    for (; i + 4 <= k; i += 4, out += 64) {
      std::memcpy(out, &row, 16);
      std::memcpy(out + 16, &row, 16);
      std::memcpy(out + 32, &row, 16);
      std::memcpy(out + 48, &row, 16);
    }
    for (; i < k; ++i, out += 16) std::memcpy(out, &row, 16);
  }
}

constexpr uint64_t HELD_GLYPH = uint64_t{1} << 63;  // set in every held cell, so that 0 is none

// Return whether a slot holds anything.
bool row_held(const HeldTextRow& row) { return row.first < row.end || row.fill_x >= 0; }

// Return the slot of text row cy: the text row whose pixel rows its buffers were at first.
size_t held_slot(const GraphicsScreen& s, int32_t cy) {
  const uint8_t* page = s.pages[static_cast<size_t>(s.work_page)].get();
  return static_cast<size_t>((s.rows[static_cast<size_t>(cy) * 16] - page) / s.pitch) / 16;
}

// Return whether the cells of a slot can be held: the table stands (made on first use).
bool held_table_ready(GraphicsScreen& s) {
  if (!s.held_glyphs.empty()) return true;
  try {
    s.held_glyphs.assign(static_cast<size_t>(s.text_rows) * static_cast<size_t>(s.text_columns), 0);
    s.held_text_rows.assign(static_cast<size_t>(s.text_rows), HeldTextRow{});
  } catch (const std::bad_alloc&) {
    s.held_glyphs.clear();
    return false;
  }
  return true;
}

// Hold k glyphs for cells cx..cx+k-1 of text row cy instead of painting them; false (nothing held)
// when the screen paints at once: someone else may look at it, it is locked, or no table.
bool hold_glyphs(GraphicsScreen& s, const unsigned char* bytes, int32_t k, int32_t cx, int32_t cy) {
  if (!s.lock_free || s.locked || !held_table_ready(s)) return false;
  const size_t slot = held_slot(s, cy);
  HeldTextRow& row = s.held_text_rows[slot];
  if (!row_held(row)) ++s.held_row_count;
  if (row.first >= row.end) {
    row.first = cx;
    row.end = cx + k;
  } else {
    row.first = std::min(row.first, cx);
    row.end = std::max(row.end, cx + k);
  }
  const uint64_t colours = HELD_GLYPH | (uint64_t{s.foreground & 0xFFFF} << 32) |
                           (uint64_t{s.background & 0xFFFF} << 16);
  uint64_t* cells = s.held_glyphs.data() + slot * static_cast<size_t>(s.text_columns) + cx;
  for (int32_t i = 0; i < k; ++i) cells[i] = colours | bytes[i];
  s.drawing_owed = true;
  return true;
}

// Forget what a slot holds (its row scrolled out of the window).
void forget_row(GraphicsScreen& s, size_t slot) {
  HeldTextRow& row = s.held_text_rows[slot];
  if (!row_held(row)) return;
  uint64_t* cells = s.held_glyphs.data() + slot * static_cast<size_t>(s.text_columns);
  if (row.first < row.end) std::fill(cells + row.first, cells + row.end, 0);
  row = HeldTextRow{};
  --s.held_row_count;
}

// Paint what is held for text row cy, the background before the glyphs, and forget it.
void paint_held_row(GraphicsScreen& s, int32_t cy) {
  const size_t slot = held_slot(s, cy);
  HeldTextRow& row = s.held_text_rows[slot];
  if (!row_held(row)) return;
  if (row.fill_x >= 0) fill_rows(s, cy * 16, cy * 16 + 16, row.fill_x, row.fill_pixel);
  uint64_t* cells = s.held_glyphs.data() + slot * static_cast<size_t>(s.text_columns);
  uint8_t* const* rows = s.rows.data() + static_cast<size_t>(cy) * 16;
  for (int32_t x = row.first; x < row.end; ++x) {
    const uint64_t cell = cells[x];
    if (cell == 0) continue;
    cells[x] = 0;
    const ColourTable& table = colour_table(static_cast<uint32_t>(cell >> 32) & 0xFFFF,
                                            static_cast<uint32_t>(cell >> 16) & 0xFFFF);
    paint_one(table, rows, static_cast<size_t>(x) * 16, s.font + (cell & 0xFF) * 16);
  }
  row = HeldTextRow{};
  --s.held_row_count;
}

// Hold the owed background in its row's slot where the screen holds drawing, else write it.
void set_owed_fill_aside(GraphicsScreen& s) {
  if (s.owed_fill_row < 0) return;
  if (!s.lock_free || s.locked || !held_table_ready(s)) {
    pay_owed_fill(s);
    return;
  }
  HeldTextRow& row = s.held_text_rows[held_slot(s, s.owed_fill_row / 16)];
  if (!row_held(row)) ++s.held_row_count;
  row.fill_x = s.owed_fill_x;
  row.fill_pixel = s.owed_fill_pixel;
  s.owed_fill_row = -1;
  s.drawing_owed = true;
}

// Paint the glyphs held in text rows first..last (clipped to the grid).
void paint_held_rows(GraphicsScreen& s, int32_t first, int32_t last) {
  first = std::max(first, 0);
  last = std::min(last, s.text_rows - 1);
  for (int32_t cy = first; cy <= last && s.held_row_count > 0; ++cy) paint_held_row(s, cy);
}

// Paint k glyphs in 16-bit 8x16 cells, two at a time; a long run of one byte (a rule of hyphens)
// row by row. On a screen nobody else looks at they are held instead.
void paint_glyphs_fast(GraphicsScreen& screen, const unsigned char* bytes, int32_t k, int32_t cx, int32_t cy) {
  claim_cells(screen, cx, cy, k);
  if (hold_glyphs(screen, bytes, k, cx, cy)) return;
  if (screen.held_row_count > 0) paint_held_row(screen, cy);  // older than these glyphs
  const ColourTable& table = colour_table(screen.foreground, screen.background);
  uint8_t* const* rows = screen.rows.data() + static_cast<size_t>(cy) * 16;
  size_t offset = static_cast<size_t>(cx) * 16;
  if (k >= REPEAT_LEAST && one_byte_repeated(bytes, k)) {
    paint_repeated(table, rows, offset, screen.font + bytes[0] * 16, k);
    return;
  }
  for (; k >= 2; k -= 2, bytes += 2, offset += 32) {
    const uint8_t* first = screen.font + bytes[0] * 16;
    const uint8_t* second = screen.font + bytes[1] * 16;
    const bool blank_first = blank_glyph(first), blank_second = blank_glyph(second);
    if (blank_first && !blank_second) {
      paint_pair<true, false>(table, rows, offset, first, second);  // " 0", " 1": every bit
    } else if (!blank_first && blank_second) {
      paint_pair<false, true>(table, rows, offset, first, second);
    } else if (blank_first) {
      paint_pair<true, true>(table, rows, offset, first, second);
    } else {
      paint_pair<false, false>(table, rows, offset, first, second);
    }
  }
  if (k == 1) paint_one(table, rows, offset, screen.font + bytes[0] * 16);
}

// Paint k glyphs pixel by pixel, for other depths and cell heights.
void paint_glyphs_general(const GraphicsScreen& screen, const unsigned char* bytes, int32_t k, int32_t cx,
                          int32_t cy) {
  int32_t height = screen.font_height;
  for (int32_t j = 0; j < height; ++j) {
    int32_t y = cy * height + j;
    for (int32_t i = 0; i < k; ++i) {
      uint8_t bits = screen.font[bytes[i] * 16 + j * 16 / height];
      for (int32_t p = 0; p < 8; ++p) {
        uint32_t pixel = (bits >> p) & 1 ? screen.foreground : screen.background;
        put_pixel(screen, (cx + i) * 8 + p, y, pixel);
      }
    }
  }
}

// Add pixel rows first..last to the band of changed rows.
void extend_band(Layout& l, int32_t first, int32_t last) {
  l.band_first = std::min(l.band_first, first);
  l.band_last = std::max(l.band_last, last);
}

// Rotate `count` row pointers up by `shift` (shift < count): the first `shift` go to the end.
void rotate_rows(uint8_t** rows, int32_t shift, int32_t count) {
  constexpr int32_t HELD_LIMIT = 64;  // row pointers moved through the stack at once
  if (shift > HELD_LIMIT) {
    std::rotate(rows, rows + shift, rows + count);
    return;
  }
  uint8_t* held[HELD_LIMIT];
  const size_t moved = static_cast<size_t>(count - shift) * sizeof(uint8_t*);
  std::memcpy(held, rows, static_cast<size_t>(shift) * sizeof(uint8_t*));
  std::memmove(rows, rows + shift, moved);
  std::memcpy(rows + (count - shift), held, static_cast<size_t>(shift) * sizeof(uint8_t*));
}

// Scroll the text window up by n rows; freed rows take the background colour (the bottom one owes
// it on the 16-bit 8x16 path).
void scroll_window(Layout& l, int32_t n) {
  GraphicsScreen& s = l.screen;
  set_owed_fill_aside(s);  // its row is about to move
  int32_t t = l.top * s.font_height, o = (l.bottom + 1) * s.font_height;
  int32_t h = std::min(n, l.bottom - l.top + 1) * s.font_height;
  int32_t first_freed = t;
  if (h < o - t) {
    rotate_rows(s.rows.data() + t, h, o - t);
    first_freed = o - h;
  }
  const int32_t owed = fast_cells(s) ? o - s.font_height : o;
  if (s.held_row_count > 0) {
    for (int32_t y = first_freed; y < o; y += 16) forget_row(s, held_slot(s, y / 16));
  }
  fill_rows(s, first_freed, owed, 0, s.background);
  if (owed < o) owe_fill(s, owed);
  extend_band(l, t, o - 1);
  l.cy = l.bottom;
}

// Scroll when the cursor stands below the window.
void scroll_if_below(Layout& l) {
  if (l.cy > l.bottom) scroll_window(l, l.cy - l.bottom);
}

// Draw a run of printable bytes at the cursor, wrapping and scrolling.
void draw_run(Layout& l, const unsigned char* bytes, int32_t n) {
  GraphicsScreen& s = l.screen;
  bool fast = fast_cells(s);
  while (n > 0) {
    int32_t k = std::min(n, l.right - l.cx + 1);
    scroll_if_below(l);
    if (fast) {
      paint_glyphs_fast(s, bytes, k, l.cx, l.cy);
    } else {
      paint_glyphs_general(s, bytes, k, l.cx, l.cy);
    }
    extend_band(l, l.cy * s.font_height, l.cy * s.font_height + s.font_height - 1);
    l.cx += k;
    if (l.cx == l.right + 1) {
      l.cx = l.left;
      ++l.cy;
    }
    bytes += k;
    n -= k;
  }
}

// The printable bytes gathered between control codes.
struct Run {
  unsigned char bytes[RUN_LIMIT];
  int32_t length = 0;
};

// Draw the pending run, if any.
void flush(Layout& l, Run& run) {
  if (run.length == 0) return;
  draw_run(l, run.bytes, run.length);
  run.length = 0;
}

// Add one printable byte to the run, drawing the run when it is full.
void add_to_run(Layout& l, Run& run, unsigned char byte) {
  run.bytes[run.length++] = byte;
  if (run.length == RUN_LIMIT) flush(l, run);
}

// Return the column that the cursor will have once the pending run is drawn.
int32_t run_column(const Layout& l, const Run& run) {
  int32_t width = l.right - l.left + 1;
  return l.left + (l.cx - l.left + run.length) % width;
}

// Act on one byte; returns whether it was a control code that moved or rang.
bool lay_out_byte(Layout& l, Run& run, unsigned char byte) {
  switch (byte) {
    case 7:
      sound_bell();
      return true;
    case 8:
      flush(l, run);
      if (l.cx > l.left) --l.cx;
      return true;
    case 9: {
      int32_t spaces = TAB_WIDTH - (run_column(l, run) - l.left) % TAB_WIDTH;
      for (int32_t i = 0; i < spaces; ++i) add_to_run(l, run, ' ');
      return false;
    }
    case 10:
      flush(l, run);
      l.cx = l.left;
      ++l.cy;
      return true;
    case 13:
      flush(l, run);
      l.cx = l.left;
      return true;
    default:
      add_to_run(l, run, byte);
      return false;
  }
}

// Lay out all bytes; a control code at the end that left the cursor below scrolls at once.
void lay_out(Layout& l, const char* bytes, int32_t length) {
  Run run;
  bool last_control = false;
  for (int32_t i = 0; i < length; ++i) {
    last_control = lay_out_byte(l, run, static_cast<unsigned char>(bytes[i]));
  }
  if (run.length > 0) {
    flush(l, run);
  } else if (last_control) {
    scroll_if_below(l);
  }
}

// Finish a print: leave a scroll pending after a filled bottom row, else scroll now.
void settle_cursor(Layout& l) {
  if (l.cx == l.left && l.cy == l.bottom + 1) {
    l.screen.pending_scroll = true;
    l.cx = l.right;
    l.cy = l.bottom;
  } else {
    scroll_if_below(l);
  }
}

// Make the scroll that the previous print left pending.
void take_pending_scroll(Layout& l) {
  if (!l.screen.pending_scroll) return;
  l.screen.pending_scroll = false;
  l.cx = l.left;
  ++l.cy;
  scroll_if_below(l);
}

// Move the cursor as locate does; false (nothing moved) when the position is refused.
bool move_cursor(int32_t row, int32_t column) {
  GraphicsScreen* screen = current_screen();
  if (screen == nullptr) return true;
  const TextWindow& window = screen->text_window;
  bool row_refused = row != 0 && (row < window.top + 1 || row > window.bottom + 1);
  bool column_refused = column != 0 && (column < 1 || column > screen->text_columns);
  if (row_refused || column_refused) return false;
  screen->pending_scroll = false;
  if (column >= 1) screen->cursor_column = column - 1;
  if (row >= 1) screen->cursor_row = row - 1;
  set_screen_column(screen->cursor_column);
  return true;
}

// Start the layout of a print, keeping window and cursor inside the grid.
Layout start_layout(GraphicsScreen& screen) {
  int32_t bottom = std::min(screen.text_window.bottom, screen.text_rows - 1);
  int32_t top = std::min(screen.text_window.top, bottom);
  int32_t right = screen.text_columns - 1;
  int32_t cx = std::clamp(screen.cursor_column, 0, right);
  int32_t cy = std::clamp(screen.cursor_row, 0, bottom);
  return Layout{screen, 0, right, top, bottom, cx, cy, screen.height, -1};
}

// Print printable bytes that end before the row's last cell (no wrap, no scroll) as the
// full layout would, without it; false (nothing done) when they need the full layout.
bool print_in_row(GraphicsScreen& screen, const char* bytes, int32_t length) {
  int32_t bottom = std::min(screen.text_window.bottom, screen.text_rows - 1);
  int32_t cx = screen.cursor_column, cy = screen.cursor_row;
  bool fast = fast_cells(screen);
  if (!fast || screen.pending_scroll || length > screen.text_columns - 1 - cx || cx < 0 || cy < 0 ||
      cy > bottom) {
    return false;
  }
  for (int32_t i = 0; i < length; ++i) {
    unsigned char byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 14 && ((CONTROL_CODES >> byte) & 1) != 0) return false;
  }
  paint_glyphs_fast(screen, reinterpret_cast<const unsigned char*>(bytes), length, cx, cy);
  screen.cursor_column = cx + length;
  if (drawing_visible(screen)) mark_rows_dirty(screen, cy * 16, cy * 16 + 15);
  return true;
}

// Print through the full layout: control codes, wraps, scrolls, a pending scroll.
void print_laid_out(GraphicsScreen& screen, const char* bytes, int32_t length) {
  Layout l = start_layout(screen);
  take_pending_scroll(l);
  lay_out(l, bytes, std::max(length, 0));
  settle_cursor(l);
  screen.cursor_column = l.cx;
  screen.cursor_row = l.cy;
  if (drawing_visible(screen) && l.band_first <= l.band_last) mark_dirty(l.band_first, l.band_last);
}

// Do the drawing held back in pixel rows first..last: the owed background, then the held glyphs
// (they lie beside it, never on it); return whether drawing is still held back.
bool complete_rows(GraphicsScreen& s, int32_t first_row, int32_t last_row) {
  if (s.owed_fill_row >= 0 && s.owed_fill_row <= last_row && s.owed_fill_row + s.font_height > first_row) {
    pay_owed_fill(s);
  }
  if (s.held_row_count > 0) paint_held_rows(s, first_row / 16, last_row / 16);
  return s.owed_fill_row >= 0 || s.held_row_count > 0;
}

const ScreenPort text_port = {print_to_screen, text_size, text_cursor};

// Route the screen channel here and give a new screen the whole grid as its window.
void screen_opened(GraphicsScreen&, int32_t flags) {
  set_screen_port(&text_port);
  if (flags != SCREEN_CLOSE_KEEP_WINDOW) set_text_window(0, 0);
}

// Give the screen channel back to the console.
void screen_closed() { set_screen_port(nullptr); }

const ScreenLayer text_layer = {screen_opened, screen_closed, complete_rows};
[[maybe_unused]] const bool text_layer_registered = add_screen_layer(&text_layer);

}  // namespace

uint32_t set_colour(int32_t foreground, int32_t background) {
  GraphicsScreen* screen = current_screen();
  if (screen == nullptr) return 0;
  uint32_t previous = (screen->foreground & 0xFFFF) | (screen->background << 16);
  if (foreground >= 0) screen->foreground = screen_colour(*screen, static_cast<RgbColour>(foreground));
  if (background >= 0) screen->background = screen_colour(*screen, static_cast<RgbColour>(background));
  return previous;
}

void locate(int32_t row, int32_t column, int32_t cursor) {
  (void)cursor;  // no visible cursor in graphics mode
  if (!move_cursor(row, column)) set_error_code(ERROR_REFUSED);
}

uint32_t set_text_window(int32_t top, int32_t bottom) {
  GraphicsScreen* screen = current_screen();
  if (screen == nullptr) return 0;
  int32_t rows = screen->text_rows;
  TextWindow& window = screen->text_window;
  int32_t new_top = top >= 1 ? top : top == 0 ? 1 : window.top + 1;
  int32_t new_bottom = bottom >= 1 ? bottom : bottom == 0 ? rows : window.bottom + 1;
  if (new_top > new_bottom || new_top <= 0 || new_bottom <= 0 || new_top > rows || new_bottom > rows) return 0;
  if (top >= 0 || bottom >= 0) {
    window = TextWindow{new_top - 1, new_bottom - 1};
    if (!move_cursor(new_top, 1)) locate(0, 0, -1);
  }
  return static_cast<uint32_t>(new_top) | (static_cast<uint32_t>(new_bottom) << 16);
}

void print_to_screen(const char* bytes, int32_t length, int32_t flags) {
  if (length <= 0 && !(flags & FORCE_BOOKKEEPING)) return;
  GraphicsScreen* screen = current_screen();
  if (screen == nullptr) return;
  const bool take_lock = !screen->lock_free;
  if (take_lock) lock_screen();
  if (length <= 0 || !print_in_row(*screen, bytes, length)) print_laid_out(*screen, bytes, length);
  // Only a screen that nobody else can look at, and that nobody holds locked, carries a fill owed.
  if (screen->locked) pay_owed_fill(*screen);
  if (take_lock) unlock_screen();
}

void text_size(int32_t* columns, int32_t* rows) {
  GraphicsScreen* screen = current_screen();
  *columns = screen != nullptr ? screen->text_columns : CONSOLE_COLUMNS;
  *rows = screen != nullptr ? screen->text_rows : CONSOLE_ROWS;
}

void text_cursor(int32_t* column, int32_t* row) {
  GraphicsScreen* screen = current_screen();
  *column = screen != nullptr ? screen->cursor_column + 1 : 1;
  *row = screen != nullptr ? screen->cursor_row + 1 : 1;
}

void text_window(int32_t* top, int32_t* bottom) {
  GraphicsScreen* screen = current_screen();
  *top = screen != nullptr ? screen->text_window.top + 1 : 1;
  *bottom = screen != nullptr ? screen->text_window.bottom + 1 : CONSOLE_ROWS;
}
