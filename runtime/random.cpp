// Random: the MSVCRT rand/srand generator and the unit values the experiment draws.
//
// The generator is a 32-bit linear congruence (multiplier 214013, increment
// 2531011) returning bits 16 to 30 of the state, so a seed gives the same
// bits on every platform. Unseeded, it behaves as if seeded with 1.
#include "runtime/random.h"

#include <cmath>

#include "runtime/clock.h"
#include "runtime/text.h"

namespace {

uint32_t state = 1;        // the generator's 32-bit state
uint32_t seeded_with = 1;  // the seed of the last restart
double last_value = 0.0;   // the last value random_unit returned

}  // namespace

void msvc_srand(uint32_t seed) {
  state = seed;
  seeded_with = seed;
}

uint32_t random_seed() { return seeded_with; }

int32_t msvc_rand() {
  state = state * GENERATOR_MULTIPLIER + GENERATOR_INCREMENT;
  return static_cast<int32_t>((state >> 16) & 0x7FFF);
}

void seed_random(double seed) {
  if (seed == -1.0) seed = timer_seconds();
  msvc_srand(static_cast<uint32_t>(round_to_int32(std::trunc(seed))));
  msvc_rand();
}

double random_unit(int32_t n) {
  if (n == 0) return last_value;
  last_value = msvc_rand() * (1.0 / 32768.0);
  return last_value;
}
