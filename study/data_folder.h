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
#include "study/result.h"


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
  // set and it holds only data-folder files (refused() tells a refusal from a failure).
  Result<> begin(const std::filesystem::path& folder, bool with_bits, bool replace);
  // Append one second's row, and its bits (BYTES_PER_SECOND) when the folder has bits.bin.
  bool add_second(const SecondRow& row, const uint8_t* bits);
  // Write provenance.json and SHA256SUMS, sync everything and put the folder in place.
  Result<> finish(const nlohmann::json& provenance);
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

// Return z = (ones - 100) / sqrt(50) as seconds.csv writes it (6 decimals), for 0 to 200 ones.
const std::string& z_text(int32_t ones);

// True when a folder entry is one of the files a data folder holds.
bool is_data_file(const std::string& name);
