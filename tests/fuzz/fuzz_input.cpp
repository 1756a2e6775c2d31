// The scratch file an input is written to.
#include "tests/fuzz/fuzz_input.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace fs = std::filesystem;

fs::path input_file(const uint8_t* data, size_t size) {
  static const fs::path file = [] {
    std::error_code code;
    const fs::path folder = fs::is_directory("/dev/shm", code) ? fs::path("/dev/shm") : fs::temp_directory_path();
    return folder / ("testnuv-fuzz-" + std::to_string(getpid()));
  }();
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out != nullptr) {
    std::fwrite(data, 1, size, out);
    std::fclose(out);
  }
  return file;
}
