// The generator's one orbit: where a run's bits lie on it, and the exact spread of a count.
//
// The generator's state, taken modulo 2^31 (all that the bits depend on), runs
// through every one of its 2^31 values on one orbit before it repeats. Every
// seed is a position on that orbit, and every run is a segment of the same
// fixed sequence of 2^31 bits, 200 draws a second: two runs may share bits, a
// run longer than the orbit repeats itself, and a run's count of ones is a
// window sum over a sequence with exactly 2^30 ones. Positions count the steps
// from the state 0; a segment starts at the state that gives its first bit.
#pragma once

#include <cstdint>
#include <vector>

// Draws on the orbit before the states repeat: 2^31.
constexpr uint64_t ORBIT_DRAWS = uint64_t{1} << 31;

// Return the position of a state on the orbit: the steps from the state 0 to it (0 to 2^31 - 1).
uint32_t orbit_position(uint32_t state);

// Return the position of a run's first bit (the state after the step of its first draw, the
// value thrown away after seeding passed over).
uint32_t run_orbit_start(uint32_t seed);

// Return the draws two segments [start, start + draws) share on the orbit, wrapping at its end.
uint64_t shared_draws(uint32_t start_a, uint64_t draws_a, uint32_t start_b, uint64_t draws_b);

// For segments of `draws` bits (even, below 2^31) at every one of the 2^31 positions, return
// for each deviation in `deviations` the share of segments whose count of ones deviates from
// draws / 2 by at least as much in size: the exact two-sided p of that deviation. One pass
// over the orbit (seconds).
std::vector<double> orbit_tail_shares(uint64_t draws, const std::vector<int64_t>& deviations);
