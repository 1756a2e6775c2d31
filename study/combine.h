// Stations combined second by second: at every wall-clock second in which one or
// more folders ran, the Stouffer Z of their per-second z (sum over sqrt of their number).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "study/analysis.h"

// Return a folder's second as UTC calendar seconds (its local time less its offset).
int64_t second_utc(const FolderData& folder, uint64_t index);

// Call visit(utc, stouffer_z, stations) for every wall-clock second covered by any folder, in time order.
void for_each_combined_second(const std::vector<FolderData>& folders,
                              const std::function<void(int64_t, double, int)>& visit);
