// The PC BIOS keyboard tables: a normal, a Shift, a Ctrl and an Alt word per
// scan code 0 to 88, and a separate table for the grey keys. A word is the
// scan code (or the extended code) in the high byte and the character in the
// low byte; a low byte of 0, or 0xE0 on a grey key, marks a key without a
// character. See pc_keys.h.
#include "gfx/pc_keys.h"

#include <array>
#include <cstddef>

namespace {

struct BiosKey {
  uint16_t normal;
  uint16_t shift;
  uint16_t ctrl;
  uint16_t alt;
};

constexpr int32_t PC_SCAN_COUNT = 0x59;

using BiosTable = std::array<BiosKey, PC_SCAN_COUNT>;

// Return the word of a key that types `ch`: scan code high, character low.
constexpr uint16_t word(int32_t scan, int32_t ch) {
  return static_cast<uint16_t>((scan << 8) | ch);
}

// Fill the entries of a letter key.
constexpr void put_letter(BiosTable& t, int32_t scan, char lower) {
  const int32_t upper = lower - 'a' + 'A';
  t[scan] = {word(scan, lower), word(scan, upper), word(scan, upper - '@'), word(scan, 0)};
}

// Fill the entries of a key with the usual character pair and its Alt code.
constexpr void put_pair(BiosTable& t, int32_t scan, char normal, char shifted, int32_t ctrl_word, int32_t alt_code) {
  t[scan] = {word(scan, normal), word(scan, shifted), static_cast<uint16_t>(ctrl_word),
             static_cast<uint16_t>(alt_code << 8)};
}

// Build the table of the keys without the E0 prefix.
constexpr BiosTable build_main_table() {
  BiosTable t{};
  const char* rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
  const int32_t first[] = {0x10, 0x1E, 0x2C};
  for (int32_t r = 0; r < 3; ++r) {
    for (int32_t i = 0; rows[r][i] != '\0'; ++i) put_letter(t, first[r] + i, rows[r][i]);
  }
  const char digits[] = "1234567890";
  const char shifted[] = "!@#$%^&*()";
  for (int32_t i = 0; i < 10; ++i) put_pair(t, 0x02 + i, digits[i], shifted[i], 0, 0x78 + i);
  t[0x03].ctrl = word(0x03, 0);    // Ctrl+2: the NUL key
  t[0x07].ctrl = word(0x07, 0x1E);  // Ctrl+6: RS
  put_pair(t, 0x0C, '-', '_', word(0x0C, 0x1F), 0x82);
  put_pair(t, 0x0D, '=', '+', 0, 0x83);
  put_pair(t, 0x1A, '[', '{', word(0x1A, 0x1B), 0x1A);
  put_pair(t, 0x1B, ']', '}', word(0x1B, 0x1D), 0x1B);
  put_pair(t, 0x27, ';', ':', 0, 0x27);
  put_pair(t, 0x28, '\'', '"', 0, 0x28);
  put_pair(t, 0x29, '`', '~', 0, 0x29);
  put_pair(t, 0x2B, '\\', '|', word(0x2B, 0x1C), 0x2B);
  put_pair(t, 0x33, ',', '<', 0, 0x33);
  put_pair(t, 0x34, '.', '>', 0, 0x34);
  put_pair(t, 0x35, '/', '?', 0, 0x35);
  put_pair(t, 0x56, '\\', '|', 0, 0);  // the 102nd key: its two characters, nothing with Ctrl or Alt
  t[0x01] = {word(0x01, 27), word(0x01, 27), word(0x01, 27), word(0x01, 0)};
  t[0x0E] = {word(0x0E, 8), word(0x0E, 8), word(0x0E, 127), word(0x0E, 0)};
  t[0x0F] = {word(0x0F, 9), word(0x0F, 0), word(0x94, 0), word(0xA5, 0)};
  t[0x1C] = {word(0x1C, 13), word(0x1C, 13), word(0x1C, 10), word(0x1C, 0)};
  t[0x39] = {word(0x39, ' '), word(0x39, ' '), word(0x39, ' '), word(0x39, ' ')};
  t[0x37] = {word(0x37, '*'), word(0x37, '*'), word(0x96, 0), word(0x37, 0)};
  t[0x4A] = {word(0x4A, '-'), word(0x4A, '-'), word(0x8E, 0), word(0x4A, 0)};
  t[0x4E] = {word(0x4E, '+'), word(0x4E, '+'), word(0x90, 0), word(0x4E, 0)};
  for (int32_t i = 0; i < 10; ++i) {  // F1 to F10
    t[0x3B + i] = {word(0x3B + i, 0), word(0x54 + i, 0), word(0x5E + i, 0), word(0x68 + i, 0)};
  }
  t[0x57] = {word(0x85, 0), word(0x87, 0), word(0x89, 0), word(0x8B, 0)};  // F11
  t[0x58] = {word(0x86, 0), word(0x88, 0), word(0x8A, 0), word(0x8C, 0)};  // F12
  // The keypad without Num Lock: Home, Up, ... Delete; Shift types the digit.
  // The centre key (5) moves nothing, so alone it gives nothing.
  struct Pad { int32_t scan; char digit; int32_t ctrl; };
  const Pad pad[] = {{0x47, '7', 0x77}, {0x48, '8', 0x8D}, {0x49, '9', 0x84}, {0x4B, '4', 0x73},
                     {0x4C, '5', 0x8F}, {0x4D, '6', 0x74}, {0x4F, '1', 0x75}, {0x50, '2', 0x91},
                     {0x51, '3', 0x76}, {0x52, '0', 0x92}, {0x53, '.', 0x93}};
  for (const Pad& p : pad) {
    const uint16_t normal = p.scan == 0x4C ? 0 : word(p.scan, 0);
    t[p.scan] = {normal, word(p.scan, p.digit), word(p.ctrl, 0), 0};
  }
  return t;
}

constexpr BiosTable main_table = build_main_table();

struct GreyKey {
  int32_t scan;
  BiosKey key;
};

// The 12 grey keys; the arrows and their block carry 0xE0 where the keypad's have 0.
constexpr GreyKey grey_table[] = {
    {0x1C, {word(0xE0, 13), word(0xE0, 13), word(0xE0, 10), word(0xA6, 0)}},   // keypad Enter
    {0x35, {word(0xE0, '/'), word(0xE0, '/'), word(0x95, 0), word(0xA4, 0)}},  // keypad /
    {0x47, {word(0x47, 0xE0), word(0x47, 0xE0), word(0x77, 0xE0), word(0x97, 0)}},  // Home
    {0x48, {word(0x48, 0xE0), word(0x48, 0xE0), word(0x8D, 0xE0), word(0x98, 0)}},  // Up
    {0x49, {word(0x49, 0xE0), word(0x49, 0xE0), word(0x84, 0xE0), word(0x99, 0)}},  // Page Up
    {0x4B, {word(0x4B, 0xE0), word(0x4B, 0xE0), word(0x73, 0xE0), word(0x9B, 0)}},  // Left
    {0x4D, {word(0x4D, 0xE0), word(0x4D, 0xE0), word(0x74, 0xE0), word(0x9D, 0)}},  // Right
    {0x4F, {word(0x4F, 0xE0), word(0x4F, 0xE0), word(0x75, 0xE0), word(0x9F, 0)}},  // End
    {0x50, {word(0x50, 0xE0), word(0x50, 0xE0), word(0x91, 0xE0), word(0xA0, 0)}},  // Down
    {0x51, {word(0x51, 0xE0), word(0x51, 0xE0), word(0x76, 0xE0), word(0xA1, 0)}},  // Page Down
    {0x52, {word(0x52, 0xE0), word(0x52, 0xE0), word(0x92, 0xE0), word(0xA2, 0)}},  // Insert
    {0x53, {word(0x53, 0xE0), word(0x53, 0xE0), word(0x93, 0xE0), word(0xA3, 0)}},  // Delete
};

// Return the table entry of a key, or nullptr for an unknown key.
const BiosKey* bios_key(int32_t scan, bool grey) {
  if (grey) {
    for (const GreyKey& g : grey_table) {
      if (g.scan == scan) return &g.key;
    }
    return nullptr;
  }
  if (scan < 0 || scan >= PC_SCAN_COUNT) return nullptr;
  return &main_table[static_cast<std::size_t>(scan)];
}

}  // namespace

uint16_t pc_bios_word(int32_t scan, bool grey, int32_t modifiers) {
  const BiosKey* key = bios_key(scan, grey);
  if (key == nullptr) return 0;
  if (modifiers & PC_ALT) return key->alt;
  if (modifiers & PC_CTRL) return key->ctrl;
  if (modifiers & PC_SHIFT) return key->shift;
  return key->normal;
}

uint32_t pc_key_code(int32_t scan, bool grey, int32_t modifiers) {
  const uint16_t w = pc_bios_word(scan, grey, modifiers);
  if (w == 0) return 0;
  const uint32_t ch = w & 0xFF;
  if (ch == 0 || ch == 0xE0) return extended_key(static_cast<uint32_t>(w >> 8));
  return ch;
}

bool pc_keypad_digit(int32_t scan, bool grey) {
  return !grey && scan >= 0x47 && scan <= 0x53 && scan != 0x4A && scan != 0x4E;
}
