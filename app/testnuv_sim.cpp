// testnuv-sim: the experiment without a window, on a virtual clock.
//
// Runs the real start-up and the real loop on the "Null" back-end. The clock
// is a VirtualClock, so every sleep and every wait for the next second moves
// time at once and a 12-hour cycle takes seconds. After the requested number
// of seconds a space is put into the key queue while the last second waits,
// so the program ends by its own path and the study log is closed as usual.
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/terminal.h"
#include "experiment/loop.h"
#include "experiment/state.h"
#include "gfx/driver.h"
#include "gfx/keys.h"
#include "gfx/png.h"
#include "gfx/screen.h"
#include "runtime/clock.h"
#include "runtime/platform.h"
#include "runtime/program.h"

namespace {

constexpr int32_t PROGRESS_STEP = 100;    // seconds of experiment between looks at the wall clock
constexpr double PROGRESS_PERIOD = 0.25;  // wall seconds between progress lines

const char USAGE[] =
    "uso: testnuv-sim [opciones]\n"
    "Ejecuta el experimento sin ventana, con un reloj virtual.\n"
    "\n"
    "  --seconds N     segundos de experimento que se simulan (por omision 43201, un ciclo)\n"
    "  --seed S        valor inicial del temporizador, que es la semilla del generador\n"
    "                  (por omision, los segundos enteros del reloj monotono de ahora)\n"
    "  --start FECHA   fecha y hora de inicio, \"AAAA-MM-DD HH:MM:SS\" (por omision, ahora)\n"
    "  --dir DIR       carpeta donde se escribe el registro de estudio (por omision, la actual)\n"
    "  --png FICHERO   guarda la imagen de la pantalla al terminar\n"
    "  --help          muestra esta ayuda\n";

struct SimOptions {
  int64_t seconds = 43201;
  bool seed_given = false;
  int64_t seed = 0;
  bool start_given = false;
  std::tm start = {};
  std::string dir;
  std::string png;
};

struct BadArguments {
  std::string message;
};

struct SimulationEnded {
  int32_t code;
};

SimOptions options;
bool show_progress = false;
int32_t last_progress = 0;
std::chrono::steady_clock::time_point last_progress_time;

// Read a whole decimal integer, or fail with a message naming the option.
int64_t parse_integer(const std::string& option, const std::string& text, int64_t low,
                      int64_t high) {
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high) {
    throw BadArguments{option + ": valor no valido \"" + text + "\" (entero de " +
                       std::to_string(low) + " a " + std::to_string(high) + ")"};
  }
  return value;
}

// Read "YYYY-MM-DD HH:MM:SS" into a local calendar time, or fail.
std::tm parse_start(const std::string& text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
  const bool shaped = text.size() == 19 &&
                      std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &year, &month, &day,
                                  &hour, &minute, &second, &used) == 6 &&
                      used == 19;
  if (!shaped || year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > days_in_month(year, month) || hour > 23 || minute > 59 || second > 59 ||
      hour < 0 || minute < 0 || second < 0) {
    throw BadArguments{"--start: fecha no valida \"" + text + "\" (AAAA-MM-DD HH:MM:SS)"};
  }
  return civil_time(year, month, day, hour, minute, second);
}

// Read the command line into the options; false when only the help was asked for.
bool parse_arguments(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") return false;
    if (option != "--seconds" && option != "--seed" && option != "--start" && option != "--dir" &&
        option != "--png") {
      throw BadArguments{"opcion desconocida \"" + option + "\""};
    }
    if (i + 1 >= argc) throw BadArguments{option + ": falta el valor"};
    const std::string value = argv[++i];
    if (option == "--seconds") {
      options.seconds = parse_integer(option, value, 0, INT32_MAX - 1);
    } else if (option == "--seed") {
      options.seed = parse_integer(option, value, INT32_MIN, INT32_MAX);
      options.seed_given = true;
    } else if (option == "--start") {
      options.start = parse_start(value);
      options.start_given = true;
    } else if (option == "--dir") {
      if (value.empty()) throw BadArguments{"--dir: falta la carpeta"};
      options.dir = value;
    } else {
      if (value.empty()) throw BadArguments{"--png: falta el fichero"};
      options.png = value;
    }
  }
  return true;
}

// Leave the experiment loop instead of the process when the program ends.
[[noreturn]] void leave_simulation(int32_t code) { throw SimulationEnded{code}; }

// Put a space into the key queue, as the space bar would.
void press_space() {
  lock_screen();
  add_key(' ');
  unlock_screen();
}

// Show how far the run has come, on one line that rewrites itself.
void report_progress(int32_t done) {
  if (!show_progress || done - last_progress < PROGRESS_STEP) return;
  last_progress = done;
  const auto now = std::chrono::steady_clock::now();
  if (std::chrono::duration<double>(now - last_progress_time).count() < PROGRESS_PERIOD) return;
  last_progress_time = now;
  std::fprintf(stderr, "\rsimulando: segundo %" PRId32 " de %" PRId64 "   ", done,
               options.seconds);
  std::fflush(stderr);
}

// Watch the virtual clock: after the last second's bits, ask the program to end.
void on_clock_moved(double /*now*/) {
  const ExperimentState& s = experiment_state();
  report_progress(s.seconds_counter - 1);
  if (s.seconds_counter == options.seconds && s.bit_index == BITS_PER_SECOND) press_space();
}

// Save the picture; runs at program end, before the screen is released.
void save_picture() {
#ifdef TESTNUV_HAVE_PNG
  Text error;
  if (!save_screen_png(options.png, &error)) {
    std::fprintf(stderr, "testnuv-sim: no se pudo escribir %s: %s\n", options.png.c_str(),
                 error.c_str());
  }
#else
  std::fprintf(stderr, "testnuv-sim: esta compilacion no escribe PNG (%s)\n",
               options.png.c_str());
#endif
}

// Runs once the start-up is done: arrange the picture and the end of a 0-second run.
void on_started() {
  if (!options.png.empty()) at_program_end(save_picture);
  if (options.seconds == 0) press_space();
}

// Make --png absolute and enter --dir, where the study log is written.
void enter_directory() {
  std::error_code error;
  if (!options.png.empty()) options.png = std::filesystem::absolute(options.png, error).string();
  if (options.dir.empty()) return;
  std::filesystem::current_path(options.dir, error);
  if (error) throw BadArguments{"--dir: no se puede usar \"" + options.dir + "\": " + error.message()};
}

// Run the experiment on the virtual clock; return the program's exit code.
int32_t simulate() {
  const double seed =
      options.seed_given ? static_cast<double>(options.seed) : std::floor(timer_seconds());
  const std::tm start = options.start_given ? options.start : active_clock().local_time();
  VirtualClock clock(seed, start);
  clock.on_advance(on_clock_moved);
  use_clock(&clock);
  set_exit_hook(leave_simulation);
  int32_t code = 0;
  try {
    experiment_main(SCREEN_NO_WINDOW, on_started);
  } catch (const SimulationEnded& ended) {
    code = ended.code;
  }
  set_exit_hook(nullptr);
  use_clock(nullptr);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  platform_start_process();
  try {
    if (!parse_arguments(argc, argv)) {
      std::fputs(USAGE, stdout);
      return 0;
    }
    enter_directory();
  } catch (const BadArguments& bad) {
    std::fprintf(stderr, "testnuv-sim: %s\n%s", bad.message.c_str(), USAGE);
    return 2;
  }
  show_progress = stderr_is_terminal();
  const auto wall_start = std::chrono::steady_clock::now();
  const int32_t code = simulate();
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
  const int32_t simulated = experiment_state().seconds_counter - 1;
  if (show_progress) std::fprintf(stderr, "\r%60s\r", "");
  std::printf(
               "testnuv-sim: %" PRId32 " segundos simulados en %.2f s reales: %.0f segundos de "
               "experimento por segundo real\n",
               simulated, wall, wall > 0.0 ? simulated / wall : 0.0);
  return code;
}
