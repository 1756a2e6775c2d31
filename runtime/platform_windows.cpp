// Platform (Windows): the process's start, the performance counter, local
// time, sleeping, files and the executable's name.
//
// The timer uses QueryPerformanceCounter and falls back to GetTickCount when
// the machine has no performance counter.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <string>
#include <vector>

#include <cerrno>

#include "runtime/platform.h"

namespace {

enum class TimerMode { not_probed, tick_count, performance_counter };

TimerMode timer_mode = TimerMode::not_probed;  // chosen at the first call
double counter_factor = 0.0;                  // 1 / counter frequency
constexpr DWORD MAX_MODULE_PATH = 65536;      // longest executable path asked for

// Choose the performance counter when the machine has one, else the tick count.
void probe_timer() {
  LARGE_INTEGER frequency;
  if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart != 0) {
    timer_mode = TimerMode::performance_counter;
    counter_factor = 1.0 / static_cast<double>(frequency.QuadPart);
  } else {
    timer_mode = TimerMode::tick_count;
  }
}

constexpr int STANDARD_DESCRIPTORS = 3;  // 0 input, 1 output, 2 error

// Give a standard descriptor without a handle (closed, or no console) the null device, so that
// no file opened later takes its number and receives what is meant for the standard streams.
void reopen_if_closed(int fd) {
  if (_get_osfhandle(fd) >= 0) return;
  const int null_fd = _open("NUL", _O_RDWR | _O_BINARY);
  if (null_fd < 0 || null_fd == fd) return;
  _dup2(null_fd, fd);
  _close(null_fd);
}

}  // namespace

void platform_start_process() {
  for (int fd = 0; fd < STANDARD_DESCRIPTORS; ++fd) reopen_if_closed(fd);
}

double platform_timer_seconds() {
  if (timer_mode == TimerMode::not_probed) probe_timer();
  if (timer_mode == TimerMode::tick_count) return static_cast<double>(GetTickCount()) * 0.001;
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * counter_factor;
}

bool platform_local_from_utc(int64_t utc, std::tm& local) {
  const __time64_t moment = utc;
  return _localtime64_s(&local, &moment) == 0;
}

void platform_sleep_ms(int32_t ms) {
  if (ms > 0) Sleep(static_cast<DWORD>(ms));
}

bool platform_sync_file(std::FILE* stream) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  // Consoles and pipes cannot be flushed to a disk; their bytes are already passed on.
  if (handle != INVALID_HANDLE_VALUE &&
      (FlushFileBuffers(handle) != 0 || GetFileType(handle) != FILE_TYPE_DISK)) {
    return true;
  }
  errno = EIO;
  return false;
}

bool platform_sync_directory(const std::filesystem::path& /*path*/) {
  // NTFS journals renames itself; a directory cannot be flushed like a file.
  return true;
}

bool platform_cut_file(std::FILE* stream, int64_t size) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  LARGE_INTEGER position;
  position.QuadPart = size;
  if (handle == INVALID_HANDLE_VALUE || !SetFilePointerEx(handle, position, nullptr, FILE_BEGIN) ||
      !SetEndOfFile(handle) || _fseeki64(stream, size, SEEK_SET) != 0) {
    errno = EIO;
    return false;
  }
  return true;
}

void platform_prepare_writes() {}

Text platform_program_file_name() {
  // Paths can exceed MAX_PATH; a name that filled the room was cut short, so ask again with more.
  for (DWORD room = MAX_PATH; room <= MAX_MODULE_PATH; room *= 2) {
    std::wstring path(room, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, path.data(), room);
    if (length == 0) return Text();
    if (length < room) {
      path.resize(length);
      const size_t folder = path.find_last_of(L"\\/");
      const std::wstring name = folder == std::wstring::npos ? path : path.substr(folder + 1);
      char text[MAX_PATH * 4] = {};
      const int size = WideCharToMultiByte(CP_UTF8, 0, name.c_str(), static_cast<int>(name.size()),
                                           text, sizeof text, nullptr, nullptr);
      return size > 0 ? Text(text, static_cast<size_t>(size)) : Text();
    }
  }
  return Text();
}

std::string platform_time_zone_name() {
  TIME_ZONE_INFORMATION zone{};
  const DWORD mode = GetTimeZoneInformation(&zone);
  const WCHAR* name = mode == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightName : zone.StandardName;
  char text[256] = {};
  if (WideCharToMultiByte(CP_UTF8, 0, name, -1, text, sizeof text, nullptr, nullptr) == 0) return "";
  return text;
}

bool platform_use_time_zone(const std::string& name) {
  // The runtime library knows the system's own zone alone, under its standard or daylight name.
  if (name.empty()) return true;
  TIME_ZONE_INFORMATION zone{};
  if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return false;
  for (const WCHAR* own : {zone.StandardName, zone.DaylightName}) {
    char text[256] = {};
    if (WideCharToMultiByte(CP_UTF8, 0, own, -1, text, sizeof text, nullptr, nullptr) != 0 &&
        name == text) {
      return true;
    }
  }
  return false;
}

int64_t platform_process_id() { return static_cast<int64_t>(GetCurrentProcessId()); }

bool platform_process_runs(int64_t pid) {
  if (pid <= 0 || pid > UINT32_MAX) return false;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool running = GetExitCodeProcess(process, &code) == 0 || code == STILL_ACTIVE;
  CloseHandle(process);
  return running;
}

std::string platform_host_name() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (GetComputerNameA(name, &size) == 0) return "";
  return std::string(name, size);
}

const char* platform_name() { return "Windows"; }
Text platform_file_name(const Text& name) {
  Text result = name;
  for (char& c : result) {
    if (c == '/') c = '\\';
  }
  return result;
}

namespace {

// NOTE: Windows' locks are mandatory: the lock covers one byte far past the id, so that a second
// run can still read the id.
constexpr DWORD LOCK_OFFSET_HIGH = 1;  // the locked byte is at 4 GiB
constexpr int HOLDER_READS = 20;       // a holder writes its id just after taking the lock
constexpr int32_t HOLDER_READ_PAUSE_MS = 5;

// A lock file this process holds: the same file asked for again is already held.
struct HeldLock {
  DWORD volume;
  DWORD index_high;
  DWORD index_low;
};
std::vector<HeldLock> held_locks;

// Return the identity of an open file (all zero when unknown).
HeldLock identity(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(file, &info)) return {0, 0, 0};
  return {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

// Tell whether the open file is one whose lock this process holds already.
bool held_here(HANDLE file) {
  const HeldLock id = identity(file);
  for (const HeldLock& held : held_locks) {
    if (held.volume == id.volume && held.index_high == id.index_high &&
        held.index_low == id.index_low && (id.index_high | id.index_low) != 0) {
      return true;
    }
  }
  return false;
}

// Return the system's text for an error number of GetLastError.
Text system_error_text(DWORD code) {
  char text[512] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 code, 0, text, sizeof text, nullptr);
  Text message(text, n);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message.empty() ? "error " + std::to_string(code) : message;
}

// Return the process id written in a lock file (0 when none can be read).
int64_t read_holder(HANDLE file) {
  for (int attempt = 0; attempt < HOLDER_READS; ++attempt) {
    char text[32] = {};
    DWORD n = 0;
    OVERLAPPED at = {};
    int64_t id = 0;
    if (ReadFile(file, text, sizeof text - 1, &n, &at) && n > 0) {
      for (DWORD i = 0; i < n && text[i] >= '0' && text[i] <= '9'; ++i) id = id * 10 + (text[i] - '0');
      if (id > 0) return id;
    }
    platform_sleep_ms(HOLDER_READ_PAUSE_MS);
  }
  return 0;
}

}  // namespace

LockOutcome platform_hold_lock(const Text& path, int64_t& holder, Text& error) {
  holder = 0;
  HANDLE file = CreateFileA(platform_file_name(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = system_error_text(GetLastError());
    return LockOutcome::failed;
  }
  if (held_here(file)) {
    CloseHandle(file);
    return LockOutcome::taken;
  }
  OVERLAPPED at = {};
  at.OffsetHigh = LOCK_OFFSET_HIGH;
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    const DWORD reason = GetLastError();
    const bool held = reason == ERROR_LOCK_VIOLATION;
    if (held) holder = read_holder(file);
    CloseHandle(file);
    error = system_error_text(reason);
    return held ? LockOutcome::held : LockOutcome::failed;
  }
  // NOTE: the handle stays open, and the lock held, until the process ends.
  held_locks.push_back(identity(file));
  const std::string id = std::to_string(static_cast<int64_t>(GetCurrentProcessId())) + "\r\n";
  DWORD written = 0;
  OVERLAPPED start = {};
  if (SetEndOfFile(file)) WriteFile(file, id.data(), static_cast<DWORD>(id.size()), &written, &start);
  return LockOutcome::taken;
}
