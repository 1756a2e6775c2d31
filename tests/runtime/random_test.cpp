// The generator: its published sequence, seeding rules and unit values.
#include <gtest/gtest.h>

#include <cmath>

#include "runtime/clock.h"
#include "runtime/random.h"

namespace {

TEST(RandomTest, RawSequenceAfterSeedOne) {
  msvc_srand(1);
  const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int32_t value : expected) EXPECT_EQ(msvc_rand(), value);
}

TEST(RandomTest, SeedingThrowsTheFirstValueAway) {
  seed_random(1.0);
  EXPECT_EQ(random_unit(1), 18467 / 32768.0);
  EXPECT_EQ(random_unit(1), 6334 / 32768.0);
  EXPECT_EQ(random_unit(0), 6334 / 32768.0);  // repeats without advancing
  EXPECT_EQ(random_unit(-5), 26500 / 32768.0);
}

// Return the first unit value after seed_random(seed).
double first_after(double seed) {
  seed_random(seed);
  return random_unit(1);
}

// Return the first unit value after srand(seed) and one value thrown away.
double first_after_raw(uint32_t seed) {
  msvc_srand(seed);
  msvc_rand();
  return msvc_rand() / 32768.0;
}

TEST(RandomTest, SeedsTruncateTowardZero) {
  EXPECT_EQ(first_after(12.9), first_after_raw(12));
  EXPECT_EQ(first_after(-12.9), first_after_raw(static_cast<uint32_t>(-12)));
  EXPECT_NE(first_after_raw(12), first_after_raw(13));
}

TEST(RandomTest, SeedsOutOfRangeBecomeTheMostNegativeInteger) {
  const double min_seed = first_after_raw(0x80000000u);
  EXPECT_EQ(first_after(3e9), min_seed);
  EXPECT_EQ(first_after(-3e9), min_seed);
  EXPECT_EQ(first_after(std::nan("")), min_seed);
  EXPECT_EQ(first_after(2147483647.5), first_after_raw(0x7FFFFFFFu));
}

TEST(RandomTest, MinusOneSeedsFromTheTimer) {
  VirtualClock clock(86712.75, civil_time(2006, 1, 1, 0, 0, 0));
  use_clock(&clock);
  EXPECT_EQ(first_after(-1.0), first_after_raw(86712));
  use_clock(nullptr);
}

TEST(RandomTest, UnitValuesAreWholeFractionsBelowOne) {
  msvc_srand(7);
  double highest = 0.0;
  for (int i = 0; i < 200000; ++i) {
    double v = random_unit(1);
    ASSERT_LT(v, 1.0);
    ASSERT_EQ(v * 32768.0, std::floor(v * 32768.0));
    highest = std::max(highest, v);
  }
  EXPECT_EQ(highest, 0.999969482421875);
}

}  // namespace
