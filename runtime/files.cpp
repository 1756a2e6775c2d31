// Files: file numbers 1 to 254, opening in Output mode, buffered raw writes in
// whole units, closing at program end.
//
// A file channel is a ChannelRecord (runtime/print.h) whose sink is the file
// write below. Bytes collect in the record's buffer; a buffer that reaches
// 8192 bytes passes its whole blocks on, and flush_channel passes everything
// on, syncing it too unless the file was opened to be synced only at the end
// (FileSync::at_end: sync_channel and the close sync it). Each pass is a unit that reaches the file whole or not at
// all: when the system refuses a write or a sync (full disk, quota, file-size
// limit, I/O error) the file is cut back to the end of its last whole unit and
// the unit is held in memory, in order, to be written before anything else at
// the next pass. At most FILE_HOLD_LIMIT bytes are held; units past that are
// dropped and counted. Only Output mode is supported. Files close at program
// end and when the channel table is cleared: open_file registers
// close_all_files with both.
#include "runtime/files.h"

#include <cerrno>
#include <cstring>
#include <deque>

#include "runtime/durable.h"
#include "runtime/paths.h"
#include "runtime/platform.h"
#include "runtime/program.h"

// A file channel's bytes on their way to the file.
struct FileState {
  Text buffer;             // bytes printed since the last pass, not yet in the file
  std::deque<Text> held;   // whole units the system refused, oldest first
  int64_t held_bytes = 0;  // bytes in `held`
  int64_t dropped = 0;     // units dropped because `held` was full
  int64_t delayed = 0;     // units ever held (written late, or still held, or dropped)
  int64_t size = 0;        // bytes in the file: whole units only
  bool torn = false;       // the file may hold bytes past `size` that a cut could not remove
  int64_t unsynced = 0;    // units written since the last sync that succeeded
  FileSync syncing = FileSync::every_unit;  // whether flush_channel syncs
  Text error;              // why the last pass failed; "" after a pass that succeeded
};

namespace {

constexpr PrintChannel FIRST_FILE = 1;
constexpr PrintChannel LAST_FILE = CHANNEL_COUNT - 1;

Text open_error;  // why the last open_file failed; empty after a success
FileSync sync_of_new_files = FileSync::every_unit;  // the FileSync of the files opened next

// Write bytes through the stream (unbuffered, so they go straight to the system).
size_t system_write(std::FILE* stream, const char* bytes, size_t count) {
  const size_t written = std::fwrite(bytes, 1, count, stream);
  if (written < count && errno == 0) errno = EIO;
  std::clearerr(stream);
  return written;
}

const FileSystemCalls system_calls{system_write, platform_sync_file, platform_cut_file};
const FileSystemCalls* calls = &system_calls;  // the calls in use

bool is_file_number(PrintChannel number) { return number >= FIRST_FILE && number <= LAST_FILE; }

// Return the file record of an open file channel, or nullptr.
ChannelRecord* open_file_record(PrintChannel number) {
  if (!is_file_number(number)) return nullptr;
  ChannelRecord& record = channel_record(number);
  return record.file != nullptr ? &record : nullptr;
}

// Answer an open with a failure code, keeping the system's reason; the channel stays as it is.
ResultCode refuse_open(ResultCode code, int error) {
  open_error = std::strerror(error);
  set_last_result(code);
  return code;
}

// Clear the record of a failed open and answer with its result code.
ResultCode open_failed(ChannelRecord& record, ResultCode code, int error) {
  record = ChannelRecord();
  return refuse_open(code, error);
}

// Note why a pass failed, from errno.
void note_failure(FileState& file) {
  const int error = errno != 0 ? errno : EIO;
  file.error = std::strerror(error);
}

// Cut the file to `size` bytes; a cut that fails is tried again at the next pass.
void cut_to(std::FILE* stream, FileState& file, int64_t size) {
  const int saved = errno;
  file.torn = !calls->cut(stream, size);
  errno = saved;
}

// Take the first `count` bytes of the buffer as a unit behind the held ones; drop it when full.
bool hold_unit(FileState& file, size_t count) {
  if (count == 0) return true;
  ++file.delayed;
  const bool fits = file.held_bytes + static_cast<int64_t>(count) <= FILE_HOLD_LIMIT;
  if (fits) {
    file.held.emplace_back(file.buffer, 0, count);
    file.held_bytes += static_cast<int64_t>(count);
  } else {
    ++file.dropped;
  }
  file.buffer.erase(0, count);
  return fits;
}

// Write held units in order, each whole, from the file's end; return how many were written.
// A failure cuts the file back to the end of the last whole one.
size_t write_units(std::FILE* stream, FileState& file) {
  int64_t end = file.size;
  size_t done = 0;
  for (; done < file.held.size(); ++done) {
    const Text& unit = file.held[done];
    if (calls->write(stream, unit.data(), unit.size()) != unit.size()) {
      note_failure(file);
      cut_to(stream, file, end);
      break;
    }
    end += static_cast<int64_t>(unit.size());
  }
  return done;
}

// Count the first `done` held units as part of the file and free them.
void commit_units(FileState& file, size_t done) {
  for (; done > 0; --done) {
    file.size += static_cast<int64_t>(file.held.front().size());
    file.held_bytes -= static_cast<int64_t>(file.held.front().size());
    file.held.pop_front();
  }
}

// Pass the held units on to the file, and with `sync` on to the disk. A unit whose write or
// sync fails stays held, the file cut back to its last whole unit. False when any is held.
bool pass_on(std::FILE* stream, FileState& file, bool sync) {
  errno = 0;
  if (file.torn) cut_to(stream, file, file.size);
  if (file.torn) return false;  // the failure that tore it stays the reason
  size_t done = write_units(stream, file);
  bool passed = done == file.held.size();
  if (sync && (done > 0 || file.unsynced > 0)) {
    if (calls->sync(stream)) {
      file.unsynced = 0;
    } else {
      note_failure(file);
      cut_to(stream, file, file.size);
      done = 0;
      passed = false;
    }
  } else {
    file.unsynced += static_cast<int64_t>(done);
  }
  commit_units(file, done);
  if (passed) file.error.clear();
  return passed;
}

// Hand one write's bytes to the file's buffer; full blocks pass on as a unit.
ResultCode file_write(ChannelRecord& record, const char* bytes, int32_t count) {
  FileState& file = *record.file;
  file.buffer.append(bytes, static_cast<size_t>(count));
  if (file.buffer.size() < static_cast<size_t>(FILE_BUFFER_SIZE)) return RESULT_OK;
  const size_t blocks = file.buffer.size() / FILE_BUFFER_SIZE * FILE_BUFFER_SIZE;
  if (!hold_unit(file, blocks)) return RESULT_SHORT_WRITE;
  pass_on(record.stream, file, false);
  return RESULT_OK;
}

// Close a file record's stream, passing its buffer on, and free its state.
void close_record(ChannelRecord& record) {
  if (record.file != nullptr) {
    hold_unit(*record.file, record.file->buffer.size());
    pass_on(record.stream, *record.file, true);
  }
  if (record.stream != nullptr) std::fclose(record.stream);
  delete record.file;
  record = ChannelRecord();
}

// End a file channel's unit: pass it on, synced when the file syncs every unit or `sync` asks.
ResultCode end_unit(PrintChannel number, bool sync) {
  ChannelRecord* record = open_file_record(number);
  if (record == nullptr) return RESULT_INVALID;
  FileState& file = *record->file;
  hold_unit(file, file.buffer.size());
  sync = sync || file.syncing == FileSync::every_unit;
  return pass_on(record->stream, file, sync) ? RESULT_OK : RESULT_SHORT_WRITE;
}

}  // namespace

int32_t free_file_number() {
  for (PrintChannel number = FIRST_FILE; number <= LAST_FILE; ++number) {
    if (channel_record(number).sink == nullptr) return number;
  }
  return 0;
}

ResultCode open_file(const Text& name, int32_t mode, int32_t access, int32_t lock,
                     PrintChannel number, int32_t record_length) {
  (void)record_length;
  // Registering again is harmless, and re-arms the action after an earlier end ran it.
  at_program_end(close_all_files);
  at_channel_table_reset(close_all_files);
  platform_prepare_writes();
  if (!is_file_number(number)) return refuse_open(RESULT_INVALID, EINVAL);
  ChannelRecord& record = channel_record(number);
  if (record.sink != nullptr) return refuse_open(RESULT_INVALID, EBUSY);
  record = ChannelRecord();
  record.mode = mode;
  record.access = access;
  record.lock = lock;
  if (mode != FILE_MODE_OUTPUT) return open_failed(record, RESULT_INVALID, EINVAL);
  if (name.find('\0') != Text::npos) return open_failed(record, RESULT_CANNOT_OPEN, EINVAL);
  const Text system_name = platform_file_name(name);
  record.stream = open_path(path_from_utf8(system_name), "wb");
  if (record.stream == nullptr) return open_failed(record, RESULT_CANNOT_OPEN, errno);
  std::setvbuf(record.stream, nullptr, _IONBF, 0);
  sync_parent_directory(path_from_utf8(system_name));
  record.file = new FileState();
  record.file->syncing = sync_of_new_files;
  record.file->buffer.reserve(FILE_BUFFER_SIZE);
  record.sink = file_write;
  open_error.clear();
  set_last_result(RESULT_OK);
  return RESULT_OK;
}

Text open_file_error() { return open_error; }

ResultCode flush_channel(PrintChannel number) { return end_unit(number, false); }

ResultCode sync_channel(PrintChannel number) { return end_unit(number, true); }

FileBacklog file_backlog(PrintChannel number) {
  FileBacklog backlog;
  const ChannelRecord* record = open_file_record(number);
  if (record == nullptr) return backlog;
  backlog.held_units = static_cast<int64_t>(record->file->held.size());
  backlog.unsynced_units = record->file->unsynced;
  backlog.dropped_units = record->file->dropped;
  backlog.delayed_units = record->file->delayed;
  backlog.error = record->file->error;
  return backlog;
}

void use_file_sync(FileSync when) { sync_of_new_files = when; }

void use_file_system_calls(const FileSystemCalls* replacement) {
  calls = replacement != nullptr ? replacement : &system_calls;
}

const FileSystemCalls& system_file_calls() { return system_calls; }

void close_all_files() {
  for (PrintChannel number = FIRST_FILE; number <= LAST_FILE; ++number) {
    close_record(channel_record(number));
  }
}
