// Drawing primitives: lines, boxes, points, filled and outlined ellipses and
// the viewport.
//
// Coordinates are mapped to device pixels (halves away from zero), moved by
// the viewport origin when it is relative, and clipped to the viewport, which
// always lies inside the screen. Only full ellipses are drawn; arcs draw
// nothing. Drawing takes the screen lock only when something may be written.
#include "gfx/draw.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "gfx/pixels.h"
#include "runtime/text.h"

namespace {

constexpr double COORD_LIMIT = 1.0e9;  // mapped coordinates are kept within +-this
constexpr float RADIUS_LIMIT = 65536.0f;

struct DevicePoint {
  int32_t x;
  int32_t y;
};

// Clip: the rectangle that drawing may write (x, y, right and bottom inclusive).
struct ClipBox {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// Truncate toward zero, keeping the value within +-COORD_LIMIT (NaN goes to the lower limit).
int32_t truncate(double value) {
  if (!(value >= -COORD_LIMIT)) return round_to_int32(-COORD_LIMIT);
  return round_to_int32(std::trunc(std::min(value, COORD_LIMIT)));
}

// Round a coordinate with halves away from zero.
int32_t round_coord(float value) {
  double v = value;
  return truncate(v > 0 ? v + 0.5 : v - 0.5);
}

// Map a point to a device pixel, moved by the origin of a relative viewport.
DevicePoint map_point(const GraphicsScreen& screen, float x, float y) {
  DevicePoint p{round_coord(x), round_coord(y)};
  if (screen.viewport.relative) {
    p.x += screen.viewport.x;
    p.y += screen.viewport.y;
  }
  return p;
}

// Return the viewport as the rectangle that drawing may write.
ClipBox clip_box(const GraphicsScreen& screen) {
  const Viewport& v = screen.viewport;
  return ClipBox{v.x, v.y, v.x + v.width - 1, v.y + v.height - 1};
}

// Tell whether a device pixel lies in the clip rectangle.
bool inside(const ClipBox& box, int32_t x, int32_t y) {
  return x >= box.left && x <= box.right && y >= box.top && y <= box.bottom;
}

// Resolve a colour argument: DefaultColour gives `current`, anything else is converted.
uint32_t resolve_colour(const GraphicsScreen& screen, uint32_t colour, uint32_t current) {
  return colour == DefaultColour ? current : screen_colour(screen, colour);
}

// Apply a coordinate mode to the first point, and to the second when there is one.
void apply_coord_mode(const GraphicsScreen& screen, int32_t mode, float& x1, float& y1, float* x2, float* y2) {
  if (mode == COORD_FIRST_RELATIVE || mode == COORD_BOTH_RELATIVE || mode == COORD_RELATIVE_POINT) {
    x1 += screen.last_x;
    y1 += screen.last_y;
  }
  if (x2 != nullptr && (mode == COORD_SECOND_RELATIVE || mode == COORD_BOTH_RELATIVE)) {
    *x2 += x1;
    *y2 += y1;
  }
}

// Finish a drawing: mark rows first..last dirty on the visible page, drop the lock.
void finish(const GraphicsScreen& screen, int32_t first_row, int32_t last_row) {
  if (drawing_visible(screen)) mark_dirty(first_row, last_row);
  unlock_screen();
}

enum Outcode : int32_t { OUT_LEFT = 1, OUT_RIGHT = 2, OUT_ABOVE = 4, OUT_BELOW = 8 };

// Return the sides of the clip rectangle that a point lies beyond.
int32_t outcode(const ClipBox& box, DevicePoint p) {
  int32_t code = 0;
  if (p.x < box.left) code |= OUT_LEFT;
  if (p.x > box.right) code |= OUT_RIGHT;
  if (p.y < box.top) code |= OUT_ABOVE;
  if (p.y > box.bottom) code |= OUT_BELOW;
  return code;
}

// Move an outside endpoint `a` onto the first viewport edge its outcode names.
void move_to_edge(const ClipBox& box, int32_t code, DevicePoint& a, DevicePoint b) {
  double dy = static_cast<double>(b.y) - a.y, dx = static_cast<double>(b.x) - a.x;
  double m = a.x == b.x ? 0.0 : dy / dx;
  if (code & OUT_LEFT) {
    a.y = truncate(a.y + m * (box.left - a.x));
    a.x = box.left;
  } else if (code & OUT_RIGHT) {
    a.y = truncate(a.y + m * (box.right - a.x));
    a.x = box.right;
  } else if (code & OUT_ABOVE) {
    if (a.x != b.x) a.x = truncate(a.x + (box.top - a.y) / m);
    a.y = box.top;
  } else {
    if (a.x != b.x) a.x = truncate(a.x + (box.bottom - a.y) / m);
    a.y = box.bottom;
  }
}

// Clip a line to the viewport (Cohen-Sutherland); false when nothing of it is inside.
// NOTE: truncation can make a point near a corner bounce between two edges; after a
// bounded number of moves the line counts as outside.
bool clip_line(const ClipBox& box, DevicePoint& a, DevicePoint& b) {
  for (int32_t moves = 0; moves < 16; ++moves) {
    int32_t code_a = outcode(box, a);
    int32_t code_b = outcode(box, b);
    if ((code_a | code_b) == 0) return true;
    if (code_a & code_b) return false;
    if (code_a == 0) {
      std::swap(a, b);
      std::swap(code_a, code_b);
    }
    move_to_edge(box, code_a, a, b);
  }
  return false;
}

// Return whether pixel k of a styled line is written.
bool style_on(uint32_t style, int32_t k) { return (style >> (15 - (k & 15))) & 1; }

// Write a clipped straight line from a to b with a style mask.
void write_line(const GraphicsScreen& screen, DevicePoint a, DevicePoint b, uint32_t pixel, uint32_t style) {
  if (a.x == b.x) {
    for (int32_t y = std::min(a.y, b.y); y <= std::max(a.y, b.y); ++y) {
      if (style_on(style, std::abs(y - a.y))) put_pixel(screen, a.x, y, pixel);
    }
  } else if (a.y == b.y) {
    int32_t x1 = std::min(a.x, b.x), x2 = std::max(a.x, b.x);
    if (style == 0xFFFF) {
      fill_run(screen, a.y, x1, x2, pixel);
      return;
    }
    for (int32_t x = x1; x <= x2; ++x) {
      if (style_on(style, std::abs(x - a.x))) put_pixel(screen, x, a.y, pixel);
    }
  } else {
    int32_t dx = std::abs(b.x - a.x), dy = std::abs(b.y - a.y);
    int32_t sx = b.x > a.x ? 1 : -1, sy = b.y > a.y ? 1 : -1;
    bool flat = dx >= dy;
    int32_t major = flat ? dx : dy, minor = flat ? dy : dx;
    int32_t err = 2 * minor - major;
    int32_t x = a.x, y = a.y;
    for (int32_t k = 0; k <= major; ++k) {
      if (style_on(style, k)) put_pixel(screen, x, y, pixel);
      if (err >= 0) {
        if (flat) y += sy; else x += sx;
        err -= 2 * major;
      }
      if (flat) x += sx; else y += sy;
      err += 2 * minor;
    }
  }
}

// Draw a clipped line segment.
void line_segment(GraphicsScreen& screen, DevicePoint a, DevicePoint b, uint32_t pixel, uint32_t style) {
  if (!clip_line(clip_box(screen), a, b)) return;
  lock_rows(std::min(a.y, b.y), std::max(a.y, b.y));
  write_line(screen, a, b, pixel, style & 0xFFFF);
  finish(screen, std::min(a.y, b.y), std::max(a.y, b.y));
}

// Draw a box outline (filled false) or a filled box, cut to the viewport.
void box(GraphicsScreen& screen, DevicePoint a, DevicePoint b, uint32_t pixel, bool filled) {
  ClipBox clip = clip_box(screen);
  int32_t x1 = std::min(a.x, b.x), x2 = std::max(a.x, b.x);
  int32_t y1 = std::min(a.y, b.y), y2 = std::max(a.y, b.y);
  if (x2 < clip.left || y2 < clip.top || x1 > clip.right || y1 > clip.bottom) return;
  int32_t cx1 = std::max(x1, clip.left), cy1 = std::max(y1, clip.top);
  int32_t cx2 = std::min(x2, clip.right), cy2 = std::min(y2, clip.bottom);
  lock_rows(cy1, cy2);
  if (filled) {
    for (int32_t y = cy1; y <= cy2; ++y) fill_run(screen, y, cx1, cx2, pixel);
  } else {
    for (int32_t y = cy1; y < cy2; ++y) {
      if (x1 >= clip.left) put_pixel(screen, x1, y, pixel);
      if (x2 <= clip.right) put_pixel(screen, x2, y, pixel);
    }
    if (y1 >= clip.top) fill_run(screen, y1, cx1, cx2, pixel);
    if (y2 <= clip.bottom) fill_run(screen, y2, cx1, cx2, pixel);
  }
  finish(screen, cy1, cy2);
}

// Write one span of an ellipse on row y from a to b: the whole run or its two ends.
void ellipse_span(const GraphicsScreen& screen, const ClipBox& clip, int32_t y, int32_t a, int32_t b,
                  uint32_t pixel, bool filled) {
  if (y < clip.top || y > clip.bottom) return;
  if (filled) {
    if (b < clip.left || a > clip.right) return;
    fill_run(screen, y, std::max(a, clip.left), std::min(b, clip.right), pixel);
    return;
  }
  if (a >= clip.left && a <= clip.right) put_pixel(screen, a, y, pixel);
  if (b >= clip.left && b <= clip.right) put_pixel(screen, b, y, pixel);
}

// Keep a radius within RADIUS_LIMIT (NaN: 0); larger ones would only make the walk long.
float limit_radius(float r) {
  if (r != r) return 0.0f;
  return std::clamp(r, -RADIUS_LIMIT, RADIUS_LIMIT);
}

// Return the default aspect: the screen's height to width, times 4/3.
float default_aspect(const GraphicsScreen& screen) {
  return static_cast<float>(static_cast<double>(screen.height) / screen.width * 1.3333333333333333);
}

// Walk a full ellipse around c (integer midpoint walk) and return its last rows up and down.
std::pair<int32_t, int32_t> walk_ellipse(const GraphicsScreen& screen, DevicePoint c, float rx, float ry,
                                         uint32_t pixel, bool filled) {
  ClipBox clip = clip_box(screen);
  int32_t xl = truncate(static_cast<float>(c.x) - rx), xr = truncate(static_cast<float>(c.x) + rx);
  if (ry == 0.0f) {
    ellipse_span(screen, clip, c.y, xl, xr, pixel, true);
    return {c.y, c.y};
  }
  ellipse_span(screen, clip, c.y, xl, xr, pixel, filled);
  int64_t a2 = static_cast<int64_t>(rx * rx), b2 = static_cast<int64_t>(ry * ry);
  int64_t err = static_cast<int64_t>(static_cast<double>(b2) * rx);
  int64_t d = 2 * err, t = 0;
  int32_t n = round_to_int32(std::trunc(rx)), down = c.y, up = c.y;
  while (n > 0) {
    bool step_x = true;
    if (err > 0) {
      ++down;
      --up;
      t += 2 * a2;
      err -= t;
      step_x = err <= 0;
    }
    if (step_x) {
      ++xl;
      --xr;
      --n;
      d -= 2 * b2;
      err += d;
    }
    ellipse_span(screen, clip, down, xl, xr, pixel, filled);
    ellipse_span(screen, clip, up, xl, xr, pixel, filled);
  }
  return {up, down};
}

}  // namespace

void draw_line(float x1, float y1, float x2, float y2, uint32_t colour, int32_t kind, uint32_t style,
               int32_t coord_mode) {
  GraphicsScreen* screen = current_screen();
  if (screen == nullptr) return;
  uint32_t pixel = resolve_colour(*screen, colour, screen->foreground);
  apply_coord_mode(*screen, coord_mode, x1, y1, &x2, &y2);
  screen->last_x = x2;
  screen->last_y = y2;
  DevicePoint a = map_point(*screen, x1, y1), b = map_point(*screen, x2, y2);
  if (kind == LINE_BOX || kind == LINE_FILLED_BOX) {
    box(*screen, a, b, pixel, kind == LINE_FILLED_BOX);
  } else {
    line_segment(*screen, a, b, pixel, style);
  }
}

void draw_point(float x, float y, uint32_t colour, int32_t coord_mode, int32_t background_flag) {
  GraphicsScreen* screen = current_screen();
  if (screen == nullptr) return;
  uint32_t current = background_flag != 0 ? screen->background : screen->foreground;
  uint32_t pixel = resolve_colour(*screen, colour, current);
  apply_coord_mode(*screen, coord_mode, x, y, nullptr, nullptr);
  screen->last_x = x;
  screen->last_y = y;
  DevicePoint p = map_point(*screen, x, y);
  if (!inside(clip_box(*screen), p.x, p.y)) return;
  lock_rows(p.y, p.y);
  put_pixel(*screen, p.x, p.y, pixel);
  finish(*screen, p.y, p.y);
}

void draw_circle(float x, float y, float radius, uint32_t colour, float aspect, float start_angle,
                 float end_angle, int32_t fill, int32_t coord_mode) {
  GraphicsScreen* screen = current_screen();
  if (screen == nullptr) return;
  uint32_t pixel = resolve_colour(*screen, colour, screen->foreground);
  apply_coord_mode(*screen, coord_mode, x, y, nullptr, nullptr);
  screen->last_x = x;
  screen->last_y = y;
  DevicePoint c = map_point(*screen, x, y);
  if (aspect == 0.0f) aspect = default_aspect(*screen);
  float rx = radius, ry = radius * aspect;
  if (aspect > 1.0f) {
    rx = radius * (1.0f / aspect);
    ry = radius;
  }
  if (start_angle != 0.0f || end_angle != FULL_CIRCLE) return;
  rx = limit_radius(rx);
  ry = limit_radius(ry);
  lock_rows(screen->viewport.y, screen->viewport.y + screen->viewport.height - 1);  // the rows it may write
  auto [up, down] = walk_ellipse(*screen, c, rx, ry, pixel, fill != 0);
  ClipBox clip = clip_box(*screen);
  finish(*screen, std::max(up, clip.top), std::min(down, clip.bottom));
}

void set_viewport(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t fill, uint32_t border,
                  int32_t screen_coordinates) {
  (void)border;  // borders are not drawn
  GraphicsScreen* screen = current_screen();
  if (screen == nullptr) return;
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  Viewport& v = screen->viewport;
  if ((x1 | y1 | x2 | y2) == -32768) {
    v.x = 0;
    v.y = 0;
    v.width = screen->width;
    v.height = screen->height;
  } else {
    // Cut to the screen on every side, so that drawing never leaves the page.
    v.x = std::clamp(x1, 0, screen->width);
    v.y = std::clamp(y1, 0, screen->height);
    v.width = std::max(0, std::min(x2, screen->width - 1) - v.x + 1);
    v.height = std::max(0, std::min(y2, screen->height - 1) - v.y + 1);
  }
  v.relative = screen_coordinates == 0;
  if (fill == DefaultColour || v.width == 0 || v.height == 0) return;
  uint32_t pixel = screen_colour(*screen, fill);
  lock_rows(v.y, v.y + v.height - 1);
  for (int32_t y = v.y; y < v.y + v.height; ++y) fill_run(*screen, y, v.x, v.x + v.width - 1, pixel);
  finish(*screen, v.y, v.y + v.height - 1);
}
