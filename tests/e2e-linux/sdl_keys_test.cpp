// Key translation of the SDL back-end: typed text to code page 437 and PC
// keys to key-queue codes, checked against the PC BIOS keyboard codes.
#include "gfx/sdl/sdl_keys.h"

#include <gtest/gtest.h>

namespace {

constexpr bool MAIN = false;
constexpr bool GREY = true;

// PC scan codes of the keys used below.
constexpr int32_t ESC = 0x01, KEY_1 = 0x02, KEY_2 = 0x03, BACKSPACE = 0x0E, TAB = 0x0F, Q = 0x10,
                  ENTER = 0x1C, A = 0x1E, Z = 0x2C, X = 0x2D, M = 0x32, SPACE = 0x39, F1 = 0x3B,
                  F4 = 0x3E, F10 = 0x44, HOME = 0x47, UP = 0x48, PGUP = 0x49, LEFT = 0x4B,
                  RIGHT = 0x4D, END = 0x4F, DOWN = 0x50, PGDN = 0x51, INS = 0x52, DEL = 0x53,
                  F11 = 0x57, F12 = 0x58;

// Return the extended code of a BIOS second byte.
constexpr uint32_t ext(uint32_t code) { return (code << 8) | 0xFF; }

TEST(SdlKeysText, SpanishAndSymbolCharactersTakeTheirCodePage437Bytes) {
  EXPECT_EQ(unicode_to_cp437(U'ñ'), 0xA4);
  EXPECT_EQ(unicode_to_cp437(U'Ñ'), 0xA5);
  EXPECT_EQ(unicode_to_cp437(U'á'), 0xA0);
  EXPECT_EQ(unicode_to_cp437(U'é'), 0x82);
  EXPECT_EQ(unicode_to_cp437(U'í'), 0xA1);
  EXPECT_EQ(unicode_to_cp437(U'ó'), 0xA2);
  EXPECT_EQ(unicode_to_cp437(U'ú'), 0xA3);
  EXPECT_EQ(unicode_to_cp437(U'ü'), 0x81);
  EXPECT_EQ(unicode_to_cp437(U'¿'), 0xA8);
  EXPECT_EQ(unicode_to_cp437(U'¡'), 0xAD);
  EXPECT_EQ(unicode_to_cp437(U'Ç'), 0x80);
  EXPECT_EQ(unicode_to_cp437(U'░'), 0xB0);
  EXPECT_EQ(unicode_to_cp437(U'█'), 0xDB);
  EXPECT_EQ(unicode_to_cp437(U'α'), 0xE0);
  EXPECT_EQ(unicode_to_cp437(U'ß'), 0xE1);
  EXPECT_EQ(unicode_to_cp437(U'°'), 0xF8);
  EXPECT_EQ(unicode_to_cp437(0x00A0), 0xFF);  // no-break space
  EXPECT_EQ(unicode_to_cp437(U' '), 32);
  EXPECT_EQ(unicode_to_cp437(U'~'), 0x7E);
}

TEST(SdlKeysText, CharactersWithoutAByteAreDropped) {
  EXPECT_EQ(unicode_to_cp437(U'€'), 0);
  EXPECT_EQ(unicode_to_cp437(U'Á'), 0);  // not in code page 437
  EXPECT_EQ(unicode_to_cp437(U'😀'), 0);
  EXPECT_EQ(unicode_to_cp437(0), 0);
  EXPECT_EQ(utf8_to_cp437("se\xC3\xB1or \xE2\x82\xAC 5"), "se\xA4or  5");
  EXPECT_EQ(utf8_to_cp437("a\xF0\x9F\x98\x80" "b"), "ab");
}

TEST(SdlKeysText, MalformedUtf8IsSkippedWithoutLosingWhatFollows) {
  EXPECT_EQ(utf8_to_cp437("\xC3"), "");                // cut short
  EXPECT_EQ(utf8_to_cp437("\xC3(x"), "(x");            // bad continuation
  EXPECT_EQ(utf8_to_cp437("\xC0\xAF" "a"), "a");       // overlong '/'
  EXPECT_EQ(utf8_to_cp437("\xED\xA0\x80" "a"), "a");   // surrogate
  EXPECT_EQ(utf8_to_cp437("\xFF\xFE" "a"), "a");       // never a lead byte
  EXPECT_EQ(utf8_to_cp437("\xF4\x90\x80\x80" "a"), "a");  // beyond U+10FFFF
}

TEST(SdlKeysText, Latin1CaptionsBecomeUtf8AndTypeBackAsTheSameLetters) {
  EXPECT_EQ(latin1_to_utf8("InvestigaciOn 0/1"), "InvestigaciOn 0/1");
  EXPECT_EQ(latin1_to_utf8("investigaci\xF3n"), "investigaci\xC3\xB3n");
  EXPECT_EQ(latin1_to_utf8("\xFF\x80"), "\xC3\xBF\xC2\x80");
  EXPECT_EQ(utf8_to_cp437(latin1_to_utf8("\xF1\xE1")), "\xA4\xA0");  // ñ á
}

TEST(SdlKeysCodes, GreyKeysGiveTheirExtendedCodesWithCtrlAndAltVariants) {
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
}

TEST(SdlKeysCodes, FunctionKeysFollowThePcNumbering) {
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
  EXPECT_EQ(pc_key_code(F4, MAIN, PC_ALT_GR), uint32_t{0x6BFF});  // right Alt on a key without a character
}

TEST(SdlKeysCodes, AltWithALetterOrDigitGivesTheKeysScanCode) {
  EXPECT_EQ(pc_key_code(A, MAIN, PC_ALT), ext(0x1E));
  EXPECT_EQ(pc_key_code(Q, MAIN, PC_ALT), ext(0x10));
  EXPECT_EQ(pc_key_code(X, MAIN, PC_ALT | PC_SHIFT), ext(0x2D));
  EXPECT_EQ(pc_key_code(M, MAIN, PC_ALT), ext(0x32));
  EXPECT_EQ(pc_key_code(KEY_1, MAIN, PC_ALT), ext(0x78));
  EXPECT_EQ(pc_key_code(ESC, MAIN, PC_ALT), ext(0x01));
  EXPECT_TRUE(pc_key_drops_text(A, MAIN, PC_ALT));
}

TEST(SdlKeysCodes, KeysWithoutTextGiveTheirControlCharacters) {
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
}

TEST(SdlKeysCodes, PrintableCharactersAreLeftToTheTextEvent) {
  EXPECT_EQ(pc_key_code(A, MAIN, 0), 0u);
  EXPECT_EQ(pc_key_code(A, MAIN, PC_SHIFT), 0u);
  EXPECT_EQ(pc_key_code(SPACE, MAIN, 0), 0u);
  EXPECT_FALSE(pc_key_drops_text(A, MAIN, 0));
  EXPECT_FALSE(pc_key_drops_text(SPACE, MAIN, PC_SHIFT));
  // Right Alt types the layout's third character ("@" on AltGr+2 in Spain): the text comes through.
  EXPECT_EQ(pc_key_code(KEY_2, MAIN, PC_ALT_GR), 0u);
  EXPECT_FALSE(pc_key_drops_text(KEY_2, MAIN, PC_ALT_GR));
}

TEST(SdlKeysCodes, CtrlOrAltWithSpaceStillGivesTheSpace) {
  EXPECT_EQ(pc_key_code(SPACE, MAIN, PC_CTRL), 32u);
  EXPECT_EQ(pc_key_code(SPACE, MAIN, PC_ALT), 32u);
  EXPECT_TRUE(pc_key_drops_text(SPACE, MAIN, PC_CTRL));  // queued once, not again from its text
}

TEST(SdlKeysCodes, CtrlWithAKeyThatHasNoCtrlCodeTypesNothing) {
  EXPECT_EQ(pc_key_code(KEY_1, MAIN, PC_CTRL), 0u);
  EXPECT_TRUE(pc_key_drops_text(KEY_1, MAIN, PC_CTRL));
}

TEST(SdlKeysCodes, TheKeypadMovesWithoutNumLockAndTypesDigitsWithIt) {
  EXPECT_EQ(pc_key_code(UP, MAIN, 0), ext(72));
  EXPECT_EQ(pc_key_code(UP, MAIN, PC_NUM_LOCK), 0u);
  EXPECT_FALSE(pc_key_drops_text(UP, MAIN, PC_NUM_LOCK));
  EXPECT_EQ(pc_key_code(UP, MAIN, PC_NUM_LOCK | PC_SHIFT), ext(72));
  EXPECT_EQ(pc_key_code(UP, MAIN, PC_CTRL), ext(141));
  EXPECT_EQ(pc_bios_word(0x4C, MAIN, 0), 0);  // keypad 5 alone gives nothing
}

TEST(SdlKeysCodes, UnknownKeysGiveNothing) {
  EXPECT_EQ(pc_key_code(-1, MAIN, 0), 0u);
  EXPECT_EQ(pc_key_code(0x59, MAIN, 0), 0u);
  EXPECT_EQ(pc_key_code(0x30, GREY, 0), 0u);
  EXPECT_EQ(pc_key_code(0x1D, MAIN, PC_CTRL), 0u);  // the Ctrl key itself
}

}  // namespace
