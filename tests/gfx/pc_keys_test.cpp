// The PC keyboard table that every back-end translates key presses with,
// checked against the classic PC BIOS keyboard codes.
#include "gfx/pc_keys.h"

#include <gtest/gtest.h>

#include "gfx/keys.h"

namespace {

constexpr bool MAIN = false;
constexpr bool GREY = true;

// PC scan codes of the keys used below.
constexpr int32_t ESC = 0x01, KEY_1 = 0x02, KEY_2 = 0x03, BACKSPACE = 0x0E, TAB = 0x0F, Q = 0x10,
                  ENTER = 0x1C, A = 0x1E, Z = 0x2C, X = 0x2D, M = 0x32, SPACE = 0x39, F1 = 0x3B,
                  F4 = 0x3E, F10 = 0x44, HOME = 0x47, UP = 0x48, PGUP = 0x49, LEFT = 0x4B, PAD_5 = 0x4C,
                  RIGHT = 0x4D, END = 0x4F, DOWN = 0x50, PGDN = 0x51, INS = 0x52, DEL = 0x53,
                  KEY_102 = 0x56, F11 = 0x57, F12 = 0x58;

// Return the extended code of a BIOS second byte.
constexpr uint32_t ext(uint32_t code) { return extended_key(code); }

TEST(PcKeys, FunctionKeysFollowThePcNumbering) {
  EXPECT_EQ(pc_key_code(F1, MAIN, 0), ext(59));
  EXPECT_EQ(pc_key_code(F10, MAIN, 0), ext(68));
  EXPECT_EQ(pc_key_code(F1, MAIN, PC_SHIFT), ext(84));
  EXPECT_EQ(pc_key_code(F10, MAIN, PC_SHIFT), ext(93));
  EXPECT_EQ(pc_key_code(F1, MAIN, PC_CTRL), ext(94));
  EXPECT_EQ(pc_key_code(F10, MAIN, PC_CTRL), ext(103));
  EXPECT_EQ(pc_key_code(F1, MAIN, PC_ALT), ext(104));
  EXPECT_EQ(pc_key_code(F10, MAIN, PC_ALT), ext(113));
  EXPECT_EQ(pc_key_code(F4, MAIN, PC_ALT), uint32_t{0x6BFF});
  EXPECT_EQ(pc_key_code(F11, MAIN, 0), ext(133));
  EXPECT_EQ(pc_key_code(F12, MAIN, 0), ext(134));
  EXPECT_EQ(pc_key_code(F11, MAIN, PC_SHIFT), ext(135));
  EXPECT_EQ(pc_key_code(F12, MAIN, PC_CTRL), ext(138));
  EXPECT_EQ(pc_key_code(F12, MAIN, PC_ALT), ext(140));
  for (uint32_t i = 0; i < 10; ++i) {
    const int32_t scan = static_cast<int32_t>(F1 + i);
    EXPECT_EQ(pc_key_code(scan, MAIN, 0), ext(59 + i));
    EXPECT_EQ(pc_key_code(scan, MAIN, PC_SHIFT), ext(0x54 + i));
    EXPECT_EQ(pc_key_code(scan, MAIN, PC_CTRL), ext(0x5E + i));
    EXPECT_EQ(pc_key_code(scan, MAIN, PC_ALT), ext(0x68 + i));
  }
  EXPECT_EQ(pc_key_code(F12, MAIN, PC_ALT), ext(0x8C));
  EXPECT_EQ(pc_key_code(F4, MAIN, PC_ALT), KEY_CLOSE_REQUEST) << "Alt+F4";
  EXPECT_EQ(pc_key_code(F4, MAIN, PC_SHIFT | PC_CTRL | PC_ALT), KEY_CLOSE_REQUEST) << "Alt wins";
}

TEST(PcKeys, GreyKeysGiveTheirExtendedCodesWithCtrlAndAltVariants) {
  const struct { int32_t scan; uint32_t plain, ctrl, alt; } keys[] = {
      {UP, 72, 141, 152},   {DOWN, 80, 145, 160}, {LEFT, 75, 115, 155}, {RIGHT, 77, 116, 157},
      {HOME, 71, 119, 151}, {END, 79, 117, 159},  {PGUP, 73, 132, 153}, {PGDN, 81, 118, 161},
      {INS, 82, 146, 162},  {DEL, 83, 147, 163},
  };
  for (const auto& k : keys) {
    EXPECT_EQ(pc_key_code(k.scan, GREY, 0), ext(k.plain)) << k.scan;
    EXPECT_EQ(pc_key_code(k.scan, GREY, PC_SHIFT), ext(k.plain)) << k.scan;
    EXPECT_EQ(pc_key_code(k.scan, GREY, PC_CTRL), ext(k.ctrl)) << k.scan;
    EXPECT_EQ(pc_key_code(k.scan, GREY, PC_ALT), ext(k.alt)) << k.scan;
  }
  EXPECT_EQ(pc_key_code(UP, GREY, PC_CTRL), ext(0x8D));
  EXPECT_EQ(pc_key_code(UP, GREY, PC_ALT), ext(0x98));
  EXPECT_EQ(pc_key_code(ENTER, GREY, PC_ALT), ext(0xA6)) << "keypad Enter";
  EXPECT_EQ(pc_key_code(0x35, GREY, 0), static_cast<uint32_t>('/')) << "keypad /";
  EXPECT_EQ(pc_key_code(0x1D, GREY, 0), 0u) << "right Ctrl gives nothing";
}

TEST(PcKeys, TheKeypadWithoutNumLockMovesAndShiftTypesItsDigits) {
  const int32_t arrows[][2] = {{UP, 72}, {DOWN, 80}, {LEFT, 75}, {RIGHT, 77}, {HOME, 71},
                               {END, 79}, {PGUP, 73}, {PGDN, 81}, {INS, 82}, {DEL, 83}};
  for (const auto& key : arrows) {
    EXPECT_EQ(pc_key_code(key[0], GREY, 0), ext(static_cast<uint32_t>(key[1])));
    EXPECT_EQ(pc_key_code(key[0], MAIN, 0), ext(static_cast<uint32_t>(key[1]))) << "keypad without Num Lock";
    EXPECT_TRUE(pc_keypad_digit(key[0], MAIN));
    EXPECT_FALSE(pc_keypad_digit(key[0], GREY));
  }
  EXPECT_EQ(pc_key_code(UP, MAIN, PC_CTRL), ext(141));
  EXPECT_EQ(pc_key_code(UP, MAIN, PC_SHIFT), static_cast<uint32_t>('8'));
  EXPECT_EQ(pc_key_code(DEL, MAIN, PC_SHIFT), static_cast<uint32_t>('.'));
  EXPECT_EQ(pc_bios_word(PAD_5, MAIN, 0), 0);  // keypad 5 alone gives nothing
  EXPECT_EQ(pc_key_code(PAD_5, MAIN, PC_SHIFT), static_cast<uint32_t>('5'));
  EXPECT_EQ(pc_key_code(PAD_5, MAIN, PC_CTRL), ext(0x8F));
  EXPECT_EQ(pc_key_code(0x4A, MAIN, 0), static_cast<uint32_t>('-')) << "keypad - types with or without Num Lock";
  EXPECT_FALSE(pc_keypad_digit(0x4A, MAIN));
  EXPECT_FALSE(pc_keypad_digit(0x4E, MAIN));
}

TEST(PcKeys, CharacterKeysAndAltWithALetterOrDigit) {
  const char* rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
  const int32_t first_scan[] = {Q, A, Z};
  for (int r = 0; r < 3; ++r) {
    for (int32_t i = 0; rows[r][i] != 0; ++i) {
      const int32_t scan = first_scan[r] + i;
      EXPECT_EQ(pc_key_code(scan, MAIN, 0), static_cast<uint32_t>(rows[r][i]));
      EXPECT_EQ(pc_key_code(scan, MAIN, PC_ALT), ext(static_cast<uint32_t>(scan)));
    }
  }
  EXPECT_EQ(pc_key_code(A, MAIN, PC_ALT), ext(0x1E));
  EXPECT_EQ(pc_key_code(Q, MAIN, PC_ALT), ext(0x10));
  EXPECT_EQ(pc_key_code(X, MAIN, PC_ALT | PC_SHIFT), ext(0x2D));
  EXPECT_EQ(pc_key_code(M, MAIN, PC_ALT), ext(0x32));
  EXPECT_EQ(pc_key_code(KEY_1, MAIN, PC_ALT), ext(0x78));
  EXPECT_EQ(pc_key_code(ESC, MAIN, PC_ALT), ext(0x01));
  EXPECT_EQ(pc_key_code(SPACE, MAIN, 0), 32u) << "space bar";
  EXPECT_EQ(pc_key_code(SPACE, MAIN, PC_ALT), 32u);
  EXPECT_EQ(pc_key_code(TAB, MAIN, PC_SHIFT), ext(0x0F)) << "Shift+Tab";
}

TEST(PcKeys, KeysWithoutTextGiveTheirControlCharacters) {
  EXPECT_EQ(pc_key_code(ESC, MAIN, 0), 27u);
  EXPECT_EQ(pc_key_code(ENTER, MAIN, 0), 13u);
  EXPECT_EQ(pc_key_code(ENTER, GREY, 0), 13u);  // keypad Enter
  EXPECT_EQ(pc_key_code(ENTER, MAIN, PC_CTRL), 10u);
  EXPECT_EQ(pc_key_code(BACKSPACE, MAIN, 0), 8u);
  EXPECT_EQ(pc_key_code(BACKSPACE, MAIN, PC_CTRL), 127u);
  EXPECT_EQ(pc_key_code(TAB, MAIN, 0), 9u);
  EXPECT_EQ(pc_key_code(TAB, MAIN, PC_SHIFT), ext(15));
  EXPECT_EQ(pc_key_code(A, MAIN, PC_CTRL), 1u);
  EXPECT_EQ(pc_key_code(Z, MAIN, PC_CTRL | PC_SHIFT), 26u);
  EXPECT_EQ(pc_key_code(KEY_2, MAIN, PC_CTRL), ext(3));  // Ctrl+2, the NUL key
  EXPECT_EQ(pc_key_code(KEY_1, MAIN, PC_CTRL), 0u);     // no Ctrl code
}

TEST(PcKeys, The102ndKeyTypesItsTwoCharactersAndNothingWithCtrlOrAlt) {
  EXPECT_EQ(pc_bios_word(KEY_102, MAIN, 0), 0x565C);
  EXPECT_EQ(pc_bios_word(KEY_102, MAIN, PC_SHIFT), 0x567C);
  EXPECT_EQ(pc_key_code(KEY_102, MAIN, PC_CTRL), 0u);
  EXPECT_EQ(pc_key_code(KEY_102, MAIN, PC_CTRL | PC_SHIFT), 0u);
  EXPECT_EQ(pc_key_code(KEY_102, MAIN, PC_ALT), 0u);
  EXPECT_EQ(pc_key_code(0x2B, MAIN, PC_CTRL), 0x1Cu) << "the backslash key proper has its Ctrl code";
}

TEST(PcKeys, UnknownKeysGiveNothing) {
  EXPECT_EQ(pc_key_code(-1, MAIN, 0), 0u);
  EXPECT_EQ(pc_key_code(0x59, MAIN, 0), 0u);
  EXPECT_EQ(pc_key_code(0x30, GREY, 0), 0u);
  EXPECT_EQ(pc_key_code(0x1D, MAIN, PC_CTRL), 0u);  // the Ctrl key itself
  EXPECT_EQ(pc_key_code(0x5B, GREY, 0), 0u) << "Windows key";
  EXPECT_EQ(pc_key_code(0x2A, MAIN, PC_SHIFT), 0u) << "Shift alone";
}

}  // namespace
