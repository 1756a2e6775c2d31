// The analysis for programs: summary.json (plain numbers, "." as decimal mark, null
// where a figure does not exist) and windows.csv (one row per window).
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "study/analysis.h"

// Return the summary of an analysis as JSON.
nlohmann::json summary_json(const std::vector<FolderData>& folders, const Analysis& analysis);

// Return windows.csv: one row per window.
std::string windows_csv(const std::vector<FolderData>& folders, const Analysis& analysis);
