// Files: numbers, opening and truncation, buffered raw bytes, flushing and closing.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "runtime/files.h"
#include "tests/runtime/capture.h"
#include "tests/runtime/fake_disk.h"
#include "tests/runtime/small_file_system.h"

namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_runtime(); }
  void TearDown() override { reset_runtime(); }
  TempDir dir;

  ResultCode open(const std::string& name, PrintChannel number) {
    return open_file(dir.file(name), FILE_MODE_OUTPUT, 0, 0, number, 0);
  }
};

TEST_F(FilesTest, FreeNumbersAreTheLowestNotOpen) {
  EXPECT_EQ(free_file_number(), 1);
  ASSERT_EQ(open("a", 1), RESULT_OK);
  ASSERT_EQ(open("b", 2), RESULT_OK);
  EXPECT_EQ(free_file_number(), 3);
  for (PrintChannel n = 3; n <= 254; ++n) {
    Text name = "f";
    name += std::to_string(n);
    ASSERT_EQ(open(name, n), RESULT_OK) << n;
  }
  EXPECT_EQ(free_file_number(), 0);
  close_all_files();
  EXPECT_EQ(free_file_number(), 1);
}

TEST_F(FilesTest, OpeningCreatesOrEmptiesTheFile) {
  {
    std::ofstream old(dir.file("estudio_05-01-2006"), std::ios::binary);
    old << "yesterday's records";
  }
  ASSERT_EQ(open("estudio_05-01-2006", 1), RESULT_OK);
  EXPECT_EQ(open_file_error(), "");
  EXPECT_TRUE(std::filesystem::exists(dir.file("estudio_05-01-2006")));
  EXPECT_EQ(std::filesystem::file_size(dir.file("estudio_05-01-2006")), 0u);
  EXPECT_EQ(channel_record(1).column, 0);
  EXPECT_EQ(channel_record(1).line_width, 0);
  EXPECT_EQ(channel_record(1).mode, FILE_MODE_OUTPUT);
}

TEST_F(FilesTest, RefusedOpensLeaveTheChannel) {
  ASSERT_EQ(open("kept", 1), RESULT_OK);
  print_text(1, "first", SEP_NONE);
  EXPECT_EQ(open("other", 1), RESULT_INVALID);
  EXPECT_EQ(open("other", 0), RESULT_INVALID);
  EXPECT_EQ(open("other", 255), RESULT_INVALID);
  EXPECT_EQ(open_file(dir.file("other"), 1, 0, 0, 2, 0), RESULT_INVALID);  // Input mode is not supported
  EXPECT_EQ(channel_record(2).sink, nullptr);
  EXPECT_FALSE(std::filesystem::exists(dir.file("other")));
  close_all_files();
  EXPECT_EQ(read_file(dir.file("kept")), "first");
}

TEST_F(FilesTest, UnopenableFileLeavesTheChannelClosed) {
  EXPECT_EQ(open("no/such/dir/log", 1), RESULT_CANNOT_OPEN);
  EXPECT_NE(open_file_error(), "");
  EXPECT_EQ(channel_record(1).sink, nullptr);
  print_text(1, "lost", SEP_NEWLINE);
  EXPECT_EQ(last_result(), RESULT_INVALID);
  EXPECT_EQ(open_file(std::string("bad\0name", 8), FILE_MODE_OUTPUT, 0, 0, 1, 0), RESULT_CANNOT_OPEN);
  EXPECT_FALSE(std::filesystem::exists("bad"));
  EXPECT_EQ(open("good", 1), RESULT_OK);
  EXPECT_EQ(open_file_error(), "");
}

TEST_F(FilesTest, FileHoldsExactlyThePrintedBytes) {
  ASSERT_EQ(open("log", 1), RESULT_OK);
  print_text(1, "Desv\xEDo \xFAltimo", SEP_NEWLINE);
  print_integer(1, 42, SEP_NEWLINE);
  print_integer(1, -1, SEP_ZONE);
  print_text(1, "x", SEP_NONE);
  close_all_files();
  EXPECT_EQ(read_file(dir.file("log")), "Desv\xEDo \xFAltimo\r\n 42\r\n-1" + std::string(12, ' ') + "x");
  EXPECT_EQ(channel_record(1).sink, nullptr);
}

TEST_F(FilesTest, ZonesInAFileCountFromItsOwnLastLineEnd) {
  ScreenCapture screen;
  ASSERT_EQ(open("log", 1), RESULT_OK);
  print_text(1, "abc", SEP_NONE);
  print_text(0, "screen text\r\nmore", SEP_NONE);
  print_text(1, "", SEP_ZONE);
  close_all_files();
  EXPECT_EQ(read_file(dir.file("log")), "abc" + std::string(11, ' '));
}

TEST_F(FilesTest, BytesStayBufferedUntilFullFlushedOrClosed) {
  ASSERT_EQ(open("log", 1), RESULT_OK);
  print_text(1, std::string(8000, 'a'), SEP_NONE);
  EXPECT_EQ(std::filesystem::file_size(dir.file("log")), 0u);
  print_text(1, std::string(500, 'b'), SEP_NONE);
  EXPECT_EQ(std::filesystem::file_size(dir.file("log")) % FILE_BUFFER_SIZE, 0u);
  EXPECT_GE(std::filesystem::file_size(dir.file("log")), 8192u);
  print_text(1, "tail", SEP_NEWLINE);
  EXPECT_EQ(flush_channel(1), RESULT_OK);
  EXPECT_EQ(std::filesystem::file_size(dir.file("log")), 8506u);  // visible before any close
  close_all_files();
  EXPECT_EQ(std::filesystem::file_size(dir.file("log")), 8506u);
}

#ifdef __linux__
TEST_F(FilesTest, ADeviceThatIsAlwaysFullHoldsEveryUnit) {
  ASSERT_EQ(open_file("/dev/full", FILE_MODE_OUTPUT, 0, 0, 1, 0), RESULT_OK);
  print_text(1, "abc", SEP_NONE);
  EXPECT_EQ(last_result(), RESULT_OK);  // still in the buffer
  EXPECT_EQ(flush_channel(1), RESULT_SHORT_WRITE);
  print_text(1, std::string(3 * FILE_BUFFER_SIZE, 'x'), SEP_NONE);
  EXPECT_EQ(last_result(), RESULT_OK);  // kept in memory, not lost
  EXPECT_EQ(channel_record(1).column, 3 + 3 * FILE_BUFFER_SIZE);
  const FileBacklog backlog = file_backlog(1);
  EXPECT_EQ(backlog.held_units, 2);
  EXPECT_EQ(backlog.dropped_units, 0);
  EXPECT_EQ(backlog.error, std::strerror(ENOSPC));
}
#endif

TEST_F(FilesTest, FlushingAChannelThatIsNotAFile) {
  EXPECT_EQ(flush_channel(1), RESULT_INVALID);
  EXPECT_EQ(flush_channel(0), RESULT_INVALID);
  EXPECT_EQ(flush_channel(-3), RESULT_INVALID);
}

TEST_F(FilesTest, RestartingTheRuntimeClosesFilesWithTheirBytes) {
  ASSERT_EQ(open("log", 3), RESULT_OK);
  print_text(3, "kept", SEP_NEWLINE);
  reset_runtime();
  EXPECT_EQ(channel_record(3).sink, nullptr);
  EXPECT_EQ(read_file(dir.file("log")), "kept\r\n");
}

class FullDiskTest : public FilesTest {
 protected:
  void SetUp() override {
    FilesTest::SetUp();
    FakeDisk::install();
    ASSERT_EQ(open("log", 1), RESULT_OK);
  }
  void TearDown() override {
    FakeDisk::capacity = INT64_MAX;
    FilesTest::TearDown();
    FakeDisk::remove();
  }
  // Print a line and end the unit.
  ResultCode unit(const std::string& text) {
    print_text(1, text, SEP_NEWLINE);
    return flush_channel(1);
  }
  std::string file() { return read_file(dir.file("log")); }
};

TEST_F(FullDiskTest, RefusedUnitsWaitInMemoryAndReachTheFileInOrderOnceThereIsRoom) {
  ASSERT_EQ(unit("uno"), RESULT_OK);
  FakeDisk::capacity = 10;  // "dos-dos\r\n" gets 5 of its 9 bytes, then the disk is full
  EXPECT_EQ(unit("dos-dos"), RESULT_SHORT_WRITE);
  EXPECT_EQ(file(), "uno\r\n");  // the torn part is cut away
  EXPECT_EQ(file_backlog(1).held_units, 1);
  EXPECT_EQ(file_backlog(1).error, std::strerror(ENOSPC));
  EXPECT_EQ(unit("tres"), RESULT_SHORT_WRITE);
  EXPECT_EQ(file(), "uno\r\n");
  EXPECT_EQ(file_backlog(1).held_units, 2);
  EXPECT_EQ(channel_record(1).column, 0);
  FakeDisk::capacity = 14;  // room for "dos-dos" alone
  EXPECT_EQ(unit("cuatro"), RESULT_SHORT_WRITE);
  EXPECT_EQ(file(), "uno\r\ndos-dos\r\n");
  EXPECT_EQ(file_backlog(1).held_units, 2);
  FakeDisk::capacity = INT64_MAX;
  EXPECT_EQ(unit("cinco"), RESULT_OK);
  EXPECT_EQ(file(), "uno\r\ndos-dos\r\ntres\r\ncuatro\r\ncinco\r\n");
  const FileBacklog backlog = file_backlog(1);
  EXPECT_EQ(backlog.held_units, 0);
  EXPECT_EQ(backlog.dropped_units, 0);
  EXPECT_EQ(backlog.error, "");
}

TEST_F(FullDiskTest, AFailedSyncCutsTheUnitBackAndHoldsIt) {
  ASSERT_EQ(unit("uno"), RESULT_OK);
  FakeDisk::sync_fails = true;
  EXPECT_EQ(unit("dos"), RESULT_SHORT_WRITE);
  EXPECT_EQ(file(), "uno\r\n");
  EXPECT_EQ(file_backlog(1).error, std::strerror(EIO));
  FakeDisk::sync_fails = false;
  EXPECT_EQ(flush_channel(1), RESULT_OK);  // nothing new: only the held unit
  EXPECT_EQ(file(), "uno\r\ndos\r\n");
}

TEST_F(FullDiskTest, AFileSyncedAtTheEndGetsItsUnitsAtOnceAndOneSyncThatMustSucceed) {
  use_file_sync(FileSync::at_end);
  ASSERT_EQ(open_file(dir.file("late"), FILE_MODE_OUTPUT, 0, 0, 2, 0), RESULT_OK);
  use_file_sync(FileSync::every_unit);
  for (const char* text : {"uno", "dos", "tres"}) {
    print_text(1, text, SEP_NEWLINE);
    print_text(2, text, SEP_NEWLINE);
    EXPECT_EQ(flush_channel(1), RESULT_OK);
    EXPECT_EQ(flush_channel(2), RESULT_OK);
  }
  EXPECT_EQ(FakeDisk::syncs, 3);  // the file opened before the change, at each unit
  EXPECT_EQ(read_file(dir.file("late")), "uno\r\ndos\r\ntres\r\n");  // every unit written, whole
  EXPECT_EQ(file_backlog(2).unsynced_units, 3);
  FakeDisk::sync_fails = true;
  EXPECT_EQ(sync_channel(2), RESULT_SHORT_WRITE);
  EXPECT_EQ(file_backlog(2).unsynced_units, 3);
  EXPECT_EQ(file_backlog(2).error, std::strerror(EIO));
  EXPECT_EQ(file_backlog(2).held_units, 0);
  FakeDisk::sync_fails = false;
  EXPECT_EQ(sync_channel(2), RESULT_OK);
  EXPECT_EQ(file_backlog(2).unsynced_units, 0);
  EXPECT_EQ(FakeDisk::syncs, 5);
  close_all_files();
  EXPECT_EQ(FakeDisk::syncs, 5);  // nothing left to sync at the close
}

TEST_F(FullDiskTest, ACutThatFailsIsTriedAgainBeforeAnythingElseIsWritten) {
  FakeDisk::capacity = 2;
  FakeDisk::cut_fails = true;
  EXPECT_EQ(unit("uno"), RESULT_SHORT_WRITE);
  EXPECT_EQ(file(), "un");  // torn, and the cut failed
  FakeDisk::capacity = INT64_MAX;
  const int64_t writes = FakeDisk::writes;
  EXPECT_EQ(unit("dos"), RESULT_SHORT_WRITE);
  EXPECT_EQ(FakeDisk::writes, writes);  // nothing written behind a torn unit
  FakeDisk::cut_fails = false;
  EXPECT_EQ(unit("tres"), RESULT_OK);
  EXPECT_EQ(file(), "uno\r\ndos\r\ntres\r\n");
}

TEST_F(FullDiskTest, HeldBytesAreBoundedAndUnitsPastTheBoundAreCounted) {
  FakeDisk::capacity = 0;
  const std::string block(1000, 'r');
  const int64_t fitting = FILE_HOLD_LIMIT / 1002;
  for (int64_t i = 0; i < fitting + 7; ++i) unit(block);
  FileBacklog backlog = file_backlog(1);
  EXPECT_EQ(backlog.held_units, fitting);
  EXPECT_EQ(backlog.dropped_units, 7);
  FakeDisk::capacity = INT64_MAX;
  EXPECT_EQ(unit("fin"), RESULT_OK);
  EXPECT_EQ(std::filesystem::file_size(dir.file("log")), static_cast<uintmax_t>(fitting * 1002 + 5));
  backlog = file_backlog(1);
  EXPECT_EQ(backlog.held_units, 0);
  EXPECT_EQ(backlog.dropped_units, 7);  // the count stays for the end of the program
}

TEST_F(FullDiskTest, FullBuffersAreHeldAndClosingWritesThemOnceThereIsRoom) {
  FakeDisk::capacity = 0;
  print_text(1, std::string(3 * FILE_BUFFER_SIZE + 5, 'b'), SEP_NONE);
  EXPECT_EQ(last_result(), RESULT_OK);
  EXPECT_EQ(file_backlog(1).held_units, 1);
  FakeDisk::capacity = INT64_MAX;
  close_all_files();
  EXPECT_EQ(file(), std::string(3 * FILE_BUFFER_SIZE + 5, 'b'));
}

// Under a file-size limit of 100 bytes, write 150 and end the process: 0 when the unit was held.
[[noreturn]] void write_past_a_size_limit(const std::string& name) {
  rlimit limit{100, 100};
  setrlimit(RLIMIT_FSIZE, &limit);
  open_file(name, FILE_MODE_OUTPUT, 0, 0, 1, 0);
  print_text(1, std::string(150, 'x'), SEP_NONE);
  const bool held = flush_channel(1) == RESULT_SHORT_WRITE &&
                    file_backlog(1).error == std::strerror(EFBIG) &&
                    std::filesystem::file_size(name) == 0;
  std::_Exit(held ? 0 : 1);
}

TEST_F(FilesTest, AFileSizeLimitIsAWriteFailureNotTheEndOfTheProcess) {
  EXPECT_EXIT(write_past_a_size_limit(dir.file("limited")), ::testing::ExitedWithCode(0), "");
}

TEST_F(FilesTest, OnARealFullFileSystemUnitsWaitAndArriveWholeOnceSpaceIsBack) {
  SmallFileSystem disk(dir.path / "small", "16k");
  if (!disk.mounted()) GTEST_SKIP() << NO_MOUNT;
  const std::string name = (dir.path / "small" / "log").string();
  ASSERT_EQ(open_file(name, FILE_MODE_OUTPUT, 0, 0, 1, 0), RESULT_OK);
  std::string expected;
  auto unit = [&](int i) {
    // Most of a 4 KiB page, so that the second unit needs a page the disk has not got.
    const std::string line = "registro " + std::to_string(i) + " " + std::string(3000, 'a' + i % 26);
    expected += line + "\r\n";
    print_text(1, line, SEP_NEWLINE);
    return flush_channel(1);
  };
  ASSERT_EQ(unit(0), RESULT_OK);
  const std::string first = expected;
  disk.fill();
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(unit(i), RESULT_SHORT_WRITE) << i;
  EXPECT_TRUE(read_file(name) == first);
  EXPECT_EQ(file_backlog(1).held_units, 3);
  EXPECT_EQ(file_backlog(1).error, std::strerror(ENOSPC));
  disk.empty();
  EXPECT_EQ(unit(4), RESULT_OK);  // five units of 3013 bytes fill most of the 16 KiB
  EXPECT_TRUE(read_file(name) == expected);
  close_all_files();
  EXPECT_TRUE(read_file(name) == expected);
}

}  // namespace
