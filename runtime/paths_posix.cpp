// Paths and arguments (POSIX): names are bytes, taken and given as they are.
#include "runtime/paths.h"

#include <cstdlib>

std::vector<std::string> program_arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
  return arguments;
}

std::string environment_text(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::filesystem::path path_from_utf8(std::string_view name) { return std::filesystem::path(name); }

std::string path_to_utf8(const std::filesystem::path& path) { return path.native(); }

std::FILE* open_path(const std::filesystem::path& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

void prepare_message_output() {}
