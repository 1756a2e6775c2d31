// Reading a study log back into records.
#include "study/study_log_records.h"

#include <charconv>
#include <cstdio>

#include "runtime/clock.h"
#include "runtime/paths.h"
#include "study/sha256.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t DATE_LENGTH = 10;  // "mm-dd-yyyy"
constexpr size_t TIME_LENGTH = 8;   // "hh:mm:ss"
constexpr char STAMP_JOIN[] = " - ";
constexpr char MARK_15MIN[] = ">>>>>";
constexpr char CYCLE_TEXT[] = "ciclos de 12 horas completados: ";
constexpr uint64_t MAX_LOG_BYTES = uint64_t{1} << 32;  // far beyond a century of records

// A checkpoint title and which of its counts comes first.
struct Title {
  const char* text;
  bool ones_first;
};
constexpr Title TITLES_15MIN[] = {{" checkpoint 15 min 0 > 1 : ", false},
                                  {" checkpoint 15 min 1 > 0 : ", true},
                                  {" checkpoint 15min 0 = 1 : ", false}};
constexpr Title TITLES_5MIN[] = {{" checkpoint 5 min. 0 > 1 : ", false},
                                 {" checkpoint 5 min. 1 > 0 : ", true},
                                 {" checkpoint 5min. 0 = 1 : ", false}};

// True when `text` holds `pattern` at `at`, where 'd' stands for any digit.
bool has_shape(const std::string& text, size_t at, const char* pattern) {
  for (size_t i = 0; pattern[i] != '\0'; ++i) {
    if (at + i >= text.size()) return false;
    const char c = text[at + i];
    if (pattern[i] == 'd' ? (c < '0' || c > '9') : c != pattern[i]) return false;
  }
  return true;
}

// Read the digits of text[at, at + count) as a number.
int64_t digits(const std::string& text, size_t at, size_t count) {
  int64_t value = 0;
  std::from_chars(text.data() + at, text.data() + at + count, value);
  return value;
}

// Seconds since 1970 of a date and time of day, or -1 when a field is out of range.
int64_t wall_seconds(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                     int64_t second) {
  if (month < 1 || month > 12 || day < 1 ||
      day > days_in_month(static_cast<int>(year), static_cast<int>(month)) || hour > 23 ||
      minute > 59 || second > 59) {
    return -1;
  }
  return days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

// Read the two counts " N" zone " M" that follow a title; false unless exactly that.
bool read_counts(const std::string& text, size_t at, int32_t& first, int32_t& second) {
  auto number = [&](int32_t& value) {
    if (at >= text.size() || text[at] != ' ') return false;
    ++at;
    const auto result = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (result.ec != std::errc() || value < 0) return false;
    at = static_cast<size_t>(result.ptr - text.data());
    return true;
  };
  if (!number(first)) return false;
  while (at + 1 < text.size() && text[at] == ' ' && text[at + 1] == ' ') ++at;
  return number(second) && at == text.size();
}

// Recognise a record's first line: its kind, stamp and counts. False when it is no title.
bool read_title(const std::string& text, LogRecord& record) {
  if (text.rfind(MARK_15MIN, 0) == 0) {
    record.kind = RecordKind::window_15min;
  } else if (has_shape(text, 0, "dd-dd-dddd") && text.compare(DATE_LENGTH, sizeof CYCLE_TEXT - 1, CYCLE_TEXT) == 0) {
    record.kind = RecordKind::cycle;
    record.date = text.substr(0, DATE_LENGTH);
    return true;
  } else {
    record.kind = RecordKind::window_5min;
  }
  const size_t at = record.kind == RecordKind::window_15min ? sizeof MARK_15MIN - 1 : 0;
  if (!has_shape(text, at, "dd-dd-dddd - dd:dd:dd")) return false;
  record.date = text.substr(at, DATE_LENGTH);
  record.time = text.substr(at + DATE_LENGTH + sizeof STAMP_JOIN - 1, TIME_LENGTH);
  const size_t after = at + DATE_LENGTH + sizeof STAMP_JOIN - 1 + TIME_LENGTH;
  for (const Title& title : record.kind == RecordKind::window_15min ? TITLES_15MIN : TITLES_5MIN) {
    const std::string literal = title.text;
    if (text.compare(after, literal.size(), literal) != 0) continue;
    int32_t first = 0, second = 0;
    if (read_counts(text, after + literal.size(), first, second)) {
      record.ones = title.ones_first ? first : second;
      record.zeros = title.ones_first ? second : first;
    }
    return true;
  }
  return false;
}

// Split the file's bytes into lines at LF; `ended` tells whether the last one had its CR LF.
std::vector<std::string> split_lines(const std::string& bytes, bool& last_whole) {
  std::vector<std::string> lines;
  size_t start = 0;
  last_whole = true;
  while (start < bytes.size()) {
    const size_t stop = bytes.find('\n', start);
    if (stop == std::string::npos) {
      lines.push_back(bytes.substr(start));
      last_whole = false;
      break;
    }
    lines.push_back(bytes.substr(start, stop + 1 - start));
    start = stop + 1;
  }
  return lines;
}

}  // namespace

int32_t record_line_count(RecordKind kind) {
  switch (kind) {
    case RecordKind::window_15min: return 4;
    case RecordKind::window_5min: return 2;
    case RecordKind::cycle: return 1;
  }
  return 1;
}

bool read_study_log(const fs::path& file, Links links, StudyLogText& log, std::string& error) {
  log = StudyLogText{};
  log.file = file;
  std::FILE* stream = open_input(file, links, error);
  if (stream == nullptr) return false;
  std::string bytes;
  char buffer[1 << 16];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0 && bytes.size() < MAX_LOG_BYTES) {
    bytes.append(buffer, got);
  }
  const bool failed = std::ferror(stream) != 0;
  std::fclose(stream);
  if (failed || bytes.size() >= MAX_LOG_BYTES) {
    error = shown_path(file) + (failed ? ": error de lectura" : ": demasiado grande para un registro");
    return false;
  }
  log.bytes = bytes.size();
  log.sha256 = sha256_of(bytes);
  // A power cut can leave the end of a file filled with NUL bytes: a torn end.
  size_t kept = bytes.size();
  while (kept > 0 && bytes[kept - 1] == '\0') --kept;
  const bool nul_tail = kept < bytes.size();
  bytes.resize(kept);
  bool last_whole = true;
  const std::vector<std::string> lines = split_lines(bytes, last_whole);
  size_t at = 0;
  while (at < lines.size()) {
    LogRecord record;
    record.line = static_cast<int64_t>(at) + 1;
    std::string first = lines[at];
    const bool whole_line = first.size() >= 2 && first.compare(first.size() - 2, 2, "\r\n") == 0;
    if (whole_line) first.resize(first.size() - 2);
    const bool title = read_title(first, record);
    const size_t count = title ? static_cast<size_t>(record_line_count(record.kind)) : 1;
    const bool at_end = at + count >= lines.size();
    const bool record_whole = at + count <= lines.size() && (at + count < lines.size() || last_whole);
    if (at_end && (!record_whole || (!whole_line && count == 1))) {
      // The last record stops short: read up to the one before it.
      log.torn = true;
      log.torn_line = record.line;
      break;
    }
    if (!title || !whole_line) {
      log.bad_line = record.line;
      log.bad_text = first;
      break;
    }
    for (size_t i = 0; i < count; ++i) {
      std::string line = lines[at + i];
      if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) {
        log.bad_line = static_cast<int64_t>(at + i) + 1;
        log.bad_text = line;
        return true;
      }
      line.resize(line.size() - 2);
      record.lines.push_back(line);
    }
    log.records.push_back(std::move(record));
    at += count;
  }
  if (nul_tail && !log.torn && log.bad_line == 0) {
    // Whole records, then only NUL bytes: the record being written was lost.
    log.torn = true;
    log.torn_line = static_cast<int64_t>(lines.size()) + 1;
  }
  return true;
}

std::vector<int32_t> window_ones(const StudyLogText& log) {
  std::vector<int32_t> ones;
  for (const LogRecord& record : log.records) {
    if (record.kind != RecordKind::window_5min) continue;
    if (record.ones < 0) break;
    ones.push_back(record.ones);
  }
  return ones;
}

bool record_stamp(const LogRecord& record, int64_t& seconds) {
  if (record.time.empty()) return false;
  seconds = wall_seconds(digits(record.date, 6, 4), digits(record.date, 0, 2),
                         digits(record.date, 3, 2), digits(record.time, 0, 2),
                         digits(record.time, 3, 2), digits(record.time, 6, 2));
  return seconds >= 0;
}

