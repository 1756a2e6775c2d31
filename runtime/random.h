// Pseudo-random numbers: the MSVCRT rand/srand generator and its unit form.
#pragma once

#include <cstdint>

// The generator's step: state <- state * multiplier + increment (mod 2^32).
constexpr uint32_t GENERATOR_MULTIPLIER = 214013u;
constexpr uint32_t GENERATOR_INCREMENT = 2531011u;

// Restart the generator from a seed (-1.0: the timer), truncated toward zero; one value is thrown away.
void seed_random(double seed);

// Return the next value as r / 32768 in [0, 1); n = 0 repeats the last value.
double random_unit(int32_t n);

// Return the seed the generator was last restarted with (1 before any).
uint32_t random_seed();

// Restart the raw generator with a 32-bit seed (srand).
void msvc_srand(uint32_t seed);

// Return the generator's next raw value, 0 to 32767 (rand).
int32_t msvc_rand();
