// Files: file numbers, opening in Output mode, buffered raw writes, closing at program end.
#pragma once

#include <cstdint>

#include "runtime/print.h"

constexpr int32_t FILE_MODE_OUTPUT = 3;
constexpr int32_t FILE_BUFFER_SIZE = 8192;

// Return the lowest file number 1 to 254 that is not open; 0 when all are.
int32_t free_file_number();

// Open a file under a number; Output mode creates or empties it. Returns a ResultCode.
ResultCode open_file(const Text& name, int32_t mode, int32_t access, int32_t lock,
                     PrintChannel number, int32_t record_length);

// Return why the last open_file failed, as the system says it ("" after a success).
Text open_file_error();

// Pass a file channel's buffered bytes to the system and on to the disk. Returns a ResultCode.
ResultCode flush_channel(PrintChannel number);

// Close every open file, writing out its buffer, and clear the file records.
void close_all_files();
