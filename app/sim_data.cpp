#include "app/sim_data.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "experiment/loop.h"
#include "experiment/provenance.h"
#include "experiment/state.h"
#include "experiment/study_log.h"
#include "runtime/clock.h"
#include "runtime/paths.h"
#include "runtime/platform.h"
#include "runtime/random.h"
#include "runtime/version.h"
#include "study/data_folder.h"
#include "study/local_time.h"
#include "study/replay.h"

namespace fs = std::filesystem;

namespace {

DataFolderWriter writer;
bool writing = false;            // the folder is open and no second has failed
std::string failure;             // why a second could not be written
uint8_t second_bits[SECOND_BYTES];  // the bits of the second being drawn, first in the top bit
OffsetTable offsets;             // the UTC offsets of the rows written

// Take one bit; after the second's last, write its row with the experiment's own clock.
void take_bit(int32_t bit) {
  const ExperimentState& s = experiment_state();
  const int32_t index = s.bit_index - 1;
  if (index == 0) std::memset(second_bits, 0, sizeof second_bits);
  if (bit != 0) second_bits[index / 8] |= static_cast<uint8_t>(0x80u >> (index % 8));
  if (s.bit_index != SECOND_BITS || !writing) return;
  ClockSource& clock = active_clock();
  const int64_t utc = clock.utc_seconds();
  const std::tm local = clock.local_time();
  SecondRow row = make_second_row(s.seconds_counter, s.ones_second, calendar_text(local), TimeSource::clock);
  row.utc = format_utc_time(utc);
  offsets.note(utc, static_cast<int32_t>((seconds_from_civil(local) - utc) / 60));
  row.cycle = s.cycles;
  row.minute = s.minute;
  row.sec = s.second;
  if (!writer.add_second(row, second_bits)) {
    failure = writer.error();
    writing = false;
  }
}

}  // namespace

SimDataStart begin_sim_data(const std::string& folder, bool replace, std::string& error) {
  if (!writer.begin(path_from_utf8(folder), true, replace, error)) {
    return writer.refused() ? SimDataStart::refused : SimDataStart::failed;
  }
  writing = true;
  offsets = OffsetTable{};
  offsets.zone = platform_time_zone_name();
  offsets.way = BY_ZONE_RULES;
  set_bit_observer(take_bit);
  return SimDataStart::begun;
}

bool finish_sim_data(std::string& error) {
  set_bit_observer(nullptr);
  if (!writing) {
    error = failure;
    writer.abandon();
    return false;
  }
  const nlohmann::json& run = current_provenance();
  nlohmann::json provenance = {
      {"format", DATA_FORMAT},
      {"written_by", std::string("testnuv-sim ") + version_text()},
      {"source", "simulator"},
      {"seed", random_seed()},
      {"seed_found_by", "simulator"},
      {"generator", generator_description()},
      {"seconds", writer.rows()},
      {"bits", true},
      {"local_time", offsets.to_json()},
      {"run", run}};
  const fs::path log = path_from_utf8(study_log_file());
  const auto digest = run.find("log_sha256");
  if (!log.empty() && digest != run.end() && digest->is_string()) {
    if (!name_log_in_provenance(provenance, log)) {
      std::error_code code;
      std::fprintf(stderr, "testnuv-sim: aviso: el nombre del registro de estudio %s no es UTF-8 y "
                   "no se puede guardar tal cual en %s\n", shown_path(fs::absolute(log, code)).c_str(),
                   PROVENANCE_FILE);
    }
    provenance["log_bytes"] = run.value("log_bytes", int64_t{0});
    provenance["log_sha256"] = *digest;
    provenance["log_torn"] = false;
  }
  return writer.finish(provenance, error);
}
