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

// Parse "YYYY-MM-DD HH:MM:SS/YYYY-MM-DD HH:MM:SS/label"; false with a message.
bool parse_event(const std::string& text, EventSpec& event, std::string& error);

// Read events from a CSV file of lines start,end,label (a header line is allowed); false with a message.
bool read_events_file(const std::filesystem::path& file, std::vector<EventSpec>& events, std::string& error);
