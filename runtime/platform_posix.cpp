// Platform (POSIX): the process's start, the monotonic clock, local time,
// sleeping, files and the executable's name (from /proc, so Linux).
#include "runtime/platform.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <charconv>
#include <string>
#include <vector>

namespace {

constexpr int STANDARD_DESCRIPTORS = 3;  // 0 input, 1 output, 2 error

// Give a closed standard descriptor the null device, so that no file or display connection
// opened later takes its number and receives what is meant for the standard streams.
void reopen_if_closed(int fd) {
  if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) return;
  const int null_fd = open("/dev/null", O_RDWR);
  if (null_fd < 0 || null_fd == fd) return;
  dup2(null_fd, fd);
  close(null_fd);
}

}  // namespace

void platform_start_process() {
  for (int fd = 0; fd < STANDARD_DESCRIPTORS; ++fd) reopen_if_closed(fd);
  // A message to a closed pipe is simply lost; the write reports the failure.
  signal(SIGPIPE, SIG_IGN);
}

double platform_timer_seconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

bool platform_local_from_utc(int64_t utc, std::tm& local) {
  const auto moment = static_cast<std::time_t>(utc);
  return localtime_r(&moment, &local) != nullptr;
}

void platform_sleep_ms(int32_t ms) {
  if (ms <= 0) return;
  timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

namespace {

// True when a failed fsync only says that the thing cannot be synced: pipes, terminals, some file systems.
bool cannot_be_synced(int error) { return error == EINVAL || error == EROFS || error == ENOTSUP; }

}  // namespace

bool platform_sync_file(std::FILE* stream) {
  if (fsync(fileno(stream)) == 0) return true;
  return cannot_be_synced(errno);
}

bool platform_sync_directory(const std::filesystem::path& path) {
  const int descriptor = open(path.c_str(), O_RDONLY | O_DIRECTORY);
  if (descriptor < 0) return false;
  const bool synced = fsync(descriptor) == 0 || cannot_be_synced(errno);
  close(descriptor);
  return synced;
}

bool platform_cut_file(std::FILE* stream, int64_t size) {
  if (ftruncate(fileno(stream), static_cast<off_t>(size)) != 0) return false;
  return fseeko(stream, static_cast<off_t>(size), SEEK_SET) == 0;
}

void platform_prepare_writes() { signal(SIGXFSZ, SIG_IGN); }

Text platform_program_file_name() {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? Text() : exe.filename().string();
}

std::string platform_time_zone_name() {
  const char* variable = std::getenv("TZ");
  if (variable != nullptr && *variable != '\0') return *variable == ':' ? variable + 1 : variable;
  // /etc/localtime is a link into the zone database: its path ends with the zone's name.
  char target[PATH_MAX];
  const ssize_t length = readlink("/etc/localtime", target, sizeof target - 1);
  if (length > 0) {
    target[length] = '\0';
    const char* zone = std::strstr(target, "zoneinfo/");
    if (zone != nullptr) return zone + std::strlen("zoneinfo/");
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) != nullptr && local.tm_zone != nullptr) return local.tm_zone;
  return "";
}

namespace {

bool own_zone_saved = false;  // the process's own TZ has been saved
bool own_zone_set = false;    // and TZ was set at all
std::string own_zone;         // its value

// True when the zone database holds a zone of that name (a file under TZDIR or the system's).
bool zone_in_database(const std::string& name) {
  if (name.empty() || name.front() == '/' || name.find("..") != std::string::npos) return false;
  const char* folder = std::getenv("TZDIR");
  std::error_code error;
  for (const char* base : {folder, "/usr/share/zoneinfo"}) {
    if (base != nullptr && *base != '\0' &&
        std::filesystem::is_regular_file(std::filesystem::path(base) / name, error)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool platform_use_time_zone(const std::string& name) {
  if (!own_zone_saved) {
    const char* variable = std::getenv("TZ");
    own_zone_set = variable != nullptr;
    own_zone = variable != nullptr ? variable : "";
    own_zone_saved = true;
  }
  if (name.empty()) {
    if (own_zone_set) {
      setenv("TZ", own_zone.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
  } else {
    const std::string zone = name.front() == ':' ? name.substr(1) : name;
    if (!zone_in_database(zone)) return false;
    setenv("TZ", zone.c_str(), 1);
  }
  tzset();
  return true;
}

int64_t platform_process_id() { return static_cast<int64_t>(getpid()); }

bool platform_process_runs(int64_t pid) {
  if (pid <= 0 || pid > INT32_MAX) return false;
  if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return false;
  // A process that has ended but is not yet reaped (a zombie) runs no more.
  const std::string stat_file = "/proc/" + std::to_string(pid) + "/stat";
  char text[512] = {};
  const int descriptor = open(stat_file.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return true;
  const ssize_t got = read(descriptor, text, sizeof text - 1);
  close(descriptor);
  const char* after_name = got > 0 ? std::strrchr(text, ')') : nullptr;
  return after_name == nullptr || after_name[1] != ' ' || after_name[2] != 'Z';
}

std::string platform_host_name() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

const char* platform_name() {
#if defined(__linux__)
  return "Linux";
#else
  return "POSIX";
#endif
}
Text platform_file_name(const Text& name) { return name; }

namespace {

constexpr int HOLDER_READS = 20;           // a holder writes its id just after taking the lock
constexpr int32_t HOLDER_READ_PAUSE_MS = 5;

// A lock file this process holds: the same file asked for again is already held.
struct HeldLock {
  dev_t device;
  ino_t inode;
};
std::vector<HeldLock> held_locks;

// Tell whether the open file is one whose lock this process holds already.
bool held_here(int descriptor) {
  struct stat file {};
  if (fstat(descriptor, &file) != 0) return false;
  for (const HeldLock& held : held_locks) {
    if (held.device == file.st_dev && held.inode == file.st_ino) return true;
  }
  return false;
}

// Remember that this process holds the open file's lock.
void note_held(int descriptor) {
  struct stat file {};
  if (fstat(descriptor, &file) == 0) held_locks.push_back({file.st_dev, file.st_ino});
}

// Return the process id written in a lock file (0 when none can be read).
int64_t read_holder(int descriptor) {
  for (int attempt = 0; attempt < HOLDER_READS; ++attempt) {
    char text[32] = {};
    const ssize_t n = pread(descriptor, text, sizeof text - 1, 0);
    int64_t id = 0;
    if (n > 0 && std::from_chars(text, text + n, id).ec == std::errc() && id > 0) return id;
    platform_sleep_ms(HOLDER_READ_PAUSE_MS);
  }
  return 0;
}

}  // namespace

LockOutcome platform_hold_lock(const Text& path, int64_t& holder, Text& error) {
  holder = 0;
  const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (descriptor < 0) {
    error = std::strerror(errno);
    return LockOutcome::failed;
  }
  if (held_here(descriptor)) {
    close(descriptor);
    return LockOutcome::taken;
  }
  if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    const int reason = errno;
    if (reason == EWOULDBLOCK) holder = read_holder(descriptor);
    close(descriptor);
    error = std::strerror(reason);
    return reason == EWOULDBLOCK ? LockOutcome::held : LockOutcome::failed;
  }
  // NOTE: the descriptor stays open, and the lock held, until the process ends. An id that
  // cannot be written only makes a second run's message vaguer.
  note_held(descriptor);
  const std::string id = std::to_string(static_cast<int64_t>(getpid())) + "\n";
  if (ftruncate(descriptor, 0) == 0) {
    const ssize_t written = pwrite(descriptor, id.data(), id.size(), 0);
    (void)written;
  }
  return LockOutcome::taken;
}
