// Formatted printing: numeric and text fields, literals, reuse of a used-up format, and rendering.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "runtime/print.h"
#include "tests/runtime/capture.h"

namespace {

class UsingTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_runtime(); }
  void TearDown() override { reset_runtime(); }
  ScreenCapture screen;

  // Print one value through a one-item statement and return what reached the screen.
  std::string through(const std::string& format, double value) {
    screen.writes.clear();
    using_begin(format);
    using_number(0, value, SEP_LAST);
    return screen.all();
  }
};

TEST_F(UsingTest, TwoDecimalMaskExamples) {
  const std::pair<double, const char*> cases[] = {
      {3.14159, " 3.14"}, {2.999, " 2.99"},     {2.99996, " 3.00"},   {0.0, " 0.00"},
      {0.05, " 0.05"},    {12.5, "12.50"},      {99.999, "99.99"},    {100.0, "100.00"},
      {1000.0, "10.00%e+2"}, {1234.5, "12.34%e+2"}, {0.004, "40.00%e-4"}, {-3.5, "-3.50"},
      {7.125, " 7.12"}};
  for (auto [value, text] : cases) EXPECT_EQ(through("##.##", value), text) << value;
  EXPECT_EQ(through("##", 3.7), " 3");
}

TEST_F(UsingTest, NonFiniteValuesAreNeverScaled) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(through("##.##", inf), "inf.00");
  EXPECT_EQ(through("##.##", -inf), "-inf.00");
  EXPECT_EQ(through("##.##", std::nan("")), "nan.00");
  EXPECT_EQ(through("##.##", -std::nan("")), "nan.00");
  EXPECT_EQ(through("#####", inf), "  inf");
  EXPECT_EQ(fixed_text(inf, 4), "inf");
  EXPECT_EQ(fixed_text(-inf, 4), "-inf");
  EXPECT_EQ(fixed_text(std::nan(""), 2), "nan");
}

TEST_F(UsingTest, TextsTooWideForTheFieldAreShownWhole) {
  EXPECT_EQ(through("##.##", -1e20), "-100000000000000000000.00");
  EXPECT_EQ(through("##.##", -1.7976931348623157e308).size(), 1 + 309 + 3u);
  EXPECT_EQ(through("####################", 1e19), "10000000000000000000");  // 15 decimals at most
}

TEST_F(UsingTest, FixedTextRoundsOnTheBinaryValue) {
  EXPECT_EQ(fixed_text(2.675, 2), "2.67");  // 2.67499999...
  EXPECT_EQ(fixed_text(0.125, 2), "0.12");  // an exact tie goes to even
  EXPECT_EQ(fixed_text(0.375, 2), "0.38");
  EXPECT_EQ(fixed_text(2.5, 4), "2.5");
  EXPECT_EQ(fixed_text(3.0, 4), "3");
  EXPECT_EQ(fixed_text(100.0, 0), "100");
  EXPECT_EQ(fixed_text(-0.00001, 2), "-0");
}

TEST_F(UsingTest, FieldOptions) {
  EXPECT_EQ(through("#,###", 1234), "1,234");
  EXPECT_EQ(through("##,###.##", 1234.5), " 1,234.50");
  EXPECT_EQ(through("#,######", 1234567), "1,234,567");
  EXPECT_EQ(through("$$###.##", 12.5), " $12.50");
  EXPECT_EQ(through("**###", 12), "*12");
  EXPECT_EQ(through("**$##", 7), "*$7");
  EXPECT_EQ(through("##.##+", -3.5), " 3.50-");
  EXPECT_EQ(through("##.##+", 3.5), " 3.50");
  EXPECT_EQ(through("+##", 5), " 5");
  EXPECT_EQ(through("##,", 5), " 5,");
  EXPECT_EQ(through(".##", 0.5), ".50");
  EXPECT_EQ(through("###", -12), "-12");
  EXPECT_EQ(through("##", -12), "-12");
}

TEST_F(UsingTest, ExponentForm) {
  EXPECT_EQ(through("#.##^^^^", 2500), "2.50e+03");
  EXPECT_EQ(through("#.##^^^", 2500), "2.50e+3");
  EXPECT_EQ(through("#.##^^", 2500), "2.50e+");
  EXPECT_EQ(through("#.##^^^", 2.5e-12), "2.50e-2");
  EXPECT_EQ(through("##.##^^^^", 3.5), " 3.50e+00");
}

TEST_F(UsingTest, StatementWithLiteralsAndLatin1Bytes) {
  const std::string head = "     0 -> Desvio medio al CERO en \xFAltimos 15 min en %: ";
  using_begin(head + "##.## ");
  using_number(0, 3.14159, SEP_LAST_NEWLINE);
  EXPECT_EQ(screen.writes, (std::vector<std::string>{head, " 3.14", " ", "\r\n"}));
}

TEST_F(UsingTest, TwoFieldsShareOneStatement) {
  using_begin("a##b##c");
  using_number(0, 1, SEP_NONE);
  EXPECT_EQ(screen.all(), "a 1b");
  using_number(0, 2, SEP_LAST);
  EXPECT_EQ(screen.all(), "a 1b 2c");
}

TEST_F(UsingTest, UsedUpFormatServesTheNextItemFromItsStart) {
  using_begin("<##>");
  using_number(0, 1, SEP_NONE);
  using_number(0, 2, SEP_LAST_NEWLINE);
  EXPECT_EQ(screen.all(), "< 1>< 2>\r\n");
}

TEST_F(UsingTest, StatementEndDropsTheFormat) {
  using_begin("x=##");
  using_number(0, 5, SEP_LAST);
  screen.writes.clear();
  using_number(0, 5, SEP_LAST);  // no format: the bare value, no literal
  EXPECT_EQ(screen.all(), "5");
}

TEST_F(UsingTest, TextItemAtANumericFieldWritesNothing) {
  using_begin("##.##");
  using_number(0, 2.5, SEP_NONE);
  using_text(0, "hidden", SEP_LAST_NEWLINE);
  EXPECT_EQ(screen.all(), " 2.50\r\n");

  screen.writes.clear();
  using_begin("v ##");
  using_text(0, "hidden", SEP_NONE);  // stops at the field, consumes nothing
  using_number(0, 9, SEP_LAST);
  EXPECT_EQ(screen.all(), "v  9");
}

TEST_F(UsingTest, TextFields) {
  using_begin("[!][&][\\  \\][\\  \\]");
  using_text(0, "xyz", SEP_NONE);
  using_text(0, "whole", SEP_NONE);
  using_text(0, "ab", SEP_NONE);
  using_text(0, "abcdef", SEP_LAST);
  EXPECT_EQ(screen.all(), "[x][whole][ab  ][abcd]");

  screen.writes.clear();
  using_begin("(!)(&)");
  using_text(0, "", SEP_NONE);
  using_text(0, "", SEP_LAST_NEWLINE);
  EXPECT_EQ(screen.all(), "()()\r\n");
}

TEST_F(UsingTest, UnclosedBackslashIsNoTextField) {
  using_begin("a\\  b");
  using_text(0, "text", SEP_LAST);
  EXPECT_EQ(screen.all(), "a");
}

TEST_F(UsingTest, UnderscoreMakesTheNextCharacterLiteral) {
  using_begin("_#_!__##_");
  using_number(0, 4, SEP_LAST);
  EXPECT_EQ(screen.all(), "#!_ 4");
}

TEST_F(UsingTest, LongLiteralsGoOutInRunsOf2048) {
  using_begin(std::string(5000, 'x') + "##" + std::string(10, 'y'));
  using_number(0, 3, SEP_LAST);
  ASSERT_EQ(screen.writes.size(), 5u);
  EXPECT_EQ(screen.writes[0].size(), 2048u);
  EXPECT_EQ(screen.writes[1].size(), 2048u);
  EXPECT_EQ(screen.writes[2].size(), 904u);
  EXPECT_EQ(screen.writes[3], " 3");
  EXPECT_EQ(screen.writes[4], std::string(10, 'y'));
}

TEST_F(UsingTest, FormattedItemsToAChannelThatIsNotOpenWriteNothing) {
  using_begin("a##b");
  using_number(9, 1, SEP_NONE);
  EXPECT_EQ(last_result(), RESULT_INVALID);
  using_number(0, 2, SEP_LAST);  // the format moved on all the same: reused from its start
  EXPECT_EQ(screen.all(), "a 2b");
}

}  // namespace
