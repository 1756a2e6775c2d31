// Input of an analysis: data folders checked and read into memory (one byte per
// second), and events from the command line or from a CSV file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "study/analysis.h"
#include "study/result.h"

// Check a data folder's checksums and read it (progress lines to `progress` when given); fails
// when it is not a whole, intact data folder. Nothing in it is changed.
Result<FolderData> load_folder(const std::filesystem::path& path, const ProgressLine& progress);

// Parse "START/END/label", each time ISO 8601 with its offset ("2026-10-25T02:30:00+02:00", "…Z")
// or local "YYYY-MM-DD HH:MM:SS" read with `zone`'s offsets (a local time
// that does not exist or comes twice is refused, asking for its offset).
Result<EventSpec> parse_event(const std::string& text, const OffsetTable& zone);

// Read events from a CSV file of lines start,end,label (a header line is allowed), times as for
// parse_event.
Result<std::vector<EventSpec>> read_events_file(const std::filesystem::path& file, const OffsetTable& zone);

// Return the name of a folder's zone for messages and the report ("UTC+01:00" when it has none).
std::string zone_name(const FolderData& folder);
