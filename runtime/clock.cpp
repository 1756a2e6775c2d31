// Clock: the timer, local date and time texts, sleeping, and the clock seam.
//
// The system clock reads platform.h; a VirtualClock moves only when the
// program sleeps or waits, and derives its wall clock from its timer: a
// moment in UTC seconds, shown through the platform's local-time conversion
// like the system clock's. The calendar arithmetic is proleptic Gregorian.
#include "runtime/clock.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "runtime/platform.h"

namespace {


// Return a floor division (the quotient rounded toward minus infinity).
int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0); }

// The program's clock when nobody installed another.
class SystemClock : public ClockSource {
 public:
  double timer() override { return platform_timer_seconds(); }
  std::tm local_time() override { return local_from_utc(utc_seconds()); }
  void sleep(int32_t ms) override { platform_sleep_ms(ms); }
  void wait_until(double deadline, WakeSignal& signal, uint64_t seen) override {
    for (;;) {
      double left = deadline - timer();
      if (!(left > 0.0) || signal.wait_for(seen, left)) return;
    }
  }
};

SystemClock system_clock;
ClockSource* current_clock = &system_clock;  // never null
void (*sleep_form)(int32_t) = nullptr;       // the graphics screen's sleep, or none
int32_t last_offset_minutes = 0;             // the offset of the last moment converted
constexpr int64_t ZONE_PROBE_STEP = 3 * 3600;  // hours between the offsets looked at around a time
constexpr int ZONE_PROBES = 12;                // on each side: 36 hours cover every zone's offset

// Write the `width` last decimal digits of a value from 0 up, zeros in front.
void put_digits(char* out, int value, int width) {
  for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
}

// Render three fields of a date or time as printf's "%02d<separator>%02d<separator>%0<last_width>d"
// does (last_width 2 or 4); the digits are put by hand when every field fits its width.
Text three_fields(int a, int b, int c, char separator, int last_width) {
  const int last_limit = last_width == 4 ? 10000 : 100;
  if (a < 0 || a > 99 || b < 0 || b > 99 || c < 0 || c >= last_limit) {
    char format[] = "%02d-%02d-%04d";
    format[4] = format[9] = separator;
    format[12] = static_cast<char>('0' + last_width);
    char buffer[64];
    int n = std::snprintf(buffer, sizeof buffer, format, a, b, c);
    if (n < 0) return Text();
    return Text(buffer, static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1);
  }
  char text[10];
  put_digits(text, a, 2);
  text[2] = separator;
  put_digits(text + 3, b, 2);
  text[5] = separator;
  put_digits(text + 6, c, last_width);
  return Text(text, static_cast<size_t>(6 + last_width));
}

}  // namespace

int64_t days_from_civil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

std::tm civil_from_seconds(int64_t seconds) {
  std::tm out{};
  const int64_t days = floor_div(seconds, SECONDS_PER_DAY);
  const int64_t in_day = seconds - days * SECONDS_PER_DAY;
  civil_from_days(days, out);
  out.tm_hour = static_cast<int>(in_day / 3600);
  out.tm_min = static_cast<int>(in_day / 60 % 60);
  out.tm_sec = static_cast<int>(in_day % 60);
  out.tm_wday = static_cast<int>(((days + 4) % 7 + 7) % 7);  // 1970-01-01 was a Thursday
  out.tm_yday = static_cast<int>(days - days_from_civil(out.tm_year + 1900, 1, 1));
  return out;
}

int64_t seconds_from_civil(const std::tm& time) {
  return days_from_civil(time.tm_year + int64_t{1900}, time.tm_mon + int64_t{1}, time.tm_mday) *
             SECONDS_PER_DAY +
         time.tm_hour * int64_t{3600} + time.tm_min * int64_t{60} + time.tm_sec;
}

Text calendar_text(const std::tm& time) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.tm_year + 1900,
                time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
  return text;
}

void civil_from_days(int64_t days, std::tm& out) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t mp = (5 * day_of_year + 2) / 153;
  const int64_t day = day_of_year - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  out.tm_year = static_cast<int>(year - 1900);
  out.tm_mon = static_cast<int>(month - 1);
  out.tm_mday = static_cast<int>(day);
}

uint64_t WakeSignal::generation() {
  std::lock_guard<std::mutex> lock(mutex_);
  return generation_;
}

void WakeSignal::raise() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
  }
  changed_.notify_all();
}

bool WakeSignal::wait_for(uint64_t seen, double seconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!(seconds > 0.0)) return generation_ != seen;
  if (seconds > 1e6) seconds = 1e6;
  auto span = std::chrono::duration<double>(seconds);
  return changed_.wait_for(lock, span, [&] { return generation_ != seen; });
}

VirtualClock::VirtualClock(double timer_start, int64_t utc_start)
    : start_(timer_start), now_(timer_start), utc_start_(utc_start) {}

VirtualClock::VirtualClock(double timer_start, const std::tm& wall_start)
    : start_(timer_start), now_(timer_start), utc_start_(0) {
  // Normalise out-of-range fields (a 13th month, a 61st second) by plain arithmetic.
  int64_t month = wall_start.tm_mon;
  int64_t year = wall_start.tm_year + 1900 + floor_div(month, 12);
  month -= floor_div(month, 12) * 12;
  const int64_t local = days_from_civil(year, month + 1, 1) * SECONDS_PER_DAY +
                        (wall_start.tm_mday - 1) * SECONDS_PER_DAY + wall_start.tm_hour * int64_t{3600} +
                        wall_start.tm_min * int64_t{60} + wall_start.tm_sec;
  const LocalMoments moments = utc_from_local(local);
  utc_start_ = moments.count > 0 ? moments.first : local - utc_offset_at(local - SECONDS_PER_DAY) * int64_t{60};
}

double VirtualClock::timer() { return now_; }

std::tm VirtualClock::local_time() {
  const int64_t utc = utc_seconds();
  if (utc != shown_utc_) {
    shown_local_ = local_from_utc(utc);
    shown_utc_ = utc;
  }
  return shown_local_;
}

int64_t VirtualClock::utc_seconds() { return utc_start_ + static_cast<int64_t>(std::floor(now_ - start_)); }

void VirtualClock::sleep(int32_t ms) { advance(ms > 0 ? ms / 1000.0 : 0.0); }

void VirtualClock::wait_until(double deadline, WakeSignal& signal, uint64_t seen) {
  if (signal.generation() != seen || !(deadline > now_)) return;
  advance(deadline - now_);
}

void VirtualClock::advance(double seconds) {
  if (seconds > 0.0) now_ += seconds;
  if (hook_) hook_(now_);
}

void VirtualClock::on_advance(std::function<void(double now)> hook) { hook_ = std::move(hook); }

std::tm civil_time(int year, int month, int day, int hour, int minute, int second) {
  std::tm out{};
  out.tm_year = year - 1900;
  out.tm_mon = month - 1;
  out.tm_mday = day;
  out.tm_hour = hour;
  out.tm_min = minute;
  out.tm_sec = second;
  out.tm_isdst = -1;
  return out;
}

int days_in_month(int year, int month) {
  const int next_year = month == 12 ? year + 1 : year;
  return static_cast<int>(days_from_civil(next_year, month % 12 + 1, 1) - days_from_civil(year, month, 1));
}

int64_t ClockSource::utc_seconds() { return static_cast<int64_t>(std::time(nullptr)); }

bool use_time_zone(const std::string& name) { return platform_use_time_zone(name); }

std::tm local_from_utc(int64_t utc) {
  std::tm local{};
  if (platform_local_from_utc(utc, local)) {
    last_offset_minutes = static_cast<int32_t>(floor_div(seconds_from_civil(local) - utc, 60));
    return local;
  }
  // Beyond what the system converts (Windows stops at year 3000): the last offset known.
  local = civil_from_seconds(utc + last_offset_minutes * int64_t{60});
  local.tm_isdst = -1;
  return local;
}

int32_t utc_offset_at(int64_t utc) {
  return static_cast<int32_t>(floor_div(seconds_from_civil(local_from_utc(utc)) - utc, 60));
}

LocalMoments utc_from_local(int64_t local) {
  // Every offset in force within a day and a half of the time, tried one by one: a moment
  // stands for the local time when the offset in force at that moment is the one tried.
  int32_t tried[2 * ZONE_PROBES + 1];
  int64_t found[2 * ZONE_PROBES + 1];
  int tried_count = 0, found_count = 0;
  for (int k = -ZONE_PROBES; k <= ZONE_PROBES; ++k) {
    const int32_t offset = utc_offset_at(local + k * ZONE_PROBE_STEP);
    if (std::find(tried, tried + tried_count, offset) != tried + tried_count) continue;
    tried[tried_count++] = offset;
    const int64_t moment = local - offset * int64_t{60};
    if (utc_offset_at(moment) == offset) found[found_count++] = moment;
  }
  std::sort(found, found + found_count);
  LocalMoments moments;
  moments.count = std::min(found_count, 2);
  if (found_count > 0) moments.first = found[0];
  if (found_count > 1) moments.second = found[1];
  return moments;
}

int32_t utc_offset_now() { return utc_offset_at(current_clock->utc_seconds()); }

void use_clock(ClockSource* clock) { current_clock = clock != nullptr ? clock : &system_clock; }

ClockSource& active_clock() { return *current_clock; }

double timer_seconds() { return current_clock->timer(); }

Text date_text() {
  std::tm now = current_clock->local_time();
  return three_fields(now.tm_mon + 1, now.tm_mday, now.tm_year + 1900, '-', 4);
}

Text time_text() {
  std::tm now = current_clock->local_time();
  return three_fields(now.tm_hour, now.tm_min, now.tm_sec, ':', 2);
}

void sleep_ms(int32_t ms) {
  if (sleep_form != nullptr) {
    sleep_form(ms);
  } else {
    current_clock->sleep(ms);
  }
}

void set_sleep_form(void (*form)(int32_t ms)) { sleep_form = form; }
