// Small files read whole.
#include "study/small_file.h"

#include <cstdio>

namespace fs = std::filesystem;

namespace {

constexpr size_t MAX_SMALL_FILE = size_t{16} << 20;  // largest provenance or checksum file read

}  // namespace

Result<std::string> read_small_file(const fs::path& file, Links links) {
  std::string error;
  std::FILE* stream = open_input(file, links, error);
  if (stream == nullptr) return fail(EXIT_TROUBLE, error);
  char buffer[1 << 14];
  size_t got = 0;
  std::string text;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0 && text.size() <= MAX_SMALL_FILE) {
    text.append(buffer, got);
  }
  const bool failed = std::ferror(stream) != 0;
  std::fclose(stream);
  if (text.size() > MAX_SMALL_FILE) return fail(EXIT_TROUBLE, shown_path(file) + ": demasiado grande");
  if (failed) return fail(EXIT_TROUBLE, shown_path(file) + ": error de lectura");
  return text;
}

