// The seed search: the orbit walk and the seed-by-seed replay find the same seeds.
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "study/replay.h"
#include "study/seed_search.h"

namespace {

// The ones of the first `count` 5-minute windows of a seed.
std::vector<int32_t> windows_of(uint32_t seed, int32_t count) {
  Replay replay(seed);
  std::vector<int32_t> ones;
  for (int32_t w = 0; w < count; ++w) {
    int32_t sum = 0;
    for (int32_t s = 0; s < 300; ++s) sum += replay.next_second();
    ones.push_back(sum);
  }
  return ones;
}

TEST(SeedSearch, OrbitWalkFindsRandomSeedsOnAStretchAroundThem) {
  std::mt19937 random(20260501);
  for (int trial = 0; trial < 3; ++trial) {
    const uint32_t seed = static_cast<uint32_t>(random());
    const std::vector<int32_t> ones = windows_of(seed, 5);
    // Start the walk 3,000,000 positions before the seed: the orbit wraps through 2^31.
    const uint32_t origin = advance_state(seed, SEED_PERIOD - 3000000);
    const SeedCandidates found = search_orbit(ones, origin, 4000000, 0, SEED_MASK, 10, {});
    ASSERT_EQ(found.count, 1u) << seed;
    EXPECT_EQ(found.seeds[0], seed & SEED_MASK);
  }
}

TEST(SeedSearch, OneWindowLeavesAboutOneSeedInThreeHundred) {
  const uint32_t seed = 5;
  const std::vector<int32_t> one = windows_of(seed, 1);
  const SeedCandidates found = search_orbit(one, seed, 300000, 0, SEED_MASK, 5000, {});
  EXPECT_GT(found.count, 300u);
  EXPECT_LT(found.count, 3000u);
  EXPECT_TRUE(std::binary_search(found.seeds.begin(), found.seeds.end(), seed));
}

TEST(SeedSearch, SeedBySeedAgreesWithTheWalkAndKeepsToItsRange) {
  const uint32_t seed = 2147480000u;
  const std::vector<int32_t> ones = windows_of(seed, 3);
  SeedCandidates found = search_seeds(ones, seed - 1000, seed + 1000, 10, {});
  ASSERT_EQ(found.count, 1u);
  EXPECT_EQ(found.seeds[0], seed);
  // The twin seed S + 2^31 is reported as S; a range without S finds nothing.
  found = search_seed_by_seed(windows_of(seed + static_cast<uint32_t>(SEED_PERIOD), 3), seed, seed, 10);
  EXPECT_EQ(found.count, 1u);
  EXPECT_EQ(search_seeds(ones, seed + 1, seed + 1000, 10, {}).count, 0u);
  EXPECT_EQ(search_seeds(ones, 10, 5, 10, {}).count, 0u);
  EXPECT_EQ(search_seeds({}, 0, 100, 10, {}).count, 0u);
}

}  // namespace
