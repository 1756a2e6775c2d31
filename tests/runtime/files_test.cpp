// Files: numbers, opening and truncation, buffered raw bytes, flushing and closing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "runtime/files.h"
#include "tests/runtime/capture.h"

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
TEST_F(FilesTest, ShortWritesAreReportedAndLeaveTheColumn) {
  ASSERT_EQ(open_file("/dev/full", FILE_MODE_OUTPUT, 0, 0, 1, 0), RESULT_OK);
  print_text(1, "abc", SEP_NONE);
  EXPECT_EQ(last_result(), RESULT_OK);  // still in the buffer
  EXPECT_EQ(flush_channel(1), RESULT_SHORT_WRITE);
  print_text(1, std::string(3 * FILE_BUFFER_SIZE, 'x'), SEP_NONE);
  EXPECT_EQ(last_result(), RESULT_SHORT_WRITE);
  EXPECT_EQ(channel_record(1).column, 3);
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

}  // namespace
