// The graphics screen: the in-memory picture, its modes, the screen lock and
// the dirty-row marks that presentation back-ends read.
//
// The picture is reached row by row through the row table: a back-end presents
// row y from screen->rows[y], never from an offset into the page, because the
// text layer scrolls by rotating row pointers instead of copying pixels. The
// rows are the whole picture under the screen lock (under lock_rows, the rows
// it was taken for): on a screen without lock a layer may hold drawing back
// between its calls (the text layer: its glyphs, the background of a freed row),
// and taking the lock has it done first.
// Platform-free; the window system lives behind ScreenDriver (gfx/driver.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "runtime/text.h"

struct ScreenDriver;

using ScreenPixel = uint16_t;  // 5-6-5: red bits 15-11, green 10-5, blue 4-0
using RgbColour = uint32_t;    // 0xRRGGBB

// The colour argument meaning "no colour was passed".
constexpr RgbColour DefaultColour = 0xFEFF00FFu;

// One row of the mode table; width -1 marks a mode number that does not exist.
struct ScreenMode {
  int32_t width;
  int32_t height;
  int32_t depth;            // default colour depth in bits
  int32_t line_multiplier;
  int32_t palette_entries;  // default palette size
  int32_t font_height;      // 8, 14 or 16
  int32_t text_columns;
  int32_t text_rows;
};

constexpr int32_t SCREEN_MODE_COUNT = 22;
extern const ScreenMode screen_modes[SCREEN_MODE_COUNT];

// The band of text rows that screen output wraps and scrolls in, counted from 0.
struct TextWindow {
  int32_t top = 0;
  int32_t bottom = 36;
};

// The graphics clipping rectangle and coordinate origin.
struct Viewport {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool relative = true;  // drawing coordinates are relative to (x, y)
};

// Frees a page buffer (allocated by calloc).
struct PageFree {
  void operator()(uint8_t* page) const { std::free(page); }
};

// The drawing the text layer holds back in one text row (a screen without lock).
struct HeldTextRow {
  int32_t first = 0;        // columns first..end-1 may hold glyphs; none while first >= end
  int32_t end = 0;
  int32_t fill_x = -1;      // the background is owed from this pixel to the right edge; -1: not
  uint32_t fill_pixel = 0;  // ...in this colour; the held glyphs are newer than it
};

struct GraphicsScreen {
  int32_t mode = 0;                                 // mode number
  std::vector<std::unique_ptr<uint8_t[], PageFree>> pages;  // page buffers, zero-filled
  int32_t page_count = 0;
  int32_t work_page = 0;                            // page that drawing goes to
  uint8_t* visible_page = nullptr;                  // the page that is presented
  std::vector<uint8_t*> rows;                       // row table: start of each pixel row of the work page
  int32_t pitch = 0;                                // bytes per row
  int32_t bytes_per_pixel = 0;
  std::vector<uint8_t> dirty;                       // per output row (height x line multiplier); nonzero: changed since shown
  const ScreenDriver* driver = nullptr;             // the chosen back-end
  int32_t width = 0;
  int32_t height = 0;
  int32_t depth = 0;
  uint32_t colour_mask = 0;
  int32_t line_multiplier = 1;
  Viewport viewport;                                // drawing clip and origin
  float last_x = 0.0f;                              // last point drawn
  float last_y = 0.0f;
  // The text layer's state (gfx/text.h): colours, cursor, grid and window.
  uint32_t foreground = 0;                          // text colours, as screen pixels
  uint32_t background = 0;
  int32_t cursor_column = 0;                        // text cursor, from 0
  int32_t cursor_row = 0;
  const uint8_t* font = nullptr;                    // 8x16 glyphs, 16 bytes each
  int32_t font_height = 16;                         // pixel rows of a text cell
  int32_t text_columns = 0;
  int32_t text_rows = 0;
  TextWindow text_window;                           // where output wraps and scrolls
  bool pending_scroll = false;                      // the text window owes a scroll
  int32_t owed_fill_row = -1;                       // first pixel row of a freed text row whose background is owed; -1: none
  int32_t owed_fill_x = 0;                          // ...from this pixel to the right edge
  uint32_t owed_fill_pixel = 0;                     // ...in the background of its scroll
  // Drawing held back (lock_free only), by slot: the text row whose pixel rows the page first
  // held. A text row's buffers keep their slot as scrolls move them.
  std::vector<uint64_t> held_glyphs;                // text_columns a slot: 0, or a glyph and its colours (gfx/text.cpp)
  std::vector<HeldTextRow> held_text_rows;          // per slot: where glyphs are held, the owed background
  int32_t held_row_count = 0;                       // slots that hold glyphs or a background
  int32_t refresh_rate = 0;
  uint8_t key_state[128] = {};                      // 1 while a scan code is held
  bool locked = false;                              // the screen lock is held
  bool auto_locked = false;                         // ...by the operation now running
  bool lock_free = false;                           // the back-end has no lock (no other thread): prints and key reads skip it
  bool drawing_owed = false;                        // a layer held drawing back (lock_free only): lock_rows has it done
};

// A layer that lives on the open screen (the text layer, the key queue) and follows
// the screen as it opens and closes. Each layer registers itself (add_screen_layer),
// so that the screen core depends on none of them. Both calls run on the program's thread.
struct ScreenLayer {
  // A new screen record stands and its back-end is about to start; `flags` are open_screen's.
  void (*opened)(GraphicsScreen& screen, int32_t flags);
  // No screen is open any more: it was closed, or a new one could not be had.
  void (*closed)();
  // Do the drawing held back in pixel rows first..last on a screen without lock (drawing_owed):
  // someone is about to read or draw them. Return whether drawing is still held back elsewhere.
  // nullptr for a layer that never holds drawing back.
  bool (*complete)(GraphicsScreen& screen, int32_t first_row, int32_t last_row);
};

constexpr int32_t SCREEN_LAYER_LIMIT = 4;

// The open screen, or nullptr; owned and set by gfx/screen.cpp alone, read by back-end threads.
// Everyone else reads it through current_screen.
extern std::atomic<GraphicsScreen*> screen_record;

// Return the open screen, or nullptr when none is open.
inline GraphicsScreen* current_screen() { return screen_record.load(std::memory_order_acquire); }

// Register a layer to be told when screens open and close; false when the table is full.
// Registering the same layer again has no effect.
bool add_screen_layer(const ScreenLayer* layer);

// Convert an RgbColour to a 5-6-5 screen pixel by keeping the top 5, 6 and 5 bits.
inline ScreenPixel rgb_to_screen(RgbColour colour) {
  uint32_t red = (colour >> 16) & 0xFF;
  uint32_t green = (colour >> 8) & 0xFF;
  uint32_t blue = colour & 0xFF;
  return static_cast<ScreenPixel>(((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3));
}

// Store the window title (at most 127 bytes) and show it if a window is open.
void set_window_title(const Text& title);

// Return the stored window title ("" when none was set).
const char* window_title();

// Open the graphics screen in a mode, or close it with mode 0. Records error 1 on failure.
void open_screen(int32_t mode, int32_t depth, int32_t pages, int32_t flags, int32_t refresh_rate);

// Return 0 when no screen is open, else nonzero (the address of the work page's first row).
intptr_t screen_ready();

// Close the screen, its window and back-end; the text operations return to the console.
void release_screen();

// Take the screen lock by the lock protocol (unless already locked); the rows are then the whole
// picture (drawing a layer held back is done first).
void lock_screen();

// Take the screen lock to read or draw pixel rows first..last: lock_screen, with only the drawing
// held back in those rows done first.
void lock_rows(int32_t first_row, int32_t last_row);

// Drop the screen lock if the running operation took it.
void unlock_screen();

// Mark pixel rows first..last (inclusive, clipped to the screen) as changed.
void mark_dirty(int32_t first_row, int32_t last_row);

// Mark pixel rows first..last (inclusive, clipped to the screen) of a screen as changed.
inline void mark_rows_dirty(GraphicsScreen& screen, int32_t first_row, int32_t last_row) {
  if (first_row < 0) first_row = 0;
  if (last_row >= screen.height) last_row = screen.height - 1;
  if (first_row > last_row) return;
  int32_t m = screen.line_multiplier;
  uint8_t* marks = screen.dirty.data() + first_row * m;
  size_t count = static_cast<size_t>((last_row - first_row + 1) * m);
  if (count >= 8 && count <= 16) {
    // A text row's band: two overlapping 8-byte stores instead of a call.
    constexpr uint64_t MARKS = 0x0101010101010101ull;
    std::memcpy(marks, &MARKS, 8);
    std::memcpy(marks + count - 8, &MARKS, 8);
  } else {
    std::memset(marks, 1, count);
  }
}

// Mark every pixel row as changed.
void mark_all_dirty();

// Find the first and last marked rows (output rows: pixel rows times the line multiplier);
// false when no row is marked.
bool dirty_band(const GraphicsScreen& screen, int32_t* first, int32_t* last);

// Install how the bell sounds (back-ends that can make sound); nullptr: silent.
void set_bell_sound(void (*play)());

// Sound the bell: 1000 Hz for 250 ms where the back-end can.
void sound_bell();
