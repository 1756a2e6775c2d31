// The study log: every record byte for byte, its name, the moving aside of
// an older log, the report when it cannot be created, and flushing.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "experiment/loop.h"
#include "experiment/state.h"
#include "experiment/study_log.h"
#include "runtime/files.h"
#include "tests/experiment/support.h"
#include "tests/runtime/fake_disk.h"

namespace fs = std::filesystem;

namespace {

// Records are written at 13:45:09 on 7 March 2024 by the virtual wall clock.
class StudyLogTest : public ExperimentTest {
 protected:
  void SetUp() override {
    ExperimentTest::SetUp();
    log_date = "03-07-2024";
  }
  // Start the experiment and give the state the windows and sums of a record.
  ExperimentState& started() {
    start(1.0, "2024-03-07 13:45:09");
    ExperimentState& s = experiment_state();
    s.global_dev_one = 13.0f;
    s.checkpoints_one = 2;
    s.global_dev_zero = 7;
    s.checkpoints_zero = 1;
    return s;
  }
};

TEST_F(StudyLogTest, FifteenMinuteRecordTowardZero) {
  ExperimentState& s = started();
  s.zeros_15min = 90150;
  s.ones_15min = 89850;
  s.dev_zero_15min = 6;
  write_15min_record();
  EXPECT_EQ(log_bytes(),
            ">>>>>03-07-2024 - 13:45:09 checkpoint 15 min 0 > 1 :  90150            89850\r\n"
            "     0 -> Desvio medio al CERO en \xFA" "ltimos 15 min en %:  6.00 \r\n"
            "     Desvio medio global hacia el UNO en %:  6.50 \r\n"
            "     Desvio medio global hacia el CERO en %:  7.00 \r\n");
}

TEST_F(StudyLogTest, FifteenMinuteRecordTowardOneHasNoFinalBlankOnItsGlobalLines) {
  ExperimentState& s = started();
  s.zeros_15min = 89000;
  s.ones_15min = 91000;
  s.dev_one_15min = 12;
  write_15min_record();
  EXPECT_EQ(log_bytes(),
            ">>>>>03-07-2024 - 13:45:09 checkpoint 15 min 1 > 0 :  91000            89000\r\n"
            "     1 -> Desvio medio al UNO en \xFA" "ltimos 15 min en %: 12.00 \r\n"
            "     Desvio medio global hacia el UNO en %:  6.50\r\n"
            "     Desvio medio global hacia el CERO en %:  7.00\r\n");
}

TEST_F(StudyLogTest, BalancedFifteenMinuteRecord) {
  ExperimentState& s = started();
  s.zeros_15min = 90000;
  s.ones_15min = 90000;
  write_15min_record();
  EXPECT_EQ(log_bytes(),
            ">>>>>03-07-2024 - 13:45:09 checkpoint 15min 0 = 1 :  90000             90000\r\n"
            "     0 <=> 1 Equilibrio absoluto entre ceros y unos en \xFA" "ltimos 15 min\r\n"
            "     Desvio medio global hacia el UNO en %:  6.50\r\n"
            "     Desvio medio global hacia el CERO en %:  7.00\r\n");
}

TEST_F(StudyLogTest, FiveMinuteRecordsInAllThreeForms) {
  ExperimentState& s = started();
  s.zeros_5min = 30150;
  s.ones_5min = 29850;
  s.dev_zero_5min = 6;
  write_5min_record();
  s.zeros_5min = 29990;
  s.ones_5min = 30010;
  s.dev_one_5min = 3;
  write_5min_record();
  s.zeros_5min = 30000;
  s.ones_5min = 30000;
  write_5min_record();
  s.zeros_5min = 999;  // four digits: the zone still pads to column 56
  s.ones_5min = 1001;
  s.dev_one_5min = 10;
  write_5min_record();
  EXPECT_EQ(log_bytes(),
            "03-07-2024 - 13:45:09 checkpoint 5 min. 0 > 1 :  30150   29850\r\n"
            "                  Desvio medio al CERO en \xFA" "ltimos 5 min en %:  6.00 \r\n"
            "03-07-2024 - 13:45:09 checkpoint 5 min. 1 > 0 :  30010   29990\r\n"
            "                  Desvio medio al UNO en \xFA" "ltimos 5 min en %:  3.00 \r\n"
            "03-07-2024 - 13:45:09 checkpoint 5min. 0 = 1 :  30000    30000\r\n"
            "                          0=1 Equilibrio absoluto entre CEROS y UNOS en \xFA"
            "ltimos 5 min\r\n"
            "03-07-2024 - 13:45:09 checkpoint 5 min. 1 > 0 :  1001    999\r\n"
            "                  Desvio medio al UNO en \xFA" "ltimos 5 min en %: 10.00 \r\n");
}

TEST_F(StudyLogTest, CycleRecordRunsTheDateIntoTheText) {
  ExperimentState& s = started();
  s.cycles = 1;
  write_cycle_record();
  s.cycles = 12;
  write_cycle_record();
  EXPECT_EQ(log_bytes(),
            "03-07-2024ciclos de 12 horas completados:  1\r\n"
            "03-07-2024ciclos de 12 horas completados:  12\r\n");
}

TEST_F(StudyLogTest, GlobalAveragesWithoutADivisorPrintAsInfinityOrNotANumber) {
  ExperimentState& s = started();
  s.zeros_15min = 90150;
  s.ones_15min = 89850;
  s.dev_zero_15min = 6;
  s.global_dev_one = 0.0f;
  s.checkpoints_one = 0;
  s.global_dev_zero = 6;
  s.checkpoints_zero = 0;
  write_15min_record();
  const std::string bytes = log_bytes();
  EXPECT_NE(bytes.find("     Desvio medio global hacia el UNO en %: nan.00 \r\n"), std::string::npos);
  EXPECT_NE(bytes.find("     Desvio medio global hacia el CERO en %: inf.00 \r\n"), std::string::npos);
}

TEST_F(StudyLogTest, RecordsReachTheFileAsSoonAsTheyAreComplete) {
  ExperimentState& s = started();
  s.cycles = 1;
  write_cycle_record();
  // Read through the file system while the log is still open.
  EXPECT_EQ(read_file(directory / "estudio_03-07-2024"),
            "03-07-2024ciclos de 12 horas completados:  1\r\n");
}

TEST_F(StudyLogTest, AnOlderLogOfTheSameDateIsMovedAsideAfterTheHighestNumber) {
  std::ofstream(directory / "estudio_03-07-2024") << "estudio anterior";
  std::ofstream(directory / "estudio_03-07-2024.1") << "mas antiguo";
  std::ofstream(directory / "estudio_03-07-2024.3") << "otro";
  started();
  EXPECT_EQ(read_file(directory / "estudio_03-07-2024.1"), "mas antiguo");
  EXPECT_FALSE(fs::exists(directory / "estudio_03-07-2024.2"));  // a gap stays a gap
  EXPECT_EQ(read_file(directory / "estudio_03-07-2024.3"), "otro");
  EXPECT_EQ(read_file(directory / "estudio_03-07-2024.4"), "estudio anterior");
  EXPECT_EQ(log_bytes(), "");
}

TEST_F(StudyLogTest, AsideNumbersFollowTheHighestThatExists) {
  const fs::path name = directory / "estudio_01-01-2026";
  EXPECT_EQ(next_aside_name(name), directory / "estudio_01-01-2026.1");
  fs::create_directory(directory / "estudio_01-01-2026.1");
  EXPECT_EQ(next_aside_name(name), directory / "estudio_01-01-2026.2");
  // Names that only look alike do not count.
  for (const char* other : {"estudio_01-01-2026.x9", "estudio_01-01-2026.-7", "estudio_01-01-2026.",
                            "estudio_01-01-20267.8", "estudio_01-01-2026.99999999999999999999",
                            "estudio_01-01-2026.5.6"}) {
    std::ofstream(directory / other) << "x";
  }
  EXPECT_EQ(next_aside_name(name), directory / "estudio_01-01-2026.2");
  std::ofstream(directory / "estudio_01-01-2026.12") << "x";
  EXPECT_EQ(next_aside_name(name), directory / "estudio_01-01-2026.13");
  EXPECT_EQ(study_log_name("03-07-2024"), "estudio_03-07-2024");
}

TEST_F(StudyLogTest, WhenTheLogCannotBeCreatedTheRunSaysWhyAndGoesOn) {
  const fs::path gone = directory / "borrada";
  fs::create_directory(gone);
  fs::current_path(gone);
  fs::remove(gone);
  testing::internal::CaptureStderr();
  start(1.0, "2024-03-07 13:45:09");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("no se pudo crear el registro de estudio \"estudio_03-07-2024\": "),
            std::string::npos)
      << err;
  EXPECT_GT(err.size(), std::string("testnuv: no se pudo crear el registro de estudio "
                                    "\"estudio_03-07-2024\": \n").size());
  EXPECT_EQ(err.back(), '\n');
  // One line about the log (the provenance record beside it says its own failure once).
  EXPECT_EQ(err.find("registro de estudio"), err.rfind("registro de estudio"));
  ExperimentState& s = experiment_state();
  s.seconds_counter = 300;
  EXPECT_TRUE(run_seconds(1));
  EXPECT_EQ(s.seconds_counter, 301);
}

// Runs of 2700 seconds (twelve records) from the same seed and wall clock, on a fake disk.
class FullDiskLogTest : public StudyLogTest {
 protected:
  void SetUp() override {
    StudyLogTest::SetUp();
    FakeDisk::install();
  }
  void TearDown() override {
    StudyLogTest::TearDown();
    FakeDisk::remove();
    use_file_sync(FileSync::every_unit);
  }
  // Start a fresh run (an earlier log of the day is moved aside).
  void start_run() {
    clock.reset();
    start(7.0, "2024-03-07 13:45:09");
  }
  // Run seconds until seconds_counter reaches `last` + 1; return what standard error heard.
  std::string run_to(int32_t last) {
    testing::internal::CaptureStderr();
    run_seconds(last + 1 - experiment_state().seconds_counter);
    return testing::internal::GetCapturedStderr();
  }
  // End the program by the space key; return its exit code and what standard error heard.
  std::pair<int32_t, std::string> end_run() {
    testing::internal::CaptureStderr();
    press(' ');
    const int32_t code = exit_code_of([] { experiment_second(); });
    return {code, testing::internal::GetCapturedStderr()};
  }
  // The log of a run that had the disk to itself.
  std::string complete_log() {
    start_run();
    run_to(2700);
    EXPECT_EQ(end_run().first, 0);
    return log_bytes();
  }
};

// Return the number of lines of a text.
size_t lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

TEST_F(FullDiskLogTest, RefusedRecordsReachTheLogInOrderOnceTheDiskTakesThemAgain) {
  const std::string complete = complete_log();
  ASSERT_EQ(lines(complete), 30u);
  start_run();
  EXPECT_EQ(run_to(299), "");
  FakeDisk::capacity = 0;
  const std::string failed = run_to(1500);  // records at 300, 600, 900 (two), 1200 and 1500
  EXPECT_EQ(lines(failed), 1u) << failed;
  EXPECT_NE(failed.find("no se puede escribir el registro de estudio \"estudio_03-07-2024\": " +
                        std::string(std::strerror(ENOSPC))),
            std::string::npos)
      << failed;
  EXPECT_EQ(log_bytes(), "");
  FakeDisk::capacity = INT64_MAX;
  const std::string recovered = run_to(1800);
  EXPECT_EQ(lines(recovered), 1u) << recovered;
  EXPECT_NE(recovered.find("se escribe de nuevo, sin que falte ningun registro"), std::string::npos)
      << recovered;
  EXPECT_EQ(run_to(2700), "");
  const auto [code, said] = end_run();
  EXPECT_EQ(code, 0);
  EXPECT_EQ(said, "");
  EXPECT_EQ(log_bytes(), complete);  // byte for byte
}

TEST_F(FullDiskLogTest, ARecordCutShortLeavesTheLogAtTheEndOfTheLastWholeRecord) {
  const std::string complete = complete_log();
  const size_t third = complete.find(">>>>>");  // 5-minute records at 300 and 600, then the 15-minute one
  start_run();
  FakeDisk::capacity = static_cast<int64_t>(third) + 40;
  run_to(900);
  EXPECT_EQ(log_bytes(), complete.substr(0, third));
  FakeDisk::capacity = INT64_MAX;
  run_to(2700);
  EXPECT_EQ(end_run().first, 0);
  EXPECT_EQ(log_bytes(), complete);
}

TEST_F(FullDiskLogTest, RecordsStillUnwrittenAtTheEndAreCountedAndTheExitStatusIs1) {
  const std::string complete = complete_log();
  start_run();
  run_to(600);
  FakeDisk::capacity = static_cast<int64_t>(log_bytes().size());
  FakeDisk::sync_fails = true;
  run_to(1200);  // 900 (two records) and 1200 refused
  const auto [code, said] = end_run();
  EXPECT_EQ(code, 1);
  EXPECT_EQ(lines(said), 1u) << said;
  EXPECT_NE(said.find("registros que faltan en el registro de estudio \"estudio_03-07-2024\": 3 "
                      "(3 sin escribir al terminar, 0 descartados"),
            std::string::npos)
      << said;
  EXPECT_EQ(log_bytes(), complete.substr(0, complete.find(">>>>>")));
}

TEST_F(FullDiskLogTest, ALogSyncedAtTheEndHasEveryRecordAtOnceAndOneSyncWhenTheProgramEnds) {
  const std::string complete = complete_log();
  EXPECT_EQ(FakeDisk::syncs, 12);  // by default each record is synced as it is written
  use_file_sync(FileSync::at_end);
  start_run();
  const int64_t syncs = FakeDisk::syncs;
  EXPECT_EQ(run_to(2700), "");
  EXPECT_EQ(FakeDisk::syncs, syncs);
  EXPECT_EQ(log_bytes(), complete);
  const auto [code, said] = end_run();
  EXPECT_EQ(code, 0);
  EXPECT_EQ(said, "");
  EXPECT_EQ(FakeDisk::syncs, syncs + 1);
}

TEST_F(FullDiskLogTest, AFailedSyncAtTheEndSaysHowManyRecordsItLeavesInDoubtAndTheExitStatusIs1) {
  use_file_sync(FileSync::at_end);
  start_run();
  run_to(2700);
  FakeDisk::sync_fails = true;
  const auto [code, said] = end_run();
  EXPECT_EQ(code, 1);
  EXPECT_EQ(lines(said), 1u) << said;
  EXPECT_NE(said.find("no se pudo pasar al disco el registro de estudio \"estudio_03-07-2024\": " +
                      std::string(std::strerror(EIO)) +
                      "; registros escritos que podrian no estar en el disco: 12"),
            std::string::npos)
      << said;
}

TEST_F(FullDiskLogTest, ALogThatWasNeverCreatedMakesTheExitStatus1OnceRecordsWereLost) {
  const fs::path gone = directory / "borrada";
  fs::create_directory(gone);
  fs::current_path(gone);
  fs::remove(gone);
  testing::internal::CaptureStderr();
  start_run();
  testing::internal::GetCapturedStderr();
  run_to(600);
  const auto [code, said] = end_run();
  EXPECT_EQ(code, 1);
  EXPECT_NE(said.find("el registro de estudio \"estudio_03-07-2024\" no se pudo crear; registros "
                      "perdidos: 2"),
            std::string::npos)
      << said;
}

TEST_F(FullDiskLogTest, ARunWithoutRecordsOrWithoutLossEndsWithStatus0) {
  start_run();
  run_to(10);
  const auto [code, said] = end_run();
  EXPECT_EQ(code, 0);
  EXPECT_EQ(said, "");
}

}  // namespace
