// Files: file numbers 1 to 254, opening in Output mode, buffered raw writes, closing at program end.
//
// A file channel is a ChannelRecord (runtime/print.h) whose sink is the file
// write below; its stream is fully buffered by 8192 bytes that the record
// owns. Only Output mode is supported. Files close at program end
// (close_all_files is registered on the first open_file); flush_channel lets
// a caller push its records to the disk sooner.
#include "runtime/files.h"

#include <cerrno>
#include <cstring>

#include "runtime/platform.h"
#include "runtime/program.h"

namespace {

constexpr PrintChannel FIRST_FILE = 1;
constexpr PrintChannel LAST_FILE = CHANNEL_COUNT - 1;

Text open_error;              // why the last open_file failed; empty after a success

// Hand one write's bytes to the file's stream.
ResultCode file_write(ChannelRecord& record, const char* bytes, int32_t count) {
  size_t written = std::fwrite(bytes, 1, static_cast<size_t>(count), record.stream);
  return written < static_cast<size_t>(count) ? RESULT_SHORT_WRITE : RESULT_OK;
}

bool is_file_number(PrintChannel number) { return number >= FIRST_FILE && number <= LAST_FILE; }

// Return the name as the system wants it: '/' becomes '\' on Windows.
Text system_file_name(const Text& name) {
  Text result = name;
#ifdef _WIN32
  for (char& c : result) {
    if (c == '/') c = '\\';
  }
#endif
  return result;
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

// Close a file record's stream and release its buffer.
void close_record(ChannelRecord& record) {
  if (record.stream != nullptr) std::fclose(record.stream);
  delete[] record.buffer;
  record = ChannelRecord();
}

}  // namespace

// Return the lowest file number 1 to 254 that is not open; 0 when all are.
int32_t free_file_number() {
  for (PrintChannel number = FIRST_FILE; number <= LAST_FILE; ++number) {
    if (channel_record(number).sink == nullptr) return number;
  }
  return 0;
}

// Open a file under a number; Output mode creates or empties it. Returns a ResultCode.
ResultCode open_file(const Text& name, int32_t mode, int32_t access, int32_t lock,
                     PrintChannel number, int32_t record_length) {
  (void)record_length;
  // Registering again is harmless, and re-arms the action after an earlier end ran it.
  at_program_end(close_all_files);
  if (!is_file_number(number)) return refuse_open(RESULT_INVALID, EINVAL);
  ChannelRecord& record = channel_record(number);
  if (record.sink != nullptr) return refuse_open(RESULT_INVALID, EBUSY);
  record = ChannelRecord();
  record.mode = mode;
  record.access = access;
  record.lock = lock;
  if (mode != FILE_MODE_OUTPUT) return open_failed(record, RESULT_INVALID, EINVAL);
  if (name.find('\0') != Text::npos) return open_failed(record, RESULT_CANNOT_OPEN, EINVAL);
  record.stream = std::fopen(system_file_name(name).c_str(), "wb");
  if (record.stream == nullptr) return open_failed(record, RESULT_CANNOT_OPEN, errno);
  record.buffer = new char[FILE_BUFFER_SIZE];
  std::setvbuf(record.stream, record.buffer, _IOFBF, FILE_BUFFER_SIZE);
  record.sink = file_write;
  open_error.clear();
  set_last_result(RESULT_OK);
  return RESULT_OK;
}

// Return why the last open_file failed, as the system says it ("" after a success).
Text open_file_error() { return open_error; }

// Pass a file channel's buffered bytes to the system and on to the disk. Returns a ResultCode.
ResultCode flush_channel(PrintChannel number) {
  std::FILE* stream = is_file_number(number) ? channel_record(number).stream : nullptr;
  if (stream == nullptr) return RESULT_INVALID;
  if (std::fflush(stream) != 0 || !platform_sync_file(stream)) return RESULT_SHORT_WRITE;
  return RESULT_OK;
}

// Close every open file, writing out its buffer, and clear the file records.
void close_all_files() {
  for (PrintChannel number = FIRST_FILE; number <= LAST_FILE; ++number) {
    close_record(channel_record(number));
  }
}
