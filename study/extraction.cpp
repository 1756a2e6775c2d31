// A log's seconds placed in time and handed on as data-folder rows.
#include "study/extraction.h"

#include "runtime/clock.h"
#include "runtime/platform.h"
#include "study/local_time.h"

namespace {

// True when a calendar time lies within years 0000 to 9999, as seconds.csv writes them.
bool within_four_digit_years(int64_t seconds) {
  static const int64_t first = days_from_civil(0, 1, 1) * 86400;
  static const int64_t last = days_from_civil(10000, 1, 1) * 86400 - 1;
  return seconds >= first && seconds <= last;
}

}  // namespace

Result<Placement> place_seconds(const LoadedLog& log, int64_t start, const std::string& zone) {
  const SecondTimes stamps(log.text, start);
  const RunTimes run = log.has_run ? run_times(log.run) : RunTimes{};
  Placement placement;
  placement.from_run = run.known;
  if (run.known) {
    placement.places.from_start(run, stamps.anchors());
    return placement;
  }
  const Result<> placed = placement.places.from_stamps(zone, platform_time_zone_name(), stamps.anchors());
  if (!placed) return fail(zone.empty() ? EXIT_TROUBLE : EXIT_USAGE, placed.failure().message);
  return placement;
}

std::string placement_text(const Placement& placement) {
  const OffsetTable& table = placement.places.table();
  if (table.way == BY_ZONE_RULES) {
    return "horas locales: reglas de la zona horaria \"" + table.zone + "\"" +
           (placement.from_run ? "" : ", desde las fechas y horas de los registros");
  }
  return "horas locales: desfases respecto de UTC que muestran los registros (esta maquina no conoce la zona \"" +
         table.zone + "\")";
}

LogCheckResult extracted_rows(const LoadedLog& log, uint32_t seed, int64_t seconds, bool bits, int64_t start,
                              SecondPlaces& places, int64_t& beyond, const SecondSink& sink) {
  beyond = 0;
  return check_log(log.text, seed, seconds, bits, start, [&](const SecondRow& row, const uint8_t* row_bits) {
    const auto [utc, local] = places.place(row.second);
    if (!within_four_digit_years(utc) || !within_four_digit_years(local)) {
      beyond = row.second;
      return false;
    }
    SecondRow placed = row;
    placed.time = format_local_time(local);
    placed.utc = format_utc_time(utc);
    return sink(placed, row_bits);
  });
}
