// The subcommands of testnuv-study, one file each: command_seed.cpp,
// command_extract.cpp, command_verify.cpp and command_analyze.cpp.
//
// Each define_* function adds the options of its subcommand to `command` and
// returns the function that runs it over them and returns its exit status
// (study/exit_status.h). The program's one table of subcommands, in its entry
// point, names them; a new subcommand is a file and a line of that table.
#pragma once

#include <functional>

#include <CLI/CLI.hpp>

#include "study/exit_status.h"

// Runs a subcommand over the options its definition read; returns its exit status.
using CommandRun = std::function<int()>;

// `seed LOG`: the seed whose replay gives every record of the log.
CommandRun define_seed(CLI::App& command);

// `extract LOG --out DIR`: every record checked, then the data folder written.
CommandRun define_extract(CLI::App& command);

// `verify LOG_OR_FOLDER`: a log checked, or a data folder with its checksums and its log.
CommandRun define_verify(CLI::App& command);

// `analyze DIR... --out OUT`: statistics and the study report.
CommandRun define_analyze(CLI::App& command);

// Show progress lines of long work on standard error (when a person watches it).
void set_study_progress(bool shown);
