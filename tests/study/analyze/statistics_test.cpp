// Statistics that SciPy does not check end to end: exact sums, the runs count,
// pooling, adjustments' edge cases, the plot reduction and local times.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "study/local_time.h"
#include "study/plot_reduce.h"
#include "study/statistics.h"

TEST(Statistics, PValuesAtKnownPointsAndNonFiniteScores) {
  EXPECT_NEAR(two_sided_p(1.959963984540054), 0.05, 1e-12);
  EXPECT_DOUBLE_EQ(two_sided_p(0.0), 1.0);
  EXPECT_EQ(two_sided_p(INFINITY), 0.0);
  EXPECT_TRUE(std::isnan(two_sided_p(NAN)));
  EXPECT_GT(two_sided_p(-30.0), 0.0);  // far tails stay positive, not rounded to 0
  EXPECT_TRUE(std::isnan(deviation_z(5, 0)));
  EXPECT_TRUE(std::isnan(stouffer_z({})));
  EXPECT_TRUE(std::isnan(chi2_upper_p(3.0, 0.0)));
  EXPECT_DOUBLE_EQ(chi2_upper_p(0.0, 4.0), 1.0);
}

TEST(Statistics, AdjustmentsStayWithinOneAndKeepTheOrderOfP) {
  const std::vector<double> p{0.04, 0.001, 0.9, 0.03, 0.5};
  const std::vector<double> bonferroni_p = bonferroni(p);
  const std::vector<double> q = benjamini_hochberg(p);
  EXPECT_DOUBLE_EQ(bonferroni_p[1], 0.005);
  EXPECT_DOUBLE_EQ(bonferroni_p[2], 1.0);
  // Step-up: 0.03 and 0.04 (ranks 2 and 3) share the smaller of 0.03*5/2 and 0.04*5/3.
  EXPECT_DOUBLE_EQ(q[3], 0.04 * 5 / 3);
  EXPECT_DOUBLE_EQ(q[0], 0.04 * 5 / 3);
  EXPECT_DOUBLE_EQ(q[1], 0.005);
  EXPECT_DOUBLE_EQ(q[2], 0.9);
  EXPECT_TRUE(benjamini_hochberg({}).empty());
}

TEST(Statistics, GoodnessOfFitPoolsEveryBinToFiveExpected) {
  for (uint64_t seconds : {1ull, 7ull, 40ull, 300ull, 86400ull, 31536000ull}) {
    OnesHistogram histogram{};
    histogram[100] = seconds;
    const GoodnessOfFit fit = binomial_goodness_of_fit(histogram);
    ASSERT_FALSE(fit.bins.empty());
    double expected = 0;
    uint64_t observed = 0;
    int next = 0;
    for (const FitBin& bin : fit.bins) {
      EXPECT_EQ(bin.first, next) << seconds;  // bins cover 0..200 without gap or overlap
      next = bin.last + 1;
      if (fit.bins.size() > 1) {
        EXPECT_GE(bin.expected, MIN_EXPECTED_PER_BIN) << seconds;
      }
      expected += bin.expected;
      observed += bin.observed;
    }
    EXPECT_EQ(next, BITS_PER_SECOND + 1);
    EXPECT_NEAR(expected, static_cast<double>(seconds), 1e-6 * static_cast<double>(seconds));
    EXPECT_EQ(observed, seconds);
    EXPECT_EQ(fit.df, static_cast<double>(fit.bins.size()) - 1);
  }
  const GoodnessOfFit none = binomial_goodness_of_fit(OnesHistogram{});
  EXPECT_TRUE(std::isnan(none.p));
}

TEST(Statistics, TotalsOfSeveralSequencesPairOnlyNeighboursWithinEach) {
  SecondTotals one, both;
  add_seconds(one, std::vector<uint8_t>{110, 90, 110});
  add_seconds(both, std::vector<uint8_t>{110, 90, 110});
  add_seconds(both, std::vector<uint8_t>{90, 110});
  EXPECT_EQ(one.lag_pairs, 2u);
  EXPECT_EQ(both.lag_pairs, 3u);  // no pair across the two sequences
  EXPECT_EQ(both.deviation, 10);
  EXPECT_EQ(both.squares, 500u);
  EXPECT_DOUBLE_EQ(variance_chi2(both), 10.0);
  EXPECT_EQ(both.histogram[110], 3u);
  // Alternating deviations are perfectly anti-correlated up to the mean's share.
  EXPECT_LT(lag1_autocorrelation(one), -0.5);
  SecondTotals flat;
  add_seconds(flat, std::vector<uint8_t>{100, 100, 100});
  EXPECT_TRUE(std::isnan(lag1_autocorrelation(flat)));
}

TEST(Statistics, RunsCountAcrossByteBoundaries) {
  RunsCounter counter;
  const std::vector<uint8_t> first{0xF0};        // 1111 0000
  const std::vector<uint8_t> second{0x0F, 0xAA};  // 0000 1111 1010 1010
  counter.feed(first);
  counter.feed(second);
  const RunsTest test = counter.result();
  EXPECT_EQ(test.bits, 24u);
  EXPECT_EQ(test.ones, 12u);
  // Runs: 1111 | 00000000 | 11111 (the first 1 of 0xAA joins it) | 0 1 0 1 0 1 0: 3 + 7.
  EXPECT_EQ(test.runs, 10u);
  EXPECT_FALSE(std::isnan(test.p));
  EXPECT_TRUE(std::isnan(RunsCounter{}.result().z));
}

TEST(PlotReduction, KeepsEveryExtremeWithinTheLimitAndInOrder) {
  const uint64_t total = 1000003;
  MinMaxReducer reducer(total, 2000);
  for (uint64_t i = 0; i < total; ++i) {
    double y = std::sin(static_cast<double>(i) * 0.001);
    if (i == 777777) y = 50.0;  // one lone peak
    if (i == 5) y = -60.0;
    reducer.add(PlotPoint{static_cast<int64_t>(i), y, i});
  }
  const std::vector<PlotPoint> kept = reducer.finish();
  EXPECT_LE(kept.size(), 2000u);
  EXPECT_GT(kept.size(), 1900u);
  bool peak = false, dip = false;
  for (size_t k = 0; k < kept.size(); ++k) {
    if (k > 0) {
      EXPECT_LT(kept[k - 1].x, kept[k].x);
    }
    peak |= kept[k].x == 777777 && kept[k].y == 50.0;
    dip |= kept[k].x == 5;
  }
  EXPECT_TRUE(peak);
  EXPECT_TRUE(dip);

  MinMaxReducer small(3, 2000);
  for (int i = 0; i < 3; ++i) small.add(PlotPoint{i, static_cast<double>(i), 0});
  EXPECT_EQ(small.finish().size(), 3u);  // short series pass whole
}

TEST(LocalTime, ParsesOnlyExactValidTimesAndFormatsBack) {
  int64_t t = 0;
  ASSERT_TRUE(parse_local_time("2024-02-29 23:59:59", t));
  EXPECT_EQ(format_local_time(t), "2024-02-29 23:59:59");
  EXPECT_EQ(format_local_time(t + 1), "2024-03-01 00:00:00");
  ASSERT_TRUE(parse_local_time("1969-12-31 23:59:59", t));
  EXPECT_EQ(t, -1);
  EXPECT_EQ(format_local_time(-1), "1969-12-31 23:59:59");
  for (const char* bad : {"2023-02-29 00:00:00", "2024-13-01 00:00:00", "2024-01-01 24:00:00", "2024-01-01 00:00",
                          "2024-01-01T00:00:00", "2024-01-01 00:00:00 ", "２024-01-01 00:00:00", ""})
    EXPECT_FALSE(parse_local_time(bad, t)) << bad;
}
