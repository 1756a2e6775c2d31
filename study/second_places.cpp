// Second places: moments from the start or the stamps, local times by the zone's
// rules or by the offsets the stamps show.
#include "study/second_places.h"

#include <cmath>
#include <cstdlib>

#include "runtime/clock.h"
#include "study/json_fields.h"

namespace {

constexpr int64_t HOUR = 3600;
constexpr int32_t LARGEST_OFFSET = 18 * 60;  // minutes; no zone is further from UTC

// Read a local time and its offset into a moment; false when either is missing.
bool read_moment(const nlohmann::json& run, const char* local_key, const char* offset_key,
                 int64_t& moment, int32_t& offset) {
  int64_t local = 0;
  const auto minutes = run.find(offset_key);
  if (!parse_local_time(json_text(run, local_key), local) || minutes == run.end() ||
      !minutes->is_number_integer() || std::llabs(minutes->get<int64_t>()) > LARGEST_OFFSET) {
    return false;
  }
  offset = minutes->get<int32_t>();
  moment = local - offset * int64_t{60};
  return true;
}

// Return the moment a stamp stands for: of two, the one nearer `expected` (-1: the first).
int64_t stamp_moment(int64_t stamp, int64_t expected) {
  const LocalMoments moments = utc_from_local(stamp);
  if (moments.count == 0) return stamp - utc_offset_at(stamp - SECONDS_PER_DAY) * int64_t{60};
  if (moments.count == 2 && expected >= 0 &&
      std::llabs(moments.second - expected) < std::llabs(moments.first - expected)) {
    return moments.second;
  }
  return moments.first;
}

}  // namespace

RunTimes run_times(const nlohmann::json& run) {
  RunTimes times;
  times.known = read_moment(run, "start_local", "utc_offset_minutes", times.start_utc, times.start_offset);
  times.end_known = read_moment(run, "end_local", "end_utc_offset_minutes", times.end_utc, times.end_offset);
  times.zone = json_text(run, "time_zone");
  return times;
}

void SecondPlaces::from_start(const RunTimes& run, const std::vector<std::pair<int64_t, int64_t>>& anchors) {
  by_start_ = true;
  start_utc_ = run.start_utc;
  table_ = OffsetTable{};
  table_.zone = run.zone;
  const bool rules = !run.zone.empty() && use_time_zone(run.zone) &&
                     utc_offset_at(run.start_utc) == run.start_offset;
  table_.way = rules ? BY_ZONE_RULES : BY_RECORD_OFFSETS;
  if (rules) return;
  seen_.emplace_back(run.start_utc, run.start_offset);
  for (const auto& [second, stamp] : anchors) {
    const int64_t moment = run.start_utc + (second - 1);
    const double minutes = std::nearbyint(static_cast<double>(stamp - moment) / 60.0);
    if (std::fabs(minutes) <= LARGEST_OFFSET && moment > seen_.back().first) {
      seen_.emplace_back(moment, static_cast<int32_t>(minutes));
    }
  }
  if (run.end_known && run.end_utc > seen_.back().first) seen_.emplace_back(run.end_utc, run.end_offset);
}

Result<> SecondPlaces::from_stamps(const std::string& zone, const std::string& own_name,
                                   const std::vector<std::pair<int64_t, int64_t>>& anchors) {
  by_start_ = false;
  table_ = OffsetTable{};
  table_.zone = zone.empty() ? own_name : zone;
  table_.way = BY_ZONE_RULES;
  if (!use_time_zone(zone)) {
    return fail(zone.empty() ? EXIT_TROUBLE : EXIT_USAGE, "--tz: esta maquina no conoce la zona horaria \"" + zone + "\"");
  }
  if (anchors.empty()) {
    return fail(EXIT_TROUBLE, "ningun registro tiene fecha y hora legibles: no se pueden situar los segundos en el tiempo");
  }
  for (const auto& [second, stamp] : anchors) {
    const int64_t expected = moments_.empty() ? -1 : moments_.back().second + (second - moments_.back().first);
    moments_.emplace_back(second, stamp_moment(stamp, expected));
  }
  return Ok{};
}

int64_t SecondPlaces::moment_of(int64_t second) {
  if (by_start_) return start_utc_ + (second - 1);
  while (at_ + 1 < moments_.size() && moments_[at_ + 1].first <= second) ++at_;
  return moments_[at_].second + (second - moments_[at_].first);
}

int32_t SecondPlaces::record_offset(int64_t utc) {
  // Between two stamps whose offsets differ, the change came at the first whole hour after the
  // earlier one (the later one's moment at the latest).
  while (seen_at_ < seen_.size() && seen_[seen_at_].first <= utc) ++seen_at_;
  const size_t after = seen_at_;
  if (after == 0) return seen_.front().second;
  if (after == seen_.size()) return seen_.back().second;
  const auto& [from, before_offset] = seen_[after - 1];
  const auto& [to, after_offset] = seen_[after];
  if (before_offset == after_offset) return before_offset;
  int64_t change = (from / HOUR + 1) * HOUR;
  if (change > to) change = to;
  return utc < change ? before_offset : after_offset;
}

std::pair<int64_t, int64_t> SecondPlaces::place(int64_t second) {
  const int64_t utc = moment_of(second);
  const int64_t local = table_.way == BY_ZONE_RULES ? seconds_from_civil(local_from_utc(utc))
                                                    : utc + record_offset(utc) * int64_t{60};
  table_.note(utc, static_cast<int32_t>((local - utc) / 60));
  return {utc, local};
}
