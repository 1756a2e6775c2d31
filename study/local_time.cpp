// Local times and moments: the runtime clock's calendar, read and written as texts,
// and the offsets between them.
#include "study/local_time.h"

#include <algorithm>
#include <cstdio>

#include "runtime/clock.h"
#include "study/json_fields.h"

namespace {

// Read exactly `width` decimal digits at `at`; false on anything else.
bool read_digits(std::string_view text, size_t at, size_t width, int& value) {
  if (at + width > text.size()) return false;
  value = 0;
  for (size_t i = at; i < at + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// Read "YYYY-MM-DD?HH:MM:SS" with `separator` between date and time, the first 19 characters.
bool parse_calendar(std::string_view text, char separator, int64_t& seconds) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (text.size() < 19 || text[4] != '-' || text[7] != '-' || text[10] != separator || text[13] != ':' ||
      text[16] != ':')
    return false;
  if (!read_digits(text, 0, 4, year) || !read_digits(text, 5, 2, month) || !read_digits(text, 8, 2, day) ||
      !read_digits(text, 11, 2, hour) || !read_digits(text, 14, 2, minute) || !read_digits(text, 17, 2, second))
    return false;
  return calendar_seconds(year, month, day, hour, minute, second, seconds);
}

}  // namespace

bool calendar_seconds(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute, int64_t second,
                      int64_t& seconds) {
  if (year < 0 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > days_in_month(static_cast<int>(year), static_cast<int>(month)) || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 59) {
    return false;
  }
  seconds = seconds_from_civil(civil_time(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                                          static_cast<int>(hour), static_cast<int>(minute), static_cast<int>(second)));
  return true;
}

bool parse_local_time(std::string_view text, int64_t& seconds) {
  return text.size() == 19 && parse_calendar(text, ' ', seconds);
}

std::string format_local_time(int64_t seconds) { return calendar_text(civil_from_seconds(seconds)); }

bool parse_utc_time(std::string_view text, int64_t& seconds) {
  return text.size() == 20 && text[19] == 'Z' && parse_calendar(text, 'T', seconds);
}

std::string format_utc_time(int64_t seconds) {
  std::string text = format_local_time(seconds);
  text[10] = 'T';
  return text + 'Z';
}

std::string offset_text(int32_t minutes) {
  char text[16];
  const int32_t size = minutes < 0 ? -minutes : minutes;
  std::snprintf(text, sizeof text, "%c%02d:%02d", minutes < 0 ? '-' : '+', size / 60 % 100, size % 60);
  return text;
}

bool parse_iso_time(std::string_view text, int64_t& seconds, bool& local) {
  local = text.size() == 19;
  if (local) return parse_calendar(text, text[10] == 'T' ? 'T' : ' ', seconds);
  if (text.size() == 20) return parse_utc_time(text, seconds);
  int hours = 0, minutes = 0;
  if (text.size() != 25 || (text[19] != '+' && text[19] != '-') || text[22] != ':' ||
      !read_digits(text, 20, 2, hours) || !read_digits(text, 23, 2, minutes) || hours > 18 || minutes > 59 ||
      !parse_calendar(text, 'T', seconds)) {
    return false;
  }
  const int64_t offset = (hours * int64_t{60} + minutes) * 60;
  seconds -= text[19] == '+' ? offset : -offset;
  return true;
}

void OffsetTable::note(int64_t utc, int32_t offset_minutes) {
  if (changes.empty() || (changes.back().second != offset_minutes && utc > changes.back().first)) {
    changes.emplace_back(utc, offset_minutes);
  }
}

int32_t OffsetTable::offset_at(int64_t utc) const {
  if (changes.empty()) return 0;
  auto after = std::upper_bound(changes.begin(), changes.end(), utc,
                                [](int64_t moment, const auto& change) { return moment < change.first; });
  return after == changes.begin() ? changes.front().second : (after - 1)->second;
}

std::vector<int64_t> OffsetTable::moments_of(int64_t local) const {
  std::vector<int64_t> moments;
  for (const auto& change : changes) {
    const int64_t moment = local - change.second * int64_t{60};
    if (offset_at(moment) == change.second && std::find(moments.begin(), moments.end(), moment) == moments.end()) {
      moments.push_back(moment);
    }
  }
  std::sort(moments.begin(), moments.end());
  return moments;
}

nlohmann::json OffsetTable::to_json() const {
  nlohmann::json offsets = nlohmann::json::array();
  for (const auto& [moment, minutes] : changes) {
    offsets.push_back({{"from_utc", format_utc_time(moment)}, {"utc_offset_minutes", minutes}});
  }
  return {{"zone", zone}, {"way", way}, {"offsets", offsets}};
}

bool OffsetTable::from_json(const nlohmann::json& record) {
  *this = OffsetTable{};
  const auto table = record.find("local_time");
  if (table == record.end() || !table->is_object()) return false;
  zone = json_text(*table, "zone");
  way = json_text(*table, "way");
  const auto offsets = table->find("offsets");
  if (offsets == table->end() || !offsets->is_array()) return false;
  for (const nlohmann::json& change : *offsets) {
    int64_t moment = 0;
    const auto minutes = change.find("utc_offset_minutes");
    if (!change.is_object() || !parse_utc_time(json_text(change, "from_utc"), moment) || minutes == change.end() ||
        !minutes->is_number_integer() || (!changes.empty() && moment <= changes.back().first)) {
      changes.clear();
      return false;
    }
    changes.emplace_back(moment, minutes->get<int32_t>());
  }
  return !changes.empty();
}
