// Key translation of the SDL back-end that needs no SDL: typed text to
// code-page-437 bytes, and PC keys with their modifiers to key-queue codes.
//
// Keys are named by their PC scan code (set 1): the letter A is 0x1E, F1 is
// 0x3B; `grey` marks the E0-prefixed keys (the separate arrows, Home, End,
// Page Up, Page Down, Insert, Delete, keypad Enter and keypad /).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr int32_t PC_SHIFT = 1;     // either Shift
constexpr int32_t PC_CTRL = 2;      // either Ctrl
constexpr int32_t PC_ALT = 4;       // left Alt (or right Alt on a key that types no character)
constexpr int32_t PC_ALT_GR = 8;    // right Alt, which types characters on many layouts
constexpr int32_t PC_NUM_LOCK = 16; // Num Lock is on: the keypad types digits

// Return the code-page-437 byte of a Unicode character, or 0 when it has none.
uint8_t unicode_to_cp437(uint32_t ch);

// Convert UTF-8 text to code-page-437 bytes; characters without a byte and malformed sequences are dropped.
std::string utf8_to_cp437(std::string_view utf8);

// Convert Latin-1 text (the program's own texts) to UTF-8.
std::string latin1_to_utf8(std::string_view latin1);

// Return the BIOS keyboard word (scan code << 8 | character) of a key with modifiers; 0 when none.
uint16_t pc_bios_word(int32_t scan, bool grey, int32_t modifiers);

// Return the key-queue code of a key press, 0 when the key's text (if any) arrives as a character.
uint32_t pc_key_code(int32_t scan, bool grey, int32_t modifiers);

// Tell whether the key's text event, if one follows the press, is to be dropped.
bool pc_key_drops_text(int32_t scan, bool grey, int32_t modifiers);
