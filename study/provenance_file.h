// The provenance files of runs and data folders: a run's record beside its
// log (estudio_….json) and a data folder's provenance.json, read back as JSON
// objects; the one way a data folder's provenance is made, by the simulator
// and by extract alike.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "runtime/paths.h"
#include "study/json_fields.h"
#include "study/local_time.h"
#include "study/result.h"

// Read a small JSON file that must hold an object (a run's provenance record beside its log).
Result<nlohmann::json> read_json_object(const std::filesystem::path& file);

// Read a data folder's provenance.json.
Result<nlohmann::json> read_provenance(const std::filesystem::path& folder);

// Where a data folder's seconds come from, for its provenance.json.
struct FolderOrigin {
  std::string written_by;             // "testnuv-study 1.4.0 (…)"
  std::string source;                 // "extract" or "simulator"
  uint32_t seed = 0;
  std::string seed_found_by;          // "provenance", "search", "option" or "simulator"
  int64_t seconds = 0;
  int64_t records_checked = -1;       // records the seed was checked against (-1: not checked)
  bool bits = false;                  // the folder has bits.bin
  nlohmann::json run;                 // the run's provenance record (null: none)
  std::filesystem::path log;          // the log the seconds come from ("" none)
  uint64_t log_bytes = 0;
  std::string log_sha256;
  bool log_torn = false;
};

// Return a data folder's provenance.json for its origin and the offsets its rows used;
// `log_name_stored` tells whether the log's name could be stored whole (see
// name_log_in_provenance).
nlohmann::json folder_provenance(const FolderOrigin& origin, const OffsetTable& local_time,
                                 bool& log_name_stored);

// Name a data folder's log in its provenance: "log_file" and the absolute "log_path", and
// "log_path_stored": false when the name is not UTF-8 (JSON stores it with the stray bytes
// replaced, so it cannot lead back to the log). Returns whether the name was stored whole.
bool name_log_in_provenance(nlohmann::json& provenance, const std::filesystem::path& log);
