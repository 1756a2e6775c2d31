// Wall times as the data folders write them: local "YYYY-MM-DD HH:MM:SS" held as
// seconds since 1970-01-01 00:00:00 of the same calendar (no time zone applied),
// moments "YYYY-MM-DDTHH:MM:SSZ" held as seconds since 1970 UTC, and the table of
// UTC offsets that turns the one into the other over a run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

// Return in `seconds` the calendar seconds of a date and time of day (years 0000 to 9999); false
// when a field is out of range (the one check of a date the study tool makes).
bool calendar_seconds(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute, int64_t second,
                      int64_t& seconds);

// Parse "YYYY-MM-DD HH:MM:SS" into calendar seconds; false unless the text is exactly a valid time.
bool parse_local_time(std::string_view text, int64_t& seconds);

// Format calendar seconds as "YYYY-MM-DD HH:MM:SS".
std::string format_local_time(int64_t seconds);

// Parse "YYYY-MM-DDTHH:MM:SSZ" into UTC seconds; false unless the text is exactly a valid moment.
bool parse_utc_time(std::string_view text, int64_t& seconds);

// Format UTC seconds as "YYYY-MM-DDTHH:MM:SSZ".
std::string format_utc_time(int64_t seconds);

// Format an offset from UTC in minutes as "+02:00" or "-05:00".
std::string offset_text(int32_t minutes);

// Parse an ISO 8601 time with its offset ("YYYY-MM-DDTHH:MM:SS+02:00", "…Z") into UTC seconds;
// or, without an offset ("YYYY-MM-DD HH:MM:SS" or with 'T'), into local calendar seconds
// with `local` set. False unless the text is exactly one of these.
bool parse_iso_time(std::string_view text, int64_t& seconds, bool& local);

// Ways a data folder's local times were worked out from its moments.
constexpr char BY_ZONE_RULES[] = "zone rules";         // the zone's own rules, on the machine
constexpr char BY_RECORD_OFFSETS[] = "record offsets";  // the offsets the log's stamps show

// The local times of a run: its zone, how they were worked out, and the UTC offset in force
// from each moment on, as stored under "local_time" in a data folder's provenance.json.
struct OffsetTable {
  std::string zone;                                 // the zone's name ("" unknown)
  std::string way;                                  // BY_ZONE_RULES or BY_RECORD_OFFSETS
  std::vector<std::pair<int64_t, int32_t>> changes;  // (first moment, offset minutes), increasing

  // Note the offset of a moment (one earlier than the last change is not noted).
  void note(int64_t utc, int32_t offset_minutes);
  // Return the offset in force at a moment (that of the first change before the first).
  int32_t offset_at(int64_t utc) const;
  // Return the moments, in increasing order, a local time stands for (none: skipped; two: repeated).
  std::vector<int64_t> moments_of(int64_t local) const;
  // Return the table as provenance.json stores it.
  nlohmann::json to_json() const;
  // Read the table from provenance.json's "local_time"; false when it is not there or not whole.
  bool from_json(const nlohmann::json& record);
};
