// Fuzz the events file reader.
#include <string>
#include <vector>

#include "study/analysis_input.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<EventSpec> events;
  std::string error;
  read_events_file(input_file(data, size), events, error);
  return 0;
}
