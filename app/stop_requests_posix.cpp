// Stop requests on POSIX systems: SIGINT, SIGTERM and SIGHUP end the program
// the way the space bar does.
//
// The signal handler only writes the signal's number to a pipe, which is
// async-signal-safe. A watcher thread reads the pipe and puts a space into
// the key queue under the screen lock; the running second ends at its next
// key check, and the program's own end closes the study log and releases the
// screen, with exit code 0.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "app/stop_requests.h"
#include "app/stop_space.h"
#include "runtime/program.h"

namespace {

constexpr int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
constexpr char STOP_WATCHING = 0;  // the byte that ends the watcher; signals are never 0

int request_pipe[2] = {-1, -1};  // read end, write end
std::thread watcher;

// Note a stop request: async-signal-safe work only.
void on_stop_signal(int signal_number) {
  const int saved_errno = errno;
  const char byte = static_cast<char>(signal_number);
  ssize_t written = write(request_pipe[1], &byte, 1);
  (void)written;
  errno = saved_errno;
}

// Put a space into the key queue under the screen lock; without a screen, die of the signal.
void request_stop(int signal_number) {
  if (queue_stop_space()) return;
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

// Read stop requests until told to stop watching.
void watch() {
  for (;;) {
    char byte = STOP_WATCHING;
    const ssize_t n = read(request_pipe[0], &byte, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || byte == STOP_WATCHING) return;
    request_stop(static_cast<unsigned char>(byte));
  }
}

// End the watcher before the screen is released at the program's end.
void stop_watching() {
  const char byte = STOP_WATCHING;
  ssize_t written = write(request_pipe[1], &byte, 1);
  (void)written;
  if (watcher.joinable()) watcher.join();
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
  if (pipe(request_pipe) != 0) return;
  for (int fd : request_pipe) fcntl(fd, F_SETFD, FD_CLOEXEC);
  fcntl(request_pipe[1], F_SETFL, fcntl(request_pipe[1], F_GETFL) | O_NONBLOCK);
  try {
    watcher = std::thread(watch);
  } catch (...) {
    return;  // no watcher: the signals keep their default action
  }
  at_program_end(stop_watching);
  install_handlers();
}
