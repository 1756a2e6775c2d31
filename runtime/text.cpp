// Text: hexadecimal texts, number parsing, repeated bytes, byte-wise comparison
// and the conversion of floating values to 32-bit integers.
//
// Depends only on the standard library, and on the SSE2 conversion instruction
// where the processor has one. Texts are raw bytes: nothing here
// looks at a locale or treats bytes above 0x7F specially.
#include "runtime/text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace {

// Read digits of `base` from `text` starting at `pos` into a wrapping 32-bit accumulator.
int32_t parse_based(const Text& text, size_t pos, uint32_t base) {
  uint32_t value = 0;
  for (; pos < text.size(); ++pos) {
    int32_t digit = static_cast<unsigned char>(text[pos]) - 48;
    if (base == 16 && text[pos] > '9') {
      digit -= 7;
      if (digit > 16) digit -= 32;
    }
    value = value * base + static_cast<uint32_t>(digit);
  }
  return static_cast<int32_t>(value);
}

// Return the base selected by the letter after '&', or 0 for no base.
uint32_t base_of(char letter) {
  switch (letter) {
    case 'H': case 'h': return 16;
    case 'O': case 'o': return 8;
    case 'B': case 'b': return 2;
    default: return 0;
  }
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Skip a run of decimal digits; return how many there were.
size_t skip_digits(const Text& text, size_t& pos) {
  size_t start = pos;
  while (pos < text.size() && is_digit(text[pos])) ++pos;
  return pos - start;
}

bool is_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Read a decimal number the way atof does, without its locale, "inf", "nan" or hex forms.
double parse_decimal(const Text& text, size_t pos) {
  while (pos < text.size() && is_blank(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  size_t start = pos;
  size_t digits = skip_digits(text, pos);
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    digits += skip_digits(text, pos);
  }
  if (digits == 0) return 0.0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    size_t exp = pos + 1;
    if (exp < text.size() && (text[exp] == '+' || text[exp] == '-')) ++exp;
    if (skip_digits(text, exp) > 0) pos = exp;
  }
  Text number = text.substr(start, pos - start);
  double value = 0.0;
  auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error == std::errc::result_out_of_range) value = std::strtod(number.c_str(), nullptr);
  (void)end;
  return negative ? -value : value;
}

}  // namespace

Text hex_text(int32_t value) {
  static const char digits[] = "0123456789ABCDEF";
  uint32_t v = static_cast<uint32_t>(value);
  char buffer[8];
  int n = 0;
  do {
    buffer[7 - n++] = digits[v & 0xF];
    v >>= 4;
  } while (v != 0);
  return Text(buffer + 8 - n, static_cast<size_t>(n));
}

double parse_number(const Text& text) {
  size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos == text.size()) return 0.0;
  if (text.size() - pos >= 2 && text[pos] == '&') {
    uint32_t base = base_of(text[pos + 1]);
    if (base != 0) return parse_based(text, pos + 2, base);
  }
  return parse_decimal(text, pos);
}

Text repeat_text(int32_t count, const Text& text) {
  if (count <= 0 || text.empty()) return Text();
  return Text(static_cast<size_t>(count), text[0]);
}

int32_t compare_text(const Text& a, const Text& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x != y) return x > y ? 1 : -1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() > b.size() ? 1 : -1;
}

int32_t round_to_int32(double value) {
#if defined(__SSE2__) || defined(_M_X64)
  // One conversion instruction: it rounds in the environment's mode (to nearest, halves to
  // even) and gives 0x80000000, INT32_MIN, for NaN and for results outside the range.
  return _mm_cvtsd_si32(_mm_set_sd(value));
#else
  const double rounded = std::nearbyint(value);  // the environment rounds to nearest, halves to even
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return INT32_MIN;
  return static_cast<int32_t>(rounded);
#endif
}
