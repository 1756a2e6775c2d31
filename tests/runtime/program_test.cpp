// Program start and end: exit actions, the exit hook, and the floating-point set-up.
#include <gtest/gtest.h>

#include <cfenv>
#include <string>

#include "runtime/files.h"
#include "runtime/program.h"
#include "tests/runtime/capture.h"

namespace {

struct ProgramLeft {
  int32_t code;
};

void throwing_exit(int32_t code) { throw ProgramLeft{code}; }

std::string order;
void first_action() { order += "1"; }
void second_action() { order += "2"; }

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_runtime();
    order.clear();
    set_exit_hook(throwing_exit);
  }
  void TearDown() override {
    set_exit_hook(nullptr);
    reset_runtime();
  }

  // Call end_program and return the code it left with.
  static int32_t leave(int32_t code) {
    try {
      end_program(code);
    } catch (const ProgramLeft& left) {
      return left.code;
    }
    return -1;
  }
};

TEST_F(ProgramTest, ExitActionsRunOnceLastRegisteredFirst) {
  at_program_end(first_action);
  at_program_end(second_action);
  at_program_end(first_action);  // already registered
  EXPECT_EQ(leave(0), 0);
  EXPECT_EQ(order, "21");
  run_program_end_actions();
  EXPECT_EQ(order, "21");
}

TEST_F(ProgramTest, EndingTheProgramWritesOutTheStudyLog) {
  TempDir dir;
  const std::string name = dir.file("estudio_05-01-2006");
  ASSERT_EQ(open_file(name, FILE_MODE_OUTPUT, 0, 0, free_file_number(), 0), RESULT_OK);
  print_text(1, "registro", SEP_NEWLINE);
  EXPECT_EQ(read_file(name), "");
  EXPECT_EQ(leave(7), 7);
  EXPECT_EQ(read_file(name), "registro\r\n");
  EXPECT_EQ(channel_record(1).sink, nullptr);
}

TEST_F(ProgramTest, FirstEndRequestIsKeptUntilReset) {
  reset_end_state();
  EXPECT_EQ(requested_end(), EndReason::running);
  EXPECT_EQ(end_reason(), EndReason::running);
  request_stop();
  request_end(EndReason::display_lost);
  request_stop();
  EXPECT_EQ(requested_end(), EndReason::stop_request);
  set_end_reason(EndReason::stop_request);
  EXPECT_EQ(end_reason(), EndReason::stop_request);
  // The start of the runtime does not forget a request that came before it.
  runtime_start();
  EXPECT_EQ(requested_end(), EndReason::stop_request);
  reset_end_state();
  EXPECT_EQ(requested_end(), EndReason::running);
  EXPECT_EQ(end_reason(), EndReason::running);
}

TEST_F(ProgramTest, StartSetsRoundToNearest) {
  std::fesetround(FE_UPWARD);
  runtime_start();
  EXPECT_EQ(std::fegetround(), FE_TONEAREST);
}

TEST(ProgramName, IsTheExecutablesFileNameWithoutFolderOrExtension) {
  EXPECT_EQ(program_name(), "runtime_tests");
}

TEST(ProgramDeathTest, EndProgramLeavesWithTheCodeAndRunsTheActions) {
  TempDir dir;
  const std::string name = dir.file("log");
  EXPECT_EXIT(
      {
        set_exit_hook(nullptr);
        open_file(name, FILE_MODE_OUTPUT, 0, 0, 1, 0);
        print_text(1, "bytes", SEP_NONE);
        end_program(3);
      },
      ::testing::ExitedWithCode(3), "");
  EXPECT_EQ(read_file(name), "bytes");
}

TEST(ProgramDeathTest, OrderlyExitAfterAnOpenClosesTheFiles) {
  TempDir dir;
  const std::string name = dir.file("log");
  EXPECT_EXIT(
      {
        open_file(name, FILE_MODE_OUTPUT, 0, 0, 1, 0);
        print_text(1, "atexit", SEP_NONE);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file(name), "atexit");
}

}  // namespace
