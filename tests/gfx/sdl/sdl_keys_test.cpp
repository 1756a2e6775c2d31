// Key translation of the SDL back-end: typed text to code page 437, and which
// key presses are queued themselves and which leave their character to the
// text event (the PC keyboard table itself is checked in the gfx tests).
#include "gfx/sdl/sdl_keys.h"

#include <gtest/gtest.h>

namespace {

constexpr bool MAIN = false;
constexpr bool GREY = true;

// PC scan codes of the keys used below.
constexpr int32_t ESC = 0x01, KEY_1 = 0x02, KEY_2 = 0x03, TAB = 0x0F, ENTER = 0x1C, A = 0x1E, SPACE = 0x39,
                  F4 = 0x3E, UP = 0x48;

// Return the extended code of a BIOS second byte.
constexpr uint32_t ext(uint32_t code) { return extended_key(code); }

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

TEST(SdlKeysCodes, ExtendedKeysAndControlCharactersAreQueuedFromThePress) {
  EXPECT_EQ(sdl_press_code(F4, MAIN, PC_ALT), uint32_t{0x6BFF});
  EXPECT_EQ(sdl_press_code(UP, GREY, PC_CTRL), ext(141));
  EXPECT_EQ(sdl_press_code(ESC, MAIN, 0), 27u);
  EXPECT_EQ(sdl_press_code(ENTER, GREY, 0), 13u);  // keypad Enter
  EXPECT_EQ(sdl_press_code(A, MAIN, PC_CTRL), 1u);
  EXPECT_TRUE(sdl_press_drops_text(ESC, MAIN, 0));
}

TEST(SdlKeysCodes, AltCombinationsAreQueuedAndDropTheirText) {
  EXPECT_EQ(sdl_press_code(A, MAIN, PC_ALT), ext(0x1E));
  EXPECT_TRUE(sdl_press_drops_text(A, MAIN, PC_ALT));
  EXPECT_EQ(sdl_press_code(F4, MAIN, PC_ALT_GR), uint32_t{0x6BFF});  // right Alt on a key without a character
}

TEST(SdlKeysCodes, PrintableCharactersAreLeftToTheTextEvent) {
  EXPECT_EQ(sdl_press_code(A, MAIN, 0), 0u);
  EXPECT_EQ(sdl_press_code(A, MAIN, PC_SHIFT), 0u);
  EXPECT_EQ(sdl_press_code(SPACE, MAIN, 0), 0u);
  EXPECT_FALSE(sdl_press_drops_text(A, MAIN, 0));
  EXPECT_FALSE(sdl_press_drops_text(SPACE, MAIN, PC_SHIFT));
  // Right Alt types the layout's third character ("@" on AltGr+2 in Spain): the text comes through.
  EXPECT_EQ(sdl_press_code(KEY_2, MAIN, PC_ALT_GR), 0u);
  EXPECT_FALSE(sdl_press_drops_text(KEY_2, MAIN, PC_ALT_GR));
}

TEST(SdlKeysCodes, SpaceWithAltGivesNothingAsOnWindowsAndWithCtrlStillTheSpace) {
  // Windows opens the system menu on Alt+Space and queues nothing; Ctrl+Space types a space.
  EXPECT_EQ(sdl_press_code(SPACE, MAIN, PC_ALT), 0u);
  EXPECT_TRUE(sdl_press_drops_text(SPACE, MAIN, PC_ALT));
  EXPECT_EQ(sdl_press_code(SPACE, MAIN, PC_ALT | PC_CTRL), 0u);
  EXPECT_TRUE(sdl_press_drops_text(SPACE, MAIN, PC_ALT | PC_CTRL));
  EXPECT_EQ(sdl_press_code(SPACE, MAIN, PC_ALT | PC_SHIFT), 0u);
  EXPECT_EQ(sdl_press_typed_after(SPACE, MAIN, PC_ALT), 0u);
  EXPECT_EQ(sdl_press_code(SPACE, MAIN, PC_CTRL), 32u);
  EXPECT_TRUE(sdl_press_drops_text(SPACE, MAIN, PC_CTRL));  // queued once, not again from its text
}

TEST(SdlKeysCodes, ShiftTabGivesItsExtendedCodeAndThenATabAsOnWindows) {
  EXPECT_EQ(sdl_press_code(TAB, MAIN, PC_SHIFT), ext(0x0F));
  EXPECT_EQ(sdl_press_typed_after(TAB, MAIN, PC_SHIFT), 9u);
  EXPECT_EQ(sdl_press_code(TAB, MAIN, 0), 9u);
  EXPECT_EQ(sdl_press_typed_after(TAB, MAIN, 0), 0u);
  EXPECT_EQ(sdl_press_code(TAB, MAIN, PC_CTRL), ext(0x94));
  EXPECT_EQ(sdl_press_typed_after(TAB, MAIN, PC_CTRL | PC_SHIFT), 0u);
  EXPECT_EQ(sdl_press_typed_after(A, MAIN, PC_SHIFT), 0u);
}

TEST(SdlKeysCodes, CtrlWithAKeyThatHasNoCtrlCodeTypesNothing) {
  EXPECT_EQ(sdl_press_code(KEY_1, MAIN, PC_CTRL), 0u);
  EXPECT_TRUE(sdl_press_drops_text(KEY_1, MAIN, PC_CTRL));
}

TEST(SdlKeysCodes, TheKeypadMovesWithoutNumLockAndTypesDigitsWithIt) {
  EXPECT_EQ(sdl_press_code(UP, MAIN, 0), ext(72));
  EXPECT_EQ(sdl_press_code(UP, MAIN, PC_NUM_LOCK), 0u);
  EXPECT_FALSE(sdl_press_drops_text(UP, MAIN, PC_NUM_LOCK));
  EXPECT_EQ(sdl_press_code(UP, MAIN, PC_NUM_LOCK | PC_SHIFT), ext(72));
  EXPECT_EQ(sdl_press_code(UP, GREY, PC_NUM_LOCK), ext(72));  // the grey arrows ignore Num Lock
}

}  // namespace
