// Text conversions: hexadecimal texts, number parsing, repetition and comparison.
#include <gtest/gtest.h>

#include <cmath>

#include "runtime/text.h"

namespace {

TEST(TextTest, HexTexts) {
  EXPECT_EQ(hex_text(0), "0");
  EXPECT_EQ(hex_text(52), "34");
  EXPECT_EQ(hex_text(248), "F8");
  EXPECT_EQ(hex_text(255), "FF");
  EXPECT_EQ(hex_text(-1), "FFFFFFFF");
  EXPECT_EQ(hex_text(INT32_MIN), "80000000");
}

TEST(TextTest, ParseBasedNumbers) {
  EXPECT_EQ(parse_number("&hFF"), 255);
  EXPECT_EQ(parse_number("&hff"), 255);
  EXPECT_EQ(parse_number("&HfF"), 255);
  EXPECT_EQ(parse_number("&h"), 0);
  EXPECT_EQ(parse_number("&h003400"), 13312);
  EXPECT_EQ(parse_number("&h00" + hex_text(248) + "00"), 0xF800);
  EXPECT_EQ(parse_number("&hFFFFFFFF"), -1);
  EXPECT_EQ(parse_number("&h100000001"), 1);  // wraps at 32 bits
  EXPECT_EQ(parse_number("&o17"), 15);
  EXPECT_EQ(parse_number("&B101"), 5);
  EXPECT_EQ(parse_number("  &h10"), 16);
  EXPECT_EQ(parse_number("&b12"), 4);  // digits are not checked
}

TEST(TextTest, ParseDecimalNumbers) {
  EXPECT_EQ(parse_number(""), 0);
  EXPECT_EQ(parse_number("   "), 0);
  EXPECT_EQ(parse_number("  12.5"), 12.5);
  EXPECT_EQ(parse_number("&x12"), 0);
  EXPECT_EQ(parse_number("&"), 0);
  EXPECT_EQ(parse_number("-3.25e2xyz"), -325);
  EXPECT_EQ(parse_number("+.5"), 0.5);
  EXPECT_EQ(parse_number("7."), 7);
  EXPECT_EQ(parse_number("1e"), 1);
  EXPECT_EQ(parse_number("1e+"), 1);
  EXPECT_EQ(parse_number("."), 0);
  EXPECT_EQ(parse_number("abc"), 0);
  EXPECT_EQ(parse_number("inf"), 0);
  EXPECT_EQ(parse_number("0x10"), 0);
  EXPECT_EQ(parse_number("0.1"), 0.1);
  EXPECT_EQ(parse_number("1e999"), HUGE_VAL);
  EXPECT_EQ(parse_number("-1e999"), -HUGE_VAL);
  EXPECT_EQ(parse_number("1e-999"), 0);
}

TEST(TextTest, RepeatFirstByte) {
  EXPECT_EQ(repeat_text(99, "-"), std::string(99, '-'));
  EXPECT_EQ(repeat_text(3, "xy"), "xxx");
  EXPECT_EQ(repeat_text(2, "\xFA"), "\xFA\xFA");
  EXPECT_EQ(repeat_text(0, "-"), "");
  EXPECT_EQ(repeat_text(-4, "-"), "");
  EXPECT_EQ(repeat_text(5, ""), "");
}

TEST(TextTest, CompareBytesAsUnsigned) {
  EXPECT_EQ(compare_text("", " "), -1);
  EXPECT_EQ(compare_text(" ", " "), 0);
  EXPECT_EQ(compare_text("", ""), 0);
  EXPECT_EQ(compare_text("b", "a"), 1);
  EXPECT_EQ(compare_text("ab", "a"), 1);
  EXPECT_EQ(compare_text("a", "ab"), -1);
  EXPECT_EQ(compare_text("\xFA", "z"), 1);
  EXPECT_EQ(compare_text(std::string("a\0b", 3), std::string("a\0c", 3)), -1);
}

TEST(TextTest, FloatingValuesBecome32BitsByOneRule) {
  EXPECT_EQ(round_to_int32(2.5), 2);  // halves to the even neighbour
  EXPECT_EQ(round_to_int32(3.5), 4);
  EXPECT_EQ(round_to_int32(-2.5), -2);
  EXPECT_EQ(round_to_int32(-0.4), 0);
  EXPECT_EQ(round_to_int32(2147483647.0), INT32_MAX);
  EXPECT_EQ(round_to_int32(2147483647.4), INT32_MAX);
  EXPECT_EQ(round_to_int32(-2147483648.0), INT32_MIN);
  EXPECT_EQ(round_to_int32(-2147483648.5), INT32_MIN);  // rounds to the even -2147483648
  // Out of range, infinite or not a number: the most negative integer.
  EXPECT_EQ(round_to_int32(2147483647.5), INT32_MIN);
  EXPECT_EQ(round_to_int32(2147483648.0), INT32_MIN);
  EXPECT_EQ(round_to_int32(-2147483649.0), INT32_MIN);
  EXPECT_EQ(round_to_int32(1e300), INT32_MIN);
  EXPECT_EQ(round_to_int32(HUGE_VAL), INT32_MIN);
  EXPECT_EQ(round_to_int32(-HUGE_VAL), INT32_MIN);
  EXPECT_EQ(round_to_int32(std::nan("")), INT32_MIN);
  // Truncation and floor are the same rule applied after std::trunc and std::floor.
  EXPECT_EQ(round_to_int32(std::trunc(-12.9)), -12);
  EXPECT_EQ(round_to_int32(std::floor(-12.1)), -13);
  // floor_to_int32 is that floor rule, on both sides of its shortcut for 0 to 2^31.
  for (double value : {0.0, -0.0, 0.999, 1.0, 1.99999, -0.5, -12.1, 2147483647.9, 2147483648.0, -2147483648.0,
                       -2147483648.5, 1e300, -HUGE_VAL, std::nan("")}) {
    EXPECT_EQ(floor_to_int32(value), round_to_int32(std::floor(value))) << value;
  }
  EXPECT_EQ(floor_to_int32(1.99999), 1);
  EXPECT_EQ(floor_to_int32(2147483648.0), INT32_MIN);
}

}  // namespace
