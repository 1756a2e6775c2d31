// The outputs of an analysis: summary.json, windows.csv and report.html (one
// self-contained page with the plots, the results, the events, the controls and
// the provenance of each folder). Every text that comes from input is escaped.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "study/analysis.h"
#include "study/report_texts.h"

constexpr const char* SUMMARY_FILE = "summary.json";
constexpr const char* WINDOWS_FILE = "windows.csv";
constexpr const char* REPORT_FILE = "report.html";

// Return text with &, <, >, " and ' replaced by HTML character references.
std::string escape_html(std::string_view text);

// Return JSON that can sit inside a <script> element: <, >, &, U+2028 and U+2029 escaped, bad UTF-8 replaced.
std::string script_safe_json(const nlohmann::json& value);

// Return the summary of an analysis as JSON.
nlohmann::json summary_json(const std::vector<FolderData>& folders, const Analysis& analysis);

// Return windows.csv: one row per window.
std::string windows_csv(const std::vector<FolderData>& folders, const Analysis& analysis);

// Return the plotted series (reduced to at most MAX_PLOT_POINTS per curve) and their labels.
nlohmann::json plot_data(const std::vector<FolderData>& folders, const Analysis& analysis, const ReportTexts& texts);

// Return the whole report page.
std::string report_html(const std::vector<FolderData>& folders, const Analysis& analysis, Language language);

// Write the three outputs into `out` (created when missing); false with a message on any failure.
bool write_outputs(const std::filesystem::path& out, const std::vector<FolderData>& folders, const Analysis& analysis,
                   Language language, std::string& error);
