// Report numbers: C's formatting of figures, then the language's marks put in.
#include "study/report_numbers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

std::string localized(std::string text, const ReportTexts& texts) {
  std::string sign;
  if (!text.empty() && text[0] == '-') {
    sign = "\u2212";
    text.erase(0, 1);
  }
  const size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  std::string shown;
  const size_t shortest = texts.html_lang == "es" ? 5 : 4;
  for (size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && whole.size() >= shortest && (whole.size() - i) % 3 == 0) shown += texts.group_mark;
    shown += whole[i];
  }
  if (point != std::string::npos) {
    shown += texts.decimal_mark;
    shown += text.substr(point + 1);
  }
  return sign + shown;
}

std::string integer_text(int64_t value, const ReportTexts& texts) { return localized(std::to_string(value), texts); }

std::string decimal_text(double value, int decimals, const ReportTexts& texts) {
  if (std::isnan(value)) return std::string(texts.not_available);
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return localized(text, texts);
}

std::string fixed(double value, const ReportTexts& texts) { return decimal_text(value, 4, texts); }

std::string p_text(double value, const ReportTexts& texts) {
  if (std::isnan(value)) return std::string(texts.not_available);
  char text[64];
  std::snprintf(text, sizeof text, "%.4g", value);
  std::string plain = text;
  const size_t e = plain.find('e');
  if (e == std::string::npos) return localized(plain, texts);
  static const char* const SUPERSCRIPT[] = {"\u2070", "\u00B9", "\u00B2", "\u00B3", "\u2074",
                                            "\u2075", "\u2076", "\u2077", "\u2078", "\u2079"};
  const int exponent = std::atoi(plain.c_str() + e + 1);
  std::string power = exponent < 0 ? "\u207B" : "";
  for (char digit : std::to_string(std::abs(exponent))) power += SUPERSCRIPT[digit - '0'];
  return localized(plain.substr(0, e), texts) + " \u00D7 10" + power;
}

std::string share_text(double share, const ReportTexts& texts) {
  return decimal_text(100.0 * share, 2, texts) + "\u00A0%";
}

std::string filled(std::string_view text, std::string_view name, const std::string& value) {
  std::string result(text);
  std::string gap(1, '{');
  gap.append(name).push_back('}');
  const size_t at = result.find(gap);
  if (at != std::string::npos) result.replace(at, gap.size(), value);
  return result;
}
