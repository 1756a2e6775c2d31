// The seed search: one walk over the orbit with sliding window sums.
//
// The walk goes in blocks. For a block of positions q it holds the bits of
// q to q + block + window, computes every window sum W(q) by sliding (add the
// bit entering, drop the bit leaving), takes the positions whose sum is the
// first window's count as candidates, and checks each candidate's later
// windows when the walk reaches them.
#include "study/seed_search.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "study/replay.h"

namespace {

constexpr int64_t BLOCK = int64_t{1} << 20;       // window sums per block
constexpr int64_t FIRST_DRAW_OFFSET = 1 + DRAWS_THROWN_AWAY;  // orbit steps from seed to first draw
constexpr uint64_t SEED_BY_SEED_LIMIT = 1u << 16;  // ranges up to this are replayed seed by seed

// A candidate whose later windows are still to be checked.
struct Pending {
  int64_t first;   // position of its first window
  size_t window;   // next window to check
  int32_t misses;  // windows so far whose count is not the log's
};

// The eight bytes, one bit each, that a byte of draws spreads into (the first draw first in memory).
struct SpreadBytes {
  std::array<std::array<uint8_t, 8>, 256> table{};
  constexpr SpreadBytes() {
    for (uint32_t byte = 0; byte < 256; ++byte) {
      for (uint32_t j = 0; j < 8; ++j) table[byte][j] = static_cast<uint8_t>((byte >> (7 - j)) & 1u);
    }
  }
};
constexpr SpreadBytes SPREAD;

// Fill `bits` with the bits of `count` positions from the state `state` (the state of the
// first of them), one a byte.
void fill_bits(uint8_t* bits, int64_t count, uint32_t state) {
  GeneratorLanes lanes(state);
  int64_t i = 0;
  for (; i + GeneratorLanes::LANES <= count; i += GeneratorLanes::LANES) {
    std::memcpy(bits + i, SPREAD.table[lanes.next_byte()].data(), GeneratorLanes::LANES);
  }
  if (i < count) std::memcpy(bits + i, SPREAD.table[lanes.next_byte()].data(), static_cast<size_t>(count - i));
}

// Keep a seed if it is in range, counting it and listing it while there is room.
void keep(SeedCandidates& found, uint32_t seed, uint32_t from, uint32_t to, size_t max_listed) {
  seed &= SEED_MASK;
  if (seed < from || seed > to) return;
  ++found.count;
  if (found.seeds.size() < max_listed) found.seeds.push_back(seed);
}

// Replay a seed's first `windows` windows and count those whose ones are not the log's,
// stopping once the count passes `allowed`.
int32_t window_misses(uint32_t seed, const std::vector<int32_t>& window_ones, size_t windows, int32_t allowed) {
  const int64_t seconds_per_window = WINDOW_DRAWS / BITS_PER_SECOND;
  Replay replay(seed);
  int32_t misses = 0;
  for (size_t w = 0; misses <= allowed && w < windows; ++w) {
    int32_t ones = 0;
    for (int64_t s = 0; s < seconds_per_window; ++s) ones += replay.next_second();
    if (ones != window_ones[w]) ++misses;
  }
  return misses;
}

// Check the pending candidates' windows whose sums this block holds (sums[0] is at `base`);
// a candidate that gives all `windows` goes to `positions` (or to `near`, having missed one).
void advance_candidates(const std::vector<int32_t>& window_ones, size_t windows, int32_t allowed_misses,
                        const std::vector<int32_t>& sums, int64_t base, std::vector<Pending>& pending,
                        std::vector<uint32_t>& positions, std::vector<uint32_t>& near) {
  std::vector<Pending> still;
  for (Pending& candidate : pending) {
    bool alive = true;
    while (alive && candidate.window < windows) {
      const int64_t at = candidate.first + static_cast<int64_t>(candidate.window) * WINDOW_DRAWS - base;
      if (at >= BLOCK) break;
      if (sums[at] != window_ones[candidate.window]) ++candidate.misses;
      alive = candidate.misses <= allowed_misses;
      if (alive) ++candidate.window;
    }
    if (!alive) continue;
    if (candidate.window == windows) {
      const uint32_t position = static_cast<uint32_t>(candidate.first - FIRST_DRAW_OFFSET);
      (candidate.misses == 0 ? positions : near).push_back(position);
    } else {
      still.push_back(candidate);
    }
  }
  pending.swap(still);
}

// Return the seeds in [from, to] at the orbit positions found (from `origin`), and the near ones.
SeedCandidates seeds_at(uint32_t origin, std::vector<uint32_t>& positions, std::vector<uint32_t>& near,
                        uint32_t from, uint32_t to, size_t max_listed) {
  // A seed that gives its first window comes from both ways when it misses none.
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  std::sort(near.begin(), near.end());
  near.erase(std::unique(near.begin(), near.end()), near.end());
  SeedCandidates found, near_found;
  for (uint32_t position : positions) keep(found, advance_state(origin, position), from, to, max_listed);
  for (uint32_t position : near) {
    if (std::binary_search(positions.begin(), positions.end(), position)) continue;
    keep(near_found, advance_state(origin, position), from, to, max_listed);
  }
  found.near_seeds = std::move(near_found.seeds);
  found.near_count = near_found.count;
  std::sort(found.seeds.begin(), found.seeds.end());
  std::sort(found.near_seeds.begin(), found.near_seeds.end());
  return found;
}

}  // namespace

SeedCandidates search_orbit(const std::vector<int32_t>& window_ones, uint32_t origin,
                            uint64_t count, uint32_t from, uint32_t to, size_t max_listed,
                            const SearchProgress& progress) {
  SeedCandidates found;
  if (window_ones.empty() || count == 0) return found;
  // With a window to spare, one window may miss: a candidate comes from its first window's
  // count, or from its second's when the first is the one missed.
  const bool tolerant = window_ones.size() > SEARCH_WINDOWS;
  const int32_t allowed_misses = tolerant ? 1 : 0;
  const size_t windows = tolerant ? SEARCH_WINDOWS + 1 : window_ones.size();
  const int64_t length = WINDOW_DRAWS;
  // Window sums are needed at positions FIRST_DRAW_OFFSET to this one (exclusive).
  const int64_t last = static_cast<int64_t>(count) + FIRST_DRAW_OFFSET +
                       static_cast<int64_t>(windows - 1) * length;
  std::vector<uint8_t> bits(static_cast<size_t>(BLOCK + length));
  std::vector<int32_t> sums(static_cast<size_t>(BLOCK));
  std::vector<Pending> pending;
  int64_t base = FIRST_DRAW_OFFSET;  // position of bits[0] and sums[0]
  uint32_t state = advance_state(origin, static_cast<uint64_t>(base));
  fill_bits(bits.data(), BLOCK + length, state);
  state = advance_state(state, static_cast<uint64_t>(BLOCK + length));
  int32_t sum = 0;
  for (int64_t i = 0; i < length; ++i) sum += bits[i];
  std::vector<uint32_t> positions, near;  // orbit positions of the accepted seeds
  const int64_t first_end = static_cast<int64_t>(count) + FIRST_DRAW_OFFSET;  // candidates' first windows end
  while (base < last) {
    for (int64_t i = 0; i < BLOCK; ++i) {
      sums[i] = sum;
      sum += bits[i + length] - bits[i];
    }
    const int64_t candidates_end = std::min<int64_t>(BLOCK, first_end - base);
    for (int64_t i = 0; i < candidates_end; ++i) {
      if (sums[i] == window_ones[0]) pending.push_back({base + i, 1, 0});
    }
    if (tolerant) {
      // First window missed, second given: its first window began `length` earlier.
      const int64_t from_i = std::max<int64_t>(0, FIRST_DRAW_OFFSET + length - base);
      const int64_t to_i = std::min<int64_t>(BLOCK, first_end + length - base);
      for (int64_t i = from_i; i < to_i; ++i) {
        if (sums[i] == window_ones[1]) pending.push_back({base + i - length, 2, 1});
      }
    }
    advance_candidates(window_ones, windows, allowed_misses, sums, base, pending, positions, near);
    // Slide: the last `length` bits move to the front, a new block follows them.
    std::copy(bits.begin() + BLOCK, bits.end(), bits.begin());
    fill_bits(bits.data() + length, BLOCK, state);
    state = advance_state(state, static_cast<uint64_t>(BLOCK));
    base += BLOCK;
    if (progress) progress(std::min(1.0, static_cast<double>(base) / static_cast<double>(last)));
  }
  return seeds_at(origin, positions, near, from, to, max_listed);
}

SeedCandidates search_seed_by_seed(const std::vector<int32_t>& window_ones, uint32_t from,
                                   uint32_t to, size_t max_listed) {
  SeedCandidates found, near;
  if (window_ones.empty()) return found;
  const bool tolerant = window_ones.size() > SEARCH_WINDOWS;
  const size_t windows = tolerant ? SEARCH_WINDOWS + 1 : window_ones.size();
  for (uint64_t seed = from; seed <= to; ++seed) {
    const int32_t misses = window_misses(static_cast<uint32_t>(seed), window_ones, windows, tolerant ? 1 : 0);
    if (misses == 0) keep(found, static_cast<uint32_t>(seed), from, to, max_listed);
    if (misses == 1 && tolerant) keep(near, static_cast<uint32_t>(seed), from, to, max_listed);
  }
  found.near_seeds = std::move(near.seeds);
  found.near_count = near.count;
  return found;
}

SeedCandidates search_seeds(const std::vector<int32_t>& window_ones, uint32_t from, uint32_t to,
                            size_t max_listed, const SearchProgress& progress) {
  to = std::min(to, SEED_MASK);
  if (from > to) return {};
  if (static_cast<uint64_t>(to) - from + 1 <= SEED_BY_SEED_LIMIT) {
    SeedCandidates found = search_seed_by_seed(window_ones, from, to, max_listed);
    if (progress) progress(1.0);
    return found;
  }
  return search_orbit(window_ones, 0u, SEED_PERIOD, from, to, max_listed, progress);
}

std::vector<uint32_t> seeds_missing_one(const std::vector<int32_t>& window_ones,
                                        const std::vector<uint32_t>& seeds) {
  std::vector<uint32_t> kept;
  const size_t windows = std::min(window_ones.size(), CONFIRM_WINDOWS);
  for (uint32_t seed : seeds) {
    if (window_misses(seed, window_ones, windows, 1) <= 1) kept.push_back(seed);
  }
  return kept;
}
