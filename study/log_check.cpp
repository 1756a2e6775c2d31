// The check of a log against a replay, and the wall time of every second.
#include "study/log_check.h"

#include <cstdlib>

#include "runtime/clock.h"
#include "study/local_time.h"
#include "study/log_model.h"
#include "study/replay.h"

namespace {

constexpr int64_t MIDNIGHT_SLACK = 60;  // seconds after midnight a stamp's date may lag

// A record's stamp, mended when its date was read just before midnight and its time just after.
int64_t mended_stamp(int64_t stamp, int64_t expected) {
  const bool just_after_midnight = ((stamp % SECONDS_PER_DAY) + SECONDS_PER_DAY) % SECONDS_PER_DAY < MIDNIGHT_SLACK;
  if (just_after_midnight && std::llabs(stamp + SECONDS_PER_DAY - expected) < std::llabs(stamp - expected)) {
    return stamp + SECONDS_PER_DAY;
  }
  return stamp;
}

// Record a disagreement at a line.
LogCheckResult disagreement(LogCheckResult result, int64_t line, std::string found,
                            std::string expected) {
  result.agrees = false;
  result.line = line;
  result.found = std::move(found);
  result.expected = std::move(expected);
  return result;
}

}  // namespace

std::vector<int64_t> record_seconds(const StudyLogText& log) {
  std::vector<int64_t> seconds;
  int64_t second = 0;
  std::vector<RecordKind> due;  // records of `second` not yet matched
  for (const LogRecord& record : log.records) {
    if (due.empty()) {
      second = next_record_second(second);
      if (second % WINDOW_15MIN == 0) due.push_back(RecordKind::window_15min);
      if (second % WINDOW_5MIN == 0) due.push_back(RecordKind::window_5min);
      if (second % CYCLE_SECONDS == 0) due.push_back(RecordKind::cycle);
    }
    seconds.push_back(record.kind == due.front() ? second : 0);
    due.erase(due.begin());
  }
  return seconds;
}

int64_t last_record_second(const StudyLogText& log) {
  const std::vector<int64_t> seconds = record_seconds(log);
  return seconds.empty() ? 0 : seconds.back();
}

SecondTimes::SecondTimes(const StudyLogText& log, int64_t start) : start_(start) {
  const std::vector<int64_t> seconds = record_seconds(log);
  for (size_t i = 0; i < log.records.size(); ++i) {
    int64_t stamp = 0;
    if (seconds[i] == 0 || !record_stamp(log.records[i], stamp)) continue;
    if (!anchors_.empty() && anchors_.back().first == seconds[i]) continue;
    if (!anchors_.empty()) {
      stamp = mended_stamp(stamp, anchors_.back().second + (seconds[i] - anchors_.back().first));
    }
    anchors_.emplace_back(seconds[i], stamp);
  }
  // The first stamp's day: the start's when there is one, else the next stamp's.
  if (anchors_.empty()) return;
  auto& [first_second, first_stamp] = anchors_.front();
  if (start >= 0) {
    first_stamp = mended_stamp(first_stamp, start + (first_second - 1));
  } else if (anchors_.size() > 1) {
    first_stamp = mended_stamp(first_stamp, anchors_[1].second - (anchors_[1].first - first_second));
  }
}

std::pair<int64_t, TimeSource> SecondTimes::time_of(int64_t second) {
  if (anchors_.empty()) return {start_ + (second - 1), TimeSource::extrapolated};
  while (at_ + 1 < anchors_.size() && anchors_[at_ + 1].first <= second) ++at_;
  const auto& [anchor_second, stamp] = anchors_[at_];
  if (second == anchor_second) return {stamp, TimeSource::record};
  const TimeSource source = second < anchor_second || at_ + 1 == anchors_.size()
                                ? TimeSource::extrapolated
                                : TimeSource::interpolated;
  return {stamp + (second - anchor_second), source};
}

LogCheckResult check_log(const StudyLogText& log, uint32_t seed, int64_t seconds, bool with_bits,
                         int64_t start, const SecondSink& sink) {
  LogCheckResult result;
  Replay replay(seed);
  LogModel model;
  SecondTimes times(log, start);
  std::vector<ExpectedRecord> due;
  size_t next = 0;  // the next log record to compare
  uint8_t bits[BYTES_PER_SECOND];
  for (int64_t second = 1; second <= seconds; ++second) {
    const int32_t ones = replay.next_second(with_bits ? bits : nullptr);
    due.clear();
    model.add_second(second, ones, due);
    for (const ExpectedRecord& expected : due) {
      if (next >= log.records.size() && log.torn) continue;  // the run was cut off here
      if (next >= log.records.size()) {
        const int64_t line = log.records.empty() ? 1 : log.records.back().line +
                             record_line_count(log.records.back().kind);
        const std::vector<std::string> lines = render_record(expected, "mm-dd-aaaa", "hh:mm:ss");
        return disagreement(result, line, "(fin del registro)", lines.front());
      }
      const LogRecord& record = log.records[next++];
      const std::vector<std::string> lines =
          render_record(expected, record_date_text(record), record_time_text(record));
      if (record.kind != expected.kind) {
        return disagreement(result, record.line, reread_lines(log, record.line, 1).front(), lines.front());
      }
      if (lines_digest(lines) != record.digest) {
        // The lines stay in the file: read the record again to show the line that differs.
        const std::vector<std::string> found =
            reread_lines(log, record.line, static_cast<int32_t>(lines.size()));
        size_t i = 0;
        while (i + 1 < lines.size() && found[i] == lines[i]) ++i;
        return disagreement(result, record.line + static_cast<int64_t>(i), found[i], lines[i]);
      }
      ++result.records_checked;
    }
    if (sink) {
      const auto [stamp, source] = times.time_of(second);
      if (!sink(make_second_row(second, ones, format_local_time(stamp), source),
                with_bits ? bits : nullptr)) {
        result.stopped = true;
        return result;
      }
    }
  }
  if (next < log.records.size()) {
    const LogRecord& extra = log.records[next];
    return disagreement(result, extra.line, reread_lines(log, extra.line, 1).front(),
                        "(ningun registro en este segundo)");
  }
  if (log.bad_line != 0) {
    const std::string wanted = "(un registro de 5 o 15 minutos o de ciclo" +
                               (log.bad_why.empty() ? std::string() : "; " + log.bad_why) + ")";
    return disagreement(result, log.bad_line, log.bad_text, wanted);
  }
  return result;
}
