// The checkpoints: averages, dot rows, the order of the two checkpoints, the
// global accumulators and the emptying of the windows.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "experiment/checkpoints.h"
#include "experiment/state.h"
#include "gfx/screen.h"
#include "tests/experiment/support.h"

namespace {

// Split the log into its lines, each without its CR LF.
std::vector<std::string> lines_of(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t from = 0;
  for (size_t end; (end = bytes.find("\r\n", from)) != std::string::npos; from = end + 2) {
    lines.push_back(bytes.substr(from, end - from));
  }
  return lines;
}

TEST(CheckpointArithmetic, AveragesRoundHalvesToEvenAndAnEmptyDirectionIsZero) {
  EXPECT_EQ(window_average(13, 2), 6);
  EXPECT_EQ(window_average(15, 2), 8);
  EXPECT_EQ(window_average(5, 2), 2);
  EXPECT_EQ(window_average(10, 3), 3);
  EXPECT_EQ(window_average(11, 3), 4);
  EXPECT_EQ(window_average(0, 0), 0);
}

TEST(CheckpointArithmetic, DotRowsLieOnePixelPerPercentFromTheCentre) {
  EXPECT_EQ(dot_row(30075, 29925, 30000.0), 116);  // 150 more zeros: 0.5 rounds to even
  EXPECT_EQ(dot_row(29925, 30075, 30000.0), 114);
  EXPECT_EQ(dot_row(30000, 30000, 30000.0), 115);
  EXPECT_EQ(dot_row(30225, 29775, 30000.0), 116);  // 116.5 rounds to the even 116
  EXPECT_EQ(dot_row(30375, 29625, 30000.0), 118);  // 117.5 rounds to the even 118
  EXPECT_EQ(dot_row(90450, 89550, 90000.0), 116);
  EXPECT_EQ(dot_row(0, 30000, 30000.0), 15);
}

TEST(CheckpointArithmetic, DueOnWholeMultiplesOfThePeriodOnly) {
  EXPECT_FALSE(checkpoint_due(1, 300));
  EXPECT_FALSE(checkpoint_due(299, 300));
  EXPECT_TRUE(checkpoint_due(300, 300));
  EXPECT_FALSE(checkpoint_due(600, 900));
  EXPECT_TRUE(checkpoint_due(900, 900));
  EXPECT_TRUE(checkpoint_due(43200, 900));
  EXPECT_TRUE(checkpoint_due(2147483400, 300));
}

using CheckpointTest = ExperimentTest;

TEST_F(CheckpointTest, AtSecond300OnlyTheFiveMinuteCheckpointRuns) {
  start(1.0);
  ExperimentState& s = experiment_state();
  s.seconds_counter = 300;
  s.zeros_5min = 29925;
  s.ones_5min = 30075;
  s.lean_one_5min = 5;
  s.dev_one_5min = 33;
  s.lean_zero_5min = 3;
  s.dev_zero_5min = 7;
  s.zeros_15min = 29925;
  s.ones_15min = 30075;
  s.dev_one_15min = 33;
  run_checkpoints();
  EXPECT_EQ(s.dot_x, 10);
  EXPECT_EQ(s.dot_y, 114);
  EXPECT_EQ(lines_of(log_bytes()).size(), 2u);
  EXPECT_NE(log_bytes().find("Desvio medio al UNO en \xFAltimos 5 min en %:  7.00 \r\n"),
            std::string::npos);
  // The small dot toward one, a plus around device (6, 144).
  const ScreenPixel red = rgb_to_screen(0xDD4444);
  for (auto [x, y] : {std::pair{6, 144}, {5, 144}, {7, 144}, {6, 143}, {6, 145}}) {
    EXPECT_EQ(pixel(x, y), red) << x << "," << y;
  }
  EXPECT_NE(pixel(5, 143), red);
  // The 5-minute window is empty; the 15-minute window is untouched.
  EXPECT_EQ(s.zeros_5min + s.ones_5min + s.lean_one_5min + s.lean_zero_5min, 0);
  EXPECT_EQ(s.dev_one_5min + s.dev_zero_5min, 0);
  EXPECT_EQ(s.zeros_15min, 29925);
  EXPECT_EQ(s.dev_one_15min, 33);
  EXPECT_EQ(s.checkpoints_one, 0u);
}

TEST_F(CheckpointTest, AtSecond900TheFifteenMinuteCheckpointRunsFirstAtTheSameColumn) {
  start(1.0);
  ExperimentState& s = experiment_state();
  s.seconds_counter = 900;
  s.dot_x = 15;
  s.zeros_15min = 90150;
  s.ones_15min = 89850;
  s.lean_zero_15min = 2;
  s.dev_zero_15min = 13;
  s.zeros_5min = 30100;
  s.ones_5min = 29900;
  s.lean_zero_5min = 3;
  s.dev_zero_5min = 15;
  s.global_dev_one = 2.5f;
  run_checkpoints();

  const std::vector<std::string> lines = lines_of(log_bytes());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].substr(0, 5), ">>>>>");
  EXPECT_NE(lines[1].find("al CERO en \xFAltimos 15 min en %:  6.00 "), std::string::npos);
  EXPECT_NE(lines[4].find("checkpoint 5 min. 0 > 1 :  30100   29900"), std::string::npos);
  EXPECT_NE(lines[5].find("al CERO en \xFAltimos 5 min en %:  5.00 "), std::string::npos);

  EXPECT_EQ(s.checkpoints_zero, 1);
  EXPECT_EQ(s.checkpoints_one, 0u);
  EXPECT_EQ(s.global_dev_zero, 6);
  // No second leaned toward one: that average is 0, and the sum keeps its value.
  EXPECT_EQ(s.global_dev_one, 2.5f);
  EXPECT_EQ(s.dot_x, 20);
  EXPECT_EQ(s.dot_y, 116);

  // The large dot (row 115) at device (16, 145), the small one (row 116) over it.
  const ScreenPixel large = rgb_to_screen(0x8888DD);
  const ScreenPixel small = rgb_to_screen(0x4444DD);
  EXPECT_EQ(pixel(16, 143), large);
  EXPECT_EQ(pixel(14, 145), large);
  EXPECT_EQ(pixel(18, 145), large);
  EXPECT_EQ(pixel(15, 144), large);
  EXPECT_EQ(pixel(16, 146), small);
  EXPECT_EQ(pixel(16, 145), small);
  EXPECT_EQ(pixel(15, 146), small);
  EXPECT_EQ(pixel(17, 146), small);
  EXPECT_EQ(pixel(16, 147), small);

  EXPECT_EQ(s.zeros_15min + s.ones_15min + s.lean_zero_15min + s.lean_one_15min, 0);
  EXPECT_EQ(s.dev_zero_15min + s.dev_one_15min, 0);
  EXPECT_EQ(s.zeros_5min + s.ones_5min + s.lean_zero_5min + s.dev_zero_5min, 0);
}

TEST_F(CheckpointTest, BalancedFifteenMinutesDrawWhiteOnTheCentreAndStillFeedTheGlobalSums) {
  start(1.0);
  ExperimentState& s = experiment_state();
  s.seconds_counter = 1800;
  s.dot_x = 30;
  s.zeros_15min = 90000;
  s.ones_15min = 90000;
  s.lean_zero_15min = 3;
  s.dev_zero_15min = 9;
  s.lean_one_15min = 2;
  s.dev_one_15min = 8;
  s.zeros_5min = 29000;
  s.ones_5min = 31000;
  s.lean_one_5min = 1;
  s.dev_one_5min = 2;
  s.global_dev_zero = 10;
  s.global_dev_one = 16777216.0f;  // 2^24: adding 4 stays exact, adding 1 would not
  s.checkpoints_zero = 2;
  s.checkpoints_one = 3;
  run_checkpoints();
  EXPECT_EQ(s.checkpoints_zero, 2);
  EXPECT_EQ(s.checkpoints_one, 3u);
  EXPECT_EQ(s.global_dev_zero, 13);
  EXPECT_EQ(s.global_dev_one, 16777220.0f);
  const std::vector<std::string> lines = lines_of(log_bytes());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_NE(lines[0].find("checkpoint 15min 0 = 1 :  90000"), std::string::npos);
  // The white 15-minute dot on row 115 (device y 145) at device x 31; the
  // 5-minute dot toward one sits far above it (row 115 - 2000*100/30000 = 108).
  EXPECT_EQ(pixel(29, 145), 0xFFFF);
  EXPECT_EQ(pixel(31, 143), 0xFFFF);
  EXPECT_EQ(pixel(31, 138), rgb_to_screen(0xDD4444));
  EXPECT_EQ(s.dot_y, 108);
}

TEST_F(CheckpointTest, SingleAddsToTheFloatSumRoundToSinglePrecision) {
  start(1.0);
  ExperimentState& s = experiment_state();
  s.seconds_counter = 900;
  s.zeros_15min = 89000;
  s.ones_15min = 91000;
  s.lean_one_15min = 1;
  s.dev_one_15min = 1;
  s.global_dev_one = 16777216.0f;
  run_checkpoints();
  EXPECT_EQ(s.global_dev_one, 16777216.0f);
  EXPECT_EQ(s.checkpoints_one, 1u);
}

}  // namespace
