// Drawing primitives: mapping, clipping, styles, boxes, dots and the viewport.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gfx/draw.h"
#include "gfx/text.h"
#include "tests/gfx/support.h"

namespace {

using PixelSet = std::set<std::pair<int32_t, int32_t>>;

constexpr uint16_t WHITE = 0xFFFF;

// Draw a plain line segment in absolute coordinates.
void line(float x1, float y1, float x2, float y2, uint32_t colour = 0xFFFFFF, uint32_t style = 0xFFFF) {
  draw_line(x1, y1, x2, y2, colour, LINE_SEGMENT, style, COORD_ABSOLUTE);
}

// Draw a filled full circle around (x, y).
void dot(float x, float y, float radius, uint32_t colour = 0xFFFFFF) {
  draw_circle(x, y, radius, colour, 0, 0, FULL_CIRCLE, 1, COORD_ABSOLUTE_POINT);
}

// The pixels of a filled dot of radius 1 or 2 around (cx, cy), before clipping.
PixelSet dot_shape(int32_t cx, int32_t cy, int32_t radius) {
  PixelSet shape;
  for (int32_t dy = -radius; dy <= radius; ++dy) {
    int32_t half = radius - std::abs(dy);
    for (int32_t dx = -half; dx <= half; ++dx) shape.insert({cx + dx, cy + dy});
  }
  return shape;
}

// The pixels of column x from row y1 to row y2.
PixelSet column(int32_t x, int32_t y1, int32_t y2) {
  PixelSet set;
  for (int32_t y = y1; y <= y2; ++y) set.insert({x, y});
  return set;
}

// Keep only the pixels inside the graph area.
PixelSet in_graph_area(const PixelSet& set) {
  PixelSet kept;
  for (auto p : set) {
    if (p.first >= 1 && p.first <= 721 && p.second >= 30 && p.second <= 202) kept.insert(p);
  }
  return kept;
}

// The pixel rows marked dirty, in order.
std::vector<int32_t> dirty_rows() {
  std::vector<int32_t> rows;
  for (int32_t y = 0; y < 600; ++y) {
    if (current_screen()->dirty[y]) rows.push_back(y);
  }
  return rows;
}

}  // namespace

TEST_F(HeadlessScreen, FilledDotsHaveTheirExactShapes) {
  dot(100, 100, 1);
  dot(200, 100, 2);
  dot(300, 100, 0);
  PixelSet expected = dot_shape(100, 100, 1);
  PixelSet diamond = dot_shape(200, 100, 2);
  expected.insert(diamond.begin(), diamond.end());
  expected.insert({300, 100});
  EXPECT_EQ(expected.size(), 5u + 13u + 1u);
  EXPECT_EQ(pixels_of(WHITE), expected);
}

TEST_F(HeadlessScreen, DotsOnTheViewportEdgeAreClippedPerRow) {
  use_graph_area();
  dot(0, 70, 2);      // centre on the left edge: device (1, 100)
  dot(720, 0, 1);     // centre in the top-right corner: device (721, 30)
  dot(535, 172, 2);   // centre on the bottom edge: device (536, 202)
  PixelSet expected = in_graph_area(dot_shape(1, 100, 2));
  PixelSet more = in_graph_area(dot_shape(721, 30, 1));
  expected.insert(more.begin(), more.end());
  more = in_graph_area(dot_shape(536, 202, 2));
  expected.insert(more.begin(), more.end());
  EXPECT_EQ(expected.size(), 9u + 3u + 9u);
  EXPECT_EQ(pixels_of(WHITE), expected);
}

TEST_F(HeadlessScreen, OutlinedDotsAndOtherArcs) {
  draw_circle(100, 100, 2, 0xFFFFFF, 0, 0, FULL_CIRCLE, 0, COORD_ABSOLUTE_POINT);
  PixelSet outline = {{98, 100}, {102, 100}, {99, 99}, {101, 99}, {99, 101}, {101, 101}, {100, 98}, {100, 102}};
  EXPECT_EQ(pixels_of(WHITE), outline);
  draw_circle(300, 100, 5, 0xFFFFFF, 0, 0, 6.2831855f, 1, COORD_ABSOLUTE_POINT);  // not a full circle
  draw_circle(300, 100, 5, 0xFFFFFF, 0, 1.0f, FULL_CIRCLE, 1, COORD_ABSOLUTE_POINT);
  EXPECT_EQ(pixels_of(WHITE), outline);
}

TEST_F(HeadlessScreen, ViewportFillAndTheGraphAreaLines) {
  set_viewport(721, 202, 1, 30, 0x00CC00, DefaultColour, 0);  // corners in any order
  const Viewport& v = screen().viewport;
  EXPECT_EQ(v.x, 1);
  EXPECT_EQ(v.y, 30);
  EXPECT_EQ(v.width, 721);
  EXPECT_EQ(v.height, 173);
  PixelSet green = pixels_of(0x0660);
  EXPECT_EQ(green.size(), 721u * 173u);
  EXPECT_EQ(*green.begin(), std::make_pair(1, 30));
  EXPECT_EQ(*green.rbegin(), std::make_pair(721, 202));
  std::vector<int32_t> rows = dirty_rows();
  EXPECT_EQ(rows.size(), 173u);
  EXPECT_EQ(rows.front(), 30);

  fill_screen(0);
  line(30, 210, 30, 62);  // bottom to top, lower end clipped
  EXPECT_EQ(pixels_of(WHITE), column(31, 92, 202));
  EXPECT_EQ(dirty_rows().front(), 92);
  EXPECT_EQ(dirty_rows().back(), 202);

  fill_screen(0);
  line(30, 62, 30, 210);  // the same pixels top to bottom
  EXPECT_EQ(pixels_of(WHITE), column(31, 92, 202));

  fill_screen(0);
  line(5, 28, 5, 30);
  EXPECT_EQ(pixels_of(WHITE), column(6, 58, 60));

  fill_screen(0);
  draw_line(0, 61, 721, 172, 0x000044, LINE_FILLED_BOX, 0xFFFF, COORD_ABSOLUTE);  // cut, not rejected
  PixelSet blue = pixels_of(0x0008);
  EXPECT_EQ(blue.size(), 721u * 112u);
  EXPECT_EQ(*blue.begin(), std::make_pair(1, 91));
  EXPECT_EQ(*blue.rbegin(), std::make_pair(721, 202));

  fill_screen(0);
  draw_point(721, 10, 0xFFFFFF, COORD_ABSOLUTE_POINT, 0);
  EXPECT_TRUE(pixels_of(WHITE).empty());
  EXPECT_TRUE(dirty_rows().empty());
  draw_point(720, 10, 0xFFFFFF, COORD_ABSOLUTE_POINT, 0);
  EXPECT_EQ(pixels_of(WHITE), PixelSet({{721, 40}}));
}

TEST_F(HeadlessScreen, LineOnTheWholeScreen) {
  line(5, 28, 5, 30);
  EXPECT_EQ(pixels_of(WHITE), column(5, 28, 30));
  EXPECT_EQ(dirty_rows(), std::vector<int32_t>({28, 29, 30}));
}

TEST_F(HeadlessScreen, CoordinatesRoundHalvesAwayFromZero) {
  set_viewport(100, 100, 300, 300, DefaultColour, DefaultColour, 0);
  draw_point(2.5f, 3.49f, 0xFFFFFF, COORD_ABSOLUTE_POINT, 0);
  draw_point(-0.5f, -0.5f, 0xFFFFFF, COORD_ABSOLUTE_POINT, 0);  // device (99, 99): outside
  draw_point(-0.49f, 0.5f, 0xFFFFFF, COORD_ABSOLUTE_POINT, 0);
  EXPECT_EQ(pixels_of(WHITE), PixelSet({{103, 103}, {100, 101}}));
  set_viewport(100, 100, 300, 300, DefaultColour, DefaultColour, 1);  // absolute coordinates
  draw_point(150, 150, 0x0000FF, COORD_ABSOLUTE_POINT, 0);
  EXPECT_EQ(pixel_at(150, 150), 0x001F);
}

TEST_F(HeadlessScreen, StyledAndSlantedLines) {
  line(10, 5, 25, 5, 0xFFFFFF, 0xF0F0);  // 4 on, 4 off from the first endpoint
  line(45, 7, 30, 7, 0xFFFFFF, 0xF0F0);  // given right to left
  line(50, 0, 50, 17, 0xFFFFFF, 0x8000);  // only pixel 0 of every 16
  PixelSet expected;
  for (int32_t x : {10, 11, 12, 13, 18, 19, 20, 21}) expected.insert({x, 5});
  for (int32_t x : {45, 44, 43, 42, 37, 36, 35, 34}) expected.insert({x, 7});
  expected.insert({50, 0});
  expected.insert({50, 16});
  EXPECT_EQ(pixels_of(WHITE), expected);

  fill_screen(0);
  line(0, 0, 4, 2);
  line(100, 100, 98, 105);
  EXPECT_EQ(pixels_of(WHITE), PixelSet({{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}, {100, 100}, {100, 101},
                                         {99, 102}, {99, 103}, {98, 104}, {98, 105}}));
}

TEST_F(HeadlessScreen, ClippedSlantedLinesStayInsideTheViewport) {
  use_graph_area();
  for (int32_t i = 0; i < 40; ++i) {
    float a = static_cast<float>(i * 37 % 900) - 100.0f, b = static_cast<float>(i * 53 % 400) - 100.0f;
    line(a, b, 900.0f - a, 300.0f - b);
    line(-5000.0f, b, 5000.0f, 250.0f - b);
  }
  PixelSet written = pixels_of(WHITE);
  EXPECT_FALSE(written.empty());
  EXPECT_EQ(in_graph_area(written), written);
}

TEST_F(HeadlessScreen, BoxOutlinesAndColours) {
  set_colour(0x00FF00, 0x0000FF);
  draw_line(10, 10, 14, 13, DefaultColour, LINE_BOX, 0, COORD_ABSOLUTE);
  PixelSet box;
  for (int32_t x = 10; x <= 14; ++x) box.insert({x, 10}), box.insert({x, 13});
  for (int32_t y = 11; y <= 12; ++y) box.insert({10, y}), box.insert({14, y});
  EXPECT_EQ(pixels_of(0x07E0), box);
  draw_point(0, 0, DefaultColour, COORD_ABSOLUTE_POINT, 1);
  EXPECT_EQ(pixel_at(0, 0), 0x001F);
  dot(50, 50, 1, DefaultColour);
  EXPECT_EQ(pixel_at(50, 50), 0x07E0);
}

TEST_F(HeadlessScreen, RelativeCoordinateModes) {
  draw_point(10, 10, 0xFFFFFF, COORD_ABSOLUTE_POINT, 0);
  draw_point(5, 0, 0xFFFFFF, COORD_RELATIVE_POINT, 0);                                     // (15, 10)
  draw_line(0, 2, 3, 0, 0xFFFFFF, LINE_SEGMENT, 0xFFFF, COORD_BOTH_RELATIVE);              // (15,12)-(18,12)
  draw_line(40, 40, 0, 2, 0xFFFFFF, LINE_SEGMENT, 0xFFFF, COORD_SECOND_RELATIVE);          // (40,40)-(40,42)
  PixelSet expected = {{10, 10}, {15, 10}, {15, 12}, {16, 12}, {17, 12}, {18, 12}, {40, 40}, {40, 41}, {40, 42}};
  EXPECT_EQ(pixels_of(WHITE), expected);
  EXPECT_FLOAT_EQ(screen().last_x, 40);
  EXPECT_FLOAT_EQ(screen().last_y, 42);
}

TEST_F(HeadlessScreen, WildArgumentsStayInsideThePicture) {
  set_viewport(-50, -40, 5000, 7000, 0x0000FF, DefaultColour, 0);  // cut to the screen
  EXPECT_EQ(pixels_of(0x001F).size(), 800u * 600u);
  set_viewport(900, 700, 1000, 800, 0xFFFFFF, DefaultColour, 0);   // wholly off the screen: empty
  EXPECT_EQ(screen().viewport.width, 0);
  draw_point(0, 0, 0xFFFFFF, COORD_ABSOLUTE_POINT, 0);
  set_viewport(0, 0, 799, 599, DefaultColour, DefaultColour, 0);
  float huge = 1e30f, nan = std::numeric_limits<float>::quiet_NaN();
  line(-huge, -huge, huge, huge);
  line(nan, 5, 100, nan);
  draw_line(-huge, 0, huge, 10, 0xFFFFFF, LINE_FILLED_BOX, 0, COORD_ABSOLUTE);
  dot(400, 300, 1e9f);
  dot(400, 300, nan);
  dot(400, 300, -3);
  set_viewport(-32768, -32768, -32768, -32768, DefaultColour, DefaultColour, 0);  // whole screen again
  EXPECT_EQ(screen().viewport.width, 800);
  EXPECT_EQ(screen().viewport.height, 600);
}
