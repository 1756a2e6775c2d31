// The subcommands of testnuv-study, each registered on the program's CLI11 app.
//
// Every add_*_command function adds one subcommand whose callback runs it and
// leaves its exit status in `exit_status`; the entry point only parses.
#pragma once

#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

#include "study/exit_status.h"


// Return a check for CLI11 that the UTF-8 name given is an existing file (`file_only`) or an
// existing file or folder.
CLI::Validator existing_path(bool file_only);

// Read a seed as the programs take it: a decimal whole number from -2147483648 to 4294967295,
// a negative one counted modulo 2^32; false with `message` set otherwise ("0x10", "abc").
bool read_seed(const std::string& text, uint32_t& seed, std::string& message);

// Return a check for CLI11 that a text is a seed as read_seed takes it.
CLI::Validator seed_check();

// Show progress lines of long searches on standard error (when a person watches it).
void set_study_progress(bool shown);

// Register `seed`, `extract` and `verify`.
void add_study_commands(CLI::App& app, int& exit_status);
