// The screen record, colour conversion, opening and closing, back-end choice,
// the window title and the lock protocol.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/draw.h"
#include "gfx/driver.h"
#include "gfx/keys.h"
#include "gfx/screen.h"
#include "gfx/text.h"
#include "runtime/program.h"
#include "tests/gfx/support.h"

namespace {

// One init call that a fake back-end saw.
struct Attempt {
  std::string name;
  int32_t refresh_rate;
  int32_t flags;
  int32_t depth;
};

// What the fake back-ends saw, and whether "GDI" accepts a window.
struct FakeLog {
  std::vector<Attempt> attempts;
  std::vector<std::string> exits;
  std::string title;
  int32_t locks = 0;
  int32_t unlocks = 0;
  bool accept_window = false;  // "GDI" accepts a window (flags bit 0 clear)
};

FakeLog fake;

// Note an init attempt and refuse it.
int32_t record(const char* name, int32_t depth, int32_t refresh_rate, int32_t flags) {
  fake.attempts.push_back({name, refresh_rate, flags, depth});
  return 1;
}

int32_t directx_init(const char*, int32_t, int32_t, int32_t depth, int32_t rate, int32_t flags) {
  return record("DirectX", depth, rate, flags);
}
int32_t gdi_init(const char* title, int32_t, int32_t, int32_t depth, int32_t rate, int32_t flags) {
  record("GDI", depth, rate, flags);
  fake.title = title;
  return fake.accept_window && !(flags & SCREEN_FULLSCREEN) ? 0 : 1;
}
int32_t opengl_init(const char*, int32_t, int32_t, int32_t depth, int32_t rate, int32_t flags) {
  return record("OpenGL", depth, rate, flags);
}
void directx_exit() { fake.exits.push_back("DirectX"); }
void gdi_exit() { fake.exits.push_back("GDI"); }
void opengl_exit() { fake.exits.push_back("OpenGL"); }
void fake_lock() { ++fake.locks; }
void fake_unlock() { ++fake.unlocks; }
void fake_title(const char* title) { fake.title = title; }

const ScreenDriver directx = {"DirectX", directx_init, directx_exit, fake_lock, fake_unlock,
                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
const ScreenDriver gdi = {"GDI", gdi_init, gdi_exit, fake_lock, fake_unlock, nullptr,
                          nullptr, nullptr, nullptr, fake_title, nullptr, nullptr, nullptr};
const ScreenDriver opengl = {"OpenGL", opengl_init, opengl_exit, fake_lock, fake_unlock,
                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
const ScreenDriver* const fake_table[] = {&directx, &gdi, &opengl, nullptr};

// What a layer registered by the tests was told, and what the back-ends had seen by then.
std::vector<std::string> layer_events;

void layer_opened(GraphicsScreen& screen, int32_t flags) {
  layer_events.push_back("opened " + std::to_string(screen.mode) + " " + std::to_string(flags) + " after " +
                         std::to_string(fake.attempts.size()) + " attempts");
}
void layer_closed() { layer_events.push_back("closed"); }

const ScreenLayer test_layer = {layer_opened, layer_closed, nullptr};

class FakeBackEnds : public ::testing::Test {
 protected:
  void SetUp() override {
    fake = FakeLog();
    set_screen_drivers(fake_table);
    set_error_code(0);
  }
  void TearDown() override {
    release_screen();
    set_screen_drivers(nullptr);
  }
  GraphicsScreen& screen() { return *current_screen(); }
};

}  // namespace

TEST(RgbToScreen, KeepsTheTopBitsOfEachChannel) {
  EXPECT_EQ(rgb_to_screen(0x00CC00), 0x0660);
  EXPECT_EQ(rgb_to_screen(0x000044), 0x0008);
  EXPECT_EQ(rgb_to_screen(0x8888DD), 0x8C5B);
  EXPECT_EQ(rgb_to_screen(0x003900), 0x01C0);
  EXPECT_EQ(rgb_to_screen(0xFF4444), 0xFA28);
  EXPECT_EQ(rgb_to_screen(0xFFFFFF), 0xFFFF);
  EXPECT_EQ(rgb_to_screen(0x00FF00), 0x07E0);
  EXPECT_EQ(rgb_to_screen(0x000000), 0x0000);
  EXPECT_EQ(rgb_to_screen(0xFF000000u), 0x0000);  // bits above the colour are ignored
}

TEST(ModeTable, TextStaysOnThePageInEveryMode) {
  for (int32_t mode = 1; mode < SCREEN_MODE_COUNT; ++mode) {
    const ScreenMode& t = screen_modes[mode];
    if (t.width == -1) continue;
    EXPECT_LE(t.text_columns * 8, t.width) << mode;  // text never leaves the page
    EXPECT_LE(t.text_rows * t.font_height, t.height) << mode;
  }
}

TEST_F(HeadlessScreen, OpensTheExperimentsScreen) {
  GraphicsScreen& s = screen();
  EXPECT_STREQ(s.driver->name, "Null");
  EXPECT_EQ(s.width, 800);
  EXPECT_EQ(s.height, 600);
  EXPECT_EQ(s.depth, 16);
  EXPECT_EQ(s.colour_mask, 0xFFFFu);
  EXPECT_EQ(s.bytes_per_pixel, 2);
  EXPECT_EQ(s.pitch, 1600);
  EXPECT_EQ(s.page_count, 4);
  ASSERT_EQ(s.pages.size(), 4u);
  EXPECT_EQ(s.visible_page, s.pages[0].get());
  for (int32_t y = 0; y < 600; ++y) ASSERT_EQ(s.rows[y], s.pages[0].get() + y * 1600);
  EXPECT_EQ(screen_ready(), reinterpret_cast<intptr_t>(s.rows[0]));
  EXPECT_EQ(pixels_of(0).size(), 800u * 600u);  // black
  EXPECT_EQ(s.dirty.size(), 600u);
  EXPECT_EQ(s.foreground, 0xFFFFu);
  EXPECT_EQ(s.background, 0u);
  EXPECT_EQ(s.viewport.x, 0);
  EXPECT_EQ(s.viewport.width, 800);
  EXPECT_EQ(s.viewport.height, 600);
  EXPECT_TRUE(s.viewport.relative);
  int32_t columns, rows, top, bottom;
  text_size(&columns, &rows);
  text_window(&top, &bottom);
  EXPECT_EQ(columns, 100);
  EXPECT_EQ(rows, 37);
  EXPECT_EQ(top, 1);
  EXPECT_EQ(bottom, 37);
  text_cursor(&columns, &rows);
  EXPECT_EQ(columns, 1);
  EXPECT_EQ(rows, 1);
}

TEST_F(HeadlessScreen, RefusesMissingModesAndKeepsTheScreen) {
  intptr_t before = screen_ready();
  for (int32_t mode : {22, -1, 3, 4, 5, 6, 1000}) {
    set_error_code(0);
    open_screen(mode, 16, 1, SCREEN_NO_WINDOW, 0);
    EXPECT_EQ(error_code(), 1) << mode;
    EXPECT_EQ(screen_ready(), before) << mode;
  }
}

TEST_F(HeadlessScreen, ModeZeroAndReleaseCloseTheScreen) {
  open_screen(0, 0, 0, 0, 0);
  EXPECT_EQ(screen_ready(), 0);
  EXPECT_EQ(error_code(), 0);
  EXPECT_EQ(read_key(), "");
  draw_line(0, 0, 10, 10, 0xFFFFFF, LINE_SEGMENT, 0xFFFF, COORD_ABSOLUTE);  // nothing to draw on
  print_to_screen("x", 1, 0);
  release_screen();  // nothing open: no effect
  EXPECT_EQ(screen_ready(), 0);
}

TEST_F(HeadlessScreen, ReopeningReplacesTheScreen) {
  draw_point(5, 5, 0xFFFFFF, COORD_ABSOLUTE_POINT, 0);
  open_screen(19, 16, 1, SCREEN_NO_WINDOW, 0);
  ASSERT_NE(screen_ready(), 0);
  EXPECT_EQ(screen().page_count, 1);
  EXPECT_EQ(pixel_at(5, 5), 0);
}

TEST_F(HeadlessScreen, DepthFollowsTheRequest) {
  open_screen(19, 32, 0, SCREEN_NO_WINDOW, 0);
  EXPECT_EQ(screen().depth, 32);
  EXPECT_EQ(screen().bytes_per_pixel, 4);
  EXPECT_EQ(screen().pitch, 3200);
  EXPECT_EQ(screen().page_count, 1);  // fewer than one page counts as one
  open_screen(19, 12, 1, SCREEN_NO_WINDOW, 0);  // not a known depth: the mode's own
  EXPECT_EQ(screen().depth, 8);
  EXPECT_EQ(screen().colour_mask, 0xFFu);
  open_screen(13, 16, 1, SCREEN_NO_WINDOW, 0);  // modes up to 13 keep their depth
  EXPECT_EQ(screen().depth, 8);
  // Text and drawing still work at other depths.
  print_to_screen("\xDB", 1, 0);
  draw_line(0, 199, 319, 199, 0x00000F, LINE_SEGMENT, 0xFFFF, COORD_ABSOLUTE);
  EXPECT_EQ(screen().rows[0][0], 0xFF);
  EXPECT_EQ(screen().rows[199][319], 0x0F);
}

TEST_F(FakeBackEnds, BothPassesFailingLeaveNoScreen) {
  open_screen(19, 16, 4, SCREEN_FULLSCREEN, 75);
  EXPECT_EQ(screen_ready(), 0);
  EXPECT_EQ(current_screen(), nullptr);
  EXPECT_EQ(error_code(), 1);
  ASSERT_EQ(fake.attempts.size(), 12u);
  const char* names[] = {"DirectX", "DirectX", "GDI", "GDI", "OpenGL", "OpenGL"};
  for (size_t i = 0; i < 12; ++i) {
    EXPECT_EQ(fake.attempts[i].name, names[i % 6]) << i;
    EXPECT_EQ(fake.attempts[i].refresh_rate, i % 2 == 0 ? 75 : 0) << i;
    EXPECT_EQ(fake.attempts[i].flags, i < 6 ? 1 : 0) << i;
    EXPECT_EQ(fake.attempts[i].depth, 16) << i;
  }
  EXPECT_EQ(fake.exits.size(), 12u);  // every failed init is undone
  EXPECT_EQ(read_key(), "");
}

TEST_F(FakeBackEnds, TheSecondPassOpensAWindow) {
  fake.accept_window = true;
  set_window_title(std::string(200, 't'));
  open_screen(19, 16, 4, SCREEN_FULLSCREEN, 0);
  ASSERT_NE(screen_ready(), 0);
  EXPECT_EQ(error_code(), 0);
  EXPECT_STREQ(screen().driver->name, "GDI");
  ASSERT_EQ(fake.attempts.size(), 9u);  // six refusals, then DirectX twice and GDI in a window
  EXPECT_EQ(fake.attempts.back().flags, 0);
  EXPECT_EQ(fake.title, std::string(127, 't'));
  set_window_title("nuevo");
  EXPECT_EQ(fake.title, "nuevo");
  EXPECT_STREQ(window_title(), "nuevo");
  fake.exits.clear();
  release_screen();
  EXPECT_EQ(screen_ready(), 0);
  ASSERT_EQ(fake.exits.size(), 1u);
  EXPECT_EQ(fake.exits[0], "GDI");
}

TEST_F(FakeBackEnds, LayersAreToldBeforeTheBackEndStartsAndWhenNoScreenIsLeft) {
  ASSERT_TRUE(add_screen_layer(&test_layer));
  ASSERT_TRUE(add_screen_layer(&test_layer));  // once only
  layer_events.clear();
  open_screen(19, 16, 1, SCREEN_FULLSCREEN, 0);  // every back-end refuses
  fake.accept_window = true;
  open_screen(19, 16, 1, SCREEN_FULLSCREEN, 0);  // the second pass opens a window
  release_screen();
  open_screen(0, 0, 0, 0, 0);  // closing with nothing open still tells
  const std::vector<std::string> expected = {"opened 19 1 after 0 attempts", "closed",
                                             "opened 19 1 after 12 attempts", "closed", "closed"};
  EXPECT_EQ(layer_events, expected);
  // The table holds a few layers; one too many is refused.
  static const ScreenLayer extra[SCREEN_LAYER_LIMIT] = {};
  int32_t accepted = 0;
  for (const ScreenLayer& layer : extra) accepted += add_screen_layer(&layer) ? 1 : 0;
  EXPECT_LT(accepted, SCREEN_LAYER_LIMIT);
  EXPECT_FALSE(add_screen_layer(nullptr));
}

TEST_F(HeadlessScreen, ANewScreenBringsItsOwnTextWindowCursorAndEmptyKeyQueue) {
  ASSERT_NE(set_text_window(17, 33), 0u);
  locate(20, 5, -1);
  add_key('a');
  open_screen(19, 16, 1, SCREEN_NO_WINDOW, 0);
  int32_t top, bottom, column, row;
  text_window(&top, &bottom);
  text_cursor(&column, &row);
  EXPECT_EQ(std::make_pair(top, bottom), std::make_pair(1, 37));
  EXPECT_EQ(std::make_pair(column, row), std::make_pair(1, 1));
  EXPECT_EQ(read_key(), "");
  release_screen();
  text_window(&top, &bottom);  // no screen: the whole console
  EXPECT_EQ(std::make_pair(top, bottom), std::make_pair(1, 25));
}

TEST_F(FakeBackEnds, OpenGLFlagRaisesTheDepth) {
  fake.accept_window = true;
  open_screen(19, 8, 1, SCREEN_OPENGL, 0);
  ASSERT_FALSE(fake.attempts.empty());
  EXPECT_EQ(fake.attempts[0].depth, 16);
}

TEST_F(FakeBackEnds, EveryOperationTakesAndDropsTheLockOnce) {
  fake.accept_window = true;
  open_screen(19, 16, 4, SCREEN_FULLSCREEN, 0);
  ASSERT_NE(screen_ready(), 0);
  auto calls = [] {
    int32_t locks = fake.locks;
    EXPECT_EQ(fake.locks, fake.unlocks);
    fake.locks = fake.unlocks = 0;
    return locks;
  };
  calls();
  draw_line(10, 10, 20, 30, 0xFFFFFF, LINE_SEGMENT, 0xFFFF, COORD_ABSOLUTE);
  EXPECT_EQ(calls(), 1);
  draw_line(-50, -50, -10, -20, 0xFFFFFF, LINE_SEGMENT, 0xFFFF, COORD_ABSOLUTE);  // wholly outside
  EXPECT_EQ(calls(), 0);
  draw_line(900, 10, 950, 40, 0xFFFFFF, LINE_FILLED_BOX, 0xFFFF, COORD_ABSOLUTE);
  EXPECT_EQ(calls(), 0);
  draw_point(-1, 5, 0xFFFFFF, COORD_ABSOLUTE_POINT, 0);
  EXPECT_EQ(calls(), 0);
  draw_circle(100, 100, 2, 0xFFFFFF, 0, 0, FULL_CIRCLE, 1, COORD_ABSOLUTE_POINT);
  EXPECT_EQ(calls(), 1);
  print_to_screen("hola", 4, 0);
  EXPECT_EQ(calls(), 1);
  print_to_screen("", 0, 0);
  EXPECT_EQ(calls(), 0);
  read_key();
  EXPECT_EQ(calls(), 1);
  set_viewport(1, 30, 721, 202, 0x00CC00, DefaultColour, 0);
  EXPECT_EQ(calls(), 1);
  EXPECT_FALSE(screen().locked);
  EXPECT_FALSE(screen().auto_locked);

  // An explicit lock held across operations is neither taken nor dropped by them.
  screen().locked = true;
  draw_line(10, 10, 20, 30, 0xFFFFFF, LINE_SEGMENT, 0xFFFF, COORD_ABSOLUTE);
  print_to_screen("x", 1, 0);
  read_key();
  EXPECT_EQ(calls(), 0);
  EXPECT_TRUE(screen().locked);
  screen().locked = false;
}

TEST_F(HeadlessScreen, DirtyBandSpansTheMarkedOutputRows) {
  int32_t first = -1, last = -1;
  EXPECT_FALSE(dirty_band(screen(), &first, &last));  // a new screen has nothing to show
  mark_dirty(-5, 3);  // cut to the screen
  mark_dirty(40, 41);
  ASSERT_TRUE(dirty_band(screen(), &first, &last));
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, 41);
  fill_screen(0);
  mark_dirty(599, 700);
  ASSERT_TRUE(dirty_band(screen(), &first, &last));
  EXPECT_EQ(first, 599);
  EXPECT_EQ(last, 599);

  // A mode with doubled lines marks two output rows per pixel row; the band counts output rows.
  open_screen(1, 0, 1, SCREEN_NO_WINDOW, 0);
  ASSERT_EQ(screen().dirty.size(), 400u);
  mark_dirty(199, 199);
  ASSERT_TRUE(dirty_band(screen(), &first, &last));
  EXPECT_EQ(first, 398);
  EXPECT_EQ(last, 399);
}

TEST(Bell, SoundsThroughTheInstalledHook) {
  static int32_t rings = 0;
  sound_bell();  // silent without a hook
  set_bell_sound([] { ++rings; });
  sound_bell();
  set_bell_sound(nullptr);
  sound_bell();
  EXPECT_EQ(rings, 1);
}
