// Fuzz the seconds.csv reader, row by row to the end or the first refused row.
#include "study/seconds_reader.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SecondsReader reader;
  if (!reader.open(input_file(data, size))) return 0;
  SecondRow row;
  while (reader.next(row)) {
  }
  return 0;
}
