// Print items, separators, columns and print zones on file-like and screen channels.
#include <gtest/gtest.h>

#include "runtime/print.h"
#include "tests/runtime/capture.h"

namespace {

std::vector<std::string> sink_writes;  // writes that reached the recording channel
ResultCode sink_answer = RESULT_OK;    // what the recording sink reports

ResultCode recording_sink(ChannelRecord&, const char* bytes, int32_t count) {
  sink_writes.emplace_back(bytes, count);
  return sink_answer;
}

constexpr PrintChannel FILE_LIKE = 7;

class PrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_runtime();
    sink_writes.clear();
    sink_answer = RESULT_OK;
    channel_record(FILE_LIKE).sink = recording_sink;
  }
  void TearDown() override { reset_runtime(); }
  static int32_t column() { return channel_record(FILE_LIKE).column; }
  static std::string written() {
    std::string out;
    for (const std::string& w : sink_writes) out += w;
    return out;
  }
};

TEST_F(PrintTest, IntegersCarryLeadingBlankOrMinus) {
  const std::pair<int32_t, const char*> cases[] = {
      {5, " 5"}, {-7, "-7"}, {0, " 0"}, {2147483647, " 2147483647"}, {INT32_MIN, "-2147483648"}};
  for (auto [value, text] : cases) {
    sink_writes.clear();
    print_integer(FILE_LIKE, value, SEP_NONE);
    ASSERT_EQ(sink_writes.size(), 1u);
    EXPECT_EQ(sink_writes[0], text);
  }
}

TEST_F(PrintTest, IntegerLineEndIsPartOfTheSameWrite) {
  print_integer(FILE_LIKE, 5, SEP_NEWLINE);
  print_integer(FILE_LIKE, -3, SEP_NEWLINE_ALT);
  ASSERT_EQ(sink_writes.size(), 2u);
  EXPECT_EQ(sink_writes[0], " 5\r\n");
  EXPECT_EQ(sink_writes[1], "-3\r\n");
  EXPECT_EQ(column(), 0);
}

TEST_F(PrintTest, IntegerWithLineEndAndZoneDoesBothInOrder) {
  print_integer(FILE_LIKE, 1, SEP_NEWLINE | SEP_ZONE);
  EXPECT_EQ(written(), " 1\r\n" + std::string(14, ' '));
  EXPECT_EQ(column(), 14);
}

TEST_F(PrintTest, ZonesOnAFileAlwaysPad) {
  print_integer(FILE_LIKE, 12, SEP_ZONE);
  EXPECT_EQ(written(), " 12" + std::string(11, ' '));
  EXPECT_EQ(column(), 14);
  sink_writes.clear();
  advance_zone(FILE_LIKE);
  EXPECT_EQ(written(), std::string(14, ' '));
  EXPECT_EQ(column(), 28);

  const std::pair<int32_t, size_t> pads[] = {{0, 14}, {3, 11}, {13, 1}, {14, 14}, {200, 10}};
  for (auto [start, pad] : pads) {
    channel_record(FILE_LIKE).column = start;
    sink_writes.clear();
    advance_zone(FILE_LIKE);
    EXPECT_EQ(written(), std::string(pad, ' ')) << "from column " << start;
  }
}

TEST_F(PrintTest, TextLineEndWinsOverZone) {
  print_text(FILE_LIKE, "ab", SEP_NEWLINE | SEP_ZONE);
  print_text(FILE_LIKE, "cd", SEP_NEWLINE_ALT | SEP_ZONE);
  EXPECT_EQ(written(), "ab\r\ncd\r\n");
  sink_writes.clear();
  print_text(FILE_LIKE, "xyz", SEP_ZONE);
  EXPECT_EQ(written(), "xyz" + std::string(11, ' '));
}

TEST_F(PrintTest, EmptyTextWritesOnlyWhatTheSeparatorAsks) {
  print_text(FILE_LIKE, "", SEP_NONE);
  EXPECT_TRUE(sink_writes.empty());
  print_text(FILE_LIKE, "", SEP_NEWLINE);
  ASSERT_EQ(sink_writes.size(), 1u);
  EXPECT_EQ(sink_writes[0], "\r\n");
}

TEST_F(PrintTest, ColumnCountsFromTheLastCarriageReturnOrLineFeed) {
  print_text(FILE_LIKE, "hello", SEP_NONE);
  EXPECT_EQ(column(), 5);
  print_text(FILE_LIKE, "\r\n", SEP_NONE);
  EXPECT_EQ(column(), 0);
  print_text(FILE_LIKE, "xx\r\nabc", SEP_NONE);
  EXPECT_EQ(column(), 3);
  print_text(FILE_LIKE, "de\rf", SEP_NONE);
  EXPECT_EQ(column(), 1);
  print_text(FILE_LIKE, "gh\n", SEP_NONE);
  EXPECT_EQ(column(), 0);
}

TEST_F(PrintTest, HighBytesPassUnchanged) {
  const std::string accents = "\xFA\xF3 \xB1";
  print_text(FILE_LIKE, accents, SEP_NONE);
  EXPECT_EQ(written(), accents);
  EXPECT_EQ(column(), 4);
}

TEST_F(PrintTest, ChannelsThatAreNotOpenTakeNothing) {
  channel_record(3).column = 9;
  for (PrintChannel channel : {3, -1, 255, 1000}) {
    print_text(channel, "abc", SEP_NEWLINE);
    EXPECT_EQ(last_result(), RESULT_INVALID);
    print_integer(channel, 4, SEP_ZONE);
    EXPECT_EQ(last_result(), RESULT_INVALID);
    EXPECT_EQ(write_channel(channel, "x", 1), RESULT_INVALID);
    advance_zone(channel);
    EXPECT_EQ(last_result(), RESULT_INVALID);
  }
  EXPECT_EQ(channel_record(3).column, 9);
  EXPECT_TRUE(sink_writes.empty());
}

TEST_F(PrintTest, FailedWriteLeavesTheColumn) {
  print_text(FILE_LIKE, "abc", SEP_NONE);
  sink_answer = RESULT_SHORT_WRITE;
  print_text(FILE_LIKE, "defg\r\n", SEP_NONE);
  EXPECT_EQ(last_result(), RESULT_SHORT_WRITE);
  EXPECT_EQ(column(), 3);
}

class ScreenChannelTest : public PrintTest {};

TEST_F(ScreenChannelTest, FirstUseTakesCursorAndWidthFromThePort) {
  ScreenCapture screen;
  screen.cursor_column = 11;
  print_text(0, "ab", SEP_NONE);
  EXPECT_EQ(channel_record(0).column, 12);
  EXPECT_EQ(channel_record(0).line_width, 100);
  screen.columns = 80;  // read once only
  print_text(0, "c", SEP_NONE);
  EXPECT_EQ(channel_record(0).line_width, 100);
  EXPECT_EQ(screen.writes, (std::vector<std::string>{"ab", "c"}));
}

TEST_F(ScreenChannelTest, PortChangeSetsTheChannelUpAfresh) {
  ScreenCapture screen;
  print_text(0, "abc", SEP_NONE);
  screen.cursor_column = 40;
  screen.columns = 60;
  set_screen_port(nullptr);
  ScreenCapture again;
  again.cursor_column = 40;
  again.columns = 60;
  set_screen_column(5);  // first use after the change: set up, then the new column
  EXPECT_EQ(channel_record(0).line_width, 60);
  EXPECT_EQ(channel_record(0).column, 5);
}

TEST_F(ScreenChannelTest, ScreenColumnWrapsAtTheLineWidth) {
  ScreenCapture screen;
  print_text(0, std::string(150, 'x'), SEP_NONE);
  EXPECT_EQ(channel_record(0).column, 50);
  print_text(0, std::string(50, 'x'), SEP_NONE);
  EXPECT_EQ(channel_record(0).column, 0);
}

TEST_F(ScreenChannelTest, ZonesOnA100ColumnScreen) {
  ScreenCapture screen;
  const std::pair<int32_t, std::string> cases[] = {
      {0, std::string(14, ' ')}, {70, std::string(14, ' ')}, {83, " "},
      {84, "\r\n"},              {85, "\r\n"},               {99, "\r\n"}};
  for (const auto& [start, expected] : cases) {
    set_screen_column(start);
    screen.writes.clear();
    advance_zone(0);
    ASSERT_EQ(screen.writes.size(), 1u);
    EXPECT_EQ(screen.writes[0], expected) << "from column " << start;
  }
  EXPECT_EQ(channel_record(0).column, 0);
}

TEST_F(ScreenChannelTest, WithoutAPortTheScreenIsStandardOutput) {
  testing::internal::CaptureStdout();
  print_text(0, "Error setting video mode!", SEP_NEWLINE);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error setting video mode!\r\n");
  EXPECT_EQ(channel_record(0).line_width, 0);
}

}  // namespace
