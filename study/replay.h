// Replay of a run's bits from its seed, with the generator alone.
//
// A run's bits depend on nothing but the seed: the generator is seeded once,
// one value is thrown away, and every second then draws 200 values, the bit
// of each being bit 30 of the generator's state. This module draws those
// bits again without a screen, a clock or the experiment, second by second,
// in constant memory. Seeds S and S + 2^31 give the same bits.
#pragma once

#include <cstdint>

#include "experiment/run_facts.h"
#include "runtime/random.h"

// The bit of a draw is this bit of the state after the step (the top bit of rand's 15).
constexpr int32_t GENERATOR_BIT = 30;
// Values drawn and thrown away right after seeding.
constexpr int32_t DRAWS_THROWN_AWAY = 1;

// One affine step of the generator taken many times: state <- state * multiplier + increment.
struct GeneratorJump {
  uint32_t multiplier = 1;
  uint32_t increment = 0;
};

// Return the jump that advances the generator by `steps` draws.
GeneratorJump generator_jump(uint64_t steps);

// Return the state after `steps` draws from `state`.
uint32_t advance_state(uint32_t state, uint64_t steps);

// Return the bit a draw gives from the state after its step.
inline uint32_t draw_bit(uint32_t state) { return (state >> GENERATOR_BIT) & 1u; }

// Eight draws carried side by side, each lane jumping eight steps at a time: one step of all
// lanes gives the bits of eight draws in a row, and the lanes are independent (the compiler may
// vectorise them). The one way the study tool draws many bits.
class GeneratorLanes {
 public:
  static constexpr int32_t LANES = 8;
  // Start with the draw whose state after its step is `state`.
  explicit GeneratorLanes(uint32_t state);
  // Return the bits of the next eight draws, the first in the top bit.
  uint32_t next_byte() {
    uint32_t byte = 0;
    for (int32_t j = 0; j < LANES; ++j) {
      byte |= draw_bit(lanes_[j]) << (LANES - 1 - j);
      lanes_[j] = lanes_[j] * jump_.multiplier + jump_.increment;
    }
    return byte;
  }

 private:
  GeneratorJump jump_;
  uint32_t lanes_[LANES];
};

// The bits of a run, drawn again second by second from its seed.
class Replay {
 public:
  // Start at second 1 of the run seeded with `seed` (as srand receives it).
  explicit Replay(uint32_t seed);
  // Move to `second` (from 1) without drawing the seconds before it.
  void seek(int64_t second);
  // Draw the next second; put its bits in `bits` (BYTES_PER_SECOND, may be null); return its ones.
  int32_t next_second(uint8_t* bits = nullptr);
  // Return the number of the second that next_second draws next (from 1).
  int64_t next_number() const { return next_; }

 private:
  uint32_t seed_;
  GeneratorLanes lanes_;  // the next draws
  int64_t next_ = 1;      // number of the next second
};
