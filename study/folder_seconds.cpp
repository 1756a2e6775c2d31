// Folder seconds: moments and local times by segments, and the merge of several folders by UTC time.
#include "study/folder_seconds.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "study/statistics.h"

namespace {

// A walk through one folder's seconds in time order.
struct Cursor {
  const FolderData* folder;
  uint64_t index = 0;    // next second
  size_t segment = 0;    // its time segment
  int64_t utc = 0;       // its UTC time
};

// Set a cursor's time for its current index (the index must be inside the folder).
void settle(Cursor& cursor) {
  const FolderData& folder = *cursor.folder;
  while (cursor.segment + 1 < folder.times.size() && folder.times[cursor.segment + 1].first_index <= cursor.index)
    ++cursor.segment;
  const TimeSegment& segment = folder.times[cursor.segment];
  cursor.utc = segment.first_time + static_cast<int64_t>(cursor.index - segment.first_index);
}

}  // namespace

namespace {

// Return the time of a second from a list of segments.
int64_t time_in(const std::vector<TimeSegment>& segments, uint64_t index) {
  auto after = std::upper_bound(segments.begin(), segments.end(), index,
                                [](uint64_t i, const TimeSegment& segment) { return i < segment.first_index; });
  const TimeSegment& segment = *(after - 1);
  return segment.first_time + static_cast<int64_t>(index - segment.first_index);
}

}  // namespace

int64_t second_utc(const FolderData& folder, uint64_t index) { return time_in(folder.times, index); }

int64_t second_local(const FolderData& folder, uint64_t index) { return time_in(folder.local_times, index); }

uint64_t index_at_or_after(const FolderData& folder, int64_t utc) {
  const uint64_t count = folder.ones.size();
  for (size_t s = 0; s < folder.times.size(); ++s) {
    const TimeSegment& segment = folder.times[s];
    const uint64_t end = s + 1 < folder.times.size() ? folder.times[s + 1].first_index : count;
    const int64_t last_time = segment.first_time + static_cast<int64_t>(end - segment.first_index) - 1;
    if (utc <= segment.first_time) return segment.first_index;
    if (utc <= last_time) return segment.first_index + static_cast<uint64_t>(utc - segment.first_time);
  }
  return count;
}

void append_second_time(FolderData& folder, int64_t utc, int64_t local) {
  const uint64_t index = folder.ones.size();
  if (folder.times.empty() || utc > second_utc(folder, index - 1) + 1) {
    folder.times.push_back(TimeSegment{index, utc});
  }  // else it continues the segment (a moment that goes back runs on)
  if (folder.local_times.empty() || local != second_local(folder, index - 1) + 1) {
    folder.local_times.push_back(TimeSegment{index, local});
  }
}

void for_each_combined_second(const std::vector<FolderData>& folders,
                              const std::function<void(int64_t, double, int)>& visit) {
  std::vector<Cursor> cursors;
  for (const FolderData& folder : folders) {
    if (folder.ones.empty()) continue;
    Cursor cursor{&folder};
    settle(cursor);
    cursors.push_back(cursor);
  }
  const double scale = std::sqrt(VARIANCE_ONES);
  for (;;) {
    int64_t now = INT64_MAX;
    for (const Cursor& cursor : cursors)
      if (cursor.index < cursor.folder->ones.size() && cursor.utc < now) now = cursor.utc;
    if (now == INT64_MAX) return;
    double sum = 0;
    int stations = 0;
    for (Cursor& cursor : cursors) {
      if (cursor.index >= cursor.folder->ones.size() || cursor.utc != now) continue;
      sum += (static_cast<int>(cursor.folder->ones[cursor.index]) - MEAN_ONES) / scale;
      ++stations;
      ++cursor.index;
      if (cursor.index < cursor.folder->ones.size()) settle(cursor);
    }
    visit(now, sum / std::sqrt(static_cast<double>(stations)), stations);
  }
}
