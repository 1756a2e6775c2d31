// Reading logs back and checking them against the replay: the records a run
// wrote, lines that are no record's, stamps, and the model's lines.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "study/local_time.h"
#include "study/log_check.h"
#include "study/log_model.h"
#include "study/study_log_records.h"
#include "tests/study/support.h"

namespace fs = std::filesystem;

namespace {

// Read a log the test wrote; a failure to read it fails the test.
StudyLogText read_log(const std::filesystem::path& file) {
  Result<StudyLogText> read = read_study_log(file, Links::follow);
  EXPECT_TRUE(read.ok()) << (read.ok() ? "" : read.failure().message);
  return read.ok() ? std::move(*read) : StudyLogText{};
}

using LogTest = StudyTest;

// Return a 5-minute record toward zero, CR LF lines, stamped at hh:mm:ss.
std::string five_minute_record(const std::string& time, int32_t zeros, int32_t ones, int32_t average) {
  char text[256];
  std::snprintf(text, sizeof text,
                "05-01-2026 - %s checkpoint 5 min. 0 > 1 :  %d   %d\r\n"
                "                  Desvio medio al CERO en \xFAltimos 5 min en %%:  %d.00 \r\n",
                time.c_str(), zeros, ones, average);
  return text;
}

TEST_F(LogTest, ReadsRecordsTheirCountsAndStamps) {
  const std::string log = five_minute_record("10:04:59", 30041, 29959, 6) +
                          five_minute_record("10:09:59", 30100, 29900, 7);
  write_file(directory / "log", log);
  const StudyLogText text = read_log(directory / "log");
  ASSERT_EQ(text.records.size(), 2u);
  EXPECT_FALSE(text.torn);
  EXPECT_EQ(text.records[1].line, 3);
  EXPECT_EQ(text.records[1].ones, 29900);
  EXPECT_EQ(text.records[1].zeros, 30100);
  EXPECT_EQ(window_ones(text), (std::vector<int32_t>{29959, 29900}));
  int64_t stamp = 0;
  ASSERT_TRUE(record_stamp(text.records[0], stamp));
  EXPECT_EQ(format_local_time(stamp), "2026-05-01 10:04:59");
  EXPECT_EQ(text.bytes, log.size());
  EXPECT_EQ(record_seconds(text), (std::vector<int64_t>{300, 600}));
}

TEST_F(LogTest, ALineThatIsNoRecordIsNamed) {
  const std::string whole = five_minute_record("10:04:59", 30041, 29959, 6);
  for (const std::string& middle : {std::string("hola\r\n"), std::string("05-01-2026 - 10:09:59 checkpoint 5 min. 0 > 1 :  1   2\n"),
                                    std::string("05-01-2026 - 10:09:59 checkpoint 6 min. 0 > 1 :  1   2\r\n")}) {
    write_file(directory / "log", whole + middle + whole);
    const StudyLogText text = read_log(directory / "log");
    EXPECT_EQ(text.bad_line, 3) << middle;
    EXPECT_FALSE(text.torn);
  }
  const Result<StudyLogText> missing = read_study_log(directory / "missing", Links::follow);
  ASSERT_FALSE(missing.ok());
  EXPECT_NE(missing.failure().message.find("missing"), std::string::npos);
}

TEST(LogModel, RendersEveryRecordKindAsTheLogWritesIt) {
  ExpectedRecord r;
  r.kind = RecordKind::window_15min;
  r.zeros = r.ones = 90000;
  r.global_one = 6.5;
  r.global_zero = 1.0 / 0.0;
  std::vector<std::string> lines = render_record(r, "05-01-2026", "10:14:59");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], ">>>>>05-01-2026 - 10:14:59 checkpoint 15min 0 = 1 :  90000             90000");
  EXPECT_EQ(lines[1], "     0 <=> 1 Equilibrio absoluto entre ceros y unos en \xFAltimos 15 min");
  EXPECT_EQ(lines[2], "     Desvio medio global hacia el UNO en %:  6.50");
  r.zeros = 90150;
  r.ones = 89850;
  r.average = 7;
  lines = render_record(r, "05-01-2026", "10:14:59");
  EXPECT_EQ(lines[0], ">>>>>05-01-2026 - 10:14:59 checkpoint 15 min 0 > 1 :  90150            89850");
  EXPECT_EQ(lines[1], "     0 -> Desvio medio al CERO en \xFAltimos 15 min en %:  7.00 ");
  EXPECT_EQ(lines[2], "     Desvio medio global hacia el UNO en %:  6.50 ");
  r.kind = RecordKind::window_5min;
  r.zeros = r.ones = 30000;
  lines = render_record(r, "05-01-2026", "10:04:59");
  EXPECT_EQ(lines[0], "05-01-2026 - 10:04:59 checkpoint 5min. 0 = 1 :  30000    30000");
  EXPECT_EQ(lines[1], "                          0=1 Equilibrio absoluto entre CEROS y UNOS en \xFAltimos 5 min");
  r.kind = RecordKind::cycle;
  r.cycles = 1;
  EXPECT_EQ(render_record(r, "05-02-2026", "")[0], "05-02-2026ciclos de 12 horas completados:  1");
}

TEST(LogModel, WritesRecordsAtTheirSeconds) {
  LogModel model;
  std::vector<ExpectedRecord> due;
  std::vector<std::pair<int64_t, RecordKind>> seen;
  for (int64_t s = 1; s <= 2 * CYCLE_SECONDS; ++s) {
    due.clear();
    model.add_second(s, s % 2 == 0 ? 104 : 100, due);
    for (const ExpectedRecord& r : due) seen.emplace_back(r.second, r.kind);
  }
  EXPECT_EQ(seen[0], std::make_pair(int64_t{300}, RecordKind::window_5min));
  EXPECT_EQ(seen[2], std::make_pair(int64_t{900}, RecordKind::window_15min));
  EXPECT_EQ(seen[3], std::make_pair(int64_t{900}, RecordKind::window_5min));
  // Windows follow the second count across cycles; the cycle record comes after them.
  const auto cycle = std::find(seen.begin(), seen.end(), std::make_pair(int64_t{43201}, RecordKind::cycle));
  ASSERT_NE(cycle, seen.end());
  EXPECT_EQ((cycle - 1)->first, 43200);
  EXPECT_EQ((cycle + 1)->first, 43500);
  EXPECT_EQ(seen.back(), std::make_pair(int64_t{86402}, RecordKind::cycle));
  EXPECT_EQ(next_record_second(43200), 43201);
  EXPECT_EQ(next_record_second(43201), 43500);
}

TEST_F(LogTest, SecondTimesCountOnFromRecordsAndMendMidnight) {
  // Records at 300 and 600; the second's date was read just before midnight, its time after.
  write_file(directory / "log", five_minute_record("23:55:00", 30041, 29959, 6) +
                                    five_minute_record("00:00:00", 30100, 29900, 7));
  const StudyLogText text = read_log(directory / "log");
  SecondTimes times(text, -1);
  const auto first = times.time_of(1);
  EXPECT_EQ(format_local_time(first.first), "2026-05-01 23:50:01");
  EXPECT_EQ(first.second, TimeSource::extrapolated);
  EXPECT_EQ(times.time_of(300).second, TimeSource::record);
  EXPECT_EQ(format_local_time(times.time_of(301).first), "2026-05-01 23:55:01");
  EXPECT_EQ(times.time_of(301).second, TimeSource::interpolated);
  EXPECT_EQ(format_local_time(times.time_of(600).first), "2026-05-02 00:00:00");
  EXPECT_EQ(format_local_time(times.time_of(700).first), "2026-05-02 00:01:40");
  EXPECT_EQ(times.time_of(700).second, TimeSource::extrapolated);
}

TEST(WallTime, ReadsAndWritesCalendarTimes) {
  int64_t seconds = 0;
  ASSERT_TRUE(parse_local_time("2024-02-29 23:59:59", seconds));
  EXPECT_EQ(format_local_time(seconds + 1), "2024-03-01 00:00:00");
  EXPECT_TRUE(parse_local_time("1970-01-01 00:00:00", seconds));
  EXPECT_EQ(seconds, 0);
  EXPECT_FALSE(parse_local_time("2023-02-29 00:00:00", seconds));
  EXPECT_FALSE(parse_local_time("2023-01-01 24:00:00", seconds));
  EXPECT_FALSE(parse_local_time("2023-01-01T00:00:00", seconds));
}

}  // namespace
