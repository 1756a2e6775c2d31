// The SDL2 presentation back-end, "SDL" in the driver table: its thread, the
// screen lock and the start-up handshake.
//
// One thread owns everything SDL: it initialises SDL's video, makes the
// window and signals readiness (or ends, and init fails). Then, about every
// 10 ms, it takes the screen lock, copies the rows marked dirty into its
// texture, clears the marks and turns events into key codes, drops the lock,
// shows the frame if anything changed and sleeps 10 ms. Pictures of 16 bits
// (5-6-5) and 32 bits are shown; 8-bit palette screens and OpenGL are refused.
//
// Nothing the program thread does waits without limit on the display: when
// the connection breaks, the thread lets go of the screen lock if it holds it
// and stops for good where it stands, so that neither Xlib's exit nor a wait
// on the dead connection can hold the program up; exit waits for the thread
// at most STOP_LIMIT, then leaves it behind, and the process then ends
// without its own teardown (request_quick_exit).
#include <signal.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "gfx/driver.h"
#include "gfx/screen.h"
#include "gfx/sdl/sdl_keys.h"
#include "gfx/sdl/sdl_video.h"
#include "runtime/program.h"

namespace {

constexpr int32_t STEP_SLEEP_MS = 10;
constexpr auto STOP_LIMIT = std::chrono::seconds(2);        // exit's wait for the thread's end
constexpr auto START_POLL = std::chrono::milliseconds(50);  // init's look at stop requests
constexpr int32_t START_POLLS_AFTER_STOP = 40;              // init waits 2 s more after one

enum class Startup { starting, ready, failed };

SdlState state;                      // written by init before the thread starts, then the thread's
std::recursive_mutex screen_lock;    // the screen lock shared with the program's thread
std::thread presenter;
std::atomic<bool> alive{false};      // cleared by exit; read by the thread once per step
bool step_holds_lock = false;        // the thread is in its step, holding the screen lock (thread's)
bool abandoned = false;              // a thread was left behind: no other may start (program thread)
int32_t polls_after_stop = 0;        // init's looks since a stop request (program thread)
std::mutex startup_mutex;            // guards the three below
std::condition_variable startup_changed;
Startup startup = Startup::starting;
bool finished = false;               // the thread's work is over; it is about to return
bool stranded = false;               // the thread stopped for good on a lost display

// Tell init how the start went.
void report_startup(Startup outcome) {
  std::lock_guard<std::mutex> guard(startup_mutex);
  startup = outcome;
  startup_changed.notify_all();
}

// Tell exit that the thread's work is over.
void report_finished() {
  std::lock_guard<std::mutex> guard(startup_mutex);
  finished = true;
  startup_changed.notify_all();
}

// Wait until the start went one way or the other. A stop request that the starts do not answer
// within START_POLLS_AFTER_STOP looks, counted over every attempt, ends the wait too (a display
// that never answers).
Startup wait_startup() {
  std::unique_lock<std::mutex> wait(startup_mutex);
  while (startup == Startup::starting) {
    startup_changed.wait_for(wait, START_POLL);
    if (requested_end() == EndReason::stop_request && ++polls_after_stop > START_POLLS_AFTER_STOP) {
      break;
    }
  }
  return startup;
}

// Wait at most STOP_LIMIT for the thread's work to end; false when it did not (stuck or stranded).
bool wait_finished() {
  std::unique_lock<std::mutex> wait(startup_mutex);
  startup_changed.wait_for(wait, STOP_LIMIT, [] { return finished || stranded; });
  return finished;
}

// Leave the stop signals to the program's threads, so SDL's calls run uninterrupted.
void block_stop_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// Tell whether SDL settled on a driver that shows nothing (its fallback when no display exists)
// without being asked for it by SDL_VIDEODRIVER.
bool invisible_driver() {
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  if (asked != nullptr && *asked != '\0') return false;
  const char* name = SDL_GetCurrentVideoDriver();
  return name == nullptr || std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0;
}

// Without a Wayland session, leave Wayland out of SDL's driver search: probing it
// only prints complaints about the session on standard error. SDL_VIDEODRIVER still rules.
void prefer_present_display() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (wayland != nullptr && *wayland != '\0') return;
  SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11,kmsdrm", SDL_HINT_DEFAULT);
}

// Start SDL's video and make the window; false when either fails.
bool start_video() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
  // The picture is small and changes a few times a second: plain software presentation costs
  // less than a GL stack, above all where GL itself runs in software. SDL's environment
  // variables (SDL_RENDER_DRIVER, SDL_FRAMEBUFFER_ACCELERATION) still choose otherwise.
  SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, "software", SDL_HINT_DEFAULT);
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
  prefer_present_display();
  if (SDL_Init(SDL_INIT_VIDEO) == 0 && !invisible_driver() && sdl_create_window(state)) return true;
  SDL_Quit();  // also after a failed SDL_Init: it frees the hints and what the search left
  return false;
}

// Show the changed rows and handle the events: one presentation step.
void step() {
  bool changed = false;
  {
    std::lock_guard<std::recursive_mutex> guard(screen_lock);
    step_holds_lock = true;
    GraphicsScreen* screen = current_screen();
    if (state.title_changed) SDL_SetWindowTitle(state.window, state.title.c_str());
    state.title_changed = false;
    if (screen != nullptr) changed = sdl_upload_dirty(state, *screen);
    sdl_handle_events(state, screen);
    step_holds_lock = false;
  }
  if (changed) sdl_show_frame(state);
  sdl_bell_step();
}

// Run the presentation thread from window creation to its destruction.
void run_presenter() {
  block_stop_signals();
  sdl_catch_display_loss();  // before SDL opens its first connection
  if (!start_video()) {
    report_startup(Startup::failed);
    report_finished();
    return;
  }
  sdl_watch_display(state);
  SDL_SetThreadPriority(SDL_THREAD_PRIORITY_HIGH);
  report_startup(Startup::ready);
  while (alive.load()) {
    if (!sdl_display_lost()) step();  // a lost display is asked nothing more
    SDL_Delay(STEP_SLEEP_MS);
  }
  sdl_bell_close();
  // NOTE: SDL waits for the server's answers when it destroys a window; a lost display never
  // gives them, so its window and connection are left to the end of the process.
  if (!sdl_display_lost()) {
    sdl_destroy_window(state);
    SDL_Quit();
  }
  report_finished();
}

// Start the thread and wait until it is ready or has ended (or a stop request went unanswered).
int32_t sdl_init(const char* title, int32_t width, int32_t height, int32_t depth,
                 int32_t /*refresh_rate*/, int32_t flags) {
  if ((flags & SCREEN_OPENGL) || presenter.joinable() || abandoned) return 1;
  if (depth != 16 && depth != 32) return 1;
  state = SdlState{};
  state.title = latin1_to_utf8(title != nullptr ? title : "");
  state.width = width;
  state.height = height;
  state.bytes_per_pixel = depth / 8;
  state.flags = flags;
  state.full_screen = (flags & SCREEN_FULLSCREEN) != 0;
  startup = Startup::starting;
  finished = false;
  stranded = false;
  alive.store(true);
  try {
    presenter = std::thread(run_presenter);
  } catch (...) {
    return 1;
  }
  if (wait_startup() != Startup::ready) return 1;
  set_bell_sound(sdl_request_bell);
  return 0;
}

// Stop the thread and wait for it, at most STOP_LIMIT; it destroys the window it made.
void sdl_exit() {
  if (!presenter.joinable()) return;
  set_bell_sound(nullptr);
  alive.store(false);
  if (wait_finished()) {
    presenter.join();
    return;
  }
  // NOTE: the thread waits on a display that is gone or silent; it holds nothing the rest of the
  // program needs, and the process must not tear down what it may still touch.
  presenter.detach();
  abandoned = true;
  request_quick_exit();
}

// Enter the screen lock.
void sdl_lock() {
  screen_lock.lock();
}

// Leave the screen lock.
void sdl_unlock() {
  screen_lock.unlock();
}

// Change the caption; the thread applies it at its next step.
void sdl_set_window_title(const char* title) {
  std::lock_guard<std::recursive_mutex> guard(screen_lock);
  state.title = latin1_to_utf8(title != nullptr ? title : "");
  state.title_changed = true;
}

}  // namespace

void sdl_strand_presenter() {
  // NOTE: the step's guard never runs its end, as the thread never returns: this is the one unlock.
  if (step_holds_lock) screen_lock.unlock();
  {
    std::lock_guard<std::mutex> guard(startup_mutex);
    stranded = true;
    if (startup == Startup::starting) startup = Startup::failed;
    startup_changed.notify_all();
  }
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

extern const ScreenDriver sdl_driver = {
    "SDL",
    sdl_init,
    sdl_exit,
    sdl_lock,
    sdl_unlock,
    nullptr,  // set_palette: 8-bit screens are refused
    nullptr,  // wait_vsync
    nullptr,  // get_mouse
    nullptr,  // set_mouse
    sdl_set_window_title,
    nullptr,  // fetch_modes
    nullptr,  // flip
    nullptr,  // poll_events
};
