// Files: file numbers, opening in Output mode, buffered raw writes in whole
// units, syncing each unit or once at the end, closing at program end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "runtime/print.h"

constexpr int32_t FILE_MODE_OUTPUT = 3;
constexpr int32_t FILE_BUFFER_SIZE = 8192;
// Bytes of units that the disk refused, kept in memory per file to be written later.
constexpr int64_t FILE_HOLD_LIMIT = int64_t{1} << 20;

// What a file channel has not been able to pass on to its file.
struct FileBacklog {
  int64_t held_units = 0;     // units kept in memory, in order, waiting for the disk
  int64_t unsynced_units = 0; // units written to the file since its last sync that succeeded
  int64_t dropped_units = 0;  // units given up because the memory bound was reached
  int64_t delayed_units = 0;  // units the disk refused at first, in all (held, dropped or written late)
  Text error;                 // why the last write failed; "" once writing succeeds again
};

// The file layer's calls to the system; a test may replace them to make writes fail.
struct FileSystemCalls {
  // Write bytes at the stream's position; return how many were written (errno set when fewer).
  size_t (*write)(std::FILE* stream, const char* bytes, size_t count);
  // Pass the stream's written bytes on to the disk; false (errno set) on failure.
  bool (*sync)(std::FILE* stream);
  // Cut the file to `size` bytes and go on writing there; false (errno set) on failure.
  bool (*cut)(std::FILE* stream, int64_t size);
};

// When the units of a file are synced to the disk.
enum class FileSync : int32_t {
  every_unit = 0,  // at each flush_channel: a unit it passed on is on the disk
  at_end = 1,      // only by sync_channel and at close: a unit passed on is with the system
};

// Return the lowest file number 1 to 254 that is not open; 0 when all are.
int32_t free_file_number();

// Open a file under a number; Output mode creates or empties it. Returns a ResultCode.
ResultCode open_file(const Text& name, int32_t mode, int32_t access, int32_t lock,
                     PrintChannel number, int32_t record_length);

// Return why the last open_file failed, as the system says it ("" after a success).
Text open_file_error();

// End a unit: pass every byte printed since the last unit end on to the file, whole or not at all,
// and sync it when the file's FileSync is every_unit. A refused unit stays in memory (the file cut back to its last whole unit) and is written first
// at the next flush. Returns RESULT_OK when nothing is held any more, else RESULT_SHORT_WRITE.
ResultCode flush_channel(PrintChannel number);

// Pass everything printed on as flush_channel does, then sync the file whatever its FileSync.
// Returns RESULT_OK when nothing is held and every unit written is synced, else
// RESULT_SHORT_WRITE (file_backlog says how many units the failed sync leaves in doubt).
ResultCode sync_channel(PrintChannel number);

// Return what a file channel still holds or has dropped, and why its last write failed.
FileBacklog file_backlog(PrintChannel number);

// Choose when the units of files opened from now on are synced (FileSync::every_unit until told).
void use_file_sync(FileSync when);

// Replace the system calls of the file layer (nullptr: the system's own).
void use_file_system_calls(const FileSystemCalls* calls);

// Return the system's own file calls.
const FileSystemCalls& system_file_calls();

// Close every open file, writing out its buffer, and clear the file records.
void close_all_files();
