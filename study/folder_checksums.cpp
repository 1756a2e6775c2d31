// A data folder's files checked against its SHA256SUMS.
#include "study/folder_checksums.h"

#include <set>
#include <string>
#include <vector>

#include "runtime/sha256.h"
#include "study/data_folder.h"
#include "study/provenance_file.h"
#include "study/small_file.h"

namespace fs = std::filesystem;

Result<> check_checksums(const fs::path& folder) {
  Result<std::string> read = read_small_file(folder / SUMS_FILE, Links::refuse);
  if (!read) return read.failure();
  const std::string& sums = *read;
  std::vector<std::string> problems;
  std::string error;
  std::set<std::string> listed;
  size_t start = 0;
  int32_t line = 0;
  while (start < sums.size()) {
    size_t stop = sums.find('\n', start);
    if (stop == std::string::npos) stop = sums.size();
    const std::string text = sums.substr(start, stop - start);
    start = stop + 1;
    ++line;
    const std::string where = std::string(SUMS_FILE) + ":" + std::to_string(line) + ": ";
    if (text.size() < 67 || text[64] != ' ' || (text[65] != ' ' && text[65] != '*')) {
      problems.push_back(where + "linea no valida");
      continue;
    }
    const std::string digest = text.substr(0, 64);
    const std::string file = text.substr(66);
    if (!is_data_file(file) || file == SUMS_FILE || fs::path(file).filename().string() != file) {
      problems.push_back(where + "fichero inesperado \"" + file + "\"");
      continue;
    }
    listed.insert(file);
    std::string actual;
    uint64_t bytes = 0;
    if (!sha256_of_file(folder / file, actual, bytes, error)) {
      problems.push_back(error);
    } else if (actual != digest) {
      problems.push_back(file + ": la suma SHA-256 no coincide (el fichero ha cambiado)");
    }
  }
  for (const char* file : {SECONDS_FILE, BITS_FILE, PROVENANCE_FILE}) {
    std::error_code code;
    if (listed.count(file) == 0 && fs::exists(folder / file, code)) {
      problems.push_back(std::string(file) + ": no figura en " + SUMS_FILE);
    }
  }
  if (listed.count(SECONDS_FILE) == 0 || listed.count(PROVENANCE_FILE) == 0) {
    problems.push_back(std::string(SUMS_FILE) + ": faltan " + SECONDS_FILE + " o " + PROVENANCE_FILE);
  }
  if (problems.empty()) return Ok{};
  std::string message;
  for (const std::string& problem : problems) message += (message.empty() ? "" : "\n") + problem;
  return fail(EXIT_DISAGREES, message);
}
