// Fuzz the events file reader.
#include <string>
#include <vector>

#include "study/analysis_input.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A zone with a clock change, so that local times may be skipped or repeated.
  static const OffsetTable zone = [] {
    OffsetTable table;
    table.note(0, 60);
    table.note(1774746000, 120);  // 2026-03-29T01:00:00Z
    return table;
  }();
  const Result<std::vector<EventSpec>> events = read_events_file(input_file(data, size), zone);
  (void)events;
  return 0;
}
