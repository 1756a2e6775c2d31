// Folder seconds: moments and local times by segments, and the merge of several folders by UTC time.
#include "study/folder_seconds.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "study/statistics.h"

namespace {

// A walk through one folder's seconds in time order.
struct Cursor {
  const FolderData* folder;
  uint64_t index = 0;    // next second
  size_t segment = 0;    // its time segment
  int64_t utc = INT64_MIN;  // its UTC time, never before the last one's next
};

// Set a cursor's time for its current index (the index must be inside the folder).
void settle(Cursor& cursor) {
  const FolderData& folder = *cursor.folder;
  while (cursor.segment + 1 < folder.times.size() && folder.times[cursor.segment + 1].first_index <= cursor.index)
    ++cursor.segment;
  const TimeSegment& segment = folder.times[cursor.segment];
  const int64_t recorded = segment.first_time + static_cast<int64_t>(cursor.index - segment.first_index);
  cursor.utc = cursor.utc == INT64_MIN ? recorded : std::max(recorded, cursor.utc + 1);
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

std::vector<std::pair<uint64_t, uint64_t>> seconds_between(const FolderData& folder, int64_t start, int64_t end) {
  std::vector<std::pair<uint64_t, uint64_t>> stretches;
  const uint64_t count = folder.ones.size();
  for (size_t s = 0; s < folder.times.size(); ++s) {
    const TimeSegment& segment = folder.times[s];
    const uint64_t stop = s + 1 < folder.times.size() ? folder.times[s + 1].first_index : count;
    const int64_t last_time = segment.first_time + static_cast<int64_t>(stop - segment.first_index) - 1;
    const int64_t from = std::max(start, segment.first_time), to = std::min(end, last_time);
    if (from > to) continue;
    stretches.emplace_back(segment.first_index + static_cast<uint64_t>(from - segment.first_time),
                           segment.first_index + static_cast<uint64_t>(to - segment.first_time) + 1);
  }
  return stretches;
}

void keep_seconds(FolderData& folder, uint64_t first, uint64_t count) {
  first = std::min<uint64_t>(first, folder.ones.size());
  count = std::min<uint64_t>(count, folder.ones.size() - first);
  auto clip = [first, count](std::vector<TimeSegment>& segments) {
    std::vector<TimeSegment> kept;
    for (size_t i = 0; i < segments.size(); ++i) {
      const uint64_t end = i + 1 < segments.size() ? segments[i + 1].first_index : UINT64_MAX;
      if (end <= first || segments[i].first_index >= first + count) continue;
      const uint64_t from = std::max(segments[i].first_index, first);
      kept.push_back({from - first, segments[i].first_time + static_cast<int64_t>(from - segments[i].first_index)});
    }
    segments = std::move(kept);
  };
  clip(folder.times);
  clip(folder.local_times);
  std::vector<uint64_t> ends;
  for (uint64_t end : folder.cycle_ends) {
    if (end >= first && end < first + count) ends.push_back(end - first);
  }
  folder.cycle_ends = std::move(ends);
  if (folder.bits_rows == 0) folder.bits_rows = folder.ones.size();
  folder.bits_first += first;
  folder.first_second += static_cast<int64_t>(first);
  folder.ones.erase(folder.ones.begin() + static_cast<std::ptrdiff_t>(first + count), folder.ones.end());
  folder.ones.erase(folder.ones.begin(), folder.ones.begin() + static_cast<std::ptrdiff_t>(first));
}

void append_second_time(FolderData& folder, int64_t utc, int64_t local) {
  const uint64_t index = folder.ones.size();
  // The time the last segment gives the new second, were it to go on.
  auto next_in = [index](const std::vector<TimeSegment>& segments) {
    return segments.back().first_time + static_cast<int64_t>(index - segments.back().first_index);
  };
  if (folder.times.empty() || utc != next_in(folder.times)) folder.times.push_back(TimeSegment{index, utc});
  if (folder.local_times.empty() || local != next_in(folder.local_times)) {
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
