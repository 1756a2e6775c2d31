// The clock seam: the virtual clock's timer and calendar, waiting, sleeping and the texts.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "runtime/clock.h"

namespace {

class ClockTest : public ::testing::Test {
 protected:
  void TearDown() override {
    use_clock(nullptr);
    set_sleep_form(nullptr);
  }
};

TEST_F(ClockTest, DateAndTimeTexts) {
  VirtualClock clock(500.0, civil_time(2006, 5, 1, 9, 5, 7));
  use_clock(&clock);
  EXPECT_EQ(date_text(), "05-01-2006");
  EXPECT_EQ(time_text(), "09:05:07");
  std::tm now = clock.local_time();
  EXPECT_EQ(now.tm_wday, 1);   // a Monday
  EXPECT_EQ(now.tm_yday, 120);
}

TEST_F(ClockTest, WallClockFollowsWholeTimerSeconds) {
  VirtualClock clock(1000.25, civil_time(2006, 5, 1, 9, 5, 7));
  use_clock(&clock);
  clock.advance(0.999);
  EXPECT_EQ(time_text(), "09:05:07");
  clock.advance(0.001);
  EXPECT_EQ(time_text(), "09:05:08");
  clock.advance(3600 * 2 + 60 * 3);
  EXPECT_EQ(time_text(), "11:08:08");
  EXPECT_DOUBLE_EQ(timer_seconds(), 1000.25 + 1.0 + 7380);
}

TEST_F(ClockTest, WallClockCrossesDaysMonthsAndYears) {
  struct Case {
    std::tm start;
    double seconds;
    const char* date;
    const char* time;
  };
  const Case cases[] = {
      {civil_time(2006, 5, 1, 23, 59, 59), 1, "05-02-2006", "00:00:00"},
      {civil_time(2006, 1, 31, 23, 59, 30), 45, "02-01-2006", "00:00:15"},
      {civil_time(2024, 2, 28, 23, 0, 0), 3600, "02-29-2024", "00:00:00"},
      {civil_time(2023, 2, 28, 23, 0, 0), 3600, "03-01-2023", "00:00:00"},
      {civil_time(1900, 2, 28, 12, 0, 0), 86400, "03-01-1900", "12:00:00"},
      {civil_time(2000, 2, 28, 12, 0, 0), 86400, "02-29-2000", "12:00:00"},
      {civil_time(2006, 12, 31, 23, 59, 59), 1, "01-01-2007", "00:00:00"},
      {civil_time(2006, 12, 31, 12, 0, 0), 43201 + 86400 * 365.0, "01-01-2008", "00:00:01"},
      {civil_time(1969, 12, 31, 23, 59, 59), 2, "01-01-1970", "00:00:01"},
  };
  for (const Case& c : cases) {
    VirtualClock clock(0.0, c.start);
    use_clock(&clock);
    clock.advance(c.seconds);
    EXPECT_EQ(date_text(), c.date) << c.date;
    EXPECT_EQ(time_text(), c.time) << c.date;
  }
}

TEST_F(ClockTest, DateTextsOfYearsOutsideFourDigitsAreAsPrintfWritesThem) {
  struct Case {
    std::tm start;
    const char* date;
  };
  const Case cases[] = {
      {civil_time(999, 3, 4, 5, 6, 7), "03-04-0999"},
      {civil_time(9, 12, 31, 0, 0, 0), "12-31-0009"},
      {civil_time(10000, 1, 2, 0, 0, 0), "01-02-10000"},
      {civil_time(-1, 7, 8, 0, 0, 0), "07-08--001"},
  };
  for (const Case& c : cases) {
    VirtualClock clock(0.0, c.start);
    use_clock(&clock);
    EXPECT_EQ(date_text(), c.date) << c.date;
  }
}

TEST_F(ClockTest, OutOfRangeStartFieldsAreNormalised) {
  VirtualClock clock(0.0, civil_time(2006, 13, 32, 24, 0, 0));  // month 13 day 32 hour 24
  use_clock(&clock);
  EXPECT_EQ(date_text(), "02-02-2007");
  EXPECT_EQ(time_text(), "00:00:00");
}

TEST_F(ClockTest, MonthLengthsFollowTheGregorianLeapYears) {
  EXPECT_EQ(days_in_month(2024, 2), 29);
  EXPECT_EQ(days_in_month(2023, 2), 28);
  EXPECT_EQ(days_in_month(1900, 2), 28);
  EXPECT_EQ(days_in_month(2000, 2), 29);
  EXPECT_EQ(days_in_month(2026, 1), 31);
  EXPECT_EQ(days_in_month(2026, 4), 30);
  EXPECT_EQ(days_in_month(2026, 12), 31);
  EXPECT_EQ(days_in_month(9999, 12), 31);
}

TEST_F(ClockTest, SleepingAndWaitingMoveTheVirtualClockAtOnce) {
  VirtualClock clock(10.0, civil_time(2006, 5, 1, 0, 0, 0));
  std::vector<double> moves;
  clock.on_advance([&](double now) { moves.push_back(now); });
  use_clock(&clock);
  WakeSignal signal;
  sleep_ms(50);
  EXPECT_DOUBLE_EQ(timer_seconds(), 10.05);
  clock.wait_until(11.0, signal, signal.generation());
  EXPECT_EQ(timer_seconds(), 11.0);
  clock.wait_until(10.5, signal, signal.generation());  // already past: no move
  EXPECT_EQ(timer_seconds(), 11.0);
  uint64_t seen = signal.generation();
  signal.raise();
  clock.wait_until(12.0, signal, seen);  // woken already: no move
  EXPECT_EQ(timer_seconds(), 11.0);
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_DOUBLE_EQ(moves[0], 10.05);
  EXPECT_EQ(moves[1], 11.0);
}

TEST_F(ClockTest, HookCanRaiseTheSignalAtAVirtualTime) {
  VirtualClock clock(0.0, civil_time(2006, 5, 1, 0, 0, 0));
  WakeSignal keys;
  clock.on_advance([&](double now) {
    if (now >= 0.1) keys.raise();
  });
  use_clock(&clock);
  sleep_ms(50);
  EXPECT_EQ(keys.generation(), 0u);
  sleep_ms(50);
  EXPECT_EQ(keys.generation(), 1u);
}

int32_t form_calls = 0;
void counting_form(int32_t ms) { form_calls += ms; }

TEST_F(ClockTest, SleepGoesThroughTheInstalledForm) {
  VirtualClock clock(0.0, civil_time(2006, 5, 1, 0, 0, 0));
  use_clock(&clock);
  set_sleep_form(counting_form);
  sleep_ms(50);
  EXPECT_EQ(form_calls, 50);
  EXPECT_EQ(timer_seconds(), 0.0);
  set_sleep_form(nullptr);
  sleep_ms(50);
  EXPECT_DOUBLE_EQ(timer_seconds(), 0.05);
}

TEST_F(ClockTest, SystemClockIsMonotonicAndSleeps) {
  double start = timer_seconds();
  EXPECT_GT(start, 0.0);
  sleep_ms(20);
  double later = timer_seconds();
  EXPECT_GE(later - start, 0.015);
  std::tm now = active_clock().local_time();
  EXPECT_GE(now.tm_year, 120);
  EXPECT_EQ(date_text().size(), 10u);
  EXPECT_EQ(time_text().size(), 8u);
}

TEST_F(ClockTest, WakeSignalWakesAWaiterOnAnotherThread) {
  WakeSignal signal;
  uint64_t seen = signal.generation();
  EXPECT_FALSE(signal.wait_for(seen, 0.01));
  std::thread raiser([&] { signal.raise(); });
  EXPECT_TRUE(signal.wait_for(seen, 30.0));
  raiser.join();
  EXPECT_EQ(signal.generation(), seen + 1);
}

TEST_F(ClockTest, SystemClockWaitEndsAtTheDeadlineOrOnARaise) {
  WakeSignal signal;
  double start = timer_seconds();
  active_clock().wait_until(start + 0.02, signal, signal.generation());
  EXPECT_GE(timer_seconds(), start + 0.02);
  uint64_t seen = signal.generation();
  std::thread raiser([&] { signal.raise(); });
  active_clock().wait_until(timer_seconds() + 30.0, signal, seen);
  raiser.join();
  EXPECT_LT(timer_seconds(), start + 20.0);
}

}  // namespace
