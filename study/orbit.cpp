// The orbit: positions by the LCG's distance algorithm, tail shares by a sliding window.
#include "study/orbit.h"

#include <algorithm>
#include <cstdlib>

#include "study/replay.h"

namespace {

constexpr uint32_t STATE_MASK = 0x7FFFFFFFu;  // the state bits the orbit runs on

}  // namespace

uint32_t orbit_position(uint32_t state) {
  // Bit by bit from the lowest: the state's low k bits repeat every 2^k steps, so they fix the
  // distance's low k bits; a step of 2^k is taken whenever bit k still differs.
  const uint32_t target = state & STATE_MASK;
  uint32_t current = 0, multiplier = GENERATOR_MULTIPLIER, increment = GENERATOR_INCREMENT;
  uint32_t distance = 0;
  for (uint32_t bit = 1; bit != 0 && (current & STATE_MASK) != target; bit <<= 1) {
    if ((current & bit) != (target & bit)) {
      current = current * multiplier + increment;
      distance |= bit;
    }
    increment = (multiplier + 1u) * increment;
    multiplier *= multiplier;
  }
  return distance & STATE_MASK;
}

uint32_t run_orbit_start(uint32_t seed) {
  return (orbit_position(seed) + DRAWS_THROWN_AWAY + 1) & STATE_MASK;
}

uint64_t shared_draws(uint32_t start_a, uint64_t draws_a, uint32_t start_b, uint64_t draws_b) {
  if (draws_a >= ORBIT_DRAWS || draws_b >= ORBIT_DRAWS) return std::min(draws_a, draws_b);
  // b's start seen from a's, and a's from b's: each overlap begins at one of the two starts.
  const uint64_t b_from_a = (uint64_t{start_b} - start_a) & STATE_MASK;
  const uint64_t a_from_b = (uint64_t{start_a} - start_b) & STATE_MASK;
  uint64_t shared = 0;
  if (b_from_a < draws_a) shared += std::min(draws_a - b_from_a, draws_b);
  if (a_from_b < draws_b && a_from_b != 0) shared += std::min(draws_b - a_from_b, draws_a);
  return std::min(shared, std::min(draws_a, draws_b));
}

std::vector<double> orbit_tail_shares(uint64_t draws, const std::vector<int64_t>& deviations) {
  std::vector<double> shares(deviations.size(), 0.0);
  if (draws == 0 || draws >= ORBIT_DRAWS || draws % 2 != 0) return shares;
  // The window [p, p + draws) slides over the orbit: `head` gives bit p + draws, `tail` bit p.
  uint32_t tail = 0;
  uint32_t head = 0;
  int64_t ones = 0;
  for (uint64_t i = 0; i < draws; ++i) {
    ones += draw_bit(head);
    head = head * GENERATOR_MULTIPLIER + GENERATOR_INCREMENT;
  }
  std::vector<int64_t> sizes(deviations.size());
  for (size_t k = 0; k < deviations.size(); ++k) sizes[k] = std::llabs(deviations[k]);
  const int64_t smallest = sizes.empty() ? 0 : *std::min_element(sizes.begin(), sizes.end());
  std::vector<uint64_t> at_least(deviations.size(), 0);
  const int64_t half = static_cast<int64_t>(draws / 2);
  for (uint64_t position = 0; position < ORBIT_DRAWS; ++position) {
    const int64_t deviation = std::llabs(ones - half);
    if (deviation >= smallest) {
      for (size_t k = 0; k < sizes.size(); ++k) at_least[k] += deviation >= sizes[k];
    }
    ones += static_cast<int64_t>(draw_bit(head)) - static_cast<int64_t>(draw_bit(tail));
    head = head * GENERATOR_MULTIPLIER + GENERATOR_INCREMENT;
    tail = tail * GENERATOR_MULTIPLIER + GENERATOR_INCREMENT;
  }
  for (size_t k = 0; k < shares.size(); ++k) {
    shares[k] = static_cast<double>(at_least[k]) / static_cast<double>(ORBIT_DRAWS);
  }
  return shares;
}
