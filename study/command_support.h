// What the subcommands share: how they print (every message on standard
// error starts "testnuv-study: "; results go to standard output), how they
// open a log and settle its seed, and the checks of their arguments. Only the
// subcommands print; they end with the status of the failure they print.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "study/commands.h"
#include "study/loaded_log.h"
#include "study/result.h"

// Print a line on standard error after the program's name.
void say(const std::string& line);

// Print a failure on standard error (its indented lines as they are) and return its status.
int say_failure(const Failure& failure);

// Read a log and its provenance record and say what is worth knowing of them.
Result<LoadedLog> open_log(const std::filesystem::path& file, Links links);

// The seed behind a log and how it was found.
struct FoundSeed {
  int status = EXIT_NO_SEED;  // EXIT_DONE when `seed` is the one
  uint32_t seed = 0;
  std::string how;            // "provenance", "search" or "option"
  int64_t records = 0;        // records checked
  bool pinned = false;        // `seed` is the log's own though a record of it disagrees
};

// Find the seed of a log in [from, to] and say what stands in the way. With `list`, several
// seeds are listed on standard output; with `disagreement_is_final` (extract, verify) a
// provenance record that names another seed ends with EXIT_DISAGREES.
FoundSeed settle_seed(const LoadedLog& log, uint32_t from, uint32_t to, bool list, bool disagreement_is_final);

// The seed given on the command line (`given` >= 0), or the one the log and its record give.
FoundSeed seed_for(const LoadedLog& log, int64_t given);

// Read a seed as the programs take it: a decimal whole number from -2147483648 to 4294967295,
// a negative one counted modulo 2^32 ("0x10" and "abc" fail with why).
Result<uint32_t> read_seed(const std::string& text);

// Return a check for CLI11 that a text is a seed as read_seed takes it.
CLI::Validator seed_check();

// Return a check for CLI11 that the UTF-8 name given is an existing file (`file_only`) or an
// existing file or folder.
CLI::Validator existing_path(bool file_only);
