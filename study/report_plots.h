// The report's plotted data: the cumulative deviation and variance of each folder
// (and of the stations combined), the windows' z, the histogram of ones per second,
// the marks on the time axis (cycle ends, events, where the orbit repeats), the time
// zone and the texts the page's script shows. Long series are reduced to at most
// MAX_PLOT_POINTS points per curve.
#pragma once

#include <vector>

#include <nlohmann/json.hpp>

#include "study/analysis.h"
#include "study/report_texts.h"

// Return the plotted series and their labels.
nlohmann::json plot_data(const std::vector<FolderData>& folders, const Analysis& analysis, const ReportTexts& texts);
