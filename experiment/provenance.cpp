// The provenance record beside the study log.
#include "experiment/provenance.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "runtime/clock.h"
#include "runtime/durable.h"
#include "runtime/paths.h"
#include "runtime/platform.h"
#include "runtime/random.h"
#include "runtime/version.h"

namespace fs = std::filesystem;

namespace {

nlohmann::json record = nlohmann::json::object();  // the record as last written
fs::path record_file;                              // where it is written ("" before the start)
fs::path log_file;                                 // the log it describes
std::string recorded_program = "testnuv";
std::string command_line;                             // shell-quoted, re-runs as written
nlohmann::json recorded_arguments = nlohmann::json::array();  // each argument, UTF-8 or escaped
bool failure_said = false;  // standard error has heard of a failed write
int64_t failed_writes = 0;  // writes of the record that failed (a full disk), so far
ProvenanceDigest digest_file = nullptr;  // hashes the log at the end (none: no log_sha256)

// Return an argument as a POSIX shell reads it back: bare when it holds only safe characters,
// else in single quotes, else (bytes that are not UTF-8, control characters) in $'…' with
// every byte outside printable ASCII escaped.
std::string shell_quoted(const std::string& word) {
  static const char SAFE[] = "@%+=:,./_-";
  const bool bare = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || std::strchr(SAFE, c) != nullptr;
  });
  if (bare) return word;
  const bool plain = is_utf8(word) && std::none_of(word.begin(), word.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
  if (plain) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }
  std::string quoted = "$'";
  for (const char c : word) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '\'' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// Write the record; say so once on standard error when it cannot be written.
void write_record() {
  if (record_file.empty()) return;
  if (failed_writes > 0) record["record_writes_failed"] = failed_writes;
  std::string error;
  if (replace_file_atomically(record_file, json_file_text(record), error)) return;
  ++failed_writes;
  if (failure_said) return;
  failure_said = true;
  std::fprintf(stderr, "testnuv: no se pudo escribir el registro de procedencia \"%s\": %s; "
               "el experimento sigue\n", shown_path(record_file).c_str(), error.c_str());
}

// Note what the study log lacks, once it lacked anything.
void note_log_backlog(const FileBacklog& backlog) {
  if (backlog.delayed_units == 0 && !record.contains("log_records_delayed")) return;
  record["log_records_delayed"] = backlog.delayed_units;
  record["log_records_held"] = backlog.held_units;
  record["log_records_dropped"] = backlog.dropped_units;
}

}  // namespace

fs::path provenance_name(const fs::path& log) {
  fs::path name = log;
  name += ".json";
  return name;
}

nlohmann::json generator_description() {
  return {{"name", "MSVCRT rand"},
          {"multiplier", GENERATOR_MULTIPLIER},
          {"increment", GENERATOR_INCREMENT},
          {"thrown_away_after_seeding", 1},
          {"bit", "floor(rand / 32768 * 2)"}};
}

void set_provenance_digest(ProvenanceDigest digest) { digest_file = digest; }

void set_provenance_program(const std::string& program, const std::vector<std::string>& arguments) {
  recorded_program = program;
  command_line.clear();
  recorded_arguments = nlohmann::json::array();
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) command_line += ' ';
    command_line += shell_quoted(arguments[i]);
    recorded_arguments.push_back(shown_text(arguments[i]));
  }
}

std::string json_file_text(const nlohmann::json& value) {
  return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void start_provenance(uint32_t seed, double timer_at_start, const std::tm& start_local,
                      const std::string& backend, const fs::path& log) {
  log_file = log;
  record_file = provenance_name(log);
  failure_said = false;
  failed_writes = 0;
  record = {{"format", PROVENANCE_FORMAT},
            {"program", recorded_program},
            {"version", version_text()},
            {"platform", platform_name()},
            {"backend", backend},
            {"generator", generator_description()},
            {"seed", seed},
            {"timer_at_start", timer_at_start},
            {"start_local", calendar_text(start_local)},
            {"utc_offset_minutes", utc_offset_now()},
            {"time_zone", platform_time_zone_name()},
            {"host", platform_host_name()},
            {"log_file", path_to_utf8(log.filename())},
            {"command_line", command_line},
            {"arguments", recorded_arguments}};
  write_record();
}

void update_provenance(int64_t seconds_run, int32_t cycles, const FileBacklog& log_backlog) {
  if (record_file.empty()) return;
  note_log_backlog(log_backlog);
  record["seconds_run"] = seconds_run;
  record["cycles"] = cycles;
  write_record();
}

void finish_provenance(int64_t seconds_run, int32_t cycles, const std::string& end_reason,
                       const FileBacklog& log_backlog) {
  if (record_file.empty()) return;
  note_log_backlog(log_backlog);
  record["end_local"] = calendar_text(active_clock().local_time());
  record["end_utc_offset_minutes"] = utc_offset_now();
  record["seconds_run"] = seconds_run;
  record["cycles"] = cycles;
  record["end_reason"] = end_reason;
  std::string digest, error;
  uint64_t bytes = 0;
  if (digest_file != nullptr && digest_file(log_file, digest, bytes, error)) {
    record["log_bytes"] = bytes;
    record["log_sha256"] = digest;
  } else {
    record["log_bytes"] = nullptr;
    record["log_sha256"] = nullptr;
  }
  write_record();
}

void move_provenance_aside(const fs::path& log, const fs::path& aside) {
  const fs::path from = provenance_name(log);
  std::error_code code;
  if (!fs::exists(from, code)) return;
  std::string error;
  if (!rename_durably(from, provenance_name(aside), error)) {
    std::fprintf(stderr, "testnuv: no se pudo apartar el registro de procedencia: %s\n", error.c_str());
  }
}

const char* end_reason_name(EndReason reason) {
  switch (reason) {
    case EndReason::space: return "space";
    case EndReason::stop_request: return "signal";
    case EndReason::display_lost: return "display lost";
    case EndReason::running: break;
  }
  return "unknown";
}

const nlohmann::json& current_provenance() { return record; }

void reset_provenance() {
  record = nlohmann::json::object();
  record_file.clear();
  log_file.clear();
  failure_said = false;
  failed_writes = 0;
}
