// Which seed gives a log: the one its provenance record names, checked
// against every record, else a search of a range of seeds, its candidates
// checked record by record. The finding says what was found and why; the
// subcommands decide what to print and which exit status it means.
#pragma once

#include <cstdint>
#include <vector>

#include "study/loaded_log.h"
#include "study/log_check.h"
#include "study/seed_search.h"

// Candidates listed (and checked record by record) at most.
constexpr size_t MAX_LISTED = 100;

enum class SeedVerdict {
  found,       // one seed gives every record (`seed`)
  pinned,      // the log is `seed`'s run, but a record of it disagrees (`first_failure`)
  several,     // several seeds give the windows searched
  none,        // no seed of the range gives enough records
  not_a_log,   // the file is no study log
  no_windows,  // the log has no 5-minute record to search by
};

struct SeedFinding {
  SeedVerdict verdict = SeedVerdict::none;
  uint32_t seed = 0;
  const char* how = "search";      // "provenance" or "search"
  int64_t records = 0;             // records the seed was checked against
  int64_t recorded = -1;           // the seed the provenance record names (-1: none)
  LogCheckResult record_check;     // the check of that seed (agrees when none or it agreed)
  bool near = false;               // found among the seeds that miss one window
  SeedCandidates candidates;       // what the search found
  std::vector<uint32_t> agreeing;  // candidates that give every record
  uint64_t unchecked = 0;          // candidates not checked record by record (beyond MAX_LISTED)
  size_t windows = 0;              // the log's 5-minute records
  LogCheckResult first_failure;    // the first candidate's disagreement (agrees: none)
};

// Find the seed of a log: its provenance record's, else a search of [from, to].
SeedFinding find_log_seed(const LoadedLog& log, uint32_t from, uint32_t to, const SearchProgress& progress);
