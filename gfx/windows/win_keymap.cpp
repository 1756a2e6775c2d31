// Scan-code tables of the PC keyboard: a normal, a Shift, a Ctrl and an Alt
// code per key, and the grey keys that carry the extended-key bit.
#include "gfx/windows/win_keymap.h"

namespace {

constexpr uint32_t E(uint32_t code) { return extended_key(code); }

struct KeyCodes {
  uint32_t normal, shift, ctrl, alt;
};

constexpr int32_t LAST_SCAN_CODE = 88;

// Codes of the scan codes 0 to 88; 0 where the combination gives nothing.
constexpr KeyCodes main_keys[LAST_SCAN_CODE + 1] = {
    {0, 0, 0, 0},                                      // 0x00
    {0x1B, 0x1B, 0x1B, E(0x01)},                       // Esc
    {'1', '!', 0, E(0x78)},          {'2', '@', E(0x03), E(0x79)},
    {'3', '#', 0, E(0x7A)},          {'4', '$', 0, E(0x7B)},
    {'5', '%', 0, E(0x7C)},          {'6', '^', 0x1E, E(0x7D)},
    {'7', '&', 0, E(0x7E)},          {'8', '*', 0, E(0x7F)},
    {'9', '(', 0, E(0x80)},          {'0', ')', 0, E(0x81)},
    {'-', '_', 0x1F, E(0x82)},       {'=', '+', 0, E(0x83)},
    {0x08, 0x08, 0x7F, E(0x0E)},                       // Backspace
    {0x09, E(0x0F), E(0x94), E(0xA5)},                 // Tab
    {'q', 'Q', 0x11, E(0x10)},       {'w', 'W', 0x17, E(0x11)},
    {'e', 'E', 0x05, E(0x12)},       {'r', 'R', 0x12, E(0x13)},
    {'t', 'T', 0x14, E(0x14)},       {'y', 'Y', 0x19, E(0x15)},
    {'u', 'U', 0x15, E(0x16)},       {'i', 'I', 0x09, E(0x17)},
    {'o', 'O', 0x0F, E(0x18)},       {'p', 'P', 0x10, E(0x19)},
    {'[', '{', 0x1B, E(0x1A)},       {']', '}', 0x1D, E(0x1B)},
    {0x0D, 0x0D, 0x0A, E(0x1C)},                       // Enter
    {0, 0, 0, 0},                                      // Ctrl
    {'a', 'A', 0x01, E(0x1E)},       {'s', 'S', 0x13, E(0x1F)},
    {'d', 'D', 0x04, E(0x20)},       {'f', 'F', 0x06, E(0x21)},
    {'g', 'G', 0x07, E(0x22)},       {'h', 'H', 0x08, E(0x23)},
    {'j', 'J', 0x0A, E(0x24)},       {'k', 'K', 0x0B, E(0x25)},
    {'l', 'L', 0x0C, E(0x26)},       {';', ':', 0, E(0x27)},
    {'\'', '"', 0, E(0x28)},         {'`', '~', 0, E(0x29)},
    {0, 0, 0, 0},                                      // left Shift
    {'\\', '|', 0x1C, E(0x2B)},
    {'z', 'Z', 0x1A, E(0x2C)},       {'x', 'X', 0x18, E(0x2D)},
    {'c', 'C', 0x03, E(0x2E)},       {'v', 'V', 0x16, E(0x2F)},
    {'b', 'B', 0x02, E(0x30)},       {'n', 'N', 0x0E, E(0x31)},
    {'m', 'M', 0x0D, E(0x32)},       {',', '<', 0, E(0x33)},
    {'.', '>', 0, E(0x34)},          {'/', '?', 0, E(0x35)},
    {0, 0, 0, 0},                                      // right Shift
    {'*', '*', E(0x96), E(0x37)},                      // keypad *
    {0, 0, 0, 0},                                      // Alt
    {' ', ' ', ' ', ' '},                              // space bar
    {0, 0, 0, 0},                                      // Caps Lock
    {E(0x3B), E(0x54), E(0x5E), E(0x68)},              // F1
    {E(0x3C), E(0x55), E(0x5F), E(0x69)},
    {E(0x3D), E(0x56), E(0x60), E(0x6A)},
    {E(0x3E), E(0x57), E(0x61), E(0x6B)},              // F4: Alt+F4 is 0x6BFF
    {E(0x3F), E(0x58), E(0x62), E(0x6C)},
    {E(0x40), E(0x59), E(0x63), E(0x6D)},
    {E(0x41), E(0x5A), E(0x64), E(0x6E)},
    {E(0x42), E(0x5B), E(0x65), E(0x6F)},
    {E(0x43), E(0x5C), E(0x66), E(0x70)},
    {E(0x44), E(0x5D), E(0x67), E(0x71)},              // F10
    {0, 0, 0, 0},                                      // Num Lock
    {0, 0, 0, 0},                                      // Scroll Lock
    {E(0x47), '7', E(0x77), 0},                        // keypad Home
    {E(0x48), '8', E(0x8D), 0},                        // keypad Up
    {E(0x49), '9', E(0x84), 0},                        // keypad Page Up
    {'-', '-', E(0x8E), E(0x4A)},                      // keypad -
    {E(0x4B), '4', E(0x73), 0},                        // keypad Left
    {E(0x4C), '5', E(0x8F), 0},                        // keypad 5
    {E(0x4D), '6', E(0x74), 0},                        // keypad Right
    {'+', '+', E(0x90), E(0x4E)},                      // keypad +
    {E(0x4F), '1', E(0x75), 0},                        // keypad End
    {E(0x50), '2', E(0x91), 0},                        // keypad Down
    {E(0x51), '3', E(0x76), 0},                        // keypad Page Down
    {E(0x52), '0', E(0x92), 0},                        // keypad Insert
    {E(0x53), '.', E(0x93), 0},                        // keypad Delete
    {0, 0, 0, 0},                                      // SysRq
    {0, 0, 0, 0},
    {'\\', '|', 0x1C, 0},                              // the 102nd key
    {E(0x85), E(0x87), E(0x89), E(0x8B)},              // F11
    {E(0x86), E(0x88), E(0x8A), E(0x8C)},              // F12
};

struct GreyKey {
  int32_t scan_code;
  KeyCodes codes;
};

// The 12 grey keys that carry the extended-key bit.
constexpr GreyKey grey_keys[] = {
    {0x1C, {0x0D, 0x0D, 0x0A, E(0xA6)}},             // keypad Enter
    {0x35, {'/', '/', E(0x95), E(0xA4)}},            // keypad /
    {0x47, {E(0x47), E(0x47), E(0x77), E(0x97)}},    // Home
    {0x48, {E(0x48), E(0x48), E(0x8D), E(0x98)}},    // Up
    {0x49, {E(0x49), E(0x49), E(0x84), E(0x99)}},    // Page Up
    {0x4B, {E(0x4B), E(0x4B), E(0x73), E(0x9B)}},    // Left
    {0x4D, {E(0x4D), E(0x4D), E(0x74), E(0x9D)}},    // Right
    {0x4F, {E(0x4F), E(0x4F), E(0x75), E(0x9F)}},    // End
    {0x50, {E(0x50), E(0x50), E(0x91), E(0xA0)}},    // Down
    {0x51, {E(0x51), E(0x51), E(0x76), E(0xA1)}},    // Page Down
    {0x52, {E(0x52), E(0x52), E(0x92), E(0xA2)}},    // Insert
    {0x53, {E(0x53), E(0x53), E(0x93), E(0xA3)}},    // Delete
};

// Pick the code for the modifiers held; Alt wins over Ctrl, Ctrl over Shift.
uint32_t pick(const KeyCodes& codes, KeyModifiers modifiers) {
  if (modifiers.alt) return codes.alt;
  if (modifiers.ctrl) return codes.ctrl;
  if (modifiers.shift) return codes.shift;
  return codes.normal;
}

// Tell whether a scan code is one of the keypad's digit keys (7 8 9 4 5 6 1 2 3 0 .).
bool is_keypad_digit(int32_t scan_code) {
  return scan_code >= 0x47 && scan_code <= 0x53 && scan_code != 0x4A && scan_code != 0x4E;
}

}  // namespace

uint32_t translate_key(int32_t scan_code, bool extended, KeyModifiers modifiers, uint8_t character) {
  // AltGr gives a character of the layout, not an Alt combination.
  if (modifiers.right_alt && character != 0) return character;
  if (extended) {
    for (const GreyKey& key : grey_keys) {
      if (key.scan_code == scan_code) return pick(key.codes, modifiers);
    }
    return 0;
  }
  if (scan_code < 0 || scan_code > LAST_SCAN_CODE) return 0;
  // With Num Lock on, the keypad gives its digits.
  if (is_keypad_digit(scan_code) && !modifiers.alt && !modifiers.ctrl && character != 0) return character;
  return pick(main_keys[scan_code], modifiers);
}
