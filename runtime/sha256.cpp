// SHA-256 of whole texts and files, on top of the running digest.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "runtime/sha256.h"

#include "runtime/paths.h"


std::string hex_digits(const unsigned char* bytes, size_t count) {
  static const char HEX[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    text += HEX[bytes[i] >> 4];
    text += HEX[bytes[i] & 15];
  }
  return text;
}

std::string sha256_of(const std::string& bytes) {
  Sha256 digest;
  digest.update(bytes.data(), bytes.size());
  return digest.finish();
}

bool sha256_of_file(const std::filesystem::path& file, std::string& digest, uint64_t& bytes,
                    std::string& error) {
  std::FILE* stream = open_input(file, Links::refuse, error);
  if (stream == nullptr) return false;
  Sha256 running;
  std::vector<char> buffer(1 << 16);
  bytes = 0;
  size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), stream)) > 0) {
    running.update(buffer.data(), got);
    bytes += got;
  }
  const bool failed = std::ferror(stream) != 0;
  std::fclose(stream);
  if (failed) {
    error = shown_path(file) + ": error de lectura";
    return false;
  }
  digest = running.finish();
  if (digest.empty()) error = "SHA-256: la biblioteca ha fallado";
  return !digest.empty();
}
