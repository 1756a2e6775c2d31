// Shared helpers of the study tests.
#include "tests/study/support.h"

#include <sys/wait.h>

#include <cstdlib>
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

int run_program(const fs::path& directory, const std::string& program, const std::string& arguments,
                std::string& output) {
  const std::string command = "cd \"" + directory.string() + "\" && \"" + program + "\" " +
                              arguments + " >out.txt 2>err.txt";
  const int status = std::system(command.c_str());
  output = read_file(directory / "out.txt") + read_file(directory / "err.txt");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string read_file(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

int ProgramTest::run(const std::string& program, const std::string& arguments) {
  return run_program(directory, program, arguments, output);
}
