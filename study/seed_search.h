// The search for the seeds whose replay gives a log's 5-minute counts.
//
// Every seed is a position on the generator's one orbit of 2^31 states (the
// bit read depends on the low 31 bits only), and a window's count of ones is
// a sliding sum along that orbit. One walk over the orbit therefore gives the
// counts of every seed at once; a candidate is kept while each of its
// windows, further along the same walk, has the log's count.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "experiment/run_facts.h"

// Draws in one 5-minute window.
constexpr int64_t WINDOW_DRAWS = int64_t{WINDOW_5MIN} * BITS_PER_SECOND;
// Windows used by the search at most: five leave one seed in practice, and a changed
// record further on is then named by the record-by-record check instead of hiding the seed.
constexpr size_t SEARCH_WINDOWS = 5;

// Seeds found by a search.
struct SeedCandidates {
  std::vector<uint32_t> seeds;  // found, in increasing order, at most the number asked for
  uint64_t count = 0;           // found in all
  // Seeds that give all the windows searched but one, when the log has a window more than
  // SEARCH_WINDOWS (a seed whose log has one damaged record among its first).
  std::vector<uint32_t> near_seeds;
  uint64_t near_count = 0;
};

// Reports how much of a search is done, 0 to 1.
using SearchProgress = std::function<void(double done)>;

// Find the seeds from `from` to `to` (at most SEED_MASK) whose first windows have these ones;
// walks the orbit for large ranges and replays seed by seed for small ones.
SeedCandidates search_seeds(const std::vector<int32_t>& window_ones, uint32_t from, uint32_t to,
                            size_t max_listed, const SearchProgress& progress);

// Walk `count` positions of the orbit from the state `origin`, keeping the seeds within
// [from, to] whose first windows have these ones (and those that miss one of SEARCH_WINDOWS + 1
// windows, as near seeds).
SeedCandidates search_orbit(const std::vector<int32_t>& window_ones, uint32_t origin,
                            uint64_t count, uint32_t from, uint32_t to, size_t max_listed,
                            const SearchProgress& progress);

// Replay each seed from `from` to `to` and keep those whose first windows have these ones (and
// near seeds, as the walk does).
SeedCandidates search_seed_by_seed(const std::vector<int32_t>& window_ones, uint32_t from,
                                   uint32_t to, size_t max_listed);

// Windows a near seed is checked against: a neighbour on the orbit (a seed one draw away)
// gives each window with even odds, so it misses several of these; the log's own misses one.
constexpr size_t CONFIRM_WINDOWS = 64;

// Return those of `seeds` whose replay misses at most one of the log's first CONFIRM_WINDOWS
// windows.
std::vector<uint32_t> seeds_missing_one(const std::vector<int32_t>& window_ones,
                                        const std::vector<uint32_t>& seeds);
