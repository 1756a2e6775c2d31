// Replay: the generator's jumps, its eight lanes and the second-by-second draw.
#include "study/replay.h"

#include <bit>

GeneratorJump generator_jump(uint64_t steps) {
  GeneratorJump total;                                          // identity
  GeneratorJump power{GENERATOR_MULTIPLIER, GENERATOR_INCREMENT};  // 2^k steps
  while (steps != 0) {
    if (steps & 1u) {
      total.increment = total.increment * power.multiplier + power.increment;
      total.multiplier *= power.multiplier;
    }
    power.increment = (power.multiplier + 1u) * power.increment;
    power.multiplier *= power.multiplier;
    steps >>= 1;
  }
  return total;
}

uint32_t advance_state(uint32_t state, uint64_t steps) {
  const GeneratorJump jump = generator_jump(steps);
  return state * jump.multiplier + jump.increment;
}

GeneratorLanes::GeneratorLanes(uint32_t state) : jump_(generator_jump(LANES)) {
  for (uint32_t& lane : lanes_) {
    lane = state;
    state = state * GENERATOR_MULTIPLIER + GENERATOR_INCREMENT;
  }
}

Replay::Replay(uint32_t seed) : seed_(seed), lanes_(0) { seek(1); }

void Replay::seek(int64_t second) {
  next_ = second < 1 ? 1 : second;
  const uint64_t draws_before = static_cast<uint64_t>(next_ - 1) * BITS_PER_SECOND;
  lanes_ = GeneratorLanes(advance_state(seed_, DRAWS_THROWN_AWAY + draws_before + 1));
}

int32_t Replay::next_second(uint8_t* bits) {
  GeneratorLanes lanes = lanes_;
  uint8_t bytes[BYTES_PER_SECOND];
  int32_t ones = 0;
  for (int32_t k = 0; k < BYTES_PER_SECOND; ++k) {
    const uint32_t byte = lanes.next_byte();
    bytes[k] = static_cast<uint8_t>(byte);
    ones += std::popcount(byte);
  }
  lanes_ = lanes;
  if (bits != nullptr) {
    for (int32_t k = 0; k < BYTES_PER_SECOND; ++k) bits[k] = bytes[k];
  }
  ++next_;
  return ones;
}
