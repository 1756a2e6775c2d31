// The simulator's data folder: every second's row and bits taken as the
// experiment draws them, with its own clock, and the folder finished with the
// same provenance extract writes.
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
#include "study/provenance_file.h"
#include "study/replay.h"

namespace fs = std::filesystem;

namespace {

DataFolderWriter writer;
bool writing = false;            // the folder is open and no second has failed
std::string failure;             // why a second could not be written
uint8_t second_bits[BYTES_PER_SECOND];  // the bits of the second being drawn, first in the top bit
OffsetTable offsets;             // the UTC offsets of the rows written

// Take one bit; after the second's last, write its row with the experiment's own clock.
void take_bit(int32_t bit) {
  const ExperimentState& s = experiment_state();
  const int32_t index = s.bit_index - 1;
  if (index == 0) std::memset(second_bits, 0, sizeof second_bits);
  if (bit != 0) second_bits[index / 8] |= static_cast<uint8_t>(0x80u >> (index % 8));
  if (s.bit_index != BITS_PER_SECOND || !writing) return;
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
  const Result<> begun = writer.begin(path_from_utf8(folder), true, replace);
  if (!begun) {
    error = begun.failure().message;
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
  FolderOrigin origin;
  origin.written_by = std::string("testnuv-sim ") + version_text();
  origin.source = "simulator";
  origin.seed = random_seed();
  origin.seed_found_by = "simulator";
  origin.seconds = writer.rows();
  origin.bits = true;
  origin.run = run;
  const fs::path log = path_from_utf8(study_log_file());
  const auto digest = run.find("log_sha256");
  if (!log.empty() && digest != run.end() && digest->is_string()) {
    origin.log = log;
    origin.log_bytes = static_cast<uint64_t>(json_integer(run, "log_bytes", 0));
    origin.log_sha256 = digest->get<std::string>();
  }
  bool stored = true;
  const nlohmann::json provenance = folder_provenance(origin, offsets, stored);
  if (!stored) {
    std::error_code code;
    std::fprintf(stderr, "testnuv-sim: aviso: el nombre del registro de estudio %s no es UTF-8 y "
                 "no se puede guardar tal cual en %s\n", shown_path(fs::absolute(log, code)).c_str(),
                 PROVENANCE_FILE);
  }
  const Result<> finished = writer.finish(provenance);
  if (!finished) error = finished.failure().message;
  return finished.ok();
}
