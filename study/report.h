// The outputs of an analysis: summary.json, windows.csv and report.html (one
// self-contained page with the plots, the results, the events, the controls and
// the provenance of each folder). Every text that comes from input or from the
// texts table reaches the page escaped.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "study/analysis.h"
#include "study/report_plots.h"
#include "study/report_summary.h"
#include "study/report_texts.h"
#include "study/result.h"

constexpr const char* SUMMARY_FILE = "summary.json";
constexpr const char* WINDOWS_FILE = "windows.csv";
constexpr const char* REPORT_FILE = "report.html";

// Return the whole report page.
std::string report_html(const std::vector<FolderData>& folders, const Analysis& analysis, Language language);

// Write the three outputs into `out` (created when missing), each through a temporary file renamed
// into place; on failure the message names the folder or file and the system's reason.
Result<> write_outputs(const std::filesystem::path& out, const std::vector<FolderData>& folders,
                       const Analysis& analysis, Language language);
