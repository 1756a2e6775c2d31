// The seconds of a data folder in memory, one byte each, with their moments (UTC)
// and local times; and stations combined second by second: at every UTC second in
// which one or more folders ran, the Stouffer Z of their per-second z (sum over sqrt
// of their number).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "study/local_time.h"

// A stretch of seconds whose times follow one another without a gap.
struct TimeSegment {
  uint64_t first_index;  // index of its first second in the folder
  int64_t first_time;    // the time of that second (UTC or local calendar seconds, as the list says)
};

// One data folder as the analysis needs it: every second's count of ones and its time.
struct FolderData {
  std::string path;                  // as given on the command line
  std::string name;                  // the folder's own name
  nlohmann::json provenance;         // the folder's provenance record
  int64_t first_second = 1;          // experiment second number of the first row
  std::vector<uint8_t> ones;         // ones in each second, in order
  std::vector<TimeSegment> times;    // moments (UTC seconds) as recorded (a clock set back by hand goes back)
  std::vector<TimeSegment> local_times;  // local times as seconds.csv gives them (they may go back)
  std::vector<uint64_t> cycle_ends;  // indices of the last second of each completed cycle
  int64_t utc_offset_minutes = 0;    // the station's offset from UTC at its first second
  OffsetTable offsets;               // how its local times relate to UTC (zone, offsets in force)
  uint32_t seed = 0;                 // the generator's seed
  std::string bits_path;             // bits.bin when the folder has one, else empty
  uint64_t bits_first = 0;           // rows of bits.bin before the first second kept
  uint64_t bits_rows = 0;            // rows bits.bin holds (0: as many as `ones`)
};

// Keep only the seconds [first, first + count) of a folder (the rest left out of the analysis).
void keep_seconds(FolderData& folder, uint64_t first, uint64_t count);

// Return the moment (UTC seconds) of a folder's second.
int64_t second_utc(const FolderData& folder, uint64_t index);

// Return the local calendar time of a folder's second, as its seconds.csv gives it.
int64_t second_local(const FolderData& folder, uint64_t index);

// Return the stretches [first, last) of a folder's seconds whose recorded moments lie in [start, end].
std::vector<std::pair<uint64_t, uint64_t>> seconds_between(const FolderData& folder, int64_t start, int64_t end);

// Append the moment and local time of the next second.
void append_second_time(FolderData& folder, int64_t utc, int64_t local);

// Call visit(utc, stouffer_z, stations) for every UTC second covered by any folder, in time order;
// a folder whose recorded moments go back (a clock set back by hand) runs on by one second there.
void for_each_combined_second(const std::vector<FolderData>& folders,
                              const std::function<void(int64_t, double, int)>& visit);
