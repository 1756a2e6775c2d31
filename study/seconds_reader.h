// Reading a data folder's seconds.csv back, row by row, in constant memory,
// with every column of every row checked against the others (the second's
// place in its cycle, zeros, z) and the shapes of its times.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "study/data_folder.h"

// Reads seconds.csv row by row. Like every stream reader of the tool, next() returns false at
// the end or at a fault, and error() then tells which ("" at a clean end).
class SecondsReader {
 public:
  SecondsReader() = default;
  ~SecondsReader();
  SecondsReader(const SecondsReader&) = delete;
  SecondsReader& operator=(const SecondsReader&) = delete;

  // Open a seconds.csv and check its header; false with error() set.
  bool open(const std::filesystem::path& file);
  // Read the next row; false at the end of the file or on a bad row (error() says which).
  bool next(SecondRow& row);
  // Return why reading stopped ("" at a clean end).
  const std::string& error() const { return error_; }
  // Return the line number of the last line read (the header is line 1).
  int64_t line() const { return line_; }
  // Say whether the file has the utc column (folders written before it have not).
  bool has_utc() const { return has_utc_; }

 private:
  bool read_line(std::string& text);
  bool fail(const std::string& why);
  std::FILE* stream_ = nullptr;
  std::filesystem::path name_;
  std::string error_;
  int64_t line_ = 0;
  int64_t previous_ = 0;
  bool has_utc_ = true;
  char buffer_[1 << 16];  // bytes read ahead
  size_t at_ = 0;         // next unread byte of buffer_
  size_t filled_ = 0;     // bytes in buffer_
};
