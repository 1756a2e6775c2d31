// Texts and the small text and number conversions of the runtime.
//
// A text is a byte string with an explicit length; every byte value may occur.
// Accented letters are single Latin-1 bytes ("ú" is 0xFA) and pass through
// every operation unchanged.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

using Text = std::string;

// Write a value, taken as unsigned 32 bits, in upper-case hexadecimal without leading zeros.
Text hex_text(int32_t value);

// Read a number: "&h", "&o", "&b" prefixed digits, or a decimal text as atof reads it.
double parse_number(const Text& text);

// Return `count` copies of the first byte of `text` (empty when count <= 0 or text is empty).
Text repeat_text(int32_t count, const Text& text);

// Compare two texts bytewise as unsigned values: -1, 0 or 1.
int32_t compare_text(const Text& a, const Text& b);

// Convert a floating value to 32 bits, rounded to nearest with halves to even (truncate or floor it
// first where that rounding is wanted); NaN and values out of range give -2147483648.
int32_t round_to_int32(double value);

// Return round_to_int32(std::floor(value)); values from 0 to below 2^31 are cut in one step.
inline int32_t floor_to_int32(double value) {
  if (value >= 0.0 && value < 2147483648.0) return static_cast<int32_t>(value);
  return round_to_int32(std::floor(value));
}
