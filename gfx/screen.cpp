// The graphics screen: mode table, the screen record and its buffers, the
// lock protocol, dirty-row marks, the window title and the choice of back-end.
//
// Depends on the runtime for the screen channel, the error code, the exit
// actions and the program's name, and on the back-end table. The layers that
// live on the screen (the text layer, the key queue) register themselves and
// are told when screens open and close. Only page 0 is ever drawn on or shown.
#include "gfx/screen.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "gfx/driver.h"
#include "gfx/font.h"
#include "runtime/print.h"
#include "runtime/program.h"

std::atomic<GraphicsScreen*> screen_record{nullptr};

// width, height, default depth, line multiplier, palette entries, font height, columns, rows
const ScreenMode screen_modes[SCREEN_MODE_COUNT] = {
    {0, 0, 0, 1, 0, 16, 80, 25},          // 0: no graphics
    {320, 200, 2, 2, 16, 8, 40, 25},      // 1
    {640, 200, 1, 2, 2, 8, 80, 25},       // 2
    {-1, -1, 0, 1, 0, 8, 0, 0},           // 3: missing
    {-1, -1, 0, 1, 0, 8, 0, 0},           // 4: missing
    {-1, -1, 0, 1, 0, 8, 0, 0},           // 5: missing
    {-1, -1, 0, 1, 0, 8, 0, 0},           // 6: missing
    {320, 200, 4, 2, 16, 8, 40, 25},      // 7
    {640, 200, 4, 2, 16, 8, 80, 25},      // 8
    {640, 350, 4, 1, 64, 14, 80, 25},     // 9
    {640, 350, 2, 1, 2, 14, 80, 25},      // 10
    {640, 480, 1, 1, 2, 16, 80, 30},      // 11
    {640, 480, 4, 1, 16, 16, 80, 30},     // 12
    {320, 200, 8, 1, 256, 8, 40, 25},     // 13
    {320, 240, 8, 1, 256, 8, 40, 30},     // 14
    {400, 300, 8, 1, 256, 8, 50, 37},     // 15
    {512, 384, 8, 1, 256, 16, 64, 24},    // 16
    {640, 400, 8, 1, 256, 16, 80, 25},    // 17
    {640, 480, 8, 1, 256, 16, 80, 30},    // 18
    {800, 600, 8, 1, 256, 16, 100, 37},   // 19: the experiment's mode
    {1024, 768, 8, 1, 256, 16, 128, 48},  // 20
    {1280, 1024, 8, 1, 256, 16, 160, 64}, // 21
};

namespace {

constexpr size_t TITLE_LIMIT = 127;  // bytes of the window caption kept

char title_buffer[TITLE_LIMIT + 1] = {};              // the window caption
bool title_set = false;                               // set_window_title was called
std::atomic<void (*)()> bell_sound{nullptr};          // installed by a back-end
const ScreenLayer* layers[SCREEN_LAYER_LIMIT] = {};   // registered layers, in order of registration
int32_t layer_count = 0;

// Return bits per pixel for a requested depth in a mode.
int32_t choose_depth(int32_t mode, int32_t depth, int32_t flags) {
  int32_t chosen = screen_modes[mode].depth;
  bool known = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
  if (mode > 13 && known) chosen = depth;
  if (flags >= 0 && (flags & SCREEN_OPENGL) && chosen < 16) chosen = 16;
  return chosen;
}

// Set depth, colour mask, bytes per pixel and pitch of a new screen.
void set_pixel_format(GraphicsScreen& screen, int32_t depth) {
  if (depth == 15 || depth == 16) {
    screen.depth = 16;
    screen.colour_mask = 0xFFFF;
    screen.bytes_per_pixel = 2;
  } else if (depth == 24 || depth == 32) {
    screen.depth = 32;
    screen.colour_mask = 0xFFFFFFFF;
    screen.bytes_per_pixel = 4;
  } else {
    screen.depth = depth;
    screen.colour_mask = (1u << depth) - 1;
    screen.bytes_per_pixel = (depth + 7) / 8;
  }
  screen.pitch = screen.width * screen.bytes_per_pixel;
}

// Allocate the zero-filled pages, the row table and the dirty marks; false when memory fails.
// NOTE: calloc takes fresh zero pages from the system without writing them, so the pages that
// are never drawn on (all but page 0) cost neither time nor resident memory.
bool allocate_buffers(GraphicsScreen& screen) {
  size_t page_bytes = static_cast<size_t>(screen.pitch) * static_cast<size_t>(screen.height);
  try {
    for (int32_t p = 0; p < screen.page_count; ++p) {
      uint8_t* page = static_cast<uint8_t*>(std::calloc(page_bytes, 1));
      if (page == nullptr) return false;
      screen.pages.emplace_back(page);
    }
    screen.rows.resize(static_cast<size_t>(screen.height));
    screen.dirty.assign(static_cast<size_t>(screen.height * screen.line_multiplier), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int32_t y = 0; y < screen.height; ++y) {
    screen.rows[static_cast<size_t>(y)] = screen.pages[0].get() + static_cast<size_t>(y) * static_cast<size_t>(screen.pitch);
  }
  screen.visible_page = screen.pages[0].get();
  return true;
}

// Build the screen record of a mode with its buffers; nullptr when memory fails.
GraphicsScreen* create_screen(int32_t mode, int32_t depth, int32_t pages, int32_t flags) {
  const ScreenMode& m = screen_modes[mode];
  GraphicsScreen* screen = new (std::nothrow) GraphicsScreen();
  if (screen == nullptr) return nullptr;
  screen->mode = mode;
  screen->width = m.width;
  screen->height = m.height;
  screen->line_multiplier = m.line_multiplier;
  screen->page_count = pages;
  set_pixel_format(*screen, choose_depth(mode, depth, flags));
  screen->viewport = Viewport{0, 0, m.width, m.height, true};
  screen->foreground = screen->colour_mask;
  screen->background = 0;
  screen->font = font_8x16;
  screen->font_height = m.font_height;
  screen->text_columns = m.text_columns;
  screen->text_rows = m.text_rows;
  screen->text_window = TextWindow{0, m.text_rows - 1};
  if (!allocate_buffers(*screen)) {
    delete screen;
    return nullptr;
  }
  return screen;
}

// Try every back-end of the table twice (requested refresh rate, then 0); return the winner.
const ScreenDriver* try_drivers(GraphicsScreen& screen, int32_t refresh_rate, int32_t flags) {
  for (const ScreenDriver* const* entry = screen_drivers(); *entry != nullptr; ++entry) {
    const ScreenDriver* driver = *entry;
    for (int32_t rate : {refresh_rate, 0}) {
      if (driver->init != nullptr &&
          driver->init(window_title(), screen.width, screen.height * screen.line_multiplier,
                       screen.depth, rate, flags) == 0) {
        return driver;
      }
      if (driver->exit != nullptr) driver->exit();
    }
  }
  return nullptr;
}

// Choose the back-end: Null for flags -1, else two passes over the table.
const ScreenDriver* choose_driver(GraphicsScreen& screen, int32_t refresh_rate, int32_t flags) {
  if (flags == SCREEN_NO_WINDOW) return &null_driver;
  const ScreenDriver* driver = try_drivers(screen, refresh_rate, flags);
  if (driver == nullptr) driver = try_drivers(screen, refresh_rate, flags ^ SCREEN_FULLSCREEN);
  return driver;
}

// End the back-end of the open screen and free every buffer.
void close_open_screen() {
  GraphicsScreen* screen = screen_record.load();
  if (screen == nullptr) return;
  if (screen->driver != nullptr && screen->driver->exit != nullptr) screen->driver->exit();
  screen_record.store(nullptr);
  delete screen;
}

// Tell every layer that a new screen stands and its back-end is about to start.
void tell_layers_opened(GraphicsScreen& screen, int32_t flags) {
  for (int32_t i = 0; i < layer_count; ++i) {
    if (layers[i]->opened != nullptr) layers[i]->opened(screen, flags);
  }
}

// Tell every layer that no screen is open any more.
void tell_layers_closed() {
  for (int32_t i = 0; i < layer_count; ++i) {
    if (layers[i]->closed != nullptr) layers[i]->closed();
  }
}

// Have the layers do the drawing they held back in pixel rows first..last.
void complete_drawing(GraphicsScreen& screen, int32_t first_row, int32_t last_row) {
  bool still_owed = false;
  for (int32_t i = 0; i < layer_count; ++i) {
    if (layers[i]->complete != nullptr) still_owed |= layers[i]->complete(screen, first_row, last_row);
  }
  screen.drawing_owed = still_owed;
}

// Build a screen for a graphics mode; false (nothing left open) when it cannot be had.
bool start_screen(int32_t mode, int32_t depth, int32_t pages, int32_t flags, int32_t refresh_rate) {
  GraphicsScreen* screen = create_screen(mode, depth, pages, flags);
  if (screen == nullptr) {
    tell_layers_closed();
    return false;
  }
  if (!title_set) set_window_title(program_name());
  // The presentation thread may look at the record while init runs.
  screen_record.store(screen);
  tell_layers_opened(*screen, flags);
  const ScreenDriver* driver = choose_driver(*screen, refresh_rate, flags);
  if (driver == nullptr) {
    screen_record.store(nullptr);
    delete screen;
    tell_layers_closed();
    return false;
  }
  screen->driver = driver;
  screen->lock_free = driver->lock == nullptr && driver->unlock == nullptr;
  at_program_end(release_screen);
  return true;
}

}  // namespace

bool add_screen_layer(const ScreenLayer* layer) {
  for (int32_t i = 0; i < layer_count; ++i) {
    if (layers[i] == layer) return true;
  }
  if (layer == nullptr || layer_count == SCREEN_LAYER_LIMIT) return false;
  layers[layer_count++] = layer;
  return true;
}

void set_window_title(const Text& title) {
  size_t length = title.size() < TITLE_LIMIT ? title.size() : TITLE_LIMIT;
  std::memcpy(title_buffer, title.data(), length);
  title_buffer[length] = '\0';
  title_set = true;
  GraphicsScreen* screen = current_screen();
  if (screen != nullptr && screen->driver != nullptr && screen->driver->set_window_title != nullptr) {
    screen->driver->set_window_title(title_buffer);
  }
}

const char* window_title() { return title_buffer; }

void open_screen(int32_t mode, int32_t depth, int32_t pages, int32_t flags, int32_t refresh_rate) {
  if (static_cast<uint32_t>(mode) >= SCREEN_MODE_COUNT || screen_modes[mode].width == -1) {
    set_error_code(ERROR_REFUSED);
    return;
  }
  if (pages < 1) pages = 1;
  close_open_screen();
  bool ok = true;
  if (mode == 0) {
    tell_layers_closed();
  } else if (!start_screen(mode, depth, pages, flags, refresh_rate)) {
    set_error_code(ERROR_REFUSED);
    ok = false;
  }
  if (ok) set_screen_column(0);
}

intptr_t screen_ready() {
  GraphicsScreen* screen = current_screen();
  if (screen == nullptr) return 0;
  return reinterpret_cast<intptr_t>(screen->rows[0]);
}

void release_screen() {
  if (current_screen() == nullptr) return;
  open_screen(0, 0, 0, SCREEN_CLOSE_KEEP_WINDOW, 0);
}

void lock_screen() { lock_rows(0, INT32_MAX); }

void lock_rows(int32_t first_row, int32_t last_row) {
  GraphicsScreen* screen = current_screen();
  if (screen == nullptr || screen->locked) return;
  if (screen->driver != nullptr && screen->driver->lock != nullptr) screen->driver->lock();
  screen->locked = true;
  screen->auto_locked = true;
  if (screen->drawing_owed) complete_drawing(*screen, first_row, last_row);
}

void unlock_screen() {
  GraphicsScreen* screen = current_screen();
  if (screen == nullptr || !screen->auto_locked) return;
  screen->locked = false;
  screen->auto_locked = false;
  if (screen->driver != nullptr && screen->driver->unlock != nullptr) screen->driver->unlock();
}

void mark_dirty(int32_t first_row, int32_t last_row) {
  GraphicsScreen* screen = current_screen();
  if (screen != nullptr) mark_rows_dirty(*screen, first_row, last_row);
}

void mark_all_dirty() {
  GraphicsScreen* screen = current_screen();
  if (screen != nullptr) mark_dirty(0, screen->height - 1);
}

bool dirty_band(const GraphicsScreen& screen, int32_t* first, int32_t* last) {
  const int32_t count = static_cast<int32_t>(screen.dirty.size());
  int32_t y0 = 0;
  while (y0 < count && screen.dirty[y0] == 0) ++y0;
  if (y0 == count) return false;
  int32_t y1 = count - 1;
  while (screen.dirty[y1] == 0) --y1;
  *first = y0;
  *last = y1;
  return true;
}

void set_bell_sound(void (*play)()) { bell_sound.store(play); }

void sound_bell() {
  void (*play)() = bell_sound.load();
  if (play != nullptr) play();
}
