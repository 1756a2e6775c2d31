// The seed search: one walk over the orbit with sliding window sums.
//
// The walk goes in blocks. For a block of positions q it holds the bits of
// q to q + block + window, computes every window sum W(q) by sliding (add the
// bit entering, drop the bit leaving), takes the positions whose sum is the
// first window's count as candidates, and checks each candidate's later
// windows when the walk reaches them.
#include "study/seed_search.h"

#include <algorithm>
#include <vector>

#include "study/replay.h"

namespace {

constexpr int64_t BLOCK = int64_t{1} << 20;       // window sums per block
constexpr int64_t FIRST_DRAW_OFFSET = 1 + DRAWS_THROWN_AWAY;  // orbit steps from seed to first draw
constexpr uint64_t SEED_BY_SEED_LIMIT = 1u << 16;  // ranges up to this are replayed seed by seed
constexpr int32_t LANES = 8;

// A candidate whose later windows are still to be checked.
struct Pending {
  int64_t first;   // position of its first window
  size_t window;   // next window to check
};

// Fill `bits` with the bits of `count` positions from the state `state` (the state of the
// first of them).
void fill_bits(uint8_t* bits, int64_t count, uint32_t state) {
  const GeneratorJump jump = generator_jump(LANES);
  uint32_t lanes[LANES];
  for (int32_t j = 0; j < LANES; ++j) {
    lanes[j] = state;
    state = state * GENERATOR_MULTIPLIER + GENERATOR_INCREMENT;
  }
  int64_t i = 0;
  for (; i + LANES <= count; i += LANES) {
    for (int32_t j = 0; j < LANES; ++j) {
      bits[i + j] = static_cast<uint8_t>(draw_bit(lanes[j]));
      lanes[j] = lanes[j] * jump.multiplier + jump.increment;
    }
  }
  for (int32_t j = 0; j < LANES && i < count; ++i, ++j) bits[i] = static_cast<uint8_t>(draw_bit(lanes[j]));
}

// Keep a seed if it is in range, counting it and listing it while there is room.
void keep(SeedCandidates& found, uint32_t seed, uint32_t from, uint32_t to, size_t max_listed) {
  seed &= LAST_SEED;
  if (seed < from || seed > to) return;
  ++found.count;
  if (found.seeds.size() < max_listed) found.seeds.push_back(seed);
}

}  // namespace

SeedCandidates search_orbit(const std::vector<int32_t>& window_ones, uint32_t origin,
                            uint64_t count, uint32_t from, uint32_t to, size_t max_listed,
                            const SearchProgress& progress) {
  SeedCandidates found;
  if (window_ones.empty() || count == 0) return found;
  const size_t windows = std::min(window_ones.size(), SEARCH_WINDOWS);
  const int64_t length = WINDOW_DRAWS;
  // Window sums are needed at positions FIRST_DRAW_OFFSET to this one (exclusive).
  const int64_t last = static_cast<int64_t>(count) + FIRST_DRAW_OFFSET +
                       static_cast<int64_t>(windows - 1) * length;
  std::vector<uint8_t> bits(static_cast<size_t>(BLOCK + length));
  std::vector<int32_t> sums(static_cast<size_t>(BLOCK));
  std::vector<Pending> pending, still;
  int64_t base = FIRST_DRAW_OFFSET;  // position of bits[0] and sums[0]
  uint32_t state = advance_state(origin, static_cast<uint64_t>(base));
  fill_bits(bits.data(), BLOCK + length, state);
  state = advance_state(state, static_cast<uint64_t>(BLOCK + length));
  int32_t sum = 0;
  for (int64_t i = 0; i < length; ++i) sum += bits[i];
  std::vector<uint32_t> positions;  // orbit positions of the accepted seeds
  while (base < last) {
    const int32_t wanted = window_ones[0];
    for (int64_t i = 0; i < BLOCK; ++i) {
      sums[i] = sum;
      sum += bits[i + length] - bits[i];
    }
    const int64_t candidates_end = std::min<int64_t>(BLOCK, static_cast<int64_t>(count) + FIRST_DRAW_OFFSET - base);
    for (int64_t i = 0; i < candidates_end; ++i) {
      if (sums[i] == wanted) pending.push_back({base + i, 1});
    }
    still.clear();
    for (Pending& candidate : pending) {
      bool alive = true;
      while (alive && candidate.window < windows) {
        const int64_t at = candidate.first + static_cast<int64_t>(candidate.window) * length - base;
        if (at >= BLOCK) break;
        alive = sums[at] == window_ones[candidate.window];
        if (alive) ++candidate.window;
      }
      if (!alive) continue;
      if (candidate.window == windows) {
        positions.push_back(static_cast<uint32_t>(candidate.first - FIRST_DRAW_OFFSET));
      } else {
        still.push_back(candidate);
      }
    }
    pending.swap(still);
    // Slide: the last `length` bits move to the front, a new block follows them.
    std::copy(bits.begin() + BLOCK, bits.end(), bits.begin());
    fill_bits(bits.data() + length, BLOCK, state);
    state = advance_state(state, static_cast<uint64_t>(BLOCK));
    base += BLOCK;
    if (progress) progress(std::min(1.0, static_cast<double>(base) / static_cast<double>(last)));
  }
  for (uint32_t position : positions) keep(found, advance_state(origin, position), from, to, max_listed);
  std::sort(found.seeds.begin(), found.seeds.end());
  return found;
}

SeedCandidates search_seed_by_seed(const std::vector<int32_t>& window_ones, uint32_t from,
                                   uint32_t to, size_t max_listed) {
  SeedCandidates found;
  if (window_ones.empty()) return found;
  const size_t windows = std::min(window_ones.size(), SEARCH_WINDOWS);
  const int64_t seconds_per_window = WINDOW_DRAWS / SECOND_BITS;
  for (uint64_t seed = from; seed <= to; ++seed) {
    Replay replay(static_cast<uint32_t>(seed));
    bool alive = true;
    for (size_t w = 0; alive && w < windows; ++w) {
      int32_t ones = 0;
      for (int64_t s = 0; s < seconds_per_window; ++s) ones += replay.next_second();
      alive = ones == window_ones[w];
    }
    if (alive) keep(found, static_cast<uint32_t>(seed), from, to, max_listed);
  }
  return found;
}

SeedCandidates search_seeds(const std::vector<int32_t>& window_ones, uint32_t from, uint32_t to,
                            size_t max_listed, const SearchProgress& progress) {
  to = std::min(to, LAST_SEED);
  if (from > to) return {};
  if (static_cast<uint64_t>(to) - from + 1 <= SEED_BY_SEED_LIMIT) {
    SeedCandidates found = search_seed_by_seed(window_ones, from, to, max_listed);
    if (progress) progress(1.0);
    return found;
  }
  return search_orbit(window_ones, 0u, SEED_PERIOD, from, to, max_listed, progress);
}
