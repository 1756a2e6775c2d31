// Clock: the timer, local date and time texts, sleeping, the clock seam, the
// calendar and time zones.
//
// Everything that reads time or waits goes through one ClockSource. The
// system clock is the default; tests and the simulator install a
// VirtualClock, on which sleeping and waiting advance time at once, so the
// very same program code runs hours of experiment in seconds. Both count
// moments in seconds since 1970 (UTC) and show them as local time through the
// same conversion: the rules of the zone in use, daylight saving included.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>

#include "runtime/text.h"

// Seconds in a calendar day.
constexpr int64_t SECONDS_PER_DAY = 86400;

// A wake-up call between threads: a generation counter and a condition variable.
// The waiter notes the generation, checks its condition, then waits for a newer one.
class WakeSignal {
 public:
  // Return the number of raises so far.
  uint64_t generation();
  // Count one more raise and wake every waiter.
  void raise();
  // Block until the generation differs from `seen` or `seconds` of real time pass.
  // Returns true when woken by a raise.
  bool wait_for(uint64_t seen, double seconds);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t generation_ = 0;
};

// The seam to time: the monotonic timer, the wall clock and sleeping.
class ClockSource {
 public:
  virtual ~ClockSource() = default;
  // Seconds since the clock's own fixed origin, monotonic, high resolution.
  virtual double timer() = 0;
  // The local calendar date and time now.
  virtual std::tm local_time() = 0;
  // Seconds since 1970-01-01 00:00:00 UTC now (the moment local_time shows); default: the system's.
  virtual int64_t utc_seconds();
  // Pause the calling thread for `ms` milliseconds.
  virtual void sleep(int32_t ms) = 0;
  // Block until timer() >= deadline, or until `signal` moves past generation `seen`.
  virtual void wait_until(double deadline, WakeSignal& signal, uint64_t seen) = 0;
};

// A clock on which time moves only when the program sleeps or waits.
class VirtualClock : public ClockSource {
 public:
  // Start the timer at `timer_start` and the wall clock at the moment `utc_start` (UTC seconds).
  VirtualClock(double timer_start, int64_t utc_start);
  // Start the wall clock at a local time (fields may overflow: a 13th month is next January);
  // a repeated local time is its first moment, a skipped one counts from the offset before it.
  VirtualClock(double timer_start, const std::tm& wall_start);

  // Return the virtual timer.
  double timer() override;
  // Return the wall clock in local time: the start plus the whole seconds the timer has moved.
  std::tm local_time() override;
  // Return the wall clock's moment: the start plus the whole seconds the timer has moved.
  int64_t utc_seconds() override;
  // Move the clock forward by `ms` milliseconds at once.
  void sleep(int32_t ms) override;
  // Jump to the deadline unless the signal has already moved past `seen`.
  void wait_until(double deadline, WakeSignal& signal, uint64_t seen) override;

  // Move the timer forward by `seconds` (the wall clock follows, second for second).
  void advance(double seconds);
  // Call `hook` with the new timer value every time the clock moves.
  void on_advance(std::function<void(double now)> hook);

 private:
  double start_;
  double now_;
  int64_t utc_start_;           // the wall clock's start, UTC seconds
  int64_t shown_utc_ = -1;      // the moment last converted to local time (-1: none)
  std::tm shown_local_{};       // and its local time
  std::function<void(double)> hook_;
};

// The moments (UTC seconds) a local calendar time stands for in the zone in use.
struct LocalMoments {
  int count = 0;       // 0: the time was skipped (clocks went forward); 1; 2: it came twice
  int64_t first = 0;   // the earlier moment
  int64_t second = 0;  // the later moment, when count is 2
};

// Make `name` (an IANA name such as "Europe/Madrid"; "" the process's own zone) the zone of every
// local time; false, and the zone unchanged, when this machine does not know it.
bool use_time_zone(const std::string& name);

// Return the local calendar time of a moment (UTC seconds) in the zone in use.
std::tm local_from_utc(int64_t utc);

// Return the minutes the zone in use is ahead of UTC at a moment (negative west of Greenwich).
int32_t utc_offset_at(int64_t utc);

// Return the moments a local calendar time (calendar seconds, no zone applied) stands for.
LocalMoments utc_from_local(int64_t local);

// Return the minutes local time is ahead of UTC now, on the program's clock.
int32_t utc_offset_now();

// Return a local calendar time from its fields (month 1 to 12); daylight saving unknown.
std::tm civil_time(int year, int month, int day, int hour, int minute, int second);

// Fill year, month and day of `out` from days since 1970-01-01.
void civil_from_days(int64_t days, std::tm& out);

// Return the days from 1970-01-01 to a civil date (month 1 to 12; proleptic Gregorian).
int64_t days_from_civil(int64_t year, int64_t month, int64_t day);

// Return the calendar time of seconds since 1970-01-01 00:00:00 (no time zone applied).
std::tm civil_from_seconds(int64_t seconds);

// Return the seconds from 1970-01-01 00:00:00 to a calendar time's fields (no time zone applied).
int64_t seconds_from_civil(const std::tm& time);

// Return a calendar time as "YYYY-MM-DD HH:MM:SS".
Text calendar_text(const std::tm& time);

// Return the number of days of a month (1 to 12) of a year (proleptic Gregorian).
int days_in_month(int year, int month);

// Make `clock` the program's clock (nullptr: the system clock). The caller keeps ownership.
void use_clock(ClockSource* clock);

// Return the program's clock.
ClockSource& active_clock();

// Return seconds since the timer's fixed origin.
double timer_seconds();

// Return the local date as "mm-dd-yyyy".
Text date_text();

// Return the local time as "hh:mm:ss".
Text time_text();

// Sleep `ms` milliseconds (through the graphics form while a screen is open).
void sleep_ms(int32_t ms);

// Replace the form of sleep_ms (the graphics screen installs its own; nullptr: plain sleep).
void set_sleep_form(void (*form)(int32_t ms));
