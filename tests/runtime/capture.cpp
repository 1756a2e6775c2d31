// Test helpers: a recording screen port and a temporary directory.
#include "tests/runtime/capture.h"

#include <fstream>
#include <iterator>
#include <random>

#include "runtime/program.h"

namespace {

ScreenCapture* active = nullptr;

void capture_write(const char* bytes, int32_t length, int32_t) { active->writes.emplace_back(bytes, length); }
void capture_size(int32_t* columns, int32_t* rows) {
  *columns = active->columns;
  *rows = active->rows;
}
void capture_cursor(int32_t* column, int32_t* row) {
  *column = active->cursor_column;
  *row = active->cursor_row;
}

const ScreenPort capture_port{capture_write, capture_size, capture_cursor};

}  // namespace

ScreenCapture::ScreenCapture() {
  active = this;
  set_screen_port(&capture_port);
}

ScreenCapture::~ScreenCapture() {
  set_screen_port(nullptr);
  active = nullptr;
}

std::string ScreenCapture::all() const {
  std::string out;
  for (const std::string& w : writes) out += w;
  return out;
}

TempDir::TempDir() {
  std::random_device seed;
  path = std::filesystem::temp_directory_path() / ("tnv_rt_" + std::to_string(seed()) + std::to_string(seed()));
  std::filesystem::create_directories(path);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

std::string TempDir::file(const std::string& name) const { return (path / name).string(); }

std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void reset_runtime() { runtime_start(); }
