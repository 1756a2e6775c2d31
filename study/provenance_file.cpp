// Provenance files read and made, and small files read whole.
#include "study/provenance_file.h"

#include <cstdio>

#include "study/data_folder.h"
#include "study/small_file.h"
#include "experiment/provenance.h"

namespace fs = std::filesystem;

Result<nlohmann::json> read_provenance(const fs::path& folder) { return read_json_object(folder / PROVENANCE_FILE); }

Result<nlohmann::json> read_json_object(const fs::path& file) {
  Result<std::string> text = read_small_file(file, Links::refuse);
  if (!text) return text.failure();
  nlohmann::json provenance = nlohmann::json::parse(*text, nullptr, false);
  if (provenance.is_discarded() || !provenance.is_object()) {
    return fail(EXIT_TROUBLE, shown_path(file) + ": no es un objeto JSON valido");
  }
  return provenance;
}

nlohmann::json folder_provenance(const FolderOrigin& origin, const OffsetTable& local_time,
                                 bool& log_name_stored) {
  nlohmann::json provenance = {{"format", DATA_FORMAT},
                               {"written_by", origin.written_by},
                               {"source", origin.source},
                               {"seed", origin.seed},
                               {"seed_found_by", origin.seed_found_by},
                               {"generator", generator_description()},
                               {"seconds", origin.seconds},
                               {"bits", origin.bits},
                               {"local_time", local_time.to_json()}};
  if (origin.records_checked >= 0) provenance["records_checked"] = origin.records_checked;
  if (!origin.run.is_null()) provenance["run"] = origin.run;
  log_name_stored = true;
  if (!origin.log.empty()) {
    log_name_stored = name_log_in_provenance(provenance, origin.log);
    provenance["log_bytes"] = origin.log_bytes;
    provenance["log_sha256"] = origin.log_sha256;
    provenance["log_torn"] = origin.log_torn;
  }
  return provenance;
}

bool name_log_in_provenance(nlohmann::json& provenance, const fs::path& log) {
  std::error_code code;
  const std::string path = path_to_utf8(fs::absolute(log, code));
  provenance["log_file"] = path_to_utf8(log.filename());
  provenance["log_path"] = path;
  if (is_utf8(path)) return true;
  provenance["log_path_stored"] = false;
  return false;
}
