// Shared helpers of the study tests.
#include "tests/study/support.h"

#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

void StudyTest::SetUp() {
  std::random_device entropy;
  directory = fs::temp_directory_path() / ("tnv_study_" + std::to_string(entropy()));
  fs::create_directories(directory);
}

void StudyTest::TearDown() {
  std::error_code ignored;
  fs::permissions(directory, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(directory, ignored);
}

std::string read_file(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}
