// The simulator's command line: its options, read with CLI11 and checked
// strictly, with Spanish messages for whatever is refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "experiment/run_facts.h"

// What the command line asks the simulator to do.
enum class SimRequest { run, help, version, refused };

// The simulator's options once read and checked.
struct SimOptions {
  int64_t seconds = CYCLE_SECONDS;   // experiment seconds to run
  bool seed_given = false;   // --seed was given; else the monotonic clock's whole seconds
  int64_t seed = 0;          // the virtual timer's start, which seeds the generator
  bool start_given = false;  // --start was given; else the wall clock now
  int64_t start = 0;         // the virtual wall clock's start, UTC seconds
  std::string start_note;    // what the run should be told about --start ("" nothing)
  std::string dir;           // where the study log is written ("" the current folder)
  std::string png;           // where the picture is saved at the end ("" nowhere)
  std::string data;          // the data folder written from the run ("" none)
  bool force = false;        // replace an existing data folder
  bool sync_every_record = false;  // sync the study log after each record, not once at the end
};

// The help text of --help.
extern const char SIM_USAGE[];

// Read the command line into `options`; when refused, `message` says why (in Spanish).
SimRequest read_sim_options(const std::vector<std::string>& arguments, SimOptions& options,
                            std::string& message);

// Check that a run of `options` keeps its timer within 32 bits and its dates, local and UTC,
// within year 9999; `seed` and `start` (UTC seconds) are the values the run will use. False
// with `message` set otherwise.
bool run_fits(const SimOptions& options, int64_t seed, int64_t start, std::string& message);
