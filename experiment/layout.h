// The fixed screen layout: hour scales, date line, gradient bars, title and
// credit lines, tick marks, the graph area with raster and fluctuation graph,
// and the side panel at text column 92.
//
// Draws through the text layer and the drawing primitives of gfx/. Must run
// while the text window is the whole screen, or locate refuses its rows.
#pragma once

#include <cstdint>

#include "gfx/screen.h"
#include "runtime/text.h"

// The hour scale of rows 1 and 14 (93 characters, hour h at device x 60h + 1).
extern const char HOUR_SCALE[];

// The credit line of row 36 (99 characters).
extern const char CREDIT_LINE[];

// Paint the whole fixed layout; leave the graph area as the viewport, green on
// black and the cursor at row 13, column 1.
void draw_background();

// Print the side panel as it stands at start-up: the labels and the cycle count.
void print_side_panel_startup();

// Print the side panel at the end of a cycle: labels, cycle count and the global averages.
void print_side_panel_cycle_end();

// Draw a filled dot of `radius` around (x, y) in graph-area coordinates.
void draw_graph_dot(int32_t x, int32_t y, int32_t radius, RgbColour colour);

// Return the colour 0x00GG00 of a green level, formed as "&h00" GG "00" and read back.
int32_t green_level_colour(int32_t level);
