// The layout's character where it counts, the PC keyboard table elsewhere.
#include "gfx/windows/win_keymap.h"

uint32_t translate_key(int32_t scan_code, bool grey, KeyModifiers modifiers, uint8_t character) {
  // AltGr gives a character of the layout, not an Alt combination.
  if (modifiers.right_alt && character != 0) return character;
  // With Num Lock on, the keypad gives its digits.
  if (pc_keypad_digit(scan_code, grey) && !modifiers.alt && !modifiers.ctrl && character != 0) return character;
  const int32_t held = (modifiers.shift ? PC_SHIFT : 0) | (modifiers.ctrl ? PC_CTRL : 0) | (modifiers.alt ? PC_ALT : 0);
  return pc_key_code(scan_code, grey, held);
}
