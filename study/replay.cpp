// Replay: the generator's jumps and the second-by-second draw.
//
// Eight draws are carried side by side, each lane jumping eight steps at a
// time, so one pass of the inner loop gives one byte of bits and the lanes
// are independent (the compiler may vectorise them).
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

Replay::Replay(uint32_t seed) : seed_(seed) { seek(1); }

void Replay::seek(int64_t second) {
  next_ = second < 1 ? 1 : second;
  const uint64_t draws_before = static_cast<uint64_t>(next_ - 1) * BITS_PER_SECOND;
  uint32_t state = advance_state(seed_, DRAWS_THROWN_AWAY + draws_before);
  for (uint32_t& lane : lanes_) {
    state = state * GENERATOR_MULTIPLIER + GENERATOR_INCREMENT;
    lane = state;
  }
}

int32_t Replay::next_second(uint8_t* bits) {
  const GeneratorJump jump = generator_jump(LANES);
  uint32_t lanes[LANES];
  for (int32_t j = 0; j < LANES; ++j) lanes[j] = lanes_[j];
  uint8_t bytes[BYTES_PER_SECOND];
  int32_t ones = 0;
  for (int32_t k = 0; k < BYTES_PER_SECOND; ++k) {
    uint32_t byte = 0;
    for (int32_t j = 0; j < LANES; ++j) {
      byte |= draw_bit(lanes[j]) << (LANES - 1 - j);
      lanes[j] = lanes[j] * jump.multiplier + jump.increment;
    }
    bytes[k] = static_cast<uint8_t>(byte);
    ones += std::popcount(byte);
  }
  for (int32_t j = 0; j < LANES; ++j) lanes_[j] = lanes[j];
  if (bits != nullptr) {
    for (int32_t k = 0; k < BYTES_PER_SECOND; ++k) bits[k] = bytes[k];
  }
  ++next_;
  return ones;
}
