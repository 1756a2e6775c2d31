// The provenance record of a run: estudio_mm-dd-yyyy.json beside the study log.
//
// Written at start-up, rewritten at every cycle end and at the end of the
// program, each time atomically (temporary file, sync, rename, sync of the
// folder), so that the record on disk is always whole. It says which program
// and version ran, on what, with which seed, when and where, and at the end
// how long, why it ended and the log's size and SHA-256. The start and end
// times are local; the UTC offsets in force then (utc_offset_minutes,
// end_utc_offset_minutes) make them moments. A record that cannot
// be written is said once on standard error; the experiment runs on.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "runtime/files.h"
#include "runtime/program.h"

// The record's format tag.
constexpr char PROVENANCE_FORMAT[] = "testnuv-provenance/1";

// Return the record's name for a log: the log's name with ".json" added.
std::filesystem::path provenance_name(const std::filesystem::path& log);

// Return the generator's description: name, constants, values thrown away, how a bit is read.
nlohmann::json generator_description();

// Hashes a file: its SHA-256 as hex digits and its size; false with `error` set.
using ProvenanceDigest = bool (*)(const std::filesystem::path& file, std::string& digest,
                                  uint64_t& bytes, std::string& error);

// Use `digest` for the log's size and SHA-256 at the end (the programs pass sha256_of_file).
void set_provenance_digest(ProvenanceDigest digest);

// Name the program and its command line (UTF-8 arguments, the program first) for the record
// (call before the experiment starts).
void set_provenance_program(const std::string& program, const std::vector<std::string>& arguments);

// Start the record: the run's seed, timer, start time, back-end and log; write it.
void start_provenance(uint32_t seed, double timer_at_start, const std::tm& start_local,
                      const std::string& backend, const std::filesystem::path& log);

// Rewrite the record with the seconds and cycles so far (at a cycle end), and what the log
// lacks: records the disk refused at first ("log_records_delayed"), still not written
// ("log_records_held") and dropped ("log_records_dropped").
void update_provenance(int64_t seconds_run, int32_t cycles, const FileBacklog& log_backlog);

// Finish the record: end time and its UTC offset, seconds, cycles, why the run ended, and the log's size and SHA-256.
void finish_provenance(int64_t seconds_run, int32_t cycles, const std::string& end_reason,
                       const FileBacklog& log_backlog);

// Move a log's record aside with the log: name.json becomes aside.json (aside = name.N).
void move_provenance_aside(const std::filesystem::path& log, const std::filesystem::path& aside);

// Return how the record names an end reason: "space", "signal", "display lost".
const char* end_reason_name(EndReason reason);

// Return a JSON value as a file's text: indented, with a final line end; bytes that are not
// UTF-8 (a name on Linux may hold any) are replaced by U+FFFD, so it never fails.
std::string json_file_text(const nlohmann::json& value);

// Return the record as written last (an empty object before start_provenance).
const nlohmann::json& current_provenance();

// Forget the record (a new run in the same process, as in tests).
void reset_provenance();
