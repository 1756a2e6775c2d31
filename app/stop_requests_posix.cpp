// Stop requests on POSIX systems: SIGINT, SIGTERM and SIGHUP end the program
// the way the space bar does.
//
// The signal handler sets the stop flag and writes one byte to a pipe, both
// async-signal-safe. A watcher thread reads the pipe and wakes the loop from
// its wait for the next second; without the watcher the loop still reads the
// flag at its next bit or second.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "app/stop_requests.h"
#include "gfx/keys.h"
#include "runtime/program.h"

namespace {

constexpr int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
constexpr char STOP_WATCHING = 0;   // the byte that ends the watcher
constexpr char STOP_REQUESTED = 1;  // the byte a stop signal writes

int request_pipe[2] = {-1, -1};  // read end, write end
std::thread watcher;

// Note a stop request: async-signal-safe work only.
void on_stop_signal(int /*signal_number*/) {
  const int saved_errno = errno;
  request_stop();
  if (request_pipe[1] >= 0) {
    ssize_t written = write(request_pipe[1], &STOP_REQUESTED, 1);
    (void)written;
  }
  errno = saved_errno;
}

// Wake the loop at every stop request until told to stop watching.
void watch() {
  for (;;) {
    char byte = STOP_WATCHING;
    const ssize_t n = read(request_pipe[0], &byte, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || byte == STOP_WATCHING) return;
    wake_key_waiters();
  }
}

// End the watcher before the program's end goes further.
void stop_watching() {
  ssize_t written = write(request_pipe[1], &STOP_WATCHING, 1);
  (void)written;
  if (watcher.joinable()) watcher.join();
}

// Start the watcher thread on a pipe; false when either cannot be had.
bool start_watcher() {
  if (pipe(request_pipe) != 0) {
    request_pipe[0] = request_pipe[1] = -1;
    return false;
  }
  for (int fd : request_pipe) fcntl(fd, F_SETFD, FD_CLOEXEC);
  fcntl(request_pipe[1], F_SETFL, fcntl(request_pipe[1], F_GETFL) | O_NONBLOCK);
  try {
    watcher = std::thread(watch);
  } catch (...) {
    return false;  // the handler still sets the flag; the loop reads it within a second
  }
  at_program_end(stop_watching);
  return true;
}

// Send the stop signals to on_stop_signal, except those the program was started ignoring (nohup).
void install_handlers() {
  struct sigaction action = {};
  action.sa_handler = on_stop_signal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int s : STOP_SIGNALS) {
    struct sigaction inherited = {};
    if (sigaction(s, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
    sigaction(s, &action, nullptr);
  }
}

}  // namespace

void watch_stop_requests() {
  if (watcher.joinable()) return;
  start_watcher();
  install_handlers();
}
