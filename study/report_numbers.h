// How the report page writes numbers: the language's decimal mark and groups of
// digits, a true minus sign, p-values in powers of ten, shares in percent; and the
// texts with gaps ("{name}") that the figures fill.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "study/report_texts.h"

// Return a number's digits ("-1234.5") with the language's marks: groups of three (in Spanish
// only from five digits on, as its writers do), the decimal mark, and a true minus sign.
std::string localized(std::string digits, const ReportTexts& texts);

// Return an integer as the page shows it.
std::string integer_text(int64_t value, const ReportTexts& texts);

// Return a number with `decimals` places as the page shows it; NaN shows as "not available".
std::string decimal_text(double value, int decimals, const ReportTexts& texts);

// Return a number with four decimals as the page shows it.
std::string fixed(double value, const ReportTexts& texts);

// Return a p-value with four significant digits; a small one as "1,234 × 10⁻⁵"; NaN as "not available".
std::string p_text(double value, const ReportTexts& texts);

// Return a share as a percentage with two decimals ("0,47 %").
std::string share_text(double share, const ReportTexts& texts);

// Return a text with its gap "{name}" filled with `value` (the first such gap; the text as it is without one).
std::string filled(std::string_view text, std::string_view name, const std::string& value);
