// Statistics: the formulas over exact sums; distributions from Boost.Math.
#include "study/statistics.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numeric>

#include <boost/math/distributions/binomial.hpp>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>

namespace {

constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

}  // namespace

double two_sided_p(double z) {
  if (std::isnan(z)) return NOT_A_NUMBER;
  if (std::isinf(z)) return 0.0;
  const boost::math::normal_distribution<double> normal;
  return 2.0 * boost::math::cdf(normal, -std::fabs(z));
}

double z_of_two_sided_p(double p, double direction) {
  if (std::isnan(p) || p < 0.0 || p > 1.0) return NOT_A_NUMBER;
  const double size = p == 0.0 ? INFINITY
                               : boost::math::quantile(boost::math::complement(
                                     boost::math::normal_distribution<double>(), p / 2.0));
  return direction < 0 ? -size : size;
}

double deviation_z(int64_t deviation, uint64_t seconds) {
  if (seconds == 0) return NOT_A_NUMBER;
  return static_cast<double>(deviation) / std::sqrt(VARIANCE_ONES * static_cast<double>(seconds));
}

double stouffer_z(std::span<const double> scores) {
  if (scores.empty()) return NOT_A_NUMBER;
  double sum = 0;
  for (double z : scores) sum += z;
  return sum / std::sqrt(static_cast<double>(scores.size()));
}

std::vector<double> bonferroni(std::span<const double> p) {
  std::vector<double> adjusted(p.size());
  const double count = static_cast<double>(p.size());
  for (size_t i = 0; i < p.size(); ++i) adjusted[i] = std::min(1.0, p[i] * count);
  return adjusted;
}

std::vector<double> benjamini_hochberg(std::span<const double> p) {
  const size_t count = p.size();
  std::vector<size_t> order(count);
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return p[a] < p[b]; });
  std::vector<double> q(count);
  double running = 1.0;
  for (size_t rank = count; rank >= 1; --rank) {
    const size_t i = order[rank - 1];
    running = std::min(running, p[i] * static_cast<double>(count) / static_cast<double>(rank));
    q[i] = running;
  }
  return q;
}

double chi2_upper_p(double chi2, double df) {
  if (!(df > 0) || std::isnan(chi2)) return NOT_A_NUMBER;
  if (chi2 <= 0) return 1.0;
  const boost::math::chi_squared_distribution<double> distribution(df);
  return boost::math::cdf(boost::math::complement(distribution, chi2));
}

double binomial_expected(int k, uint64_t seconds) {
  const boost::math::binomial_distribution<double> binomial(BITS_PER_SECOND, 0.5);
  return static_cast<double>(seconds) * boost::math::pdf(binomial, k);
}

namespace {

// Close bins walking from one tail toward the middle, each once its expected count reaches the minimum.
// The last, unfinished bin of the walk is returned open for the caller to merge.
std::vector<FitBin> pool_tail(const OnesHistogram& histogram, uint64_t seconds, int from, int to, int step) {
  std::vector<FitBin> bins;
  FitBin open{from, from, 0, 0.0};
  for (int k = from;; k += step) {
    open.first = std::min(open.first, k);
    open.last = std::max(open.last, k);
    open.observed += histogram[static_cast<size_t>(k)];
    open.expected += binomial_expected(k, seconds);
    if (open.expected >= MIN_EXPECTED_PER_BIN) {
      bins.push_back(open);
      open = FitBin{k + step, k + step, 0, 0.0};
    }
    if (k == to) break;
  }
  if (open.expected > 0) {
    open.first = std::min(open.first, to);
    open.last = std::max(open.last, to);
    if (bins.empty()) {
      bins.push_back(open);
    } else {
      FitBin& last = bins.back();
      last.first = std::min(last.first, open.first);
      last.last = std::max(last.last, open.last);
      last.observed += open.observed;
      last.expected += open.expected;
    }
  }
  return bins;
}

}  // namespace

GoodnessOfFit binomial_goodness_of_fit(const OnesHistogram& histogram) {
  GoodnessOfFit fit;
  const uint64_t seconds = std::accumulate(histogram.begin(), histogram.end(), uint64_t{0});
  if (seconds == 0) {
    fit.chi2 = fit.df = fit.p = NOT_A_NUMBER;
    return fit;
  }
  // The distribution is symmetric: pool each half from its tail toward the middle,
  // then join the two halves' innermost bins when either falls short.
  std::vector<FitBin> low = pool_tail(histogram, seconds, 0, MEAN_ONES, 1);
  std::vector<FitBin> high = pool_tail(histogram, seconds, BITS_PER_SECOND, MEAN_ONES + 1, -1);
  if (!low.empty() && !high.empty() &&
      (low.back().expected < MIN_EXPECTED_PER_BIN || high.back().expected < MIN_EXPECTED_PER_BIN)) {
    low.back().last = high.back().last;
    low.back().observed += high.back().observed;
    low.back().expected += high.back().expected;
    high.pop_back();
  }
  fit.bins = std::move(low);
  fit.bins.insert(fit.bins.end(), high.rbegin(), high.rend());
  fit.chi2 = 0;
  for (const FitBin& bin : fit.bins) {
    const double difference = static_cast<double>(bin.observed) - bin.expected;
    fit.chi2 += difference * difference / bin.expected;
  }
  fit.df = static_cast<double>(fit.bins.size()) - 1.0;
  fit.p = chi2_upper_p(fit.chi2, fit.df);
  return fit;
}

void add_second(SecondTotals& totals, int ones) {
  const int64_t deviation = ones - MEAN_ONES;
  if (totals.seconds == 0) {
    totals.first_deviation = deviation;
  } else {
    totals.lag_products += totals.last_deviation * deviation;
    totals.pair_heads += totals.last_deviation;
    totals.pair_tails += deviation;
    ++totals.lag_pairs;
  }
  totals.last_deviation = deviation;
  ++totals.seconds;
  totals.deviation += deviation;
  totals.squares += static_cast<uint64_t>(deviation * deviation);
  ++totals.histogram[static_cast<size_t>(ones)];
}

void add_seconds(SecondTotals& totals, std::span<const uint8_t> ones) {
  SecondTotals sequence;
  for (uint8_t count : ones) add_second(sequence, count);
  merge_totals(totals, sequence);
}

void merge_totals(SecondTotals& totals, const SecondTotals& other) {
  if (other.seconds == 0) return;
  if (totals.seconds == 0) {
    totals = other;
    return;
  }
  totals.seconds += other.seconds;
  totals.deviation += other.deviation;
  totals.squares += other.squares;
  totals.lag_products += other.lag_products;
  totals.lag_pairs += other.lag_pairs;
  totals.pair_heads += other.pair_heads;
  totals.pair_tails += other.pair_tails;
  totals.last_deviation = other.last_deviation;
  for (size_t k = 0; k < totals.histogram.size(); ++k) totals.histogram[k] += other.histogram[k];
}

double variance_chi2(const SecondTotals& totals) {
  return static_cast<double>(totals.squares) / VARIANCE_ONES;
}

double lag1_autocorrelation(const SecondTotals& totals) {
  if (totals.lag_pairs == 0) return NOT_A_NUMBER;
  // The ratio does not change when every deviation is divided by sqrt(50), so it is
  // computed on the integer deviations: sum (d_t - m)(d_t+1 - m) / sum (d_t - m)^2.
  using Wide = long double;
  const Wide n = static_cast<Wide>(totals.seconds);
  const Wide mean = static_cast<Wide>(totals.deviation) / n;
  const Wide numerator = static_cast<Wide>(totals.lag_products) -
                         mean * static_cast<Wide>(totals.pair_heads + totals.pair_tails) +
                         static_cast<Wide>(totals.lag_pairs) * mean * mean;
  const Wide denominator = static_cast<Wide>(totals.squares) - n * mean * mean;
  if (denominator <= 0) return NOT_A_NUMBER;
  return static_cast<double>(numerator / denominator);
}

void RunsCounter::feed(std::span<const uint8_t> bytes) {
  for (uint8_t byte : bytes) {
    // A run ends wherever a bit differs from the one before it.
    const unsigned shifted = (static_cast<unsigned>(byte) >> 1) |
                             (last_bit_ < 0 ? (byte & 0x80u) : static_cast<unsigned>(last_bit_) << 7);
    changes_ += static_cast<uint64_t>(std::popcount((byte ^ shifted) & 0xFFu));
    ones_ += static_cast<uint64_t>(std::popcount(static_cast<unsigned>(byte)));
    bits_ += 8;
    last_bit_ = byte & 1;
  }
}

RunsTest RunsCounter::result() const {
  RunsTest test;
  test.bits = bits_;
  test.ones = ones_;
  test.runs = bits_ == 0 ? 0 : changes_ + 1;
  const double n = static_cast<double>(bits_);
  const double n1 = static_cast<double>(ones_);
  const double n0 = n - n1;
  const double mean = 2.0 * n1 * n0 / n + 1.0;
  const double variance = 2.0 * n1 * n0 * (2.0 * n1 * n0 - n) / (n * n * (n - 1.0));
  if (bits_ < 2 || !(variance > 0)) {
    test.z = test.p = NOT_A_NUMBER;
    return test;
  }
  test.z = (static_cast<double>(test.runs) - mean) / std::sqrt(variance);
  test.p = two_sided_p(test.z);
  return test;
}
