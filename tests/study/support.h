// Shared helpers of the study tests: a scratch folder and whole-file reads and writes.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

// A test with its own empty scratch folder, removed afterwards.
class StudyTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::filesystem::path directory;
};

// A scratch-folder test that runs the programs there, their output kept in `output`.
class ProgramTest : public StudyTest {
 protected:
  // Run a program with arguments (shell words) in the scratch folder; return its exit status.
  int run(const std::string& program, const std::string& arguments);
  std::string output;
};

// Run a program with arguments (shell words) in `directory`, its standard output and error
// kept in `output`; return its exit status (-1 when it did not exit).
int run_program(const std::filesystem::path& directory, const std::string& program,
                const std::string& arguments, std::string& output);

// Return a whole file's bytes ("" when it cannot be read).
std::string read_file(const std::filesystem::path& file);

// Write bytes to a file, replacing it.
void write_file(const std::filesystem::path& file, const std::string& bytes);
