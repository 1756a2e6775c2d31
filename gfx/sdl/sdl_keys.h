// Key translation of the SDL back-end that needs no SDL: typed text to
// code-page-437 bytes, and which key presses go to the key queue themselves
// and which leave their character to the text event that follows them. The
// codes are those the Windows back-end queues for the same keys.
//
// Keys are named as in the PC keyboard table (gfx/pc_keys.h): by PC scan
// code, `grey` marking the E0-prefixed keys. Besides PC_SHIFT, PC_CTRL and
// PC_ALT (left Alt here), SDL reports two more modifiers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "gfx/pc_keys.h"

constexpr int32_t PC_ALT_GR = 8;    // right Alt, which types characters on many layouts
constexpr int32_t PC_NUM_LOCK = 16; // Num Lock is on: the keypad types digits

// Return the code-page-437 byte of a Unicode character, or 0 when it has none.
uint8_t unicode_to_cp437(uint32_t ch);

// Convert UTF-8 text to code-page-437 bytes; characters without a byte and malformed sequences are dropped.
std::string utf8_to_cp437(std::string_view utf8);

// Convert Latin-1 text (the program's own texts) to UTF-8.
std::string latin1_to_utf8(std::string_view latin1);

// Return the key-queue code of a key press, 0 when the key's text (if any) arrives as a character.
uint32_t sdl_press_code(int32_t scan, bool grey, int32_t modifiers);

// Tell whether the key's text event, if one follows the press, is to be dropped.
bool sdl_press_drops_text(int32_t scan, bool grey, int32_t modifiers);

// Return the code queued after the press's own code (Shift+Tab: a Tab, as on Windows), 0 when none.
uint32_t sdl_press_typed_after(int32_t scan, bool grey, int32_t modifiers);
