// Texts fit for messages: UTF-8 checked, everything else escaped; and where a path lies.
#include "runtime/paths.h"

#include <cstdint>

namespace {

constexpr unsigned char FIRST_PRINTABLE = 0x20;  // below: control characters
constexpr unsigned char DELETE = 0x7F;
constexpr unsigned char FIRST_LATIN1_LETTER = 0xA0;  // the log's letters: 0xA0 to 0xFF

// Return the length of the UTF-8 sequence at `text[at]`, 0 when it is not a well-formed one
// (overlong forms, surrogates and code points past U+10FFFF are not).
size_t utf8_length(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint32_t low = 0, high = 0;  // the second byte's allowed range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, low = 0x80, high = 0xBF;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

// Append a byte as a message shows it when it cannot be shown as itself.
void append_escaped(std::string& out, unsigned char c) {
  static const char HEX[] = "0123456789ABCDEF";
  switch (c) {
    case '\r': out += "\\r"; return;
    case '\n': out += "\\n"; return;
    case '\t': out += "\\t"; return;
    default: break;
  }
  out += "\\x";
  out += HEX[c >> 4];
  out += HEX[c & 0x0F];
}

// Return whether a byte is a control character (C0 or DEL).
bool is_control(unsigned char c) { return c < FIRST_PRINTABLE || c == DELETE; }

}  // namespace

bool is_utf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = utf8_length(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string shown_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    const size_t length = utf8_length(text, at);
    if (length == 0 || is_control(c)) {
      append_escaped(out, c);
      ++at;
    } else if (text.compare(at, 3, "\xEF\xBB\xBF") == 0) {
      out += "\\uFEFF";  // a byte order mark: invisible, so named
      at += 3;
    } else {
      out.append(text.substr(at, length));
      at += length;
    }
  }
  return out;
}

std::string shown_path(const std::filesystem::path& path) { return shown_text(path_to_utf8(path)); }

std::string shown_log_text(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (const char byte : line) {
    const unsigned char c = static_cast<unsigned char>(byte);
    if (c >= FIRST_LATIN1_LETTER) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c >= 0x80 || is_control(c)) {
      append_escaped(out, c);
    } else {
      out += byte;
    }
  }
  return out;
}

bool path_lies_within(const std::filesystem::path& inner, const std::filesystem::path& outer) {
  std::error_code ec;
  const std::filesystem::path a = std::filesystem::weakly_canonical(std::filesystem::absolute(inner, ec), ec);
  const std::filesystem::path b = std::filesystem::weakly_canonical(std::filesystem::absolute(outer, ec), ec);
  auto it = a.begin();
  for (const auto& part : b) {
    if (part.empty()) continue;
    if (it == a.end() || *it != part) return false;
    ++it;
  }
  return true;
}
