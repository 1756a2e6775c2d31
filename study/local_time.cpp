// Local times: the runtime clock's calendar, read and written as "YYYY-MM-DD HH:MM:SS".
#include "study/local_time.h"

#include "runtime/clock.h"

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
  if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, month) || hour > 23 ||
      minute > 59 || second > 59)
    return false;
  seconds = seconds_from_civil(civil_time(year, month, day, hour, minute, second));
  return true;
}

std::string format_local_time(int64_t seconds) { return calendar_text(civil_from_seconds(seconds)); }
