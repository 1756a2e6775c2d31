// The orbit: positions by the LCG's distance algorithm, tail shares by a sliding window.
#include "study/orbit.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "study/replay.h"

namespace {


}  // namespace

uint32_t orbit_position(uint32_t state) {
  // Bit by bit from the lowest: the state's low k bits repeat every 2^k steps, so they fix the
  // distance's low k bits; a step of 2^k is taken whenever bit k still differs.
  const uint32_t target = state & SEED_MASK;
  uint32_t current = 0, multiplier = GENERATOR_MULTIPLIER, increment = GENERATOR_INCREMENT;
  uint32_t distance = 0;
  for (uint32_t bit = 1; bit != 0 && (current & SEED_MASK) != target; bit <<= 1) {
    if ((current & bit) != (target & bit)) {
      current = current * multiplier + increment;
      distance |= bit;
    }
    increment = (multiplier + 1u) * increment;
    multiplier *= multiplier;
  }
  return distance & SEED_MASK;
}

uint32_t run_orbit_start(uint32_t seed) {
  return (orbit_position(seed) + DRAWS_THROWN_AWAY + 1) & SEED_MASK;
}

uint64_t shared_draws(uint32_t start_a, uint64_t draws_a, uint32_t start_b, uint64_t draws_b) {
  if (draws_a >= ORBIT_DRAWS || draws_b >= ORBIT_DRAWS) return std::min(draws_a, draws_b);
  // b's start seen from a's, and a's from b's: each overlap begins at one of the two starts.
  const uint64_t b_from_a = (uint64_t{start_b} - start_a) & SEED_MASK;
  const uint64_t a_from_b = (uint64_t{start_a} - start_b) & SEED_MASK;
  uint64_t shared = 0;
  if (b_from_a < draws_a) shared += std::min(draws_a - b_from_a, draws_b);
  if (a_from_b < draws_b && a_from_b != 0) shared += std::min(draws_b - a_from_b, draws_a);
  return std::min(shared, std::min(draws_a, draws_b));
}

namespace {

constexpr int LANES = 8;  // positions stepped side by side: eight independent chains

// Return the state at a position of the orbit.
uint32_t state_at(uint64_t position) { return advance_state(0, position); }

// Count, for the windows of `draws` bits starting at positions [begin, end) (multiples of
// LANES apart), how many deviate from draws / 2 by at least each of `sizes`.
std::vector<uint64_t> count_tails(uint64_t draws, uint64_t begin, uint64_t end,
                                  const std::vector<int64_t>& sizes) {
  const GeneratorJump jump = generator_jump(LANES);
  uint32_t head[LANES], tail[LANES];
  int64_t ones = 0;
  for (int j = 0; j < LANES; ++j) head[j] = state_at(begin + j);
  for (uint64_t i = 0; i + LANES <= draws; i += LANES) {
    for (int j = 0; j < LANES; ++j) {
      ones += draw_bit(head[j]);
      head[j] = head[j] * jump.multiplier + jump.increment;
    }
  }
  for (uint64_t i = draws - draws % LANES; i < draws; ++i) ones += draw_bit(state_at(begin + i));
  for (int j = 0; j < LANES; ++j) {
    head[j] = state_at(begin + draws + j);
    tail[j] = state_at(begin + j);
  }
  const int64_t smallest = *std::min_element(sizes.begin(), sizes.end());
  const int64_t half = static_cast<int64_t>(draws / 2);
  std::vector<uint64_t> at_least(sizes.size(), 0);
  for (uint64_t position = begin; position < end; position += LANES) {
    for (int j = 0; j < LANES; ++j) {
      const int64_t deviation = std::llabs(ones - half);
      if (deviation >= smallest) {
        for (size_t k = 0; k < sizes.size(); ++k) at_least[k] += deviation >= sizes[k];
      }
      ones += static_cast<int64_t>(draw_bit(head[j])) - static_cast<int64_t>(draw_bit(tail[j]));
    }
    for (int j = 0; j < LANES; ++j) {
      head[j] = head[j] * jump.multiplier + jump.increment;
      tail[j] = tail[j] * jump.multiplier + jump.increment;
    }
  }
  return at_least;
}

}  // namespace

std::vector<double> orbit_tail_shares(uint64_t draws, const std::vector<int64_t>& deviations) {
  std::vector<double> shares(deviations.size(), 0.0);
  if (draws == 0 || draws >= ORBIT_DRAWS || draws % 2 != 0 || deviations.empty()) return shares;
  std::vector<int64_t> sizes(deviations.size());
  for (size_t k = 0; k < deviations.size(); ++k) sizes[k] = std::llabs(deviations[k]);
  // The orbit in equal parts, one a core; each part starts by counting its first window.
  const uint64_t parts = std::clamp<uint64_t>(std::thread::hardware_concurrency(), 1, 16);
  const uint64_t part = ORBIT_DRAWS / parts / LANES * LANES;
  std::vector<std::vector<uint64_t>> counts(parts);
  std::vector<std::thread> threads;
  for (uint64_t t = 0; t < parts; ++t) {
    const uint64_t begin = t * part, end = t + 1 == parts ? ORBIT_DRAWS : begin + part;
    threads.emplace_back([&, t, begin, end] { counts[t] = count_tails(draws, begin, end, sizes); });
  }
  for (std::thread& thread : threads) thread.join();
  for (size_t k = 0; k < shares.size(); ++k) {
    uint64_t at_least = 0;
    for (const auto& count : counts) at_least += count[k];
    shares[k] = static_cast<double>(at_least) / static_cast<double>(ORBIT_DRAWS);
  }
  return shares;
}
