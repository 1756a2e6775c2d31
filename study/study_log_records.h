// The records of a study log, read back: their kind, place, stamps and counts.
//
// A log is a run of records, each one to four CR LF lines: 15-minute records
// (4 lines, the title marked ">>>>>"), 5-minute records (2 lines) and cycle
// records (1 line). A record is kept as its place, stamp, counts and a digest
// of its lines as written (about 50 bytes, so a year's log takes a few MB),
// which a check compares exactly; a record cut short at the end of the file
// (a killed run) is left out and reported, as are NUL bytes a power cut left.
// Anything that is no log stops the reading at its first line that is no record's.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/paths.h"
#include "study/result.h"

// The kinds of record, in the order a second writes them.
enum class RecordKind { window_15min, window_5min, cycle };

// Return the number of lines a record of that kind has.
int32_t record_line_count(RecordKind kind);

// The first 128 bits of the SHA-256 of a record's lines, each followed by LF.
using LinesDigest = std::array<uint64_t, 2>;

// One record of a log, as written.
struct LogRecord {
  RecordKind kind = RecordKind::window_5min;
  int64_t line = 0;     // line number of its first line, from 1
  uint32_t date = 0;    // its stamp's "mm-dd-yyyy" as the digits mmddyyyy
  int32_t time = -1;    // its stamp's "hh:mm:ss" as the digits hhmmss (-1: a cycle record has none)
  int32_t zeros = -1;   // the window's zeros and ones, from the title (-1: unreadable)
  int32_t ones = -1;
  LinesDigest digest{}; // of its lines without CR LF
};

// A study log, read back.
struct StudyLogText {
  std::filesystem::path file;
  Links links = Links::follow;     // how the file was opened (and is opened again)
  std::vector<LogRecord> records;  // the whole records, in order
  uint64_t bytes = 0;              // size of the file
  std::string sha256;              // of the whole file
  bool torn = false;               // the file ends inside a record
  int64_t torn_line = 0;           // the first line of that record
  int64_t bad_line = 0;            // first line that is no record's (0: none)
  std::string bad_text;            // that line (the start of it, when it is too long)
  std::string bad_why;             // why it is none ("" when it simply is no record's title)
  bool lf_line_ends = false;       // its line ends are LF alone (a mail program, a checkout)
  bool bom = false;                // the file starts with a UTF-8 byte order mark
  std::string sha256_as_written;   // of the text with CR LF line ends and no BOM
};

// Read a study log as a stream, record by record, up to its first line that is no record's. A log whose every line ends in LF alone, or
// that starts with a BOM, is read as the program's CR LF text (and said in the result).
Result<StudyLogText> read_study_log(const std::filesystem::path& file, Links links);

// Return the digest a record's lines (without line ends) have in LogRecord.
LinesDigest lines_digest(const std::vector<std::string>& lines);

// Return a record's stamp as written: "mm-dd-yyyy" and "hh:mm:ss" ("" for a cycle record).
std::string record_date_text(const LogRecord& record);
std::string record_time_text(const LogRecord& record);

// Read `count` lines of the log from line `first` again, without line ends (for a message);
// a line the file no longer has comes back as "(ilegible)".
std::vector<std::string> reread_lines(const StudyLogText& log, int64_t first, int32_t count);

// Return the ones of every 5-minute record of the log, in order (stopping at an unreadable one).
std::vector<int32_t> window_ones(const StudyLogText& log);

// Return the stamp of a record as seconds since 1970-01-01 00:00:00 of local wall time;
// false when the record has no readable date and time.
bool record_stamp(const LogRecord& record, int64_t& seconds);

