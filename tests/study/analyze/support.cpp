#include "support.h"

#include "study/local_time.h"
#include "study/replay.h"

FolderData replayed_folder(uint32_t seed, uint64_t seconds, const std::string& start, int64_t utc_offset_minutes) {
  FolderData folder;
  folder.name = "semilla-" + std::to_string(seed);
  folder.path = "/datos/" + folder.name;
  folder.seed = seed;
  folder.utc_offset_minutes = utc_offset_minutes;
  folder.offsets.note(0, static_cast<int32_t>(utc_offset_minutes));
  folder.provenance = {{"seed", seed}};
  int64_t first = 0;
  parse_local_time(start, first);
  Replay replay(seed);
  for (uint64_t i = 0; i < seconds; ++i) {
    const int64_t local = first + static_cast<int64_t>(i);
    append_second_time(folder, local - utc_offset_minutes * 60, local);
    folder.ones.push_back(static_cast<uint8_t>(replay.next_second()));
  }
  return folder;
}

EventSpec event_of(const std::string& start, const std::string& end, const std::string& label,
                   int64_t utc_offset_minutes) {
  EventSpec event;
  event.label = label;
  event.start_text = start;
  event.end_text = end;
  parse_local_time(start, event.start);
  parse_local_time(end, event.end);
  event.start -= utc_offset_minutes * 60;
  event.end -= utc_offset_minutes * 60;
  return event;
}
