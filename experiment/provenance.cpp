// The provenance record beside the study log.
#include "experiment/provenance.h"

#include <cstdio>
#include <system_error>

#include "runtime/clock.h"
#include "runtime/durable.h"
#include "runtime/platform.h"
#include "runtime/random.h"
#include "runtime/version.h"

namespace fs = std::filesystem;

namespace {

nlohmann::json record = nlohmann::json::object();  // the record as last written
fs::path record_file;                              // where it is written ("" before the start)
fs::path log_file;                                 // the log it describes
std::string recorded_program = "testnuv";
std::string command_line;
bool failure_said = false;  // standard error has heard of a failed write
ProvenanceDigest digest_file = nullptr;  // hashes the log at the end (none: no log_sha256)

// Write the record; say so once on standard error when it cannot be written.
void write_record() {
  if (record_file.empty()) return;
  std::string error;
  if (replace_file_atomically(record_file, record.dump(2) + "\n", error)) return;
  if (failure_said) return;
  failure_said = true;
  std::fprintf(stderr, "testnuv: no se pudo escribir el registro de procedencia \"%s\": %s; "
               "el experimento sigue\n", record_file.string().c_str(), error.c_str());
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

void set_provenance_program(const std::string& program, int argc, char** argv) {
  recorded_program = program;
  command_line.clear();
  for (int i = 0; i < argc; ++i) {
    if (i > 0) command_line += ' ';
    command_line += argv[i];
  }
}

void start_provenance(uint32_t seed, double timer_at_start, const std::tm& start_local,
                      const std::string& backend, const fs::path& log) {
  log_file = log;
  record_file = provenance_name(log);
  failure_said = false;
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
            {"log_file", log.filename().string()},
            {"command_line", command_line}};
  write_record();
}

void update_provenance(int64_t seconds_run, int32_t cycles) {
  if (record_file.empty()) return;
  record["seconds_run"] = seconds_run;
  record["cycles"] = cycles;
  write_record();
}

void finish_provenance(int64_t seconds_run, int32_t cycles, const std::string& end_reason) {
  if (record_file.empty()) return;
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
}
