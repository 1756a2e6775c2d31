// The subcommands of testnuv-study, each registered on the program's CLI11 app.
//
// Every add_*_command function adds one subcommand whose callback runs it and
// leaves its exit status in `exit_status`; the entry point only parses.
#pragma once

#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

// Exit statuses of testnuv-study.
constexpr int EXIT_DONE = 0;          // done; one seed found; every record agrees
constexpr int EXIT_TROUBLE = 1;       // a file could not be read or written
constexpr int EXIT_USAGE = 2;         // bad arguments
constexpr int EXIT_SEVERAL = 3;       // several seeds give the log
constexpr int EXIT_NO_SEED = 4;       // no seed gives the log
constexpr int EXIT_DISAGREES = 5;     // a record of the log disagrees with the replay

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
