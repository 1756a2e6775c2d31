// A study log as the subcommands take it: its records, the run's provenance
// record beside it when there is one, and the notes worth saying about them
// (a torn last record, mailed line ends, a provenance record that cannot be
// read). Nothing here prints: the subcommands say the notes and failures.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "study/log_check.h"
#include "study/result.h"
#include "study/study_log_records.h"

struct LoadedLog {
  StudyLogText text;
  nlohmann::json run;              // the record estudio_….json (an empty object when there is none)
  bool has_run = false;
  std::vector<std::string> notes;  // what is worth saying about the file, one line each
};

// Read a log (through a link only with Links::follow) and its provenance record.
Result<LoadedLog> load_log(const std::filesystem::path& file, Links links);

// Say whether the log is the one its provenance record describes (size and SHA-256 at the
// run's end): its value is a note ("" none) when the record cannot tell; EXIT_DISAGREES, with
// what differs, when the log is another.
Result<std::string> log_matches_its_record(const LoadedLog& log);

// The seconds a log's data covers: the run's own count when it ended in order, else up to the
// last record; `start` is the run's local start time (-1: none).
struct RunSpan {
  int64_t seconds = 0;
  int64_t start = -1;
  std::string note;  // why the run's own count was not taken ("" none)
};
RunSpan span_of_run(const LoadedLog& log);

// Check a seed against every record of the log.
LogCheckResult check_seed(const LoadedLog& log, uint32_t seed);

// Return the message for a record that disagrees with the replay: the file and line, then
// the line as the log has it and as the replay gives it.
std::string disagreement_text(const LoadedLog& log, const LogCheckResult& check);
