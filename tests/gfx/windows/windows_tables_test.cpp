// The Windows back-ends' pure parts: the display classification, the row
// converters with their lookup tables, and the key translation's own rules
// (the PC keyboard table itself is checked in the gfx tests).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/keys.h"
#include "gfx/windows/win_convert.h"
#include "gfx/windows/win_keymap.h"

namespace {

// A small 16-bit picture whose row table is rotated, as after the text layer scrolls.
struct Picture {
  static constexpr int32_t W = 4;
  static constexpr int32_t H = 3;
  std::vector<uint8_t> pixels = std::vector<uint8_t>(W * H * 2, 0);
  std::vector<uint8_t*> rows;
  std::vector<uint8_t> dirty = std::vector<uint8_t>(H, 0);

  Picture() { rows = {&pixels[2 * W * 2], &pixels[0], &pixels[W * 2]}; }
  void set(int32_t x, int32_t y, uint16_t p) { std::memcpy(rows[y] + x * 2, &p, 2); }
  RowSource source(int32_t line_multiplier = 1) { return {rows.data(), dirty.data(), W, H, line_multiplier}; }
};

template <typename T>
T read_at(const std::vector<uint8_t>& target, int32_t pitch, int32_t x, int32_t y) {
  T value;
  std::memcpy(&value, &target[y * pitch + x * sizeof(T)], sizeof(T));
  return value;
}

// Convert one pixel through a converter and return the target's first pixel bytes.
template <typename T>
T convert_pixel(DisplayFormat format, uint16_t p) {
  Picture picture;
  picture.set(0, 0, p);
  picture.dirty[0] = 1;
  std::vector<uint8_t> target(Picture::W * 4 * Picture::H, 0);
  choose_row_converter(16, format)(picture.source(), target.data(), Picture::W * 4);
  return read_at<T>(target, Picture::W * 4, 0, 0);
}

TEST(DisplayFormat, ClassifiesByDepthAndMasks) {
  EXPECT_EQ(classify_display(16, 0x7C00, 0x3E0), DisplayFormat::rgb15);
  EXPECT_EQ(classify_display(16, 0xF800, 0x7E0), DisplayFormat::rgb16);
  EXPECT_EQ(classify_display(16, 0x1F, 0x7E0), DisplayFormat::bgr16);
  EXPECT_EQ(classify_display(24, 0xFF0000, 0xFF00), DisplayFormat::rgb24);
  EXPECT_EQ(classify_display(24, 0xFF, 0xFF00), DisplayFormat::bgr24);
  EXPECT_EQ(classify_display(32, 0xFF0000, 0xFF00), DisplayFormat::rgb32);
  EXPECT_EQ(classify_display(32, 0xFF, 0xFF00), DisplayFormat::bgr32);
  EXPECT_EQ(classify_display(8, 0, 0), DisplayFormat::palette8);
  EXPECT_EQ(classify_display(4, 0, 0), DisplayFormat::unknown);
}

TEST(DisplayFormat, OnlyMatchingPicturesHaveConverters) {
  EXPECT_EQ(choose_row_converter(16, DisplayFormat::palette8), nullptr);
  EXPECT_EQ(choose_row_converter(16, DisplayFormat::unknown), nullptr);
  EXPECT_EQ(choose_row_converter(8, DisplayFormat::rgb16), nullptr);
  EXPECT_NE(choose_row_converter(8, DisplayFormat::palette8), nullptr);
  EXPECT_NE(choose_row_converter(32, DisplayFormat::rgb32), nullptr);
}

TEST(RowConverters, ConvertOnlyDirtyRowsThroughTheRowTable) {
  Picture picture;
  for (int32_t y = 0; y < Picture::H; ++y) {
    for (int32_t x = 0; x < Picture::W; ++x) picture.set(x, y, static_cast<uint16_t>(0x1000 * (y + 1) + x));
  }
  picture.dirty = {1, 0, 1};
  const int32_t pitch = Picture::W * 2 + 4;  // a surface pitch wider than the row
  std::vector<uint8_t> target(pitch * Picture::H, 0xAA);
  choose_row_converter(16, DisplayFormat::rgb16)(picture.source(), target.data(), pitch);
  EXPECT_EQ(read_at<uint16_t>(target, pitch, 3, 0), 0x1003);
  EXPECT_EQ(read_at<uint16_t>(target, pitch, 0, 2), 0x3000);
  EXPECT_EQ(read_at<uint16_t>(target, pitch, 0, 1), 0xAAAA) << "a clean row was written";
  EXPECT_EQ(target[Picture::W * 2], 0xAA) << "bytes past the row were written";
  EXPECT_EQ(picture.dirty, (std::vector<uint8_t>{1, 0, 1})) << "the marks belong to the caller";
}

TEST(RowConverters, WriteEachRowLineMultiplierTimes) {
  Picture picture;
  picture.set(1, 1, 0xF800);
  picture.dirty = {0, 0, 1, 1, 0, 0};  // one mark per output line: row 1 is lines 2 and 3
  const int32_t pitch = Picture::W * 4;
  std::vector<uint8_t> target(pitch * Picture::H * 2, 0);
  choose_row_converter(16, DisplayFormat::rgb32)(picture.source(2), target.data(), pitch);
  EXPECT_EQ(read_at<uint32_t>(target, pitch, 1, 1), 0u);
  EXPECT_EQ(read_at<uint32_t>(target, pitch, 1, 2), 0xF80000u);
  EXPECT_EQ(read_at<uint32_t>(target, pitch, 1, 3), 0xF80000u);
  EXPECT_EQ(read_at<uint32_t>(target, pitch, 1, 4), 0u);
}

// Fill every pixel of row y with 0x1000 * (y + 1) and return a target of `lines` lines of 0xAA.
std::vector<uint8_t> numbered_rows(Picture& picture, int32_t pitch, int32_t lines) {
  for (int32_t y = 0; y < Picture::H; ++y) {
    for (int32_t x = 0; x < Picture::W; ++x) picture.set(x, y, static_cast<uint16_t>(0x1000 * (y + 1)));
  }
  return std::vector<uint8_t>(static_cast<size_t>(pitch * lines), 0xAA);
}

TEST(RowConverters, DoubledRowsReadOneMarkPerOutputLine) {
  Picture picture;
  const int32_t pitch = Picture::W * 2;
  std::vector<uint8_t> target = numbered_rows(picture, pitch, Picture::H * 2);
  picture.dirty = {0, 0, 0, 1, 1, 0};  // the second line of row 1, the first of row 2
  choose_row_converter(16, DisplayFormat::rgb16)(picture.source(2), target.data(), pitch);
  EXPECT_EQ(read_at<uint16_t>(target, pitch, 0, 3), 0x2000);
  EXPECT_EQ(read_at<uint16_t>(target, pitch, 0, 4), 0x3000);
  EXPECT_EQ(read_at<uint16_t>(target, pitch, 0, 1), 0xAAAA) << "row 0 was written from row 1's marks";
  EXPECT_EQ(read_at<uint16_t>(target, pitch, 0, 2), 0xAAAA) << "an unmarked line was written";
  EXPECT_EQ(read_at<uint16_t>(target, pitch, 0, 5), 0xAAAA) << "an unmarked line was written";
}

TEST(RowConverters, ABandWalksOnlyTheRowsItCoversAndConvertsTheirMarkedLines) {
  for (int32_t multiplier : {1, 2}) {
    Picture picture;
    const int32_t pitch = Picture::W * 2;
    const int32_t lines = Picture::H * multiplier;
    std::vector<uint8_t> target = numbered_rows(picture, pitch, lines);
    const int32_t first = multiplier == 1 ? 1 : 3;  // with rows doubled, the band starts inside row 1
    picture.dirty.assign(static_cast<size_t>(lines), 0);
    picture.dirty[0] = 1;  // outside the band's rows: left alone
    for (int32_t line = first; line < lines; ++line) picture.dirty[static_cast<size_t>(line)] = 1;
    convert_band(choose_row_converter(16, DisplayFormat::rgb16), picture.source(multiplier), first, lines - 1,
                 target.data(), pitch);
    for (int32_t line = 0; line < lines; ++line) {
      const uint16_t want = line < first ? 0xAAAA : static_cast<uint16_t>(0x1000 * (line / multiplier + 1));
      EXPECT_EQ(read_at<uint16_t>(target, pitch, 0, line), want) << "line " << line << ", multiplier " << multiplier;
    }
  }
}

TEST(RowConverters, SixteenBitFormats) {
  EXPECT_EQ(convert_pixel<uint16_t>(DisplayFormat::rgb15, 0xFFFF), 0x7FFF);
  EXPECT_EQ(convert_pixel<uint16_t>(DisplayFormat::rgb15, 0x07E0), 0x03E0);
  EXPECT_EQ(convert_pixel<uint16_t>(DisplayFormat::rgb15, 0x0020), 0x0000) << "the lowest green bit is dropped";
  EXPECT_EQ(convert_pixel<uint16_t>(DisplayFormat::rgb15, 0xF81F), 0x7C1F);
  EXPECT_EQ(convert_pixel<uint16_t>(DisplayFormat::bgr16, 0xF800), 0x001F);
  EXPECT_EQ(convert_pixel<uint16_t>(DisplayFormat::bgr16, 0x001F), 0xF800);
  EXPECT_EQ(convert_pixel<uint16_t>(DisplayFormat::bgr16, 0x07E0), 0x07E0);
  EXPECT_EQ(convert_pixel<uint16_t>(DisplayFormat::rgb16, 0x1234), 0x1234);
}

TEST(RowConverters, ThirtyTwoAndTwentyFourBits) {
  EXPECT_EQ(convert_pixel<uint32_t>(DisplayFormat::rgb32, 0xFFFF), 0xF8FCF8u);
  EXPECT_EQ(convert_pixel<uint32_t>(DisplayFormat::rgb32, 0xF800), 0xF80000u);
  EXPECT_EQ(convert_pixel<uint32_t>(DisplayFormat::rgb32, 0x07E0), 0x00FC00u);
  EXPECT_EQ(convert_pixel<uint32_t>(DisplayFormat::bgr32, 0xF800), 0x0000F8u);
  EXPECT_EQ(convert_pixel<uint32_t>(DisplayFormat::bgr32, 0x001F), 0xF80000u);
  const uint32_t rgb24 = convert_pixel<uint32_t>(DisplayFormat::rgb24, 0xF81F);
  EXPECT_EQ(rgb24 & 0xFFFFFF, 0xF800F8u);
  const uint32_t bgr24 = convert_pixel<uint32_t>(DisplayFormat::bgr24, 0x07FF);
  EXPECT_EQ(bgr24 & 0xFFFFFF, 0xF8FC00u);
}

TEST(RowConverters, LookupTablesMatchTheBitLayoutForEveryPixel) {
  for (bool blue_first : {false, true}) {
    choose_row_converter(16, blue_first ? DisplayFormat::bgr32 : DisplayFormat::rgb32);
    for (uint32_t p = 0; p < 0x10000; ++p) {
      const uint32_t red = (p >> 11) << 3;
      const uint32_t green = ((p >> 5) & 0x3F) << 2;
      const uint32_t blue = (p & 0x1F) << 3;
      const uint32_t want = blue_first ? (blue << 16) | (green << 8) | red : (red << 16) | (green << 8) | blue;
      ASSERT_EQ(pixel_to_32(static_cast<uint16_t>(p)), want) << "pixel 0x" << std::hex << p;
    }
  }
}

KeyModifiers with(bool shift, bool ctrl, bool alt) {
  KeyModifiers m;
  m.shift = shift;
  m.ctrl = ctrl;
  m.alt = alt;
  return m;
}

const KeyModifiers none{};
const KeyModifiers shift = with(true, false, false);
const KeyModifiers ctrl = with(false, true, false);
const KeyModifiers alt = with(false, false, true);

TEST(KeyTranslation, TheLayoutsCharacterCountsForAltGrAndTheKeypadWithNumLock) {
  KeyModifiers altgr = with(false, true, true);
  altgr.right_alt = true;
  EXPECT_EQ(translate_key(0x03, false, altgr, '@'), static_cast<uint32_t>('@')) << "AltGr gives the layout's character";
  EXPECT_EQ(translate_key(0x48, false, none, '8'), static_cast<uint32_t>('8')) << "keypad with Num Lock";
  EXPECT_EQ(translate_key(0x48, false, ctrl, '8'), extended_key(0x8D)) << "Ctrl+keypad 8 is Ctrl+Up";
  EXPECT_EQ(translate_key(0x02, false, alt, '1'), extended_key(0x78)) << "Alt+1";
}

TEST(KeyTranslation, OtherKeysFollowThePcKeyboardTable) {
  EXPECT_EQ(translate_key(0x3E, false, with(true, true, true), 0), KEY_CLOSE_REQUEST) << "Alt wins";
  EXPECT_EQ(translate_key(0x48, true, none, 0), extended_key(72)) << "grey Up";
  EXPECT_EQ(translate_key(0x48, false, none, 0), extended_key(72)) << "keypad without Num Lock";
  EXPECT_EQ(translate_key(0x48, false, shift, 0), static_cast<uint32_t>('8'));
  EXPECT_EQ(translate_key(0x4C, false, none, 0), 0u) << "keypad 5 alone";
  EXPECT_EQ(translate_key(0x35, true, none, '/'), static_cast<uint32_t>('/')) << "keypad /";
  EXPECT_EQ(translate_key(0x39, false, alt, ' '), 32u) << "space bar";
}

}  // namespace
