// Local wall times as the data folders write them, "YYYY-MM-DD HH:MM:SS", held as
// seconds since 1970-01-01 00:00:00 of the same calendar (no time zone applied).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Parse "YYYY-MM-DD HH:MM:SS" into calendar seconds; false unless the text is exactly a valid time.
bool parse_local_time(std::string_view text, int64_t& seconds);

// Format calendar seconds as "YYYY-MM-DD HH:MM:SS".
std::string format_local_time(int64_t seconds);
