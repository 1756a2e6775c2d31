// Figures and names that the summary, the plots and the report page share, so
// that each output shows the same ones.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "study/analysis.h"
#include "study/orbit.h"

// The lag-1 autocorrelation's standard error and two-sided p under independence, where
// r * sqrt(N) is close to N(0, 1).
struct Lag1Test {
  double se;
  double p;
};

// Return the lag-1 test of a run; none for fewer than two seconds.
std::optional<Lag1Test> lag1_test(const RunResult& run);

// Return the share of the orbit that the folders' segments cover together (each draw counted once).
double covered_share(const OrbitResult& orbit);

// Return a folder's label in plots and tables: its name, numbered ("2: name") when there are several.
std::string folder_label(const std::vector<FolderData>& folders, size_t f);
