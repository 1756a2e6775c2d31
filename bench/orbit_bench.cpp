// Time the orbit position of a million seeds, and one pass of the exact spread of a day's count.
#include <chrono>
#include <cstdio>

#include "study/orbit.h"
#include "study/replay.h"

int main() {
  using clock = std::chrono::steady_clock;
  constexpr uint32_t CALLS = 1000000;
  uint32_t sum = 0;
  auto start = clock::now();
  for (uint32_t seed = 0; seed < CALLS; ++seed) sum += run_orbit_start(seed * 2654435761u);
  const double per_call = std::chrono::duration<double>(clock::now() - start).count() / CALLS;
  std::printf("run_orbit_start: %.3f us a call (%u)\n", per_call * 1e6, sum & 1u);
  start = clock::now();
  const uint64_t day = 86400u * BITS_PER_SECOND;
  const std::vector<double> shares = orbit_tail_shares(day, {0, 1000, 5000});
  const double pass = std::chrono::duration<double>(clock::now() - start).count();
  std::printf("orbit_tail_shares, a day (%llu draws): %.2f s (shares %.4f %.4f %.6f)\n",
              static_cast<unsigned long long>(day), pass, shares[0], shares[1], shares[2]);
}
