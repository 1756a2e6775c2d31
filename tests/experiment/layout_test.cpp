// The fixed screen layout, checked pixel by pixel after the start-up and
// after the background is drawn again at a cycle end.
#include <string>

#include <gtest/gtest.h>

#include "experiment/layout.h"
#include "experiment/loop.h"
#include "experiment/state.h"
#include "gfx/screen.h"
#include "gfx/text.h"
#include "runtime/program.h"
#include "tests/experiment/support.h"

namespace {

ScreenPixel px(RgbColour colour) { return rgb_to_screen(colour); }

// A title from column 2 as it reads with '?' in the cells that a grid column
// or a legend dot (device x 534 to 538) crosses.
Text crossed_by_grid(Text title) {
  for (size_t i = 0; i < title.size(); ++i) {
    const int32_t left = 8 * (static_cast<int32_t>(i) + 1);  // column i + 2
    for (int32_t x = left; x < left + 8; ++x) {
      if ((x % 30 == 1 && x >= 31 && x <= 691) || (x >= 534 && x <= 538)) title[i] = '?';
    }
  }
  return title;
}

class LayoutTest : public ExperimentTest {
 protected:
  // Expect device column x to hold `colour` on rows first to last.
  void expect_run(int32_t x, int32_t first, int32_t last, RgbColour colour) {
    for (int32_t y = first; y <= last; ++y) {
      EXPECT_EQ(pixel(x, y), px(colour)) << "x " << x << ", y " << y;
    }
  }
  // Expect the tick column x: upper ticks on upper_first..29 and lower ticks on 203..lower_last.
  void expect_tick(int32_t x, int32_t upper_first, RgbColour upper, int32_t lower_last,
                   RgbColour lower) {
    expect_run(x, upper_first, 29, upper);
    EXPECT_EQ(pixel(x, upper_first - 1), 0) << "above the tick at x " << x;
    expect_run(x, 203, lower_last, lower);
  }
};

TEST_F(LayoutTest, HourScalesDateLineTitlesAndCreditShowTheirTexts) {
  start(1.0, "2026-03-07 09:05:07");
  const ExperimentState& s = experiment_state();
  EXPECT_EQ(text_in(1, 1, 93, 0x77FF33), HOUR_SCALE);
  EXPECT_EQ(text_in(15, 1, 39, 0x33FF77), "FECHA INICIO EXPERIMENTO [mm/dd/aaaa]: ");
  EXPECT_EQ(text_in(15, 40, 27, 0xFFFFFF), "03-07-2026 - 09:05:07      ");
  EXPECT_EQ(s.start_date + " - " + s.start_time, "03-07-2026 - 09:05:07");
  EXPECT_EQ(text_in(15, 67, 14, 0x33FF77), "FECHA ACTUAL: ");
  EXPECT_EQ(text_in(15, 81, 10, 0xFFFFFF), "03-07-2026");
  EXPECT_EQ(text_in(35, 1, 41, 0xFF9966), " * *  TEST-NUV v0.3b 0/1 x 200 bits/seg. ");
  EXPECT_EQ(text_in(35, 42, 2, 0xAA3311), "::");
  EXPECT_EQ(text_in(35, 44, 56, 0xFF9966),
            " PROYECTO INDEPENDIENTE DE INVESTIGACION SOBRE QEX  * * ");
  EXPECT_EQ(text_in(36, 1, 99, 0x66FF66), CREDIT_LINE);
  // Titles of the graph; the grid and the legend dots cross some cells.
  EXPECT_EQ(text_in(7, 2, 88, 0xFF4444, 0x000044),
            crossed_by_grid("1                    AREA GRAFICA DE FLUCTUACIONES HACIA EL UNO"
                            "                        1"));
  EXPECT_EQ(text_in(12, 2, 88, 0x4444FF, 0x000044),
            crossed_by_grid("0                    AREA GRAFICA DE FLUCTUACIONES HACIA EL CERO"
                            "                       0"));
}

TEST_F(LayoutTest, GradientBarsRiseAndFallInStepsOfTwoGreenLevels) {
  start(1.0);
  for (int32_t i = 1; i <= 99; ++i) {
    const int32_t x = 8 * (i - 1);
    EXPECT_EQ(pixel(x + 3, 240), px(static_cast<RgbColour>((2 * i + 50) << 8))) << i;
    EXPECT_EQ(pixel(x + 3, 543), px(static_cast<RgbColour>((255 - 2 * i) << 8))) << i;
  }
  EXPECT_EQ(pixel(3, 248), px(0x003400));
  EXPECT_EQ(pixel(8 * 98 + 7, 255), px(0x00F800));
  EXPECT_EQ(pixel(3, 530), px(0x00FD00));
  EXPECT_EQ(pixel(8 * 98 + 7, 528), px(0x003900));
  EXPECT_EQ(pixel(795, 240), 0);  // column 100 is not part of the bars
}

TEST_F(LayoutTest, FirstDrawingLeavesTicksOfThreeLengthsAroundTheGraphArea) {
  start(1.0);
  expect_tick(1, 22, 0xFFFFFF, 208, 0xFFFFFF);
  expect_tick(721, 22, 0xFFFFFF, 208, 0xFFFFFF);
  expect_tick(11, 26, 0x88DD88, 206, 0x8888DD);
  EXPECT_EQ(pixel(11, 207), 0);
  expect_tick(6, 28, 0x008800, 204, 0x000088);
  EXPECT_EQ(pixel(6, 205), 0);
  EXPECT_EQ(pixel(2, 29), 0);  // between ticks
  EXPECT_EQ(pixel(2, 203), 0);
}

TEST_F(LayoutTest, GraphAreaHasRasterGraphGridGuideLinesAndLegendDots) {
  start(1.0);
  // Raster green on GraphArea rows 0-60, dark blue below down to device y 202.
  expect_run(2, 30, 90, 0x00CC00);
  expect_run(2, 91, 95, 0x000044);
  expect_run(720, 91, 95, 0x000044);
  EXPECT_EQ(pixel(722, 60), 0);
  // Half-hour marks from GraphArea row 1, graph grid from row 62 to the bottom.
  for (int32_t x = 1; x <= 721; x += 30) {
    EXPECT_EQ(pixel(x, 30), px(0x00CC00)) << x;
    expect_run(x, 31, 90, 0x00AA00);
    EXPECT_EQ(pixel(x, 91), px(0x000044)) << x;
    expect_run(x, 92, 116, 0x000088);
    expect_run(x, 174, 202, 0x000088);
    EXPECT_EQ(pixel(x, 145), px(0x008800)) << x;  // the centre line is drawn over the grid
  }
  // The grid crosses the title rows, including their cells.
  expect_run(31, 96, 111, 0x000088);
  expect_run(691, 176, 191, 0x000088);
  // Centre and guide lines.
  EXPECT_EQ(pixel(2, 145), px(0x008800));
  EXPECT_EQ(pixel(720, 145), px(0x008800));
  EXPECT_EQ(pixel(2, 117), px(0x006600));
  EXPECT_EQ(pixel(2, 173), px(0x006600));
  // Legend dots: diamonds of radius 2 and pluses of radius 1.
  const auto expect_diamond = [&](int32_t cx, int32_t cy, RgbColour colour) {
    for (int32_t dy = -2; dy <= 2; ++dy) {
      const int32_t half = 2 - (dy < 0 ? -dy : dy);
      for (int32_t dx = -half; dx <= half; ++dx) EXPECT_EQ(pixel(cx + dx, cy + dy), px(colour));
      EXPECT_NE(pixel(cx + half + 1, cy + dy), px(colour));
    }
  };
  const auto expect_plus = [&](int32_t cx, int32_t cy, RgbColour colour) {
    for (auto [dx, dy] : {std::pair{0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
      EXPECT_EQ(pixel(cx + dx, cy + dy), px(colour));
    }
    EXPECT_NE(pixel(cx + 1, cy + 1), px(colour));
  };
  expect_diamond(536, 100, 0xDD8888);
  expect_plus(536, 108, 0xDD4444);
  expect_diamond(536, 180, 0x8888DD);
  expect_plus(536, 188, 0x4444DD);
}

TEST_F(LayoutTest, BackgroundLeavesTheGraphAreaAsViewportGreenTextAndCursorAtRow13) {
  use_virtual_clock(1.0);
  runtime_start();
  open_screen(19, 16, 4, -1, 0);
  draw_background();
  const GraphicsScreen* screen = current_screen();
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->viewport.x, 1);
  EXPECT_EQ(screen->viewport.y, 30);
  EXPECT_EQ(screen->viewport.width, 721);
  EXPECT_EQ(screen->viewport.height, 173);
  EXPECT_TRUE(screen->viewport.relative);
  EXPECT_EQ(screen->foreground, px(0x00FF00));
  EXPECT_EQ(screen->background, 0u);
  int32_t column = 0, row = 0;
  text_cursor(&column, &row);
  EXPECT_EQ(row, 13);
  EXPECT_EQ(column, 1);
}

TEST_F(LayoutTest, SidePanelAtStartUpShowsItsLabelsAndCycleZero) {
  start(1.0);
  EXPECT_EQ(text_in(3, 92, 8, 0x00FF00), "Ciclo12h");
  EXPECT_EQ(text_in(4, 92, 8, 0x00FF00), "Completo");
  EXPECT_EQ(text_in(5, 92, 3, 0xFFFFFF), " 0 ");
  EXPECT_EQ(text_in(7, 92, 8, 0x00FF00), "DES.GLOB");
  EXPECT_EQ(text_in(8, 92, 8, 0x00FF00), "A 1 EN %");
  EXPECT_EQ(text_in(9, 92, 8, 0x00FF00), "        ");
  EXPECT_EQ(text_in(11, 92, 8, 0x00FF00), "DES.GLOB");
  EXPECT_EQ(text_in(12, 92, 8, 0x00FF00), "A 0 EN %");
}

TEST_F(LayoutTest, SidePanelAtACycleEndShowsAveragesEvenWithoutADivisor) {
  start(1.0);
  ExperimentState& s = experiment_state();
  s.cycles = 3;
  s.global_dev_one = 40.0f;
  s.checkpoints_one = 0;
  s.global_dev_zero = 0;
  s.checkpoints_zero = 0;
  set_text_window(0, 0);
  print_side_panel_cycle_end();
  EXPECT_EQ(text_in(5, 92, 3, 0xFFFFFF), " 3 ");
  EXPECT_EQ(text_in(9, 92, 7, 0xFFFFFF), "inf.00 ");
  EXPECT_EQ(text_in(13, 92, 7, 0xFFFFFF), "nan.00 ");
  s.global_dev_one = 125.0f;
  s.checkpoints_one = 8;
  s.global_dev_zero = 1;
  s.checkpoints_zero = 3;
  print_side_panel_cycle_end();
  EXPECT_EQ(text_in(9, 92, 5, 0xFFFFFF), "15.62");
  EXPECT_EQ(text_in(13, 92, 5, 0xFFFFFF), " 0.33");
}

TEST_F(LayoutTest, LaterDrawingEmptiesTheGraphAndShortensTheWhiteLowerTicks) {
  start(1.0);
  ASSERT_TRUE(run_seconds(2));
  ASSERT_NE(pixel(1, 31), px(0x00CC00));
  ExperimentState& s = experiment_state();
  s.minute = 720;
  end_cycle();
  EXPECT_EQ(pixel(1, 30), px(0x00CC00));
  EXPECT_EQ(pixel(1, 31), px(0x00AA00));
  // White lower ticks now end at y 207: row 14 was printed over y 208.
  expect_run(1, 203, 207, 0xFFFFFF);
  EXPECT_NE(pixel(1, 208), px(0xFFFFFF));
  EXPECT_EQ(text_in(14, 1, 93, 0x3377FF), HOUR_SCALE);
  expect_tick(11, 26, 0x88DD88, 206, 0x8888DD);
  expect_tick(31, 22, 0xFFFFFF, 207, 0xFFFFFF);
  // Upper ticks drawn inside the raster this time were covered by its fill.
  expect_run(2, 50, 60, 0x00CC00);
  EXPECT_EQ(text_in(3, 92, 8, 0x00FF00), "Ciclo12h");
  EXPECT_EQ(text_in(35, 1, 41, 0xFF9966), " * *  TEST-NUV v0.3b 0/1 x 200 bits/seg. ");
}

}  // namespace
