// The orbit: positions found again by stepping, runs of different seeds that share bits
// (checked against the replay itself), overlaps that wrap at the orbit's end, and the exact
// spread of a count against the binomial law it must come close to.
#include <cmath>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "study/orbit.h"
#include "study/replay.h"

namespace {

TEST(Orbit, APositionIsTheNumberOfStepsFromStateZero) {
  std::mt19937 random(31);
  std::vector<uint64_t> steps = {0, 1, 2, 12345, ORBIT_DRAWS - 1, ORBIT_DRAWS / 2};
  for (int i = 0; i < 200; ++i) steps.push_back(random() % ORBIT_DRAWS);
  for (uint64_t n : steps) {
    const uint32_t state = advance_state(0, n);
    EXPECT_EQ(orbit_position(state), n);
    EXPECT_EQ(orbit_position(state ^ 0x80000000u), n) << "bit 31 plays no part";
  }
}

TEST(Orbit, SeedsAnHourApartOnTheOrbitDrawTheSameBits) {
  // 13579 and 920953739: the second run starts where the first's second hour starts.
  const uint32_t a = run_orbit_start(13579), b = run_orbit_start(920953739);
  EXPECT_EQ((uint64_t{b} - a) % ORBIT_DRAWS, 3600u * BITS_PER_SECOND);
  Replay first(13579), second(920953739);
  first.seek(3601);
  uint8_t bits_a[BYTES_PER_SECOND], bits_b[BYTES_PER_SECOND];
  for (int s = 0; s < 5; ++s) {
    EXPECT_EQ(first.next_second(bits_a), second.next_second(bits_b));
    EXPECT_EQ(0, std::memcmp(bits_a, bits_b, BYTES_PER_SECOND));
  }
  EXPECT_EQ(shared_draws(a, 7200 * BITS_PER_SECOND, b, 7200 * BITS_PER_SECOND), 3600u * BITS_PER_SECOND);
  EXPECT_EQ(shared_draws(a, 3600 * BITS_PER_SECOND, b, 3600 * BITS_PER_SECOND), 0u);
}

TEST(Orbit, OverlapsWrapAtTheOrbitsEnd) {
  const uint32_t near_end = static_cast<uint32_t>(ORBIT_DRAWS - 100);
  EXPECT_EQ(shared_draws(near_end, 300, 50, 1000), 150u);   // [end-100, 200) and [50, 1050)
  EXPECT_EQ(shared_draws(50, 1000, near_end, 300), 150u);
  EXPECT_EQ(shared_draws(near_end, 300, near_end, 300), 300u);  // one segment twice: a copy
  EXPECT_EQ(shared_draws(0, ORBIT_DRAWS - 10, ORBIT_DRAWS - 20, 40), 30u);  // two pieces
  EXPECT_EQ(shared_draws(200, 100, 300, 100), 0u);
}

TEST(Orbit, TheSpreadOfOneSecondsCountIsCloseToTheBinomial) {
  // One pass over all 2^31 windows of 200 draws; the tail of Binomial(200, 1/2) beside it.
  const std::vector<int64_t> deviations = {0, 5, 10, 20};
  const std::vector<double> shares = orbit_tail_shares(BITS_PER_SECOND, deviations);
  auto binomial_tail = [](int64_t d) {
    double tail = 0.0;
    for (int k = 0; k <= BITS_PER_SECOND; ++k) {
      if (std::abs(k - BITS_PER_SECOND / 2) < d) continue;
      tail += std::exp(std::lgamma(BITS_PER_SECOND + 1.0) - std::lgamma(k + 1.0) -
                       std::lgamma(BITS_PER_SECOND - k + 1.0) - BITS_PER_SECOND * std::log(2.0));
    }
    return tail;
  };
  EXPECT_DOUBLE_EQ(shares[0], 1.0);
  for (size_t i = 1; i < deviations.size(); ++i) {
    EXPECT_NEAR(shares[i], binomial_tail(deviations[i]), 2e-3 * binomial_tail(deviations[i]) + 1e-6)
        << deviations[i];
  }
}

}  // namespace
