// Durable files: temporary name, sync, rename, sync of the directory.
#include "runtime/durable.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

#include "runtime/paths.h"
#include "runtime/platform.h"

namespace fs = std::filesystem;

namespace {


}  // namespace

bool close_synced(std::FILE* stream, const fs::path& name, std::string& error) {
  bool good = std::fflush(stream) == 0;
  if (!good) error = shown_path(name) + ": " + std::strerror(errno);
  if (good && !platform_sync_file(stream)) {
    good = false;
    error = shown_path(name) + ": no se pudo pasar al disco";
  }
  if (std::fclose(stream) != 0 && good) {
    good = false;
    error = shown_path(name) + ": " + std::strerror(errno);
  }
  return good;
}

bool sync_parent_directory(const fs::path& file) {
  fs::path parent = file.parent_path();
  if (parent.empty()) parent = ".";
  return platform_sync_directory(parent);
}

bool rename_durably(const fs::path& from, const fs::path& to, std::string& error) {
  std::error_code code;
  fs::rename(from, to, code);
  if (code) {
    error = shown_path(to) + ": " + code.message();
    return false;
  }
  if (!sync_parent_directory(to)) {
    error = shown_path(to) + ": no se pudo pasar la carpeta al disco";
    return false;
  }
  return true;
}

std::string unique_suffix() {
  static std::mt19937 random(std::random_device{}());
  char text[48];
  std::snprintf(text, sizeof text, "%lld-%08x", static_cast<long long>(platform_process_id()),
                static_cast<unsigned>(random()));
  return text;
}

bool replace_file_atomically(const fs::path& target, const std::string& bytes, std::string& error) {
  fs::path temporary;
  std::FILE* stream = nullptr;
  for (int attempt = 0; attempt < UNIQUE_NAME_ATTEMPTS && stream == nullptr; ++attempt) {
    temporary = target;
    temporary += ".tmp-" + unique_suffix();
    stream = create_new_file(temporary);
    if (stream == nullptr && errno != EEXIST) break;
  }
  if (stream == nullptr) {
    error = shown_path(temporary) + ": " + std::strerror(errno);
    return false;
  }
  bool good = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
  if (!good) error = shown_path(temporary) + ": " + std::strerror(errno);
  good = close_synced(stream, temporary, error) && good;
  if (good) good = rename_durably(temporary, target, error);
  if (!good) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
  }
  return good;
}
