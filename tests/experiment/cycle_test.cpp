// A whole 12-hour cycle and the first checkpoint of the next, run through the
// real loop; the study log is checked record by record.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "experiment/state.h"
#include "tests/experiment/support.h"

namespace {

// The wall clock of second k of a run started at 2026-01-01 23:00:00: "DATE - TIME".
std::string stamp_of_second(int32_t k) {
  const int32_t total = 23 * 3600 + (k - 1);
  char text[32];
  std::snprintf(text, sizeof text, "01-%02d-2026 - %02d:%02d:%02d", 1 + total / 86400,
                total % 86400 / 3600, total % 3600 / 60, total % 60);
  return text;
}

using CycleTest = ExperimentTest;

TEST_F(CycleTest, FullCycleWritesEveryCheckpointTheCycleRecordAndGoesOn) {
  start(7.0, "2026-01-01 23:00:00");
  const ExperimentState& s = experiment_state();
  const int32_t last = 43501;
  on_clock([&] {
    if (s.seconds_counter == last && s.bit_index == 200) press(' ');
  });
  EXPECT_FALSE(run_seconds(last + 10));
  EXPECT_EQ(s.seconds_counter, last + 1);
  EXPECT_EQ(s.cycles, 1);
  EXPECT_EQ(s.minute, 5);
  EXPECT_EQ(s.second, 0);
  EXPECT_EQ(s.dot_x, 10);

  // The log keeps the start date in its name; every line ends in CR LF.
  const std::string bytes = log_bytes();
  ASSERT_FALSE(bytes.empty());
  std::vector<std::string> lines;
  size_t from = 0;
  for (size_t end; (end = bytes.find("\r\n", from)) != std::string::npos; from = end + 2) {
    lines.push_back(bytes.substr(from, end - from));
    ASSERT_EQ(lines.back().find_first_of("\r\n"), std::string::npos) << lines.size();
  }
  EXPECT_EQ(from, bytes.size());

  size_t at = 0;
  int32_t records = 0;
  for (int32_t k = 300; k <= last; k += 300) {
    if (k % 900 == 0) {
      ASSERT_LT(at + 3, lines.size());
      EXPECT_EQ(lines[at].rfind(">>>>>" + stamp_of_second(k) + " checkpoint 15", 0), 0u)
          << k << ": " << lines[at];
      EXPECT_NE(lines[at + 1].find("15 min en %: "), std::string::npos) << k;
      EXPECT_EQ(lines[at + 2].rfind("     Desvio medio global hacia el UNO en %: ", 0), 0u);
      EXPECT_EQ(lines[at + 3].rfind("     Desvio medio global hacia el CERO en %: ", 0), 0u);
      at += 4;
      ++records;
    }
    ASSERT_LT(at + 1, lines.size());
    EXPECT_EQ(lines[at].rfind(stamp_of_second(k) + " checkpoint 5", 0), 0u)
        << k << ": " << lines[at];
    EXPECT_NE(lines[at + 1].find("5 min"), std::string::npos) << k;
    at += 2;
    ++records;
    if (k == 43200) {
      ASSERT_LT(at, lines.size());
      EXPECT_EQ(lines[at], "01-02-2026ciclos de 12 horas completados:  1");
      ++at;
    }
  }
  EXPECT_EQ(at, lines.size());
  EXPECT_EQ(records, 145 + 48);
  // One "últimos" per checkpoint record, always the single byte 0xFA.
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\xFA'), records);
  EXPECT_EQ(bytes.find("\xC3\xBA"), std::string::npos);
  // The first 15-minute record divides by zero in one direction.
  EXPECT_TRUE(lines[6].find("inf.00") != std::string::npos ||
              lines[7].find("inf.00") != std::string::npos);
}

}  // namespace
