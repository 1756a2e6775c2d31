// Local times: calendar arithmetic from std::chrono's civil calendar.
#include "study/local_time.h"

#include <chrono>
#include <cstdio>

namespace {

// Read exactly `width` decimal digits at `at`; false on anything else.
bool read_digits(std::string_view text, size_t at, size_t width, int& value) {
  if (at + width > text.size()) return false;
  value = 0;
  for (size_t i = at; i < at + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

bool parse_local_time(std::string_view text, int64_t& seconds) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':')
    return false;
  if (!read_digits(text, 0, 4, year) || !read_digits(text, 5, 2, month) || !read_digits(text, 8, 2, day) ||
      !read_digits(text, 11, 2, hour) || !read_digits(text, 14, 2, minute) || !read_digits(text, 17, 2, second))
    return false;
  const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                                         std::chrono::day{static_cast<unsigned>(day)}};
  if (!date.ok() || hour > 23 || minute > 59 || second > 59) return false;
  const int64_t days = std::chrono::sys_days{date}.time_since_epoch().count();
  seconds = days * 86400 + hour * 3600 + minute * 60 + second;
  return true;
}

std::string format_local_time(int64_t seconds) {
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{days}}};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), static_cast<int>(rest / 3600),
                static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
  return text;
}
