// Fuzzing harnesses: each hands one input to a reader of the study tool as the file it reads.
//
// The readers take files by name, so an input is written to a scratch file first (in
// /dev/shm when there is one). The same harnesses run under libFuzzer (the "fuzz" preset)
// and, built with a small replay driver, over the kept corpus in the test suite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

// Write an input to this process's scratch file and return its name.
std::filesystem::path input_file(const uint8_t* data, size_t size);
