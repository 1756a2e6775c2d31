// Fuzz the provenance.json reader, and a data folder's use of what it read.
#include <string>

#include <nlohmann/json.hpp>

#include "experiment/provenance.h"
#include "study/provenance_file.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Result<nlohmann::json> provenance = read_json_object(input_file(data, size));
  if (!provenance) return 0;
  // Everything the tool writes back out must survive the record's own text.
  json_file_text(*provenance);
  return 0;
}
