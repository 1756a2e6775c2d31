// Translation of a Windows key message, by its keyboard scan code, into the
// classic PC keyboard codes of the key queue (gfx/pc_keys.h): a character
// byte, or an extended key (code << 8) | 0xFF for keys and combinations
// without a character. The character the user's layout gives the key decides
// AltGr combinations and the keypad with Num Lock on.
//
// Free of any window-system type, so the rules can be checked anywhere.
#pragma once

#include <cstdint>

#include "gfx/pc_keys.h"

// The modifier keys held when a key went down.
struct KeyModifiers {
  bool shift = false;      // either Shift
  bool ctrl = false;       // either Ctrl
  bool alt = false;        // either Alt
  bool right_alt = false;  // AltGr on international layouts
};

// Translate a key by scan code (0 to 88, or one of the 12 grey keys when `grey`).
// `character` is the key's character on the current layout (0 when none). Returns
// a character byte (1 to 255), an extended code (above 255), or 0 when the key has none.
uint32_t translate_key(int32_t scan_code, bool grey, KeyModifiers modifiers, uint8_t character);
