// The fixed screen layout and the side panel.
//
// Everything here is drawn in a fixed order; later steps paint over earlier
// ones (the grid crosses the graph titles, the tick passes overwrite each
// other), so the order is part of the picture.
#include "experiment/layout.h"

#include "experiment/state.h"
#include "gfx/draw.h"
#include "gfx/text.h"
#include "runtime/clock.h"
#include "runtime/print.h"

const char HOUR_SCALE[] =
    "0h     1h     2h      3h     4h      5h     6h      7h     8h      9h     10h    11h     12h ";

const char CREDIT_LINE[] =
    "   Programa libre (GPL) para el estudio independiente del azar - Version de investigacion testnuv  ";

namespace {

constexpr int32_t SIDE_PANEL_COLUMN = 92;

const char TITLE_TOWARD_ONE[] =
    "1                    AREA GRAFICA DE FLUCTUACIONES HACIA EL UNO                        1";
const char TITLE_TOWARD_ZERO[] =
    "0                    AREA GRAFICA DE FLUCTUACIONES HACIA EL CERO                       0";

static_assert(sizeof(HOUR_SCALE) == 93 + 1);
static_assert(sizeof(CREDIT_LINE) == 99 + 1);
static_assert(sizeof(TITLE_TOWARD_ONE) == 88 + 1);
static_assert(sizeof(TITLE_TOWARD_ZERO) == 88 + 1);

// Print a text on the screen channel.
void show(const Text& text, PrintSeparator separator = SEP_NONE) { print_text(0, text, separator); }

// Print a label at a row of the side panel, followed by a line end.
void show_panel_label(int32_t row, const char* label) {
  locate(row, SIDE_PANEL_COLUMN);
  show(label, SEP_NEWLINE);
}

// Print a global average through "##.##" at a row of the side panel.
void show_panel_average(int32_t row, double value) {
  locate(row, SIDE_PANEL_COLUMN);
  using_begin("##.##");
  using_number(0, value, SEP_NONE);
  using_text(0, "%", SEP_LAST_NEWLINE);
}

// Print the cycle count at row 5 of the side panel.
void show_panel_cycles() {
  locate(5, SIDE_PANEL_COLUMN);
  print_integer(0, experiment_state().cycles, SEP_NEWLINE);
}

// Rows 1 and 14: the two hour scales.
void draw_hour_scales() {
  set_colour(0x77FF33, KEEP_COLOUR);
  locate(1, 1);
  show(HOUR_SCALE, SEP_NEWLINE);
  set_colour(0x3377FF, KEEP_COLOUR);
  locate(14, 0);
  show(HOUR_SCALE, SEP_NEWLINE);
}

// Row 15: start date and time, and today's date.
void draw_date_line(const ExperimentState& state) {
  set_colour(0x33FF77, 0);
  show("FECHA INICIO EXPERIMENTO [mm/dd/aaaa]: ");
  set_colour(0xFFFFFF, 0);
  show(state.start_date);
  show(" - ");
  show(state.start_time);
  show("      ");
  set_colour(0x33FF77, 0);
  show("FECHA ACTUAL: ");
  set_colour(0xFFFFFF, 0);
  show(date_text(), SEP_NEWLINE);
}

// One gradient bar of 99 cells at the cursor; level(i) gives the green of cell i.
void draw_gradient_bar(int32_t (*level)(int32_t i)) {
  for (int32_t i = 1; i <= 99; ++i) {
    set_colour(0, green_level_colour(level(i)));
    show(" ");
  }
}

// Rows 16 and 34: the rising and the falling green bar.
void draw_gradient_bars() {
  draw_gradient_bar([](int32_t i) { return 2 * i + 50; });
  locate(34, 1);
  draw_gradient_bar([](int32_t i) { return 255 - 2 * i; });
}

// Rows 35 and 36: the title line and the credit line.
void draw_title_lines() {
  set_colour(0xFF9966, 0);
  locate(35, 1);
  show(" * *  TEST-NUV v0.3b 0/1 x 200 bits/seg. ");
  set_colour(0xAA3311, 0);
  show("::");
  set_colour(0xFF9966, 0);
  show(" PROYECTO INDEPENDIENTE DE INVESTIGACION SOBRE QEX  * * ", SEP_NEWLINE);
  set_colour(0x66FF66, 0);
  show(CREDIT_LINE, SEP_NEWLINE);
}

// Draw a solid line in the current coordinates.
void line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, RgbColour colour) {
  draw_line(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
            static_cast<float>(y2), colour, LINE_SEGMENT, 0xFFFF, COORD_ABSOLUTE);
}

// One pass of tick marks above and below the graph area.
void draw_tick_pass(int32_t step, int32_t upper_top, RgbColour upper, int32_t lower_end,
                    RgbColour lower) {
  for (int32_t x = 1; x <= 721; x += step) {
    line(x, upper_top, x, 30, upper);
    line(x, lower_end, x, 202, lower);
  }
}

// The three tick passes: every 5, 10 and 30 pixels.
void draw_ticks() {
  set_colour(0xFF4444, 0x000044);
  draw_tick_pass(5, 28, 0x008800, 204, 0x000088);
  draw_tick_pass(10, 26, 0x88DD88, 206, 0x8888DD);
  draw_tick_pass(30, 22, 0xFFFFFF, 208, 0xFFFFFF);
}

// The graph area: green raster, dark blue graph, titles, legend dots, grid.
void draw_graph_area() {
  set_viewport(1, 30, 721, 202, 0x00CC00, DefaultColour, 0);
  draw_line(0.0f, 61.0f, 721.0f, 172.0f, 0x000044, LINE_FILLED_BOX, 0xFFFF, COORD_ABSOLUTE);
  set_colour(0xFF4444, 0x000044);
  locate(7, 2);
  show(TITLE_TOWARD_ONE, SEP_NEWLINE);
  draw_graph_dot(535, 70, 2, 0xDD8888);
  draw_graph_dot(535, 78, 1, 0xDD4444);
  set_colour(0x4444FF, 0x000044);
  locate(12, 2);
  show(TITLE_TOWARD_ZERO, SEP_NEWLINE);
  draw_graph_dot(535, 150, 2, 0x8888DD);
  draw_graph_dot(535, 158, 1, 0x4444DD);
  for (int32_t x = 0; x <= 720; x += 30) {
    line(x, 1, x, 60, 0x00AA00);
    line(x, 210, x, 62, 0x000088);
  }
  line(0, 115, 720, 115, 0x008800);
  line(0, 87, 720, 87, 0x006600);
  line(0, 143, 720, 143, 0x006600);
}

}  // namespace

void draw_graph_dot(int32_t x, int32_t y, int32_t radius, RgbColour colour) {
  draw_circle(static_cast<float>(x), static_cast<float>(y), static_cast<float>(radius), colour,
              0.0f, 0.0f, FULL_CIRCLE, -1, COORD_ABSOLUTE_POINT);
}

int32_t green_level_colour(int32_t level) {
  return round_to_int32(parse_number("&h00" + hex_text(level) + "00"));
}

void draw_background() {
  draw_hour_scales();
  draw_date_line(experiment_state());
  draw_gradient_bars();
  draw_title_lines();
  draw_ticks();
  draw_graph_area();
  set_colour(0x00FF00, 0);
}

void print_side_panel_startup() {
  set_colour(0x00FF00, 0);
  show_panel_label(3, "Ciclo12h");
  show_panel_label(4, "Completo");
  show_panel_label(7, "DES.GLOB");
  show_panel_label(8, "A 1 EN %");
  show_panel_label(11, "DES.GLOB");
  show_panel_label(12, "A 0 EN %");
  set_colour(0xFFFFFF, KEEP_COLOUR);
  show_panel_cycles();
}

void print_side_panel_cycle_end() {
  const ExperimentState& state = experiment_state();
  set_colour(0x00FF00, 0);
  show_panel_label(3, "Ciclo12h");
  show_panel_label(4, "Completo");
  set_colour(0xFFFFFF, 0);
  show_panel_cycles();
  set_colour(0x00FF00, 0);
  show_panel_label(7, "DES.GLOB");
  show_panel_label(8, "A 1 EN %");
  show_panel_label(11, "DES.GLOB");
  show_panel_label(12, "A 0 EN %");
  set_colour(0xFFFFFF, 0);
  show_panel_average(9, global_average_one(state));
  show_panel_average(13, global_average_zero(state));
}
