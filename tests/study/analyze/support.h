// Shared helpers of the analysis tests: folders replayed from a seed, in memory.
#pragma once

#include <cstdint>
#include <string>

#include "study/analysis.h"

// Return a folder of `seconds` seconds replayed from `seed`, its first second at local `start`.
FolderData replayed_folder(uint32_t seed, uint64_t seconds, const std::string& start = "2026-03-01 10:00:00",
                           int64_t utc_offset_minutes = 60);

// Return an event from local text times at an offset from UTC.
EventSpec event_of(const std::string& start, const std::string& end, const std::string& label,
                   int64_t utc_offset_minutes = 60);
