// The classic PC (BIOS) keyboard code set that every back-end translates key
// presses into: a key with Shift, Ctrl or Alt held becomes a character byte or
// an extended key (code << 8) | 0xFF, as the key queue holds them.
//
// Keys are named by their PC scan code (set 1): the letter A is 0x1E, F1 is
// 0x3B, F12 is 0x58, the last with an entry. The `grey` flag marks the 12
// grey E0-prefixed keys: keypad Enter, keypad /, Home, Up, Page Up, Left,
// Right, End, Down, Page Down, Insert, Delete. Each key has a normal, a Shift,
// a Ctrl and an Alt BIOS word; Alt wins over Ctrl, Ctrl over Shift.
// Free of any window-system type. Num Lock and the characters of the user's
// keyboard layout are left to the back-ends, which know how their system
// reports them.
#pragma once

#include <cstdint>

constexpr int32_t PC_SHIFT = 1;  // either Shift
constexpr int32_t PC_CTRL = 2;   // either Ctrl
constexpr int32_t PC_ALT = 4;    // Alt

// Return the extended key code of a BIOS key code.
constexpr uint32_t extended_key(uint32_t code) { return (code << 8) | 0xFF; }

// Return the BIOS keyboard word (scan code << 8 | character) of a key with modifiers; 0 when none.
uint16_t pc_bios_word(int32_t scan, bool grey, int32_t modifiers);

// Return the key code of a key with modifiers: a character byte, an extended key, or 0 when none.
uint32_t pc_key_code(int32_t scan, bool grey, int32_t modifiers);

// Tell whether a key is one of the keypad keys that type a digit or the point with Num Lock on.
bool pc_keypad_digit(int32_t scan, bool grey);
