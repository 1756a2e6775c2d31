// The programs' standard streams: closed descriptors and dead pipes at start
// must cost neither the study log nor the process.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/experiment/support.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

const char RUN[] = "--seconds 301 --seed 5 --start \"2026-05-01 10:00:00\" ";
const char LOG[] = "estudio_05-01-2026";

// Run testnuv-sim through the shell with `redirections`; return its exit status (-1: no exit).
int run_sim_with(const std::string& arguments, const std::string& redirections) {
  const std::string command = std::string("\"") + TESTNUV_SIM + "\" " + arguments + " " + redirections;
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Run testnuv-sim with its standard output on a pipe nobody reads; return how it ended.
int run_sim_into_dead_pipe(const std::vector<std::string>& arguments) {
  int ends[2];
  if (pipe(ends) != 0) return -1;
  close(ends[0]);  // the reader is gone before the simulator writes
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> argv{const_cast<char*>(TESTNUV_SIM)};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, TESTNUV_SIM, &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(ends[1]);
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

using StreamsTest = ExperimentTest;

TEST_F(StreamsTest, ClosedStandardDescriptorsNeverLendTheirNumberToTheLog) {
  const fs::path reference = directory / "reference";
  fs::create_directory(reference);
  ASSERT_EQ(run_sim_with(RUN + ("--dir \"" + reference.string() + "\""), ">/dev/null 2>&1"), 0);
  const std::string log = read_file(reference / LOG);
  ASSERT_FALSE(log.empty());
  // A message for standard error (the picture cannot be written) comes while the log is open.
  const std::string unwritable = "--png \"" + (directory / "no" / "such" / "p.png").string() + "\"";
  for (const std::string closed : {"2>&-", "1>&- 2>&-", "0<&- 1>&- 2>&-", "0<&- 2>/dev/null"}) {
    const fs::path run = directory / ("run" + std::to_string(closed.size()));
    fs::create_directory(run);
    // Status 1: the picture was not written; the log must be whole all the same.
    EXPECT_EQ(run_sim_with(RUN + ("--dir \"" + run.string() + "\" ") + unwritable, closed), 1)
        << closed;
    EXPECT_EQ(read_file(run / LOG), log) << closed;
  }
}

TEST_F(StreamsTest, DeadPipeOnStandardOutputLosesTheMessageNotTheProcess) {
  const int status = run_sim_into_dead_pipe(
      {"--seconds", "301", "--seed", "5", "--start", "2026-05-01 10:00:00", "--dir", directory.string()});
  EXPECT_EQ(status, 0);
  const std::string log = read_file(directory / LOG);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
}

}  // namespace
