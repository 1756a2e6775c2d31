// Replays the screen output of a 12-hour run (43,201 seconds) on a headless
// screen and reports the time: per second 200 one-digit prints, each after a
// set_colour, a four-row report, one raster pixel and a rule of hyphens, all
// scrolling the 17-row text window.
//
// Usage: gfx_text_bench [seconds]   (default 43201)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx/draw.h"
#include "gfx/driver.h"
#include "gfx/keys.h"
#include "gfx/screen.h"
#include "gfx/text.h"
#include "runtime/print.h"
#include "runtime/random.h"

namespace {

// Print the output of one experiment second.
void one_second(int32_t second) {
  int32_t ones = 0;
  for (int32_t i = 0; i < 200; ++i) {
    int32_t bit = msvc_rand() & 1;
    ones += bit;
    set_colour(bit ? 0x55DD55 : 0x337733, -1);
    print_integer(0, bit, SEP_NONE);
  }
  set_colour(0xFFFFFF, -1);
  print_integer(0, second, SEP_NONE);
  print_text(0, "> hora = ", SEP_NONE);
  print_text(0, "12:34:56", SEP_ZONE);
  print_text(0, "fecha = ", SEP_NONE);
  print_text(0, "05-17-2024", SEP_NEWLINE);
  print_text(0, " CEROS =", SEP_NONE);
  print_integer(0, 200 - ones, SEP_ZONE);
  print_text(0, "UNOS =", SEP_NONE);
  print_integer(0, ones, SEP_NEWLINE);
  print_text(0, " > Desviacion hacia el UNO =", SEP_NONE);
  print_integer(0, ones - 100, SEP_NONE);
  print_text(0, " %", SEP_NEWLINE);
  draw_point(static_cast<float>(second / 60 % 721), static_cast<float>(second % 60), 0xFF4444, 4, 0);
  print_text(0, std::string(99, '-'), SEP_NEWLINE);
  read_key();
}

}  // namespace

int main(int argc, char** argv) {
  int32_t seconds = argc > 1 ? std::atoi(argv[1]) : 43201;
  open_screen(19, 16, 4, SCREEN_NO_WINDOW, 0);
  if (screen_ready() == 0) {
    std::fprintf(stderr, "gfx_text_bench: no screen\n");
    return 1;
  }
  set_viewport(1, 30, 721, 202, 0x00CC00, DefaultColour, 0);
  set_text_window(17, 33);
  msvc_srand(1);
  auto start = std::chrono::steady_clock::now();
  for (int32_t s = 0; s < seconds; ++s) one_second(s);
  double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double prints = static_cast<double>(seconds) * 212.0;
  std::printf("gfx_text_bench: %d seconds of screen output in %.3f s\n", seconds, elapsed);
  std::printf("gfx_text_bench: %.1f ns per second of output, %.1f ns per print (about %.0f prints)\n",
              elapsed * 1e9 / seconds, elapsed * 1e9 / prints, prints);
  release_screen();
  return 0;
}
