// The experiment loop: start-up, the seconds, the wait and the cycle end.
//
// A second starts at the timer rounded to a whole second and ends when the
// timer is 1.0 past it. Its 200 bits come from random_unit; the space key,
// tested before every bit and throughout the wait, ends the program at once.
// An end requested from outside the loop (a stop request of the operating
// system, a lost display) is read at the same places, beside the key queue,
// so no flood of keys can push it out.
#include "experiment/loop.h"

#include <cmath>
#include <cstdio>

#include "experiment/checkpoints.h"
#include "experiment/layout.h"
#include "experiment/provenance.h"
#include "experiment/state.h"
#include "experiment/study_log.h"
#include "gfx/draw.h"
#include "gfx/driver.h"
#include "gfx/keys.h"
#include "gfx/screen.h"
#include "gfx/text.h"
#include "runtime/clock.h"
#include "runtime/files.h"
#include "runtime/print.h"
#include "runtime/program.h"
#include "runtime/random.h"

const char WINDOW_TITLE[] =
    "DIDAVIR - Generador aleatorio 0/1 x 200 bits/sg. InvestigaciOn independiente"
    " (c) equipo testnuv";

namespace {

constexpr int32_t LAST_MINUTE = 720;
constexpr int32_t TEXT_WINDOW_TOP = 17;     // the rows the seconds scroll in
constexpr int32_t TEXT_WINDOW_BOTTOM = 33;
constexpr int32_t WHOLE_SCREEN = 0;         // set_text_window(0, 0): every row
constexpr int32_t SCREEN_MODE = 19;         // 800x600, 100x37 text cells
constexpr int32_t SCREEN_DEPTH = 16;        // 5-6-5 pixels
constexpr int32_t SCREEN_PAGES = 4;
constexpr int32_t BITS_PER_PAUSE = 50;      // a pause after every 50th bit
constexpr int32_t PAUSE_MS = 50;
constexpr int32_t RULE_WIDTH = 99;          // the hyphens that close a second's output
constexpr RgbColour BIT_COLOURS[2] = {0x337733, 0x55DD55};  // a zero, a one

const Text SPACE = " ";

void (*bit_observer)(int32_t bit) = nullptr;  // sees every bit drawn (the simulator's data)

// Finish the provenance record; runs at the program's end, after the study log is closed.
void finish_run_record() {
  const ExperimentState& s = experiment_state();
  finish_provenance(s.seconds_counter - 1, s.cycles, end_reason_name(end_reason()), study_log_backlog());
}

// End the program for `reason`: exit code 0, or 1 with a line on standard error for a lost display.
[[noreturn]] void end_experiment(EndReason reason) {
  set_end_reason(reason);
  if (reason != EndReason::display_lost) end_program(0);
  std::fputs("testnuv: se ha perdido la pantalla (ventana o conexion con el servidor grafico); "
             "el experimento termina\n",
             stderr);
  end_program(1);
}

// End the program when an end was requested from outside (stop request, lost display).
void end_on_request() {
  const EndReason asked = requested_end();
  if (asked != EndReason::running) end_experiment(asked);
}

// End the program on a request or when the next key in the queue is a space; other keys are dropped.
void end_on_space() {
  end_on_request();
  if (read_key_code() == ' ') end_experiment(EndReason::space);  // the code whose text is SPACE
}

// Draw, count and show one bit; pause after every 50th.
void draw_bit(ExperimentState& s) {
  s.bit = floor_to_int32(random_unit(1) * 2.0);
  // Counted and coloured without a branch on the bit, which would go the wrong way half the time.
  const int32_t one = s.bit != 0 ? 1 : 0;
  const int32_t zero = 1 - one;
  s.zeros_second += zero;
  s.zeros_5min += zero;
  s.zeros_15min += zero;
  s.ones_second += one;
  s.ones_5min += one;
  s.ones_15min += one;
  set_colour(static_cast<int32_t>(BIT_COLOURS[one]), KEEP_COLOUR);
  if (bit_observer != nullptr) bit_observer(s.bit);
  print_integer(0, s.bit, SEP_NONE);
  if (s.bit_index % BITS_PER_PAUSE == 0) sleep_ms(PAUSE_MS);
}

// Print the second's time, date and counts in white.
void report_second(const ExperimentState& s) {
  set_colour(0xFFFFFF, KEEP_COLOUR);
  print_integer(0, s.seconds_counter, SEP_NONE);
  print_text(0, "> hora = ", SEP_NONE);
  print_text(0, time_text(), SEP_ZONE);
  print_text(0, "fecha = ", SEP_NONE);
  print_text(0, date_text(), SEP_NEWLINE);
  print_text(0, " CEROS =", SEP_NONE);
  print_integer(0, s.zeros_second, SEP_ZONE);
  print_text(0, "UNOS =", SEP_NONE);
  print_integer(0, s.ones_second, SEP_NEWLINE);
}

// Plot the second in the raster at (minute, second).
void plot_second(const ExperimentState& s, RgbColour colour) {
  draw_point(static_cast<float>(s.minute), static_cast<float>(s.second), colour,
             COORD_ABSOLUTE_POINT, 0);
}

// Print the verdict, plot the pixel and add the deviation to the windows.
void judge_second(ExperimentState& s) {
  switch (judge(s.zeros_second, s.ones_second)) {
    case Lean::zero:
      print_text(0, " > Desviacion hacia el CERO =", SEP_NONE);
      print_integer(0, 100 - s.ones_second, SEP_NONE);
      print_text(0, " %", SEP_NEWLINE);
      s.dev_zero_5min += 100 - s.ones_second;
      s.dev_zero_15min += 100 - s.ones_second;
      ++s.lean_zero_5min;
      ++s.lean_zero_15min;
      plot_second(s, 0x4444FF);
      break;
    case Lean::one:
      print_text(0, " > Desviacion hacia el UNO =", SEP_NONE);
      print_integer(0, 100 - s.zeros_second, SEP_NONE);
      print_text(0, " %", SEP_NEWLINE);
      s.dev_one_5min += 100 - s.zeros_second;
      s.dev_one_15min += 100 - s.zeros_second;
      ++s.lean_one_5min;
      ++s.lean_one_15min;
      plot_second(s, 0xFF4444);
      break;
    case Lean::balanced:
      set_colour(0xFF7733, KEEP_COLOUR);
      print_text(0, " > CEROS = UNOS", SEP_NEWLINE);
      plot_second(s, 0xFFFFFF);
      set_colour(0xFFFFFF, KEEP_COLOUR);
      break;
  }
}

// Move the experiment clock on; minute 720 ends the cycle before anything moves.
void advance_clock(ExperimentState& s) {
  if (s.minute >= LAST_MINUTE) {
    end_cycle();
  } else if (s.second >= 59) {
    s.second = 0;
    ++s.minute;
  } else {
    ++s.second;
  }
}

}  // namespace

void experiment_start(int32_t screen_flags) {
  runtime_start();
  set_window_title(WINDOW_TITLE);
  open_screen(SCREEN_MODE, SCREEN_DEPTH, SCREEN_PAGES, screen_flags, 0);
  if (screen_ready() == 0) {
    print_text(0, "Error setting video mode!", SEP_NEWLINE);
    end_program(0);
  }
  ExperimentState& s = experiment_state();
  s.log_number = free_file_number();
  reset_counters(s);
  s.start_date = date_text();
  s.start_time = time_text();
  const std::tm start = active_clock().local_time();
  draw_background();
  print_side_panel_startup();
  set_text_window(TEXT_WINDOW_TOP, TEXT_WINDOW_BOTTOM);
  at_program_end(finish_run_record);  // registered before the log's end actions: runs after them
  const LogOpening log = open_study_log();
  if (log == LogOpening::in_use) end_program(EXIT_LOG_IN_USE);
  const double timer_at_start = timer_seconds();
  seed_random(timer_at_start);
  const GraphicsScreen* screen = current_screen();
  const char* backend = screen != nullptr && screen->driver != nullptr ? screen->driver->name : "";
  // A record describes the log beside it: none without a log.
  if (log == LogOpening::open) {
    start_provenance(random_seed(), timer_at_start, start, backend, study_log_file());
  }
}

void set_bit_observer(void (*observer)(int32_t bit)) { bit_observer = observer; }

void run_second() {
  ExperimentState& s = experiment_state();
  s.second_start = round_to_int32(timer_seconds());
  for (s.bit_index = 1; s.bit_index <= BITS_PER_SECOND; ++s.bit_index) {
    end_on_space();
    draw_bit(s);
  }
  report_second(s);
  judge_second(s);
  run_checkpoints();
  advance_clock(s);
  ++s.seconds_counter;
  s.zeros_second = 0;
  s.ones_second = 0;
  print_text(0, repeat_text(RULE_WIDTH, "-"), SEP_NEWLINE);
}

void wait_next_second() {
  const double end = experiment_state().second_start + 1.0;
  for (;;) {
    if (timer_seconds() - experiment_state().second_start >= 1.0) return;
    const uint64_t seen = key_generation();
    end_on_request();
    const Text key = read_key();
    if (compare_text(key, SPACE) == 0) end_experiment(EndReason::space);
    if (key.empty()) wait_key(seen, end);
  }
}

void experiment_second() {
  run_second();
  wait_next_second();
}

void end_cycle() {
  ExperimentState& s = experiment_state();
  s.minute = 0;
  s.second = 0;
  s.dot_x = 5;
  s.dot_y = 0;
  ++s.cycles;
  set_text_window(WHOLE_SCREEN, WHOLE_SCREEN);
  print_side_panel_cycle_end();
  draw_background();
  set_text_window(TEXT_WINDOW_TOP, TEXT_WINDOW_BOTTOM);
  write_cycle_record();
  update_provenance(s.seconds_counter, s.cycles, study_log_backlog());
}

void experiment_main(int32_t screen_flags, void (*on_started)()) {
  experiment_start(screen_flags);
  if (on_started != nullptr) on_started();
  for (;;) experiment_second();
}
