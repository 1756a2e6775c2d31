// Key translation for the SDL back-end, without SDL: PC key presses to key
// codes, typed UTF-8 text to code-page-437 bytes. sdl_events.cpp names SDL's
// keys by their PC scan codes and hands them here.
//
// A key press is first named by its PC scan code, then looked up in the PC
// keyboard table (gfx/pc_keys.h) with the modifiers that act on it. Extended
// keys and control characters are queued from the press, since SDL sends no
// text for them; printable characters arrive as text events, which follow the
// keyboard layout.
#include "gfx/sdl/sdl_keys.h"

namespace {

constexpr int32_t PC_TAB = 0x0F;          // the Tab key's scan code
constexpr uint32_t TAB_CHARACTER = 9;

// Tell whether a key code is a printable character, which SDL also sends as text.
bool printable(uint32_t code) { return code >= 32 && code != 127 && code <= 255; }

// Turn right Alt into Alt on a key without a character, and Num Lock into Shift on the keypad.
int32_t effective_modifiers(int32_t scan, bool grey, int32_t modifiers) {
  int32_t m = modifiers;
  if ((m & PC_ALT_GR) && !(m & PC_ALT) && !printable(pc_key_code(scan, grey, 0))) m |= PC_ALT;
  if (pc_keypad_digit(scan, grey) && (m & PC_NUM_LOCK)) m ^= PC_SHIFT;
  return m;
}

// A key press looked up: the modifiers in effect and the key's code in the PC table.
struct Press {
  int32_t modifiers;
  uint32_t code;
};

// Look a key up with the modifiers that act on it.
Press look_up(int32_t scan, bool grey, int32_t modifiers) {
  const int32_t m = effective_modifiers(scan, grey, modifiers);
  return {m, pc_key_code(scan, grey, m)};
}

// Return the key-queue code of a press, 0 when its text (if any) arrives as a character.
// NOTE: the codes are those of the Windows back-end. With Alt held Windows queues only extended
// codes; a character typed with Alt goes to the system menu (Alt+Space opens it) and is lost.
uint32_t queue_code(const Press& p) {
  if (p.modifiers & PC_ALT) return p.code > 255 ? p.code : 0;
  if (!printable(p.code)) return p.code;    // extended keys and control characters have no text event
  if (p.modifiers & PC_CTRL) return p.code;  // no text event comes with Ctrl held (Ctrl+Space: 32)
  return 0;
}

// Return the character Windows types after a press's own code: Shift+Tab queues its extended
// code and then a Tab. 0 when none.
uint32_t typed_after(int32_t scan, bool grey, const Press& p) {
  const bool shift_tab = !grey && scan == PC_TAB && (p.modifiers & (PC_SHIFT | PC_CTRL | PC_ALT)) == PC_SHIFT;
  return shift_tab ? TAB_CHARACTER : 0;
}

// Tell whether the text event of a press whose queue code is `code` is to be dropped.
bool drops_text(const Press& p, uint32_t code) {
  return code != 0 || (p.modifiers & (PC_CTRL | PC_ALT)) != 0;
}

// Code page 437, bytes 128 to 255, as Unicode.
constexpr uint16_t cp437_high[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // E8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // F8
};

// Decode one UTF-8 sequence at `i`, advancing it; returns 0xFFFFFFFF for a malformed one.
uint32_t next_code_point(std::string_view s, size_t& i) {
  constexpr uint32_t bad = 0xFFFFFFFFu;
  const uint8_t lead = static_cast<uint8_t>(s[i++]);
  if (lead < 0x80) return lead;
  int32_t extra = 0;
  uint32_t cp = 0;
  uint32_t min = 0;
  if ((lead & 0xE0) == 0xC0) { extra = 1; cp = lead & 0x1F; min = 0x80; }
  else if ((lead & 0xF0) == 0xE0) { extra = 2; cp = lead & 0x0F; min = 0x800; }
  else if ((lead & 0xF8) == 0xF0) { extra = 3; cp = lead & 0x07; min = 0x10000; }
  else return bad;
  for (int32_t k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<uint8_t>(s[i]) & 0xC0) != 0x80) return bad;
    cp = (cp << 6) | (static_cast<uint8_t>(s[i++]) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return bad;
  return cp;
}

}  // namespace

uint8_t unicode_to_cp437(uint32_t ch) {
  if (ch >= 1 && ch < 0x80) return static_cast<uint8_t>(ch);
  for (int32_t i = 0; i < 128; ++i) {
    if (cp437_high[i] == ch) return static_cast<uint8_t>(0x80 + i);
  }
  return 0;
}

std::string utf8_to_cp437(std::string_view utf8) {
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    const uint8_t byte = unicode_to_cp437(next_code_point(utf8, i));
    if (byte != 0) out.push_back(static_cast<char>(byte));
  }
  return out;
}

std::string latin1_to_utf8(std::string_view latin1) {
  std::string out;
  for (const char c : latin1) {
    const uint8_t b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

uint32_t sdl_press_code(int32_t scan, bool grey, int32_t modifiers) {
  return queue_code(look_up(scan, grey, modifiers));
}

bool sdl_press_drops_text(int32_t scan, bool grey, int32_t modifiers) {
  const Press p = look_up(scan, grey, modifiers);
  return drops_text(p, queue_code(p));
}

uint32_t sdl_press_typed_after(int32_t scan, bool grey, int32_t modifiers) {
  return typed_after(scan, grey, look_up(scan, grey, modifiers));
}
