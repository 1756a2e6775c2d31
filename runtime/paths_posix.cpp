// Paths and arguments (POSIX): names are bytes, taken and given as they are.
#include "runtime/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

std::FILE* open_input(const std::filesystem::path& path, Links links, std::string& error) {
  const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (links == Links::refuse ? O_NOFOLLOW : 0);
  const int descriptor = open(path.c_str(), flags);
  if (descriptor < 0) {
    error = shown_path(path) + ": " +
            (errno == ELOOP && links == Links::refuse ? "es un enlace simbolico, no un fichero"
                                                      : std::strerror(errno));
    return nullptr;
  }
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    error = shown_path(path) + ": " +
            (S_ISDIR(status.st_mode) ? "es una carpeta, no un fichero"
                                     : "no es un fichero normal (un dispositivo, una tuberia o un socket)");
    close(descriptor);
    return nullptr;
  }
  fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
  std::FILE* stream = fdopen(descriptor, "rb");
  if (stream == nullptr) {
    error = shown_path(path) + ": " + std::strerror(errno);
    close(descriptor);
  }
  return stream;
}

std::FILE* create_new_file(const std::filesystem::path& path) {
  const int descriptor =
      open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (descriptor < 0) return nullptr;
  std::FILE* stream = fdopen(descriptor, "wb");
  if (stream == nullptr) close(descriptor);
  return stream;
}

void prepare_message_output() {}
