// Input of an analysis: data folders checked and read into memory (one byte per
// second), and events from the command line or from a CSV file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "study/analysis.h"

// Check a data folder's checksums and read it (progress lines on standard error when asked);
// false with a message when it is not a whole, intact data folder. Nothing in it is changed.
bool load_folder(const std::filesystem::path& path, FolderData& folder, std::string& error, bool show_progress);

// Parse "START/END/label", each time ISO 8601 with its offset ("2026-10-25T02:30:00+02:00", "…Z")
// or local "YYYY-MM-DD HH:MM:SS" read with `zone`'s offsets; false with a message (a local time
// that does not exist or comes twice is refused, asking for its offset).
bool parse_event(const std::string& text, const OffsetTable& zone, EventSpec& event, std::string& error);

// Read events from a CSV file of lines start,end,label (a header line is allowed), times as for
// parse_event; false with a message.
bool read_events_file(const std::filesystem::path& file, const OffsetTable& zone, std::vector<EventSpec>& events,
                      std::string& error);

// Return the name of a folder's zone for messages and the report ("UTC+01:00" when it has none).
std::string zone_name(const FolderData& folder);
