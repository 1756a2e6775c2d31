// Fuzz the study-log reader and the check of a log against the replay of a seed.
#include <string>

#include "study/log_check.h"
#include "study/study_log_records.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

constexpr uint32_t CORPUS_SEED = 606;  // the seed the corpus logs were simulated with

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Result<StudyLogText> read = read_study_log(input_file(data, size), Links::refuse);
  if (!read) return 0;
  const StudyLogText& log = *read;
  window_ones(log);
  for (const LogRecord& record : log.records) {
    int64_t stamp = 0;
    record_stamp(record, stamp);
  }
  check_log(log, CORPUS_SEED, last_record_second(log), true, -1, {});
  return 0;
}
