// The start-up and the seconds of the experiment loop, run on the "Null"
// back-end with a virtual clock.
#include <algorithm>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "experiment/loop.h"
#include "experiment/state.h"
#include "gfx/driver.h"
#include "gfx/keys.h"
#include "gfx/screen.h"
#include "gfx/text.h"
#include "runtime/program.h"
#include "tests/experiment/support.h"

namespace {

const Text RULE(99, '-');
const ScreenPixel RASTER_GREEN = rgb_to_screen(0x00CC00);

using LoopTest = ExperimentTest;

TEST_F(LoopTest, StartUpSetsTitleTextWindowStateAndAnEmptyLog) {
  start(1.0);
  EXPECT_STREQ(window_title(), WINDOW_TITLE);
  EXPECT_LE(std::strlen(WINDOW_TITLE), 127u);
  EXPECT_EQ(std::string(WINDOW_TITLE).rfind("DIDAVIR - Generador aleatorio 0/1 x 200 bits/sg. "
                                            "InvestigaciOn independiente ", 0),
            0u);
  int32_t top = 0, bottom = 0, column = 0, row = 0;
  text_window(&top, &bottom);
  text_cursor(&column, &row);
  EXPECT_EQ(top, 17);
  EXPECT_EQ(bottom, 33);
  EXPECT_EQ(row, 17);
  EXPECT_EQ(column, 1);
  const ExperimentState& s = experiment_state();
  EXPECT_EQ(s.start_date, "01-01-2026");
  EXPECT_EQ(s.start_time, "00:00:00");
  EXPECT_EQ(s.seconds_counter, 1);
  EXPECT_EQ(s.dot_x, 5);
  EXPECT_EQ(s.log_number, 1);
  EXPECT_EQ(s.global_dev_one, 0.0f);
  ASSERT_TRUE(std::filesystem::exists(directory / "estudio_01-01-2026"));
  EXPECT_EQ(log_bytes(), "");
}

TEST_F(LoopTest, StartUpAfterAnEarlierRunResetsEveryCounter) {
  ExperimentState& s = experiment_state();
  s.seconds_counter = 500;
  s.cycles = 3;
  s.global_dev_one = 7.5f;
  s.checkpoints_one = 9;
  s.dot_x = 300;
  start(1.0);
  EXPECT_EQ(s.seconds_counter, 1);
  EXPECT_EQ(s.cycles, 0);
  EXPECT_EQ(s.global_dev_one, 0.0f);
  EXPECT_EQ(s.checkpoints_one, 0u);
  EXPECT_EQ(s.dot_x, 5);
}

TEST_F(LoopTest, FirstSecondWithMoreZerosReportsAtTheOriginWithoutCheckpoint) {
  const int32_t seed = find_seed([](int32_t zeros, int32_t) { return zeros == 104; });
  start(seed);
  ASSERT_TRUE(run_seconds(1));
  // Four rows of bits, each a blank and the digit, in the digit's colour.
  int32_t zeros = 0;
  for (int32_t row = 17; row <= 20; ++row) {
    const Text bits = text_at(row, 1, 100);
    for (int32_t c = 0; c < 100; c += 2) {
      ASSERT_EQ(bits[c], ' ');
      ASSERT_TRUE(bits[c + 1] == '0' || bits[c + 1] == '1');
      const RgbColour colour = bits[c + 1] == '0' ? 0x337733 : 0x55DD55;
      EXPECT_EQ(ink(row, c + 2), rgb_to_screen(colour));
      zeros += bits[c + 1] == '0' ? 1 : 0;
    }
  }
  EXPECT_EQ(zeros, 104);
  EXPECT_EQ(text_in(21, 1, 47, 0xFFFFFF), " 1> hora = 00:00:00         fecha = 01-01-2026 ");
  EXPECT_EQ(text_in(22, 1, 24, 0xFFFFFF), " CEROS = 104  UNOS = 96 ");
  EXPECT_EQ(text_in(23, 1, 34, 0xFFFFFF), " > Desviacion hacia el CERO = 4 % ");
  EXPECT_EQ(text_in(24, 1, 100, 0xFFFFFF), RULE + " ");
  EXPECT_EQ(pixel(1, 30), rgb_to_screen(0x4444FF));

  const ExperimentState& s = experiment_state();
  EXPECT_EQ(s.dev_zero_5min, 4);
  EXPECT_EQ(s.dev_zero_15min, 4);
  EXPECT_EQ(s.lean_zero_5min, 1);
  EXPECT_EQ(s.lean_zero_15min, 1);
  EXPECT_EQ(s.dev_one_5min + s.dev_one_15min + s.lean_one_5min + s.lean_one_15min, 0);
  EXPECT_EQ(s.zeros_5min, 104);
  EXPECT_EQ(s.ones_15min, 96);
  EXPECT_EQ(s.zeros_second + s.ones_second, 0);
  EXPECT_EQ(s.seconds_counter, 2);
  EXPECT_EQ(s.minute, 0);
  EXPECT_EQ(s.second, 1);
  EXPECT_EQ(s.dot_x, 5);
  EXPECT_EQ(log_bytes(), "");
  // The second ends exactly 1.0 after it began.
  EXPECT_EQ(clock->timer(), seed + 1.0);
}

TEST_F(LoopTest, SecondWithMoreOnesAddsItsDeviationTowardOne) {
  const int32_t seed = find_seed([](int32_t, int32_t ones) { return ones == 107; });
  start(seed);
  ASSERT_TRUE(run_seconds(1));
  EXPECT_EQ(text_in(22, 1, 24, 0xFFFFFF), " CEROS = 93   UNOS = 107");
  EXPECT_EQ(text_in(23, 1, 33, 0xFFFFFF), " > Desviacion hacia el UNO = 7 % ");
  EXPECT_EQ(pixel(1, 30), rgb_to_screen(0xFF4444));
  const ExperimentState& s = experiment_state();
  EXPECT_EQ(s.dev_one_5min, 7);
  EXPECT_EQ(s.dev_one_15min, 7);
  EXPECT_EQ(s.lean_one_5min, 1);
  EXPECT_EQ(s.lean_one_15min, 1);
  EXPECT_EQ(s.dev_zero_5min + s.lean_zero_15min, 0);
}

TEST_F(LoopTest, BalancedSecondShowsOrangeVerdictAndWhitePixelAndMovesNoSum) {
  const int32_t seed = find_seed([](int32_t zeros, int32_t) { return zeros == 100; });
  start(seed);
  ASSERT_TRUE(run_seconds(1));
  EXPECT_EQ(text_in(22, 1, 24, 0xFFFFFF), " CEROS = 100  UNOS = 100");
  EXPECT_EQ(text_in(23, 1, 16, 0xFF7733), " > CEROS = UNOS ");
  EXPECT_EQ(text_in(24, 1, 99, 0xFFFFFF), RULE);
  EXPECT_EQ(pixel(1, 30), 0xFFFF);
  const ExperimentState& s = experiment_state();
  EXPECT_EQ(s.dev_zero_5min + s.dev_one_5min + s.dev_zero_15min + s.dev_one_15min, 0);
  EXPECT_EQ(s.lean_zero_5min + s.lean_one_5min + s.lean_zero_15min + s.lean_one_15min, 0);
  EXPECT_EQ(s.zeros_15min, 100);
}

TEST_F(LoopTest, SecondsRunDownTheMinuteAndIntoTheNext) {
  start(1.0);
  ExperimentState& s = experiment_state();
  ASSERT_TRUE(run_seconds(3));
  for (int32_t y = 30; y < 33; ++y) EXPECT_NE(pixel(1, y), RASTER_GREEN) << y;
  EXPECT_EQ(pixel(1, 33), rgb_to_screen(0x00AA00));  // minute 0 lies on a half-hour mark
  EXPECT_EQ(clock->timer(), 4.0);
  s.second = 59;
  ASSERT_TRUE(run_seconds(1));
  EXPECT_NE(pixel(1, 89), RASTER_GREEN);
  EXPECT_EQ(s.minute, 1);
  EXPECT_EQ(s.second, 0);
  ASSERT_TRUE(run_seconds(1));
  EXPECT_NE(pixel(2, 30), RASTER_GREEN);
  EXPECT_EQ(s.second, 1);
}

TEST_F(LoopTest, SecondAfter719And59IsPlottedAtMinute720) {
  start(1.0);
  ExperimentState& s = experiment_state();
  s.minute = 719;
  s.second = 59;
  s.seconds_counter = 43200 - 1;
  ASSERT_TRUE(run_seconds(1));
  EXPECT_NE(pixel(720, 89), RASTER_GREEN);
  EXPECT_EQ(s.minute, 720);
  EXPECT_EQ(s.second, 0);
  EXPECT_EQ(s.cycles, 0);
}

TEST_F(LoopTest, CycleEndsAfterTheSecondAt720AndTheNextStartsAtTheOrigin) {
  start(1.0);
  ExperimentState& s = experiment_state();
  s.minute = 720;
  s.second = 0;
  s.seconds_counter = 43201;
  s.dot_x = 725;
  s.dot_y = 120;
  s.global_dev_one = 13.0f;
  s.checkpoints_one = 2;
  s.global_dev_zero = 21;
  s.checkpoints_zero = 3;
  s.zeros_5min = 1234;
  s.lean_one_15min = 7;
  ASSERT_TRUE(run_seconds(1));
  EXPECT_EQ(s.cycles, 1);
  EXPECT_EQ(s.minute, 0);
  EXPECT_EQ(s.second, 0);
  EXPECT_EQ(s.dot_x, 5);
  EXPECT_EQ(s.dot_y, 0);
  EXPECT_EQ(s.seconds_counter, 43202);
  // The windows carry on across the cycle end.
  EXPECT_GE(s.zeros_5min, 1234);
  EXPECT_GE(s.lean_one_15min, 7);
  // The background was drawn again: the pixel of (720, 0) is gone.
  EXPECT_EQ(pixel(721, 30), RASTER_GREEN);
  // The side panel: the new count and the global averages.
  EXPECT_EQ(text_in(5, 92, 3, 0xFFFFFF), " 1 ");
  EXPECT_EQ(text_in(9, 92, 6, 0xFFFFFF), " 6.50 ");
  EXPECT_EQ(text_in(13, 92, 6, 0xFFFFFF), " 7.00 ");
  EXPECT_EQ(text_in(7, 92, 8, 0x00FF00), "DES.GLOB");
  // The rule of the last second is green on row 17; output goes on from row 18.
  EXPECT_EQ(text_in(17, 1, 99, 0x00FF00), RULE);
  int32_t column = 0, row = 0;
  text_cursor(&column, &row);
  EXPECT_EQ(row, 18);
  EXPECT_EQ(column, 1);
  EXPECT_EQ(log_bytes(), "01-01-2026ciclos de 12 horas completados:  1\r\n");

  ASSERT_TRUE(run_seconds(1));
  EXPECT_NE(pixel(1, 30), RASTER_GREEN);
  EXPECT_EQ(text_in(22, 1, 13, 0xFFFFFF), " 43202> hora ");
  EXPECT_EQ(s.second, 1);
}

TEST_F(LoopTest, SpaceWhileTheBitsAreDrawnAbandonsTheSecond) {
  start(1.0);
  const ExperimentState& s = experiment_state();
  on_clock([&] {
    if (s.bit_index == 50) press(' ');
  });
  EXPECT_EQ(exit_code_of(experiment_second), 0);
  EXPECT_EQ(s.bit_index, 51);
  EXPECT_EQ(s.zeros_second + s.ones_second, 50);
  EXPECT_EQ(s.seconds_counter, 1);
  // The 50 bits stay on row 17; no report follows and no pixel is plotted.
  const Text bits = text_at(17, 1, 100);
  for (int32_t c = 0; c < 100; c += 2) {
    EXPECT_EQ(bits[c], ' ');
    EXPECT_TRUE(bits[c + 1] == '0' || bits[c + 1] == '1');
  }
  EXPECT_EQ(text_at(18, 1, 100), Text(100, ' '));
  EXPECT_EQ(pixel(1, 30), RASTER_GREEN);
  EXPECT_EQ(current_screen(), nullptr);
  EXPECT_EQ(log_bytes(), "");
}

TEST_F(LoopTest, SpaceDuringTheWaitEndsTheProgramAfterACompleteSecond) {
  start(1.0);
  const ExperimentState& s = experiment_state();
  on_clock([&] {
    if (s.bit_index == 200) press(' ');
  });
  EXPECT_FALSE(run_seconds(2));
  EXPECT_EQ(s.seconds_counter, 2);
  EXPECT_NE(pixel(1, 30), RASTER_GREEN);
  EXPECT_EQ(text_in(24, 1, 99, 0xFFFFFF), RULE);
  EXPECT_LT(clock->timer(), 2.0);
}

TEST_F(LoopTest, SpaceEndsWithItsReason) {
  start(1.0);
  press(' ');
  EXPECT_EQ(exit_code_of(experiment_second), 0);
  EXPECT_EQ(end_reason(), EndReason::space);
}

TEST_F(LoopTest, StopRequestWhileTheBitsAreDrawnEndsWithZeroAndClosesTheLog) {
  start(1.0);
  const ExperimentState& s = experiment_state();
  on_clock([&] {
    if (s.seconds_counter == 300 && s.bit_index == 100) request_stop();
  });
  EXPECT_FALSE(run_seconds(400));
  EXPECT_EQ(s.seconds_counter, 300);
  EXPECT_EQ(s.bit_index, 101);
  EXPECT_EQ(end_reason(), EndReason::stop_request);
  EXPECT_EQ(current_screen(), nullptr);
  // The run ended after second 299, so the log is whole and empty.
  EXPECT_EQ(log_bytes(), "");
}

TEST_F(LoopTest, StopRequestDuringTheWaitEndsBeforeTheNextSecond) {
  start(1.0);
  const ExperimentState& s = experiment_state();
  on_clock([&] {
    if (s.bit_index == 200) request_stop();
  });
  int32_t code = -1;
  try {
    run_second();
    code = exit_code_of(wait_next_second);
  } catch (const ProgramEnded& ended) {
    code = ended.code;
  }
  EXPECT_EQ(code, 0);
  EXPECT_EQ(s.seconds_counter, 2);
  EXPECT_EQ(end_reason(), EndReason::stop_request);
  EXPECT_LT(clock->timer(), 2.0);
}

TEST_F(LoopTest, NoFloodOfKeysPushesAStopRequestOut) {
  start(1.0);
  const ExperimentState& s = experiment_state();
  on_clock([&] {
    // Keys arrive faster than the loop reads them: the queue is always full.
    for (int32_t i = 0; i < 3 * KEY_QUEUE_SLOTS; ++i) press('a');
    if (s.bit_index == 150) request_stop();
  });
  EXPECT_EQ(exit_code_of(experiment_second), 0);
  EXPECT_EQ(s.bit_index, 151);
  EXPECT_EQ(end_reason(), EndReason::stop_request);
}

TEST_F(LoopTest, StopRequestMadeDuringTheStartUpEndsAtTheFirstBit) {
  start(1.0);
  request_stop();
  EXPECT_EQ(exit_code_of(experiment_second), 0);
  EXPECT_EQ(experiment_state().bit_index, 1);
}

TEST_F(LoopTest, LostDisplayEndsWithOneAndOneLineOnStandardError) {
  start(1.0);
  const ExperimentState& s = experiment_state();
  on_clock([&] {
    if (s.seconds_counter == 301 && s.bit_index == 50) request_end(EndReason::display_lost);
  });
  testing::internal::CaptureStderr();
  const bool ran = run_seconds(400);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(ran);
  EXPECT_EQ(s.seconds_counter, 301);
  EXPECT_EQ(end_reason(), EndReason::display_lost);
  EXPECT_EQ(current_screen(), nullptr);
  EXPECT_NE(err.find("pantalla"), std::string::npos);
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
  // The record of second 300 reached the file when the program ended.
  EXPECT_NE(log_bytes().find("checkpoint 5"), std::string::npos);
}

TEST_F(LoopTest, LostDisplayGivesExitCodeOne) {
  start(1.0);
  request_end(EndReason::display_lost);
  testing::internal::CaptureStderr();
  EXPECT_EQ(exit_code_of(experiment_second), 1);
  testing::internal::GetCapturedStderr();
}

TEST_F(LoopTest, OtherKeysAndTheCloseRequestAreConsumedAndIgnored) {
  start(1.0);
  const ExperimentState& s = experiment_state();
  press('a');
  press(KEY_CLOSE_REQUEST);
  bool pressed_in_wait = false;
  on_clock([&] {
    if (s.bit_index == 200 && !pressed_in_wait) {
      pressed_in_wait = true;
      press('x');
      press(KEY_CLOSE_REQUEST);
      press(0x48FF);  // arrow up
    }
  });
  ASSERT_TRUE(run_seconds(3));
  EXPECT_TRUE(pressed_in_wait);
  EXPECT_EQ(s.seconds_counter, 4);
  EXPECT_EQ(read_key(), "");
  EXPECT_EQ(clock->timer(), 4.0);
}

TEST_F(LoopTest, RunEndedBeforeSecond300LeavesAnEmptyLog) {
  start(1.0);
  const ExperimentState& s = experiment_state();
  on_clock([&] {
    if (s.seconds_counter == 299 && s.bit_index == 200) press(' ');
  });
  EXPECT_FALSE(run_seconds(400));
  EXPECT_EQ(s.seconds_counter, 300);
  ASSERT_TRUE(std::filesystem::exists(directory / "estudio_01-01-2026"));
  EXPECT_EQ(std::filesystem::file_size(directory / "estudio_01-01-2026"), 0u);
}

TEST_F(LoopTest, ATimerPastTheIntegerRangeGivesTheMostNegativeSecondStart) {
  start(2147483640.0);
  const ExperimentState& s = experiment_state();
  EXPECT_TRUE(run_seconds(5));
  EXPECT_EQ(s.second_start, 2147483644);
  EXPECT_TRUE(run_seconds(10));  // the timer is now past 2147483647.5
  EXPECT_EQ(s.second_start, INT32_MIN);
  EXPECT_EQ(s.seconds_counter, 16);
}

TEST_F(LoopTest, WithoutAScreenTheProgramSaysSoAndEndsWithZero) {
  const ScreenDriver* const none[] = {nullptr};
  set_screen_drivers(none);
  use_virtual_clock(1.0);
  testing::internal::CaptureStdout();
  const int32_t code = exit_code_of([] { experiment_start(SCREEN_FULLSCREEN); });
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(code, 0);
  EXPECT_EQ(out, "Error setting video mode!\r\n");
  EXPECT_TRUE(std::filesystem::is_empty(directory));
}

}  // namespace
