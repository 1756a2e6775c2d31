// Drawing primitives: lines, boxes, points, ellipses and the viewport.
//
// Coordinates are single-precision; colours are RgbColour (DefaultColour: the
// current colour). Everything is clipped to the viewport; nothing happens while
// no screen is open.
#pragma once

#include <cstdint>

#include "gfx/screen.h"

enum LineKind : int32_t { LINE_SEGMENT = 0, LINE_BOX = 1, LINE_FILLED_BOX = 2 };

// How given points relate to last_point: 0 and 4 absolute; 1 second relative to
// first; 2 and 5 first relative to last_point; 3 both.
enum CoordMode : int32_t {
  COORD_ABSOLUTE = 0,
  COORD_SECOND_RELATIVE = 1,
  COORD_FIRST_RELATIVE = 2,
  COORD_BOTH_RELATIVE = 3,
  COORD_ABSOLUTE_POINT = 4,
  COORD_RELATIVE_POINT = 5,
};

// The full-circle end angle: 2*pi rounded up to single precision (bit pattern 0x40C90FDC).
constexpr float FULL_CIRCLE = 6.2831859f;

// Draw a line, box outline or filled box.
void draw_line(float x1, float y1, float x2, float y2, uint32_t colour, int32_t kind,
               uint32_t style, int32_t coord_mode);

// Draw one pixel (background flag: DefaultColour means the background colour).
void draw_point(float x, float y, uint32_t colour, int32_t coord_mode, int32_t background_flag);

// Draw a filled or outlined ellipse (arcs are not drawn).
void draw_circle(float x, float y, float radius, uint32_t colour, float aspect, float start_angle,
                 float end_angle, int32_t fill, int32_t coord_mode);

// Set the clipping rectangle and coordinate origin, optionally filling it.
void set_viewport(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t fill, uint32_t border,
                  int32_t screen_coordinates);
