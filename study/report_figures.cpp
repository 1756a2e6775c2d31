// Report figures shared by the outputs.
#include "study/report_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

std::optional<Lag1Test> lag1_test(const RunResult& run) {
  if (run.totals.seconds <= 1) return std::nullopt;
  const double se = 1.0 / std::sqrt(static_cast<double>(run.totals.seconds));
  return Lag1Test{se, two_sided_p(run.lag1 / se)};
}

double covered_share(const OrbitResult& orbit) {
  std::vector<std::pair<uint64_t, uint64_t>> spans;  // [first, end) on the orbit, none wrapping
  for (const OrbitFolder& folder : orbit.folders) {
    const uint64_t draws = std::min(folder.draws, ORBIT_DRAWS);
    const uint64_t end = folder.orbit_start + draws;
    spans.emplace_back(folder.orbit_start, std::min(end, ORBIT_DRAWS));
    if (end > ORBIT_DRAWS) spans.emplace_back(0, end - ORBIT_DRAWS);
  }
  std::sort(spans.begin(), spans.end());
  uint64_t covered = 0, reached = 0;
  for (const auto& [first, end] : spans) {
    if (end <= reached) continue;
    covered += end - std::max(first, reached);
    reached = end;
  }
  return static_cast<double>(covered) / static_cast<double>(ORBIT_DRAWS);
}

std::string folder_label(const std::vector<FolderData>& folders, size_t f) {
  return folders.size() == 1 ? folders[f].name : std::to_string(f + 1) + ": " + folders[f].name;
}
