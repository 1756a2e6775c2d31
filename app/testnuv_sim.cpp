// testnuv-sim: the experiment without a window, on a virtual clock.
//
// Runs the real start-up and the real loop on the "Null" back-end. The clock
// is a VirtualClock, so every sleep and every wait for the next second moves
// time at once and a 12-hour cycle takes seconds. After the requested number
// of seconds a space is put into the key queue while the last second waits,
// so the program ends by its own path and the study log is closed as usual.
// Each record reaches the log whole as soon as it is complete, but the log is
// synced to the disk once, at the end (every record with --sync-every-record):
// a killed simulator loses nothing, and a run cut short by a power cut is made
// again from its seed and start.
// SIGINT, SIGTERM and SIGHUP take the same path and the closing line says the
// run was stopped. With --data the run's data folder is written beside it
// from the bits as they are drawn, and put in place once the log is closed.
// Exit status: 0, 1 when a record, the picture or the data folder could not
// be written, 2 for arguments that are refused, 3 when another run holds the
// day's log in that folder.
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/sim_data.h"
#include "app/sim_options.h"
#include "experiment/provenance.h"
#include "runtime/sha256.h"
#include "app/stop_requests.h"
#include "app/terminal.h"
#include "experiment/loop.h"
#include "experiment/state.h"
#include "experiment/study_log.h"
#include "gfx/driver.h"
#include "gfx/keys.h"
#include "gfx/png.h"
#include "gfx/screen.h"
#include "runtime/clock.h"
#include "runtime/files.h"
#include "runtime/paths.h"
#include "runtime/platform.h"
#include "runtime/program.h"
#include "runtime/version.h"

namespace {

constexpr int32_t PROGRESS_STEP = 100;    // seconds of experiment between looks at the wall clock
constexpr double PROGRESS_PERIOD = 0.25;  // wall seconds between progress lines

struct SimulationEnded {
  int32_t code;
};

SimOptions options;
bool show_progress = false;
int32_t last_progress = 0;
std::chrono::steady_clock::time_point last_progress_time;

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

// Save the picture; runs at program end, before the screen is released. A failure ends with status 1.
void save_picture() {
#ifdef TESTNUV_HAVE_PNG
  Text error;
  if (save_screen_png(options.png, &error)) return;
  std::fprintf(stderr, "testnuv-sim: no se pudo escribir %s: %s\n", shown_text(options.png).c_str(),
               error.c_str());
#endif
  raise_exit_status(1);
}

// Runs once the start-up is done: arrange the picture and the end of a 0-second run.
void on_started() {
  if (!options.png.empty()) at_program_end(save_picture);
  if (options.seconds == 0) press_space();
}

// Make --png and --data absolute and enter --dir, where the study log is written; false with a message.
bool enter_directory(std::string& message) {
  std::error_code error;
  if (!options.png.empty()) {
    options.png = path_to_utf8(std::filesystem::absolute(path_from_utf8(options.png), error));
  }
  if (!options.data.empty()) {
    options.data = path_to_utf8(std::filesystem::absolute(path_from_utf8(options.data), error));
  }
  if (options.dir.empty()) return true;
  std::filesystem::current_path(path_from_utf8(options.dir), error);
  if (error) message = "--dir: no se puede usar \"" + shown_text(options.dir) + "\": " + error.message();
  return !error;
}

// Fix the seed and the start that were not given: the clocks' now.
void fill_in_clocks() {
  if (!options.seed_given) options.seed = static_cast<int64_t>(std::floor(timer_seconds()));
  if (!options.start_given) options.start = active_clock().utc_seconds();
}

// Run the experiment on the virtual clock; return the program's exit code.
int32_t simulate() {
  VirtualClock clock(static_cast<double>(options.seed), options.start);
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

// Print a text that was asked for (help, version); status 1 when it could not be written.
int answer(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

// Say why the arguments are refused, with the help; status 2.
int refuse(const std::string& message) {
  std::fprintf(stderr, "testnuv-sim: %s\n%s", message.c_str(), SIM_USAGE);
  return 2;
}

// Say how the run went: how many seconds, how fast, and whether it was stopped.
void report_run(double wall) {
  const int32_t simulated = experiment_state().seconds_counter - 1;
  const char* stopped = end_reason() == EndReason::stop_request ? "detenido a peticion: " : "";
  if (show_progress) std::fprintf(stderr, "\r%60s\r", "");
  std::printf("testnuv-sim: %s%" PRId32 " segundos simulados en %.2f s reales: %.0f segundos de "
              "experimento por segundo real\n",
              stopped, simulated, wall, wall > 0.0 ? simulated / wall : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  platform_start_process();
  prepare_message_output();
  const std::vector<std::string> arguments = program_arguments(argc, argv);
  set_provenance_program("testnuv-sim", arguments);
  set_provenance_digest(sha256_of_file);
  std::string message;
  switch (read_sim_options(arguments, options, message)) {
    case SimRequest::help:
      return answer(SIM_USAGE);
    case SimRequest::version:
      return answer(std::string("testnuv-sim ") + version_text() + "\n");
    case SimRequest::refused:
      return refuse(message);
    case SimRequest::run:
      break;
  }
  fill_in_clocks();
  if (!run_fits(options, options.seed, options.start, message) || !enter_directory(message)) {
    return refuse(message);
  }
  if (!options.start_note.empty()) std::fprintf(stderr, "testnuv-sim: %s\n", options.start_note.c_str());
  if (!options.data.empty()) {
    const SimDataStart data = begin_sim_data(options.data, options.force, message);
    if (data == SimDataStart::refused) return refuse("--data: " + message);
    if (data == SimDataStart::failed) {
      std::fprintf(stderr, "testnuv-sim: no se puede crear la carpeta de datos \"%s\": %s\n",
                   options.data.c_str(), message.c_str());
      return 1;
    }
  }
  if (!options.sync_every_record) use_file_sync(FileSync::at_end);
  watch_stop_requests();
  show_progress = stderr_is_terminal();
  const auto wall_start = std::chrono::steady_clock::now();
  int32_t code = simulate();
  // Another run holds the day's log: nothing ran, and the data folder is left unbegun.
  if (code == EXIT_LOG_IN_USE) return code;
  report_run(std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count());
  if (!options.data.empty() && !finish_sim_data(message)) {
    std::fprintf(stderr, "testnuv-sim: no se pudo escribir la carpeta de datos %s: %s\n",
                 shown_text(options.data).c_str(), message.c_str());
    code = 1;
  }
  return code;
}
