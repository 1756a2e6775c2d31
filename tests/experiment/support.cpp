// Test helpers for the experiment.
#include "tests/experiment/support.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "experiment/loop.h"
#include "gfx/driver.h"
#include "gfx/font.h"
#include "gfx/keys.h"
#include "runtime/program.h"
#include "runtime/random.h"

namespace {

std::vector<ScreenPixel>* picture_store = nullptr;  // where keep_picture copies the screen

// Leave the loop by an exception instead of ending the process.
[[noreturn]] void throw_program_ended(int32_t code) { throw ProgramEnded{code}; }

// Copy the picture before the screen is released at program end.
void keep_picture() {
  const GraphicsScreen* screen = current_screen();
  if (screen == nullptr || picture_store == nullptr) return;
  picture_store->assign(static_cast<size_t>(screen->width) * screen->height, 0);
  lock_screen();  // the rows are the whole picture under the lock
  for (int32_t y = 0; y < screen->height; ++y) {
    std::memcpy(picture_store->data() + static_cast<size_t>(y) * screen->width, screen->rows[y],
                static_cast<size_t>(screen->width) * sizeof(ScreenPixel));
  }
  unlock_screen();
}

// Map every glyph's 16 bytes to its character, printable ASCII first.
const std::map<std::string, char>& glyph_table() {
  static const std::map<std::string, char> table = [] {
    std::map<std::string, char> glyphs;
    auto add = [&](int code) {
      std::string bits(reinterpret_cast<const char*>(font_8x16 + code * 16), 16);
      glyphs.emplace(bits, static_cast<char>(code));
    };
    for (int code = 0x20; code < 0x7F; ++code) add(code);
    for (int code = 0; code < 256; ++code) add(code);
    return glyphs;
  }();
  return table;
}

}  // namespace

std::tm wall_time(const char* text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::sscanf(text, "%d-%d-%d %d:%d:%d", &year, &month, &day, &hour, &minute, &second);
  return civil_time(year, month, day, hour, minute, second);
}

std::string read_file(const std::filesystem::path& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

int32_t exit_code_of(const std::function<void()>& action) {
  try {
    action();
  } catch (const ProgramEnded& ended) {
    return ended.code;
  }
  return -1;
}

void press(uint32_t code) {
  lock_screen();
  add_key(code);
  unlock_screen();
}

int32_t find_seed(const std::function<bool(int32_t, int32_t)>& wanted, int32_t from) {
  for (int32_t seed = from;; ++seed) {
    msvc_srand(static_cast<uint32_t>(seed));
    msvc_rand();
    int32_t ones = 0;
    for (int32_t i = 0; i < 200; ++i) ones += msvc_rand() >= 16384 ? 1 : 0;
    if (wanted(200 - ones, ones)) return seed;
  }
}

void ExperimentTest::SetUp() {
  previous = std::filesystem::current_path();
  std::random_device entropy;
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  directory = std::filesystem::temp_directory_path() /
              ("testnuv_experiment_" + std::string(info->name()) + "_" + std::to_string(entropy()));
  std::filesystem::create_directories(directory);
  std::filesystem::current_path(directory);
  picture_store = &picture;
  reset_end_state();
  set_exit_hook(throw_program_ended);
}

void ExperimentTest::TearDown() {
  run_program_end_actions();
  reset_end_state();
  picture_store = nullptr;
  set_exit_hook(nullptr);
  use_clock(nullptr);
  set_screen_drivers(nullptr);
  std::filesystem::current_path(previous);
  std::error_code error;
  std::filesystem::remove_all(directory, error);
}

void ExperimentTest::use_virtual_clock(double timer_start, const char* wall) {
  clock = std::make_unique<VirtualClock>(timer_start, wall_time(wall));
  use_clock(clock.get());
}

void ExperimentTest::start(double timer_start, const char* wall) {
  if (!clock) use_virtual_clock(timer_start, wall);
  experiment_start(SCREEN_NO_WINDOW);
  at_program_end(keep_picture);
}

bool ExperimentTest::run_seconds(int32_t count) {
  try {
    for (int32_t i = 0; i < count; ++i) experiment_second();
  } catch (const ProgramEnded&) {
    return false;
  }
  return true;
}

void ExperimentTest::on_clock(std::function<void()> action) {
  clock->on_advance([action](double) { action(); });
}

ScreenPixel ExperimentTest::pixel(int32_t x, int32_t y) const {
  const GraphicsScreen* screen = current_screen();
  if (screen != nullptr) {
    ScreenPixel value;
    lock_screen();  // the rows are the whole picture under the lock
    std::memcpy(&value, screen->rows[y] + x * sizeof(ScreenPixel), sizeof value);
    unlock_screen();
    return value;
  }
  if (picture.empty()) return 0;
  return picture[static_cast<size_t>(y) * 800 + x];
}

Text ExperimentTest::text_in(int32_t row, int32_t column, int32_t count, RgbColour foreground,
                             RgbColour background) const {
  const ScreenPixel fg = rgb_to_screen(foreground);
  const ScreenPixel bg = rgb_to_screen(background);
  Text text;
  for (int32_t c = column; c < column + count; ++c) {
    std::string bits(16, '\0');
    bool clean = true;
    for (int32_t j = 0; j < 16; ++j) {
      for (int32_t i = 0; i < 8; ++i) {
        const ScreenPixel p = pixel((c - 1) * 8 + i, (row - 1) * 16 + j);
        if (p == fg) bits[j] = static_cast<char>(bits[j] | (1 << i));
        else if (p != bg) clean = false;
      }
    }
    auto found = glyph_table().find(bits);
    text += clean && found != glyph_table().end() ? found->second : '?';
  }
  return text;
}

Text ExperimentTest::text_at(int32_t row, int32_t column, int32_t count,
                             RgbColour background) const {
  Text text;
  for (int32_t c = column; c < column + count; ++c) {
    const ScreenPixel ink_colour = ink(row, c, background);
    const RgbColour fg = ((ink_colour >> 11) << 19) | (((ink_colour >> 5) & 0x3F) << 10) |
                         ((ink_colour & 0x1F) << 3);
    text += ink_colour == rgb_to_screen(background) ? ' ' : text_in(row, c, 1, fg, background)[0];
  }
  return text;
}

ScreenPixel ExperimentTest::ink(int32_t row, int32_t column, RgbColour background) const {
  const ScreenPixel bg = rgb_to_screen(background);
  for (int32_t j = 0; j < 16; ++j) {
    for (int32_t i = 0; i < 8; ++i) {
      const ScreenPixel p = pixel((column - 1) * 8 + i, (row - 1) * 16 + j);
      if (p != bg) return p;
    }
  }
  return bg;
}

std::string ExperimentTest::log_bytes() const {
  return read_file(directory / ("estudio_" + log_date));
}
