// Replay against the runtime's own generator: the same bits for every seed and second.
#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/random.h"
#include "study/replay.h"

namespace {

// Draw a second's bits the way the experiment does: floor(random_unit(1) * 2).
std::vector<int> experiment_bits(int32_t count) {
  std::vector<int> bits;
  for (int32_t i = 0; i < count; ++i) bits.push_back(static_cast<int>(std::floor(random_unit(1) * 2.0)));
  return bits;
}

// Unpack a second's 25 bytes, first bit in the top bit of the first byte.
std::vector<int> unpack(const uint8_t* bytes) {
  std::vector<int> bits;
  for (int32_t i = 0; i < BITS_PER_SECOND; ++i) bits.push_back((bytes[i / 8] >> (7 - i % 8)) & 1);
  return bits;
}

TEST(Replay, GivesTheExperimentsBitsSecondBySecond) {
  for (const uint32_t seed : {0u, 1u, 12345u, 2147483647u, 2147483648u, 4294967295u}) {
    msvc_srand(seed);  // as seed_random does, without its -1.0 meaning "the timer"
    msvc_rand();
    Replay replay(seed);
    for (int64_t second = 1; second <= 5; ++second) {
      uint8_t bytes[BYTES_PER_SECOND];
      EXPECT_EQ(replay.next_number(), second);
      const int32_t ones = replay.next_second(bytes);
      const std::vector<int> expected = experiment_bits(BITS_PER_SECOND);
      EXPECT_EQ(unpack(bytes), expected) << "seed " << seed << " second " << second;
      int32_t count = 0;
      for (int bit : expected) count += bit;
      EXPECT_EQ(ones, count);
    }
  }
}

TEST(Replay, SeekLandsOnTheSameSecondAsDrawingThrough) {
  Replay through(987654321u);
  for (int64_t s = 1; s < 1000; ++s) through.next_second();
  Replay jumped(987654321u);
  jumped.seek(1000);
  uint8_t a[BYTES_PER_SECOND], b[BYTES_PER_SECOND];
  EXPECT_EQ(through.next_second(a), jumped.next_second(b));
  EXPECT_EQ(std::vector<uint8_t>(a, a + BYTES_PER_SECOND), std::vector<uint8_t>(b, b + BYTES_PER_SECOND));
  EXPECT_EQ(jumped.next_number(), 1001);
}

TEST(Replay, SeedsAHalfPeriodApartGiveTheSameBits) {
  Replay low(777u), high(777u + static_cast<uint32_t>(SEED_PERIOD));
  for (int s = 0; s < 50; ++s) {
    uint8_t a[BYTES_PER_SECOND], b[BYTES_PER_SECOND];
    low.next_second(a);
    high.next_second(b);
    ASSERT_EQ(std::vector<uint8_t>(a, a + BYTES_PER_SECOND), std::vector<uint8_t>(b, b + BYTES_PER_SECOND));
  }
}

TEST(Replay, JumpsAgreeWithSingleSteps) {
  uint32_t state = 42;
  for (uint64_t steps = 0; steps < 300; ++steps) {
    EXPECT_EQ(advance_state(42, steps), state) << steps;
    state = state * GENERATOR_MULTIPLIER + GENERATOR_INCREMENT;
  }
  // The low 31 bits come back after 2^31 steps: one orbit through every state.
  EXPECT_EQ(advance_state(5, SEED_PERIOD) & 0x7FFFFFFFu, 5u);
  EXPECT_NE(advance_state(5, SEED_PERIOD / 2) & 0x7FFFFFFFu, 5u);
}

}  // namespace
