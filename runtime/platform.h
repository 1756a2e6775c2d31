// The runtime's only contact with the operating system: the process's start,
// time, sleep, files and the program's own file name.
// One implementation per platform (platform_posix.cpp, platform_windows.cpp).
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "runtime/text.h"

// Make the process safe to run before anything opens a file or a display: reopen any of the
// standard descriptors 0, 1 and 2 that is closed on the null device, ignore SIGPIPE.
void platform_start_process();

// Seconds of a monotonic high-resolution clock since its own fixed origin.
double platform_timer_seconds();

// Convert a moment (seconds since 1970-01-01 00:00:00 UTC) to the local calendar time of the
// zone in use, daylight saving included. Returns false when the system cannot convert it.
bool platform_local_from_utc(int64_t utc, std::tm& local);

// Pause the calling thread for `ms` milliseconds.
void platform_sleep_ms(int32_t ms);

// Pass a stream's written bytes on to the disk. Returns false on failure.
bool platform_sync_file(std::FILE* stream);

// Pass a directory's entries (new names, renames) on to the disk. Returns false on failure.
bool platform_sync_directory(const std::filesystem::path& path);

// Cut a stream's file to `size` bytes and go on writing there. Returns false (errno set) on failure.
bool platform_cut_file(std::FILE* stream, int64_t size);

// Make a file-size limit an ordinary write failure instead of the end of the process.
void platform_prepare_writes();

// Return the running executable's file name without its folder ("" when unknown).
Text platform_program_file_name();

// Return the name of the platform the program was built for ("Linux", "Windows", …).
const char* platform_name();

// The name of the local time zone ("Europe/Madrid", "CET", …; "" when unknown).
std::string platform_time_zone_name();

// Make the zone `name` the zone of local times ("" the process's own zone again). Returns false,
// and changes nothing, when the system does not know the zone by that name.
bool platform_use_time_zone(const std::string& name);
// Return this process's id.
int64_t platform_process_id();

// Return whether a process with id `pid` runs on this machine (true when it cannot be told).
bool platform_process_runs(int64_t pid);

// The machine's host name ("" when unknown).
std::string platform_host_name();

// Return a file name as the system wants it (on Windows '/' becomes a backslash).
Text platform_file_name(const Text& name);

// What became of a request for a lock file.
enum class LockOutcome : int32_t {
  taken = 0,  // this process holds the lock until it ends
  held = 1,   // another process holds it
  failed = 2, // the file could not be opened or locked
};

// Take an exclusive lock on the file `path` (created when missing) and write the process's id
// into it; the lock is held until the process ends, and the system lets go of it however the
// process ends. When another process holds it, `holder` is the id that process wrote (0 when
// unknown); on failure `error` says why. The file stays when the process ends.
LockOutcome platform_hold_lock(const Text& path, int64_t& holder, Text& error);
