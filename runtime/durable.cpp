// Durable files: temporary name, sync, rename, sync of the directory.
#include "runtime/durable.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "runtime/platform.h"

namespace fs = std::filesystem;

bool close_synced(std::FILE* stream, const fs::path& name, std::string& error) {
  bool good = std::fflush(stream) == 0;
  if (!good) error = name.string() + ": " + std::strerror(errno);
  if (good && !platform_sync_file(stream)) {
    good = false;
    error = name.string() + ": no se pudo pasar al disco";
  }
  if (std::fclose(stream) != 0 && good) {
    good = false;
    error = name.string() + ": " + std::strerror(errno);
  }
  return good;
}

bool sync_parent_directory(const fs::path& file) {
  fs::path parent = file.parent_path();
  if (parent.empty()) parent = ".";
  return platform_sync_directory(parent.string().c_str());
}

bool rename_durably(const fs::path& from, const fs::path& to, std::string& error) {
  std::error_code code;
  fs::rename(from, to, code);
  if (code) {
    error = to.string() + ": " + code.message();
    return false;
  }
  if (!sync_parent_directory(to)) {
    error = to.string() + ": no se pudo pasar la carpeta al disco";
    return false;
  }
  return true;
}

bool replace_file_atomically(const fs::path& target, const std::string& bytes, std::string& error) {
  fs::path temporary = target;
  temporary += ".tmp";
  std::FILE* stream = std::fopen(temporary.string().c_str(), "wb");
  if (stream == nullptr) {
    error = temporary.string() + ": " + std::strerror(errno);
    return false;
  }
  bool good = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
  if (!good) error = temporary.string() + ": " + std::strerror(errno);
  good = close_synced(stream, temporary, error) && good;
  if (good) good = rename_durably(temporary, target, error);
  if (!good) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
  }
  return good;
}
