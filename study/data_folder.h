// Data folders: the exact per-second data of a run, written and read.
//
// A data folder holds seconds.csv (one row per second, UTF-8, LF), bits.bin
// when asked for (25 bytes per second, first bit drawn in the top bit),
// provenance.json and SHA256SUMS (checkable with `sha256sum -c`). Writing
// grows the files in a temporary folder beside the target and puts the folder
// in place only when every file is whole and synced; reading streams
// seconds.csv row by row in constant memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "runtime/paths.h"


// The files of a data folder.
constexpr char SECONDS_FILE[] = "seconds.csv";
constexpr char BITS_FILE[] = "bits.bin";
constexpr char PROVENANCE_FILE[] = "provenance.json";
constexpr char SUMS_FILE[] = "SHA256SUMS";
// The format tag of a data folder's provenance.json.
constexpr char DATA_FORMAT[] = "testnuv-data/1";
// The header line of seconds.csv.
constexpr char SECONDS_HEADER[] = "second,cycle,minute,sec,ones,zeros,z,time,time_source,utc";
// The header line of seconds.csv in folders written before it had the utc column.
constexpr char SECONDS_HEADER_WITHOUT_UTC[] = "second,cycle,minute,sec,ones,zeros,z,time,time_source";
// Seconds in a 12-hour cycle: 720 minutes and the second plotted at minute 720.
constexpr int64_t CYCLE_SECONDS = 43201;

// Where a row's wall time comes from.
enum class TimeSource { clock, record, interpolated, extrapolated };

// Return the name of a time source as seconds.csv writes it.
const char* time_source_name(TimeSource source);

// One row of seconds.csv: one second of the run.
struct SecondRow {
  int64_t second = 0;   // the experiment's second number, from 1
  int64_t cycle = 0;    // completed 12-hour cycles before this second
  int32_t minute = 0;   // experiment clock during this second, 0 to 720
  int32_t sec = 0;      // and its second, 0 to 59
  int32_t ones = 0;     // ones among the second's 200 bits
  int32_t zeros = 0;    // zeros; ones + zeros = 200
  double z = 0.0;       // (ones - 100) / sqrt(50)
  std::string time;     // local wall time "YYYY-MM-DD HH:MM:SS"
  TimeSource time_source = TimeSource::clock;
  std::string utc;      // the moment "YYYY-MM-DDTHH:MM:SSZ" ("" in folders written before it)
};

// Return the row of a second from its number and its ones (cycle, clock, zeros and z follow).
SecondRow make_second_row(int64_t second, int32_t ones, std::string time, TimeSource source);

// Writes a data folder: rows streamed in, the folder put in place by finish().
class DataFolderWriter {
 public:
  DataFolderWriter();
  ~DataFolderWriter();
  DataFolderWriter(const DataFolderWriter&) = delete;
  DataFolderWriter& operator=(const DataFolderWriter&) = delete;

  // Begin the folder `folder`; refuse an existing one unless it is empty, or `replace` is
  // set and it holds only data-folder files. False with `error` set on refusal or failure.
  bool begin(const std::filesystem::path& folder, bool with_bits, bool replace, std::string& error);
  // Append one second's row, and its bits (SECOND_BYTES) when the folder has bits.bin.
  bool add_second(const SecondRow& row, const uint8_t* bits);
  // Write provenance.json and SHA256SUMS, sync everything and put the folder in place.
  bool finish(const nlohmann::json& provenance, std::string& error);
  // Remove the unfinished folder (also done by the destructor when finish() did not succeed).
  void abandon();
  // Return why the last operation failed.
  const std::string& error() const { return error_; }
  // Tell whether the last begin() refused the folder itself (not whether it could be written).
  bool refused() const { return refused_; }
  // Return the rows written so far.
  int64_t rows() const { return rows_; }

 private:
  struct Output;
  bool write_to(Output& output, const char* bytes, size_t count);
  bool close_output(Output& output);
  // Take the marker out and rename the finished folder into place; false with error_ set.
  bool put_in_place();
  std::filesystem::path folder_;     // where the folder goes
  std::filesystem::path temporary_;  // where it grows
  std::unique_ptr<Output> seconds_;
  std::unique_ptr<Output> bits_;
  std::string error_;
  int64_t rows_ = 0;
  bool replace_ = false;
  bool open_ = false;
  bool existed_ = false;          // the folder was there (empty, or replaced) at the start
  bool keep_unfinished_ = false;  // the finished data could not go in place: left where it is
  bool refused_ = false;             // begin() refused the folder (it exists, holds the current one)
};

// Reads seconds.csv row by row, checking every row.
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

// Name a data folder's log in its provenance: "log_file" and the absolute "log_path", and
// "log_path_stored": false when the name is not UTF-8 (JSON stores it with the stray bytes
// replaced, so it cannot lead back to the log). Returns whether the name was stored whole.
bool name_log_in_provenance(nlohmann::json& provenance, const std::filesystem::path& log);

// Read a whole small file (up to 16 MiB, a regular file: see open_input) into `text`; false
// with `error` set.
bool read_small_file(const std::filesystem::path& file, Links links, std::string& text,
                     std::string& error);

// Check the files of a folder against its SHA256SUMS; every problem goes to `problems`.
// True when every listed file is there with its checksum and every data file is listed.
bool check_checksums(const std::filesystem::path& folder, std::vector<std::string>& problems);

// Read the folder's provenance.json; false with `error` set when missing or not a JSON object.
bool read_provenance(const std::filesystem::path& folder, nlohmann::json& provenance,
                     std::string& error);
