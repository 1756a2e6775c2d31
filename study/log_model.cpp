// The log model: the checkpoint arithmetic and the records' lines.
#include "study/log_model.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "runtime/print.h"
#include "study/data_folder.h"
#include "study/replay.h"

namespace {

constexpr int32_t EXPECTED_PER_SECOND = BITS_PER_SECOND / 2;
constexpr int32_t ZONE = PRINT_ZONE_WIDTH;
const NumberField AVERAGE_FIELD = [] {  // the "##.##" of every average
  NumberField field;
  field.integer_digits = 2;
  field.decimal_digits = 2;
  return field;
}();

// Round half to even, as every conversion of the experiment does.
int32_t round_even(double value) { return static_cast<int32_t>(std::nearbyint(value)); }

// A window's average deviation: sum / count rounded half to even; 0 for an empty direction.
int32_t window_average(int32_t sum, int32_t count) {
  return count == 0 ? 0 : round_even(static_cast<double>(sum) / count);
}

// A global average; 0 / 0 is the positive quiet NaN on every platform.
double global_average(double sum, double count) {
  const double quotient = sum / count;
  return std::isnan(quotient) ? std::numeric_limits<double>::quiet_NaN() : quotient;
}

// An integer as the log writes it: a blank or '-', then the digits.
std::string integer_text(int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "% d", value);
  return text;
}

// A title line: stamp, title, first count, blanks to the next print zone, second count.
std::string title_line(const char* mark, const std::string& date, const std::string& time,
                       const char* title, int32_t first, int32_t second) {
  std::string line = std::string(mark) + date + " - " + time + title + integer_text(first);
  const int32_t column = static_cast<int32_t>(line.size());
  const int32_t next = ZONE * ((column + ZONE) / ZONE) + 1;
  line.append(static_cast<size_t>(next - column - 1), ' ');
  return line + integer_text(second);
}

// A formatted line: the literal, the value through "##.##", the literal after it.
std::string average_line(const char* literal, double value, const char* tail) {
  return literal + render_number_field(value, AVERAGE_FIELD) + tail;
}

}  // namespace

void LogModel::add_to(Window& window, int32_t zeros, int32_t ones) {
  window.zeros += zeros;
  window.ones += ones;
  if (zeros > ones) {
    window.dev_zero += EXPECTED_PER_SECOND - ones;
    ++window.lean_zero;
  } else if (ones > zeros) {
    window.dev_one += EXPECTED_PER_SECOND - zeros;
    ++window.lean_one;
  }
}

ExpectedRecord LogModel::close_15min(int64_t second) {
  Window& w = window_15min_;
  const int32_t average_zero = window_average(w.dev_zero, w.lean_zero);
  const int32_t average_one = window_average(w.dev_one, w.lean_one);
  global_dev_zero_ += average_zero;
  global_dev_one_ += static_cast<float>(average_one);
  if (w.zeros > w.ones) ++checkpoints_zero_;
  if (w.ones > w.zeros) ++checkpoints_one_;
  ExpectedRecord record;
  record.kind = RecordKind::window_15min;
  record.second = second;
  record.zeros = w.zeros;
  record.ones = w.ones;
  record.average = w.zeros > w.ones ? average_zero : average_one;
  record.global_one = global_average(static_cast<double>(global_dev_one_),
                                     static_cast<double>(checkpoints_one_));
  record.global_zero = global_average(static_cast<double>(global_dev_zero_),
                                      static_cast<double>(checkpoints_zero_));
  w = Window{};
  return record;
}

ExpectedRecord LogModel::close_5min(int64_t second) {
  Window& w = window_5min_;
  ExpectedRecord record;
  record.kind = RecordKind::window_5min;
  record.second = second;
  record.zeros = w.zeros;
  record.ones = w.ones;
  record.average = w.zeros > w.ones ? window_average(w.dev_zero, w.lean_zero)
                                    : window_average(w.dev_one, w.lean_one);
  w = Window{};
  return record;
}

void LogModel::add_second(int64_t second, int32_t ones, std::vector<ExpectedRecord>& due) {
  const int32_t zeros = BITS_PER_SECOND - ones;
  add_to(window_5min_, zeros, ones);
  add_to(window_15min_, zeros, ones);
  if (second % WINDOW_15MIN == 0) due.push_back(close_15min(second));
  if (second % WINDOW_5MIN == 0) due.push_back(close_5min(second));
  if (second % CYCLE_SECONDS == 0) {
    ExpectedRecord record;
    record.kind = RecordKind::cycle;
    record.second = second;
    record.cycles = ++cycles_;
    due.push_back(record);
  }
}

std::vector<std::string> render_record(const ExpectedRecord& r, const std::string& date,
                                       const std::string& time) {
  const bool toward_zero = r.zeros > r.ones;
  const bool toward_one = r.ones > r.zeros;
  switch (r.kind) {
    case RecordKind::window_15min: {
      const char* tail = toward_zero ? " " : "";
      std::vector<std::string> lines;
      if (toward_zero) {
        lines = {title_line(MARK_15MIN, date, time, TITLE_15MIN_ZERO, r.zeros, r.ones),
                 average_line("     0 -> Desvio medio al CERO en \xFA" "ltimos 15 min en %: ",
                              r.average, " ")};
      } else if (toward_one) {
        lines = {title_line(MARK_15MIN, date, time, TITLE_15MIN_ONE, r.ones, r.zeros),
                 average_line("     1 -> Desvio medio al UNO en \xFA" "ltimos 15 min en %: ",
                              r.average, " ")};
      } else {
        lines = {title_line(MARK_15MIN, date, time, TITLE_15MIN_BALANCED, r.zeros, r.ones),
                 "     0 <=> 1 Equilibrio absoluto entre ceros y unos en \xFA" "ltimos 15 min"};
      }
      lines.push_back(average_line("     Desvio medio global hacia el UNO en %: ", r.global_one, tail));
      lines.push_back(average_line("     Desvio medio global hacia el CERO en %: ", r.global_zero, tail));
      return lines;
    }
    case RecordKind::window_5min:
      if (toward_zero) {
        return {title_line("", date, time, TITLE_5MIN_ZERO, r.zeros, r.ones),
                average_line("                  Desvio medio al CERO en \xFA" "ltimos 5 min en %: ",
                             r.average, " ")};
      }
      if (toward_one) {
        return {title_line("", date, time, TITLE_5MIN_ONE, r.ones, r.zeros),
                average_line("                  Desvio medio al UNO en \xFA" "ltimos 5 min en %: ",
                             r.average, " ")};
      }
      return {title_line("", date, time, TITLE_5MIN_BALANCED, r.zeros, r.ones),
              "                          0=1 Equilibrio absoluto entre CEROS y UNOS en \xFA"
              "ltimos 5 min"};
    case RecordKind::cycle:
      return {date + CYCLE_TEXT + integer_text(r.cycles)};
  }
  return {};
}

int64_t next_record_second(int64_t second) {
  const int64_t window = (second / WINDOW_5MIN + 1) * WINDOW_5MIN;
  const int64_t cycle = (second / CYCLE_SECONDS + 1) * CYCLE_SECONDS;
  return window < cycle ? window : cycle;
}
