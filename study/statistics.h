// Statistics of the experiment's seconds: z-scores, p-values and their combinations,
// multiple-comparison adjustments, the variance test, the binomial goodness of fit,
// lag-1 autocorrelation and the runs test on bits.
//
// Each second holds 200 fair bits, so its count of ones X is Binomial(200, 1/2):
// mean 100, variance 50. Distributions come from Boost.Math. Sums of deviations
// are kept as exact integers; a value that does not exist (no data, no degrees
// of freedom) is NaN.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "experiment/run_facts.h"

constexpr int MEAN_ONES = 100;          // expected ones in a second
constexpr double VARIANCE_ONES = 50.0;  // variance of the ones in a second
constexpr double MIN_EXPECTED_PER_BIN = 5.0;

// Counts of seconds by their number of ones, 0 to 200.
using OnesHistogram = std::array<uint64_t, BITS_PER_SECOND + 1>;

// Return the two-sided p of a standard normal score: 2 Phi(-|z|).
double two_sided_p(double z);

// Return the z whose two-sided normal p is `p`, with the sign of `direction` (its size alone
// when `direction` is 0): the inverse of two_sided_p. Infinite for p = 0.
double z_of_two_sided_p(double p, double direction);

// Return the z of a sum of deviations (ones minus 100 per second) over n seconds.
double deviation_z(int64_t deviation, uint64_t seconds);

// Return Stouffer's Z of a set of scores, the sum over the square root of their number.
double stouffer_z(std::span<const double> scores);

// Return the Bonferroni-adjusted p of each p (times their number, at most 1).
std::vector<double> bonferroni(std::span<const double> p);

// Return the Benjamini-Hochberg q of each p (step-up adjusted p, at most 1).
std::vector<double> benjamini_hochberg(std::span<const double> p);

// Return the upper-tail p of a chi-squared value on df degrees of freedom.
double chi2_upper_p(double chi2, double df);

// One bin of the goodness-of-fit table: seconds with first..last ones.
struct FitBin {
  int first;        // lowest count of ones in the bin
  int last;         // highest count of ones in the bin
  uint64_t observed;
  double expected;
};

// The goodness of fit of the per-second counts to Binomial(200, 1/2).
struct GoodnessOfFit {
  double chi2 = 0;
  double df = 0;
  double p = 0;
  std::vector<FitBin> bins;
};

// Return the expected number of seconds with k ones among n seconds.
double binomial_expected(int k, uint64_t seconds);

// Test the histogram against Binomial(200, 1/2), tails pooled to an expected count of at least 5.
GoodnessOfFit binomial_goodness_of_fit(const OnesHistogram& histogram);

// Exact running sums over a sequence of seconds (the whole-run statistics).
struct SecondTotals {
  uint64_t seconds = 0;
  int64_t deviation = 0;          // sum of (X - 100)
  uint64_t squares = 0;           // sum of (X - 100)^2
  int64_t lag_products = 0;       // sum of (X_t - 100)(X_t+1 - 100) within each sequence
  int64_t first_deviation = 0;    // X_1 - 100 of the sequence
  int64_t last_deviation = 0;     // X_N - 100 of the sequence
  uint64_t lag_pairs = 0;         // number of neighbouring pairs
  int64_t pair_heads = 0;         // sum of the first member of every pair
  int64_t pair_tails = 0;         // sum of the second member of every pair
  OnesHistogram histogram{};
};

// Add one second's count of ones to the totals of the sequence it continues.
void add_second(SecondTotals& totals, int ones);

// Add a whole sequence of counts (one folder) to the totals.
void add_seconds(SecondTotals& totals, std::span<const uint8_t> ones);

// Add another sequence's totals; its first second does not continue this one's last.
void merge_totals(SecondTotals& totals, const SecondTotals& other);

// Return the variance statistic: the sum of z_t^2 (degrees of freedom: the seconds).
double variance_chi2(const SecondTotals& totals);

// Return the lag-1 autocorrelation of the per-second z (pairs within each sequence).
double lag1_autocorrelation(const SecondTotals& totals);

// The Wald-Wolfowitz runs test over a bit sequence.
struct RunsTest {
  uint64_t bits = 0;
  uint64_t ones = 0;
  uint64_t runs = 0;
  double z = 0;
  double p = 0;
};

// Counts bits and runs over bytes fed in order (most significant bit first).
class RunsCounter {
 public:
  // Take the next bytes of the bit stream.
  void feed(std::span<const uint8_t> bytes);
  // Return the test over everything fed so far.
  RunsTest result() const;

 private:
  uint64_t bits_ = 0;
  uint64_t ones_ = 0;
  uint64_t changes_ = 0;
  int last_bit_ = -1;
};
