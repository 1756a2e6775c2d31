// Text in graphics mode: glyphs, the cursor, wrapping, the deferred scroll,
// scrolling by rotating rows, the owed background of a freed row, the text window and locate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/draw.h"
#include "gfx/text.h"
#include "runtime/program.h"
#include "tests/gfx/support.h"

namespace {

constexpr uint16_t FG = 0x07E0;  // green
constexpr uint16_t BG = 0x001F;  // blue

// Print bytes through the screen channel's sink.
void print(const std::string& text) { print_to_screen(text.data(), static_cast<int32_t>(text.size()), 0); }

// The text cursor as (row, column), counted from 1.
std::pair<int32_t, int32_t> cursor() {
  int32_t column, row;
  text_cursor(&column, &row);
  return {row, column};
}

// The 8 pixels of pixel row j of the cell (row, column), counted from 1, as '#' (FG) and '.' (BG).
std::string cell_row(int32_t row, int32_t column, int32_t j) {
  std::string out;
  for (int32_t i = 0; i < 8; ++i) {
    uint16_t p = pixel_at((column - 1) * 8 + i, (row - 1) * 16 + j);
    out += p == FG ? '#' : p == BG ? '.' : '?';
  }
  return out;
}

// A cell that shows only the background colour.
bool cell_blank(int32_t row, int32_t column) {
  for (int32_t j = 0; j < 16; ++j) {
    if (cell_row(row, column, j) != "........") return false;
  }
  return true;
}

// A whole text row's pixel rows are all `value`.
bool text_row_is(int32_t row, uint16_t value) {
  for (int32_t y = (row - 1) * 16; y < row * 16; ++y) {
    for (int32_t x = 0; x < 800; ++x) {
      if (pixel_at(x, y) != value) return false;
    }
  }
  return true;
}

class TextScreen : public HeadlessScreen {
 protected:
  void SetUp() override {
    HeadlessScreen::SetUp();
    set_colour(0x00FF00, 0x0000FF);
  }
  // The experiment's text window, rows 17 to 33, with the cursor at (row, column).
  void experiment_window(int32_t row, int32_t column) {
    set_text_window(17, 33);
    locate(row, column, -1);
  }
};

}  // namespace

TEST_F(TextScreen, GlyphsAreDrawnWithBitZeroLeftmost) {
  print("\xDB\xB3\x82\xF3");
  for (int32_t j = 0; j < 16; ++j) {
    EXPECT_EQ(cell_row(1, 1, j), "########") << j;  // full block
    EXPECT_EQ(cell_row(1, 2, j), "...##...") << j;  // vertical bar
  }
  EXPECT_EQ(cell_row(1, 3, 1), "....##..");  // the accent of "é" leans right
  EXPECT_EQ(cell_row(1, 3, 3), "..##....");
  EXPECT_EQ(cell_row(1, 3, 8), "##......");
  EXPECT_EQ(cell_row(1, 3, 15), "........");
  EXPECT_EQ(cell_row(1, 4, 3), "....##..");  // "≤" points left
  EXPECT_EQ(cell_row(1, 4, 6), ".##.....");
  EXPECT_EQ(cell_row(1, 4, 11), ".######.");
  EXPECT_EQ(cursor(), std::make_pair(1, 5));
  for (int32_t y = 0; y < 16; ++y) EXPECT_TRUE(screen().dirty[y]) << y;
  EXPECT_FALSE(screen().dirty[16]);
  EXPECT_EQ(pixel_at(32, 0), 0);  // the next cell is untouched
}

TEST_F(TextScreen, FillingTheBottomRowLeavesTheScrollPending) {
  experiment_window(33, 99);
  draw_point(10, 256, 0xFFFFFF, COORD_ABSOLUTE_POINT, 0);  // graphics in the window's first row
  print("\xDB\xDB");
  EXPECT_TRUE(screen().pending_scroll);
  EXPECT_EQ(cursor(), std::make_pair(33, 100));
  EXPECT_EQ(cell_row(33, 99, 0), "########");
  EXPECT_EQ(cell_row(33, 100, 0), "########");
  EXPECT_EQ(pixel_at(10, 256), 0xFFFF);  // nothing scrolled yet

  set_colour(-1, 0x000000);  // freed rows take the background at the time of the scroll
  print("\xDB");
  EXPECT_FALSE(screen().pending_scroll);
  EXPECT_EQ(cell_row(32, 100, 0), "########");  // the old bottom row moved up one row
  EXPECT_EQ(cell_row(33, 1, 5), "########");    // then the new text at row 33, column 1
  EXPECT_EQ(pixel_at(8, 33 * 16 - 16), 0);     // the rest of the freed row is black
  EXPECT_EQ(pixel_at(799, 527), 0);
  EXPECT_EQ(pixel_at(10, 256), 0);               // the point left the window at the top
  EXPECT_EQ(cursor(), std::make_pair(33, 2));
}

TEST_F(TextScreen, ALineEndAfterAFullRowScrollsTwoRows) {
  for (bool one_print : {true, false}) {
    fill_screen(0);
    experiment_window(33, 99);
    if (one_print) {
      print("\xDB\xDB\r\n");
    } else {
      print("\xDB\xDB");
      print("\r\n");
    }
    EXPECT_EQ(cell_row(31, 99, 0), "########") << one_print;
    EXPECT_EQ(cell_row(31, 100, 0), "########") << one_print;
    EXPECT_TRUE(text_row_is(32, BG)) << one_print;
    EXPECT_TRUE(text_row_is(33, BG)) << one_print;
    EXPECT_EQ(cursor(), std::make_pair(33, 1)) << one_print;
    EXPECT_FALSE(screen().pending_scroll);
  }
}

TEST_F(TextScreen, ShortPrintsLeaveWhatOnePrintOfTheSameBytesLeaves) {
  // Prints that end before their row's last cell take a short path. Pieces of 1 to `longest`
  // bytes take it mostly, and also reach the last column, wrap, scroll and meet control codes.
  std::string text;
  for (int32_t i = 0; i < 400; ++i) text += i % 97 == 96 ? "\r\n" : i % 31 == 30 ? "\t" : i % 3 ? " \xDB" : "\xB3";
  struct Outcome {
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> dirty;
    std::pair<int32_t, int32_t> cursor;
    bool pending_scroll;
  };
  auto outcome_of = [&](size_t longest) {
    fill_screen(0);
    experiment_window(30, 90);
    for (size_t at = 0, piece = 1; at < text.size(); at += piece, piece = piece % longest + 1) {
      print(text.substr(at, piece));
    }
    Outcome o{{}, screen().dirty, cursor(), screen().pending_scroll};
    for (int32_t y = 0; y < 600; ++y) {
      for (int32_t x = 0; x < 800; ++x) o.pixels.push_back(pixel_at(x, y));
    }
    return o;
  };
  const Outcome whole = outcome_of(text.size());
  for (size_t longest : {2, 3, 4, 5}) {
    const Outcome pieces = outcome_of(longest);
    EXPECT_TRUE(whole.pixels == pieces.pixels) << longest;
    EXPECT_EQ(whole.dirty, pieces.dirty) << longest;
    EXPECT_EQ(whole.cursor, pieces.cursor) << longest;
    EXPECT_EQ(whole.pending_scroll, pieces.pending_scroll) << longest;
  }
}

TEST_F(TextScreen, ARunOfOneByteLeavesWhatItsBytesOneByOneLeave) {
  // Runs of one byte (the rule of hyphens) are painted row by row; pieces of one byte in pairs.
  auto picture_of = [&](const std::string& run, bool whole) {
    fill_screen(0);
    experiment_window(30, 3);
    set_colour(0xFFFFFF, 0x0000FF);
    if (whole) {
      print(run);
    } else {
      for (char c : run) print(std::string(1, c));
    }
    std::vector<uint16_t> pixels;
    for (int32_t y = 29 * 16; y < 31 * 16; ++y) {
      for (int32_t x = 0; x < 800; ++x) pixels.push_back(pixel_at(x, y));
    }
    return std::make_pair(pixels, cursor());
  };
  for (size_t length : {7, 8, 9, 11, 12, 13, 97, 98, 99}) {
    for (char c : {'-', ' ', '\xDB'}) {
      const std::string run(length, c);
      EXPECT_TRUE(picture_of(run, true) == picture_of(run, false)) << length << " " << int(c);
    }
  }
}

TEST_F(TextScreen, LocateCancelsAPendingScroll) {
  experiment_window(33, 99);
  print("\xDB\xDB");
  ASSERT_TRUE(screen().pending_scroll);
  locate(20, 1, -1);
  EXPECT_FALSE(screen().pending_scroll);
  print("\xDB");
  EXPECT_EQ(cell_row(33, 100, 0), "########");  // nothing moved
  EXPECT_EQ(cell_row(20, 1, 0), "########");

  // An empty print that asks for its bookkeeping makes a pending scroll.
  locate(33, 99, -1);
  print("\xDB\xDB");
  print_to_screen("", 0, 0);
  EXPECT_TRUE(screen().pending_scroll);
  print_to_screen("", 0, 8);
  EXPECT_FALSE(screen().pending_scroll);
  EXPECT_EQ(cursor(), std::make_pair(33, 1));
  EXPECT_TRUE(text_row_is(33, BG));
}

TEST_F(TextScreen, TwoHundredBitsFillFourRows) {
  experiment_window(17, 1);
  for (int32_t i = 0; i < 200; ++i) print(i % 2 ? " 1" : " 0");
  EXPECT_EQ(cursor(), std::make_pair(21, 1));
  EXPECT_FALSE(screen().pending_scroll);

  experiment_window(30, 1);  // the fourth row is the bottom row: the scroll waits
  for (int32_t i = 0; i < 200; ++i) print(" 0");
  EXPECT_TRUE(screen().pending_scroll);
  EXPECT_EQ(cursor(), std::make_pair(33, 100));
  print("x");
  EXPECT_EQ(cursor(), std::make_pair(33, 2));
  EXPECT_FALSE(cell_blank(32, 2));  // the "0" of the last bit moved up
}

TEST_F(TextScreen, LongLinesWrapAndScrollOnce) {
  experiment_window(33, 1);
  print(std::string(150, '\xDB'));
  EXPECT_EQ(cell_row(32, 100, 0), "########");
  EXPECT_EQ(cell_row(33, 50, 0), "########");
  EXPECT_EQ(cell_row(33, 51, 0), "........");
  EXPECT_EQ(cursor(), std::make_pair(33, 51));
  print(std::string(600, '\xDB'));  // longer than one run
  EXPECT_EQ(cursor(), std::make_pair(33, 51));
  EXPECT_EQ(cell_row(33, 50, 0), "########");
}

TEST_F(TextScreen, TabsBackspacesAndTheBell) {
  print("\t");
  EXPECT_EQ(cursor(), std::make_pair(1, 9));
  locate(2, 6, -1);
  print("\t");
  EXPECT_EQ(cursor(), std::make_pair(2, 9));
  EXPECT_EQ(cell_row(2, 6, 0), "........");  // spaces in the background colour
  locate(3, 1, -1);
  print("ab\tc");
  EXPECT_EQ(cursor(), std::make_pair(3, 10));

  static int32_t rings = 0;
  set_bell_sound([] { ++rings; });
  locate(4, 1, -1);
  print("\xDB\a\b\b\xB3");
  set_bell_sound(nullptr);
  EXPECT_EQ(rings, 1);
  EXPECT_EQ(cell_row(4, 1, 0), "...##...");  // backspace moves back, a second one stops at the edge
  EXPECT_EQ(cursor(), std::make_pair(4, 2));
  print("\r\xDB");
  EXPECT_EQ(cell_row(4, 1, 0), "########");
}

TEST_F(TextScreen, ScrollingMovesOnlyTheWindowsRows) {
  // Rows 17 to 33 are pixel rows 256 to 527.
  for (int32_t y : {0, 255, 256, 300, 527, 528, 599}) draw_point(400, static_cast<float>(y), 0xFFFFFF, COORD_ABSOLUTE_POINT, 0);
  experiment_window(33, 1);
  auto outside_rows = [] {
    std::vector<uint8_t*> rows(current_screen()->rows.begin(), current_screen()->rows.begin() + 256);
    rows.insert(rows.end(), current_screen()->rows.begin() + 528, current_screen()->rows.end());
    return rows;
  };
  std::vector<uint8_t*> before = outside_rows();
  std::fill(screen().dirty.begin(), screen().dirty.end(), 0);
  print("\n");  // a line feed on the bottom row scrolls at once
  EXPECT_EQ(pixel_at(400, 0), 0xFFFF);
  EXPECT_EQ(pixel_at(400, 255), 0xFFFF);
  EXPECT_EQ(pixel_at(400, 256), 0);       // moved out at the top
  EXPECT_EQ(pixel_at(400, 284), 0xFFFF);  // 300 moved up 16 rows
  EXPECT_EQ(pixel_at(400, 511), 0xFFFF);  // 527 moved up
  EXPECT_EQ(pixel_at(400, 527), BG);      // freed row
  EXPECT_EQ(pixel_at(400, 528), 0xFFFF);
  EXPECT_EQ(pixel_at(400, 599), 0xFFFF);
  EXPECT_EQ(outside_rows(), before);  // rows outside the window keep their buffers
  for (int32_t y = 0; y < 600; ++y) EXPECT_EQ(screen().dirty[y] != 0, y >= 256 && y < 528) << y;

  // The row table stays a permutation of page 0's rows.
  std::vector<uint8_t*> rows = screen().rows;
  std::sort(rows.begin(), rows.end());
  for (int32_t y = 0; y < 600; ++y) ASSERT_EQ(rows[y], screen().pages[0].get() + y * 1600);

  print(std::string(40, '\n'));  // more rows than the window: all of it cleared
  EXPECT_TRUE(text_row_is(17, BG));
  EXPECT_TRUE(text_row_is(33, BG));
  EXPECT_EQ(pixel_at(400, 528), 0xFFFF);
  EXPECT_EQ(cursor(), std::make_pair(33, 1));
}

TEST_F(TextScreen, TextWindowAndLocateRefusals) {
  EXPECT_EQ(set_text_window(17, 33), 17u | (33u << 16));
  EXPECT_EQ(cursor(), std::make_pair(17, 1));
  set_error_code(0);
  for (auto [top, bottom] : {std::pair{5, 3}, {38, 38}, {1, 38}, {0, 40}}) {
    EXPECT_EQ(set_text_window(top, bottom), 0u) << top << "," << bottom;
  }
  EXPECT_EQ(error_code(), 0);
  int32_t top, bottom;
  text_window(&top, &bottom);
  EXPECT_EQ(std::make_pair(top, bottom), std::make_pair(17, 33));

  locate(5, 92, -1);  // outside the window: refused
  EXPECT_EQ(error_code(), 1);
  EXPECT_EQ(cursor(), std::make_pair(17, 1));
  set_error_code(0);
  locate(20, 101, -1);
  locate(20, -1, -1);
  locate(34, 1, -1);
  EXPECT_EQ(error_code(), 1);
  EXPECT_EQ(cursor(), std::make_pair(17, 1));

  set_error_code(0);
  locate(0, 50, -1);  // 0 keeps the row
  EXPECT_EQ(cursor(), std::make_pair(17, 50));
  locate(25, 0, -1);  // 0 keeps the column
  EXPECT_EQ(cursor(), std::make_pair(25, 50));
  EXPECT_EQ(set_text_window(-1, 30), 17u | (30u << 16));  // negative keeps the top
  EXPECT_EQ(cursor(), std::make_pair(17, 1));
  EXPECT_EQ(set_text_window(-1, -1), 17u | (30u << 16));  // both kept: the cursor stays
  EXPECT_EQ(set_text_window(0, 0), 1u | (37u << 16));
  EXPECT_EQ(cursor(), std::make_pair(1, 1));
  locate(5, 92, -1);
  EXPECT_EQ(cursor(), std::make_pair(5, 92));
  EXPECT_EQ(error_code(), 0);
}

TEST_F(TextScreen, SetColourReturnsThePreviousPair) {
  EXPECT_EQ(set_colour(0xFFFFFF, -1), 0x07E0u | (0x001Fu << 16));
  EXPECT_EQ(set_colour(-1, -1), 0xFFFFu | (0x001Fu << 16));
  set_colour(0x00FF00, 0);
  set_colour(0xFFFFFF, -1);
  EXPECT_EQ(screen().foreground, 0xFFFFu);
  EXPECT_EQ(screen().background, 0u);
}

TEST_F(TextScreen, AFreedRowOwesItsBackgroundUntilSomeoneLocksOrDrawsThere) {
  // Rows 17 to 33 are pixel rows 256 to 527; row 33 is 512 to 527. Stale pixels everywhere,
  // so that a background not yet written would show.
  constexpr uint16_t STALE = 0x1234;
  auto raw = [](int32_t x, int32_t y) {  // the row table without the lock: what is written so far
    uint16_t value;
    std::memcpy(&value, current_screen()->rows[static_cast<size_t>(y)] + x * 2, 2);
    return value;
  };
  fill_screen(STALE);
  experiment_window(33, 1);
  print("\n");
  print("\xDB\xDB");
  EXPECT_TRUE(screen().drawing_owed);
  EXPECT_EQ(raw(799, 520), STALE);  // on a screen without lock the fill waits...
  draw_point(10, 100, 0xFFFFFF, COORD_ABSOLUTE_POINT, 0);
  EXPECT_EQ(raw(799, 520), STALE);  // ...also for drawing in other rows...
  EXPECT_EQ(pixel_at(799, 520), BG);  // ...and whoever takes the lock sees the whole picture
  EXPECT_EQ(raw(799, 520), BG);
  EXPECT_EQ(cell_row(33, 2, 0), "########");
  EXPECT_EQ(cell_row(33, 3, 0), "........");

  // Drawing in the owed row comes after the background, never under it.
  print("\n");
  draw_line(0, 520, 799, 520, 0xFFFFFF, LINE_SEGMENT, 0xFFFF, COORD_ABSOLUTE);
  EXPECT_EQ(raw(700, 520), 0xFFFF);
  EXPECT_EQ(pixel_at(700, 520), 0xFFFF);
  EXPECT_EQ(pixel_at(700, 519), BG);

  // A print that would leave a gap in the owed row has the background come first: held with its
  // glyphs until someone locks, then written before them.
  print("\n");
  locate(33, 50, -1);
  print("\xDB");
  EXPECT_EQ(raw(8 * 10, 515), STALE);
  EXPECT_EQ(pixel_at(8 * 10, 515), BG);
  EXPECT_TRUE(cell_blank(33, 49));
  EXPECT_EQ(cell_row(33, 50, 0), "########");
  EXPECT_TRUE(cell_blank(33, 51));

  // A scroll moves the owed row up with its background written.
  print("\r\n\xDB");
  print("\n");
  EXPECT_EQ(cell_row(32, 1, 0), "########");
  EXPECT_EQ(raw(799, 32 * 16 - 16), BG);
  EXPECT_TRUE(cell_blank(32, 2));

  // A print made under the lock (as on every back-end with a presentation thread) leaves nothing owed.
  lock_screen();
  print("\n\xDB");
  EXPECT_EQ(raw(799, 520), BG);
  unlock_screen();
  EXPECT_EQ(pixel_at(799, 520), BG);
  for (int32_t y = 0; y < 256; ++y) ASSERT_EQ(raw(10, y), y == 100 ? 0xFFFF : STALE) << y;  // above the window
}

TEST_F(TextScreen, HeldGlyphsGiveThePictureThatPaintingAtOnceGives) {
  // The glyphs wait in their cells until someone takes the lock for their rows.
  experiment_window(25, 1);
  print("\xDB\xDB");
  EXPECT_TRUE(screen().drawing_owed);
  // Drawing over them comes after them, in whichever row of the lock's band they lie.
  draw_line(3, 0, 3, 599, 0xFF0000, LINE_SEGMENT, 0xFFFF, COORD_ABSOLUTE);
  EXPECT_EQ(pixel_at(3, 24 * 16 + 5), 0xF800);
  EXPECT_EQ(cell_row(25, 2, 5), "########");
  // A glyph printed over the drawing covers it.
  locate(25, 1, -1);
  print("\xDB");
  EXPECT_EQ(cell_row(25, 1, 5), "########");

  // A print made under a lock taken for other rows paints at once, over the glyph held there.
  locate(20, 1, -1);
  print("\xDB");
  lock_rows(0, 0);
  locate(20, 1, -1);
  print(" ");
  unlock_screen();
  EXPECT_TRUE(cell_blank(20, 1));

  // A row that scrolls out of the window takes its held glyphs with it: its pixel rows come
  // back at the bottom as the freed row, blank.
  locate(17, 1, -1);
  print("\xDB\xDB\xDB");
  locate(33, 1, -1);
  print("\n");
  EXPECT_TRUE(cell_blank(33, 1));
  EXPECT_TRUE(cell_blank(33, 3));
}
