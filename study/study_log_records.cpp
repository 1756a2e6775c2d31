// Reading a study log back into records.
#include "study/study_log_records.h"

#include "experiment/run_facts.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "runtime/clock.h"
#include "runtime/paths.h"
#include "study/local_time.h"
#include "runtime/sha256.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t DATE_LENGTH = 10;  // "mm-dd-yyyy"
constexpr size_t TIME_LENGTH = 8;   // "hh:mm:ss"
constexpr char STAMP_JOIN[] = " - ";
constexpr size_t MAX_LINE_BYTES = 1024;  // far beyond the longest line a record has
constexpr size_t READ_CHUNK = size_t{1} << 16;

// A checkpoint title and which of its counts comes first.
struct Title {
  const char* text;
  bool ones_first;
};
constexpr Title TITLES_15MIN[] = {{TITLE_15MIN_ZERO, false},
                                  {TITLE_15MIN_ONE, true},
                                  {TITLE_15MIN_BALANCED, false}};
constexpr Title TITLES_5MIN[] = {{TITLE_5MIN_ZERO, false},
                                 {TITLE_5MIN_ONE, true},
                                 {TITLE_5MIN_BALANCED, false}};

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

// The digits of a "mm-dd-yyyy" at `at` as the number mmddyyyy.
uint32_t packed_date(const std::string& text, size_t at) {
  return static_cast<uint32_t>(digits(text, at, 2) * 1000000 + digits(text, at + 3, 2) * 10000 +
                               digits(text, at + 6, 4));
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
    record.date = packed_date(text, 0);
    return true;
  } else {
    record.kind = RecordKind::window_5min;
  }
  const size_t at = record.kind == RecordKind::window_15min ? sizeof MARK_15MIN - 1 : 0;
  if (!has_shape(text, at, "dd-dd-dddd - dd:dd:dd")) return false;
  record.date = packed_date(text, at);
  const size_t clock = at + DATE_LENGTH + sizeof STAMP_JOIN - 1;
  record.time = static_cast<int32_t>(digits(text, clock, 2) * 10000 + digits(text, clock + 3, 2) * 100 +
                                     digits(text, clock + 6, 2));
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

// True when `text` could be the start of a record's first line as the program writes it:
// each character in place (digits where the stamp has digits), the text simply ending early.
bool could_start_title(const std::string& text) {
  auto prefix_of = [&text](size_t at, const std::string& shape) {
    for (size_t i = 0; i < shape.size(); ++i) {
      if (at + i >= text.size()) return true;
      const char c = text[at + i];
      if (shape[i] == 'd' ? (c < '0' || c > '9') : c != shape[i]) return false;
    }
    return false;
  };
  auto counts_prefix = [&text](size_t at) {
    for (size_t i = at; i < text.size(); ++i) {
      if (text[i] != ' ' && (text[i] < '0' || text[i] > '9')) return false;
    }
    return true;
  };
  const std::string stamp = "dd-dd-dddd - dd:dd:dd";
  const size_t mark = text.rfind(MARK_15MIN, 0) == 0 ? sizeof MARK_15MIN - 1 : 0;
  if (mark == 0 && prefix_of(0, MARK_15MIN)) return true;
  if (mark == 0 && prefix_of(0, std::string("dd-dd-dddd") + CYCLE_TEXT)) return true;
  if (mark == 0 && has_shape(text, 0, "dd-dd-dddd") &&
      text.compare(DATE_LENGTH, sizeof CYCLE_TEXT - 1, CYCLE_TEXT) == 0) {
    return counts_prefix(DATE_LENGTH + sizeof CYCLE_TEXT - 1);
  }
  if (prefix_of(mark, stamp)) return true;
  if (!has_shape(text, mark, stamp.c_str())) return false;
  const size_t after = mark + stamp.size();
  for (const Title& title : mark > 0 ? TITLES_15MIN : TITLES_5MIN) {
    const std::string literal = title.text;
    if (prefix_of(after, literal)) return true;
    if (text.compare(after, literal.size(), literal) == 0) return counts_prefix(after + literal.size());
  }
  return false;
}

// Reads a log's bytes as they come, line by line, into records; memory grows with the
// records, never with what follows the first line that is no record's.
class LogParser {
 public:
  explicit LogParser(StudyLogText& log) : log_(log) {}
  // Take the next bytes of the file; false once the rest need not be read.
  bool feed(const char* bytes, size_t count);
  // The file has ended: settle a record cut short and the NUL bytes a power cut left.
  void finish();
  // Return the SHA-256 of the text with its line ends made CR LF and no BOM.
  std::string as_written_digest() { return as_written_.finish(); }

 private:
  void take_line(bool terminated, bool had_cr);
  void bad(int64_t line, const std::string& text, const std::string& why);
  StudyLogText& log_;
  Sha256 as_written_;          // the text as the program would have written it
  std::string line_;           // the line being read, without its line end
  int64_t line_number_ = 0;    // lines taken so far
  bool start_ = true;          // nothing read yet (a BOM may come)
  bool in_nul_tail_ = false;   // a NUL byte came: only NUL bytes may follow
  bool done_ = false;          // a bad line ended the reading
  LogRecord record_;           // the record being read
  std::vector<std::string> record_lines_;  // its lines so far
  size_t wanted_ = 0;          // lines the record being read still needs (0: none begun)
};

bool LogParser::feed(const char* bytes, size_t count) {
  size_t at = 0;
  if (start_ && count > 0) {
    static const char BOM[] = "\xEF\xBB\xBF";
    if (count >= 3 && std::memcmp(bytes, BOM, 3) == 0) {
      log_.bom = true;
      at = 3;
    }
    start_ = false;
  }
  for (; at < count && !done_; ++at) {
    const char c = bytes[at];
    if (in_nul_tail_) {
      if (c != '\0') bad(line_number_ + 1, line_ + std::string(1, '\0'), "bytes NUL en medio del fichero");
      continue;
    }
    if (c == '\0') {
      in_nul_tail_ = true;
    } else if (c == '\n') {
      const bool had_cr = !line_.empty() && line_.back() == '\r';
      if (had_cr) line_.pop_back();
      take_line(true, had_cr);
      line_.clear();
    } else if (line_.size() >= MAX_LINE_BYTES) {
      bad(line_number_ + 1, line_.substr(0, 60) + "...", "linea mas larga que cualquier registro");
    } else {
      line_ += c;
    }
  }
  return !done_;
}

void LogParser::bad(int64_t line, const std::string& text, const std::string& why) {
  if (done_) return;
  log_.bad_line = line;
  log_.bad_text = text;
  log_.bad_why = why;
  done_ = true;
}

void LogParser::take_line(bool terminated, bool had_cr) {
  ++line_number_;
  if (terminated && line_number_ == 1) log_.lf_line_ends = !had_cr;
  if (terminated && had_cr == log_.lf_line_ends) {
    // One convention for the whole file: the program's CR LF, or LF alone throughout.
    bad(line_number_, line_ + (had_cr ? "\r" : ""),
        had_cr ? "fin de linea CR LF en un registro de fines LF" : "fin de linea sin CR");
    return;
  }
  if (terminated) {
    as_written_.update(line_.data(), line_.size());
    as_written_.update("\r\n", 2);
  }
  if (wanted_ == 0) {
    record_ = LogRecord{};
    record_.line = line_number_;
    if (!terminated) {
      // The file ends inside the first line of a record.
      if (could_start_title(line_)) {
        log_.torn = true;
        log_.torn_line = line_number_;
      } else {
        bad(line_number_, line_, "no es el principio de ningun registro");
      }
      return;
    }
    if (!read_title(line_, record_)) {
      bad(line_number_, line_, "");
      return;
    }
    wanted_ = static_cast<size_t>(record_line_count(record_.kind));
  }
  if (!terminated) {
    log_.torn = true;
    log_.torn_line = record_.line;
    return;
  }
  record_lines_.push_back(line_);
  if (--wanted_ == 0) {
    record_.digest = lines_digest(record_lines_);
    record_lines_.clear();
    log_.records.push_back(record_);
  }
}

void LogParser::finish() {
  if (done_) return;
  if (!line_.empty()) take_line(false, false);
  if (done_ || log_.torn) return;
  if (wanted_ > 0) {
    log_.torn = true;
    log_.torn_line = record_.line;
  } else if (in_nul_tail_) {
    // Whole records, then only NUL bytes: the record being written was lost.
    log_.torn = true;
    log_.torn_line = line_number_ + 1;
  }
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

Result<StudyLogText> read_study_log(const fs::path& file, Links links) {
  StudyLogText log;
  std::string error;
  log.file = file;
  log.links = links;
  std::FILE* stream = open_input(file, links, error);
  if (stream == nullptr) return fail(EXIT_TROUBLE, error);
  LogParser parser(log);
  Sha256 whole;
  std::vector<char> buffer(READ_CHUNK);
  size_t got = 0;
  bool reading = true;
  while (reading && (got = std::fread(buffer.data(), 1, buffer.size(), stream)) > 0) {
    whole.update(buffer.data(), got);
    log.bytes += got;
    reading = parser.feed(buffer.data(), got);
  }
  const bool failed = std::ferror(stream) != 0;
  std::fclose(stream);
  if (failed) return fail(EXIT_TROUBLE, shown_path(file) + ": error de lectura");
  parser.finish();
  // Read to the end, the file's digest is known; stopped at a line that is no record's, not.
  log.sha256 = reading ? whole.finish() : "";
  log.sha256_as_written = reading ? parser.as_written_digest() : "";
  return log;
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
  if (record.time < 0) return false;
  return calendar_seconds(record.date % 10000, record.date / 1000000, record.date / 10000 % 100, record.time / 10000,
                          record.time / 100 % 100, record.time % 100, seconds) &&
         seconds >= 0;
}

LinesDigest lines_digest(const std::vector<std::string>& lines) {
  Sha256 digest;
  for (const std::string& line : lines) {
    digest.update(line.data(), line.size());
    digest.update("\n", 1);
  }
  const std::string hex = digest.finish();
  LinesDigest value{};
  for (size_t half = 0; half < value.size() && hex.size() >= 32; ++half) {
    std::from_chars(hex.data() + half * 16, hex.data() + half * 16 + 16, value[half], 16);
  }
  return value;
}

std::string record_date_text(const LogRecord& record) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u-%02u-%04u", record.date / 1000000, record.date / 10000 % 100,
                record.date % 10000);
  return text;
}

std::string record_time_text(const LogRecord& record) {
  if (record.time < 0) return "";
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", record.time / 10000, record.time / 100 % 100,
                record.time % 100);
  return text;
}

std::vector<std::string> reread_lines(const StudyLogText& log, int64_t first, int32_t count) {
  std::vector<std::string> lines(static_cast<size_t>(std::max(count, 0)), "(ilegible)");
  std::string error;
  std::FILE* stream = open_input(log.file, log.links, error);
  if (stream == nullptr) return lines;
  std::string line;
  int64_t number = 1;
  int c = 0;
  bool start = true;
  while (number < first + count && (c = std::fgetc(stream)) != EOF) {
    if (start && c == 0xEF && log.bom) {
      std::fgetc(stream);  // the rest of the byte order mark
      std::fgetc(stream);
      start = false;
      continue;
    }
    start = false;
    if (c != '\n') {
      if (line.size() < MAX_LINE_BYTES) line += static_cast<char>(c);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number >= first) lines[static_cast<size_t>(number - first)] = line;
    line.clear();
    ++number;
  }
  std::fclose(stream);
  return lines;
}

