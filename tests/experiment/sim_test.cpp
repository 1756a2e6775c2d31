// The simulator program: its arguments, its end and what it leaves behind.
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tests/experiment/support.h"

namespace fs = std::filesystem;

namespace {

// Run testnuv-sim with arguments; return its exit status (-1 when it did not exit).
int run_sim(const std::string& arguments, const fs::path& output) {
  const std::string command = std::string("\"") + TESTNUV_SIM + "\" " + arguments + " >\"" +
                              output.string() + "\" 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using SimTest = ExperimentTest;

TEST_F(SimTest, BadArgumentsEndWithStatus2AndSayWhy) {
  const fs::path out = directory / "out.txt";
  for (const std::string bad : {"--frobnicate", "--seconds -1", "--seconds 12x", "--seconds",
                          "--start \"2026-13-01 00:00:00\"", "--start \"2026-02-30 00:00:00\"",
                          "--start 2026-01-01", "--start \"2026-01-01 24:00:00\"",
                          "--seed abc", "--dir /nonexistent/dir"}) {
    EXPECT_EQ(run_sim(bad, out), 2) << bad;
    EXPECT_NE(read_file(out).find("testnuv-sim: "), std::string::npos) << bad;
  }
  EXPECT_EQ(run_sim("--help", out), 0);
  EXPECT_NE(read_file(out).find("--seconds N"), std::string::npos);
}

TEST_F(SimTest, RunsTheRequestedSecondsAndClosesTheLogByTheProgramsOwnEnd) {
  const fs::path a = directory / "a";
  fs::create_directory(a);
  const std::string common = "--seed 5 --start \"2026-05-01 10:00:00\" --seconds 301 ";
  ASSERT_EQ(run_sim(common + "--dir \"" + a.string() + "\" --png \"" +
                        (directory / "p.png").string() + "\"",
                    directory / "out.txt"),
            0);
  const std::string log = read_file(a / "estudio_05-01-2026");
  EXPECT_EQ(log.rfind("05-01-2026 - 10:04:59 checkpoint 5", 0), 0u) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
  EXPECT_EQ(read_file(directory / "p.png").substr(1, 3), "PNG");
  EXPECT_NE(read_file(directory / "out.txt").find("301 segundos simulados"), std::string::npos);

  // The same seed and start give the same bits, so the same log.
  const fs::path b = directory / "b";
  fs::create_directory(b);
  ASSERT_EQ(run_sim(common + "--dir \"" + b.string() + "\"", directory / "out.txt"), 0);
  EXPECT_EQ(read_file(b / "estudio_05-01-2026"), log);
}

TEST_F(SimTest, ZeroSecondsLeavesAnEmptyLog) {
  ASSERT_EQ(run_sim("--seconds 0 --start \"2026-05-01 10:00:00\" --dir \"" + directory.string() +
                        "\"",
                    directory / "out.txt"),
            0);
  ASSERT_TRUE(fs::exists(directory / "estudio_05-01-2026"));
  EXPECT_EQ(fs::file_size(directory / "estudio_05-01-2026"), 0u);
  EXPECT_NE(read_file(directory / "out.txt").find(" 0 segundos simulados"), std::string::npos);
}

}  // namespace
