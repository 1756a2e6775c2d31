// Analysis input: data folders through the data-folder reader, events from text.
#include "study/analysis_input.h"

#include <chrono>
#include <cstdio>
#include <sstream>

#include "runtime/paths.h"
#include "study/data_folder.h"
#include "study/local_time.h"

namespace {

constexpr uint64_t PROGRESS_ROWS = 1 << 18;  // rows between looks at the clock
constexpr auto PROGRESS_PERIOD = std::chrono::seconds(1);

// Return a text without blanks at either end.
std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// Take the provenance fields the analysis uses: the seed and the zone's offsets. A folder written
// before the utc column has no offsets of its own: its run's offset at the start serves.
void take_provenance(FolderData& folder) {
  const nlohmann::json& provenance = folder.provenance;
  if (provenance.contains("seed") && provenance["seed"].is_number_integer())
    folder.seed = static_cast<uint32_t>(provenance["seed"].get<int64_t>());
  if (folder.offsets.from_json(provenance)) return;
  const nlohmann::json& run = provenance.contains("run") && provenance["run"].is_object() ? provenance["run"] : provenance;
  const auto offset = run.find("utc_offset_minutes");
  folder.offsets.zone = run.contains("time_zone") && run["time_zone"].is_string() ? run["time_zone"].get<std::string>() : "";
  folder.offsets.way = BY_RECORD_OFFSETS;
  folder.offsets.note(0, offset != run.end() && offset->is_number_integer() ? offset->get<int32_t>() : 0);
}

// Read an event's time: with its offset as it says, a local one with the zone's offsets.
bool event_moment(const std::string& text, const OffsetTable& zone, int64_t& utc, std::string& error) {
  bool local = false;
  int64_t value = 0;
  if (!parse_iso_time(text, value, local)) {
    error = "\"" + text + "\": las horas van en hora local \"AAAA-MM-DD HH:MM:SS\" o en ISO 8601 con su desfase "
            "(\"2026-10-25T02:30:00+02:00\", \"2026-10-25T00:30:00Z\")";
    return false;
  }
  if (!local) {
    utc = value;
    return true;
  }
  const std::vector<int64_t> moments = zone.moments_of(value);
  if (moments.size() == 1) {
    utc = moments.front();
    return true;
  }
  std::string iso = format_local_time(value);
  iso[10] = 'T';
  error = "la hora local \"" + text + "\" " +
          (moments.empty() ? "no existe" : "se da dos veces (el reloj se retraso)") + " en la zona horaria " +
          (zone.zone.empty() ? "de la primera carpeta" : "\"" + zone.zone + "\"") + "; escribala con su desfase de UTC";
  for (size_t i = 0; i < moments.size(); ++i) {
    error += (i == 0 ? ": " : " o ") + iso + offset_text(static_cast<int32_t>((value - moments[i]) / 60));
  }
  if (moments.empty()) error += ", como " + iso + offset_text(zone.offset_at(value - 86400));
  return false;
}

// Read an event's start and end.
bool event_span(const std::string& start, const std::string& end, const OffsetTable& zone, EventSpec& event,
                std::string& error) {
  event.start_text = start;
  event.end_text = end;
  return event_moment(start, zone, event.start, error) && event_moment(end, zone, event.end, error);
}

}  // namespace

bool load_folder(const std::filesystem::path& path, FolderData& folder, std::string& error, bool show_progress) {
  folder = FolderData{};
  folder.path = path_to_utf8(path);
  folder.name = path_to_utf8(path.filename().empty() ? path.parent_path().filename() : path.filename());
  std::error_code ec;
  if (!std::filesystem::is_directory(path, ec) || !std::filesystem::is_regular_file(path / SECONDS_FILE, ec) ||
      !std::filesystem::is_regular_file(path / SUMS_FILE, ec)) {
    error = shown_text(folder.path) + ": no es una carpeta de datos (necesita " + SECONDS_FILE + ", " + PROVENANCE_FILE +
            " y " + SUMS_FILE + ")";
    return false;
  }
  if (show_progress) std::fprintf(stderr, "comprobando las sumas SHA-256 de %s …\n", shown_text(folder.path).c_str());
  std::vector<std::string> problems;
  if (!check_checksums(path, problems)) {
    error = shown_text(folder.path) + ": sus sumas SHA-256 no coinciden";
    for (const std::string& problem : problems) error += "\n  " + problem;
    return false;
  }
  if (!read_provenance(path, folder.provenance, error)) {
    error = shown_text(folder.path) + ": " + error;
    return false;
  }
  take_provenance(folder);
  SecondsReader reader;
  if (!reader.open(path / SECONDS_FILE)) {
    error = reader.error();
    return false;
  }
  SecondRow row;
  int64_t cycle = -1;
  auto last_report = std::chrono::steady_clock::now();
  while (reader.next(row)) {
    if (show_progress && folder.ones.size() % PROGRESS_ROWS == 0 &&
        std::chrono::steady_clock::now() - last_report >= PROGRESS_PERIOD) {
      std::fprintf(stderr, "leyendo %s: %zu segundos\n", shown_text(folder.path).c_str(), folder.ones.size());
      last_report = std::chrono::steady_clock::now();
    }
    int64_t local = 0, utc = 0;
    if (!parse_local_time(row.time, local) || (reader.has_utc() && !parse_utc_time(row.utc, utc))) {
      error = shown_path(path / SECONDS_FILE) + ":" + std::to_string(reader.line()) + ": hora no valida \"" + row.time + "\"";
      return false;
    }
    if (!reader.has_utc()) utc = local - folder.offsets.offset_at(0) * int64_t{60};
    if (folder.ones.empty()) {
      folder.first_second = row.second;
      folder.utc_offset_minutes = (local - utc) / 60;
    } else if (row.cycle != cycle) {
      folder.cycle_ends.push_back(folder.ones.size() - 1);
    }
    cycle = row.cycle;
    append_second_time(folder, utc, local);
    folder.ones.push_back(static_cast<uint8_t>(row.ones));
  }
  if (!reader.error().empty()) {
    error = reader.error();
    return false;
  }
  if (folder.ones.empty()) {
    error = shown_path(path / SECONDS_FILE) + ": no tiene ningun segundo";
    return false;
  }
  if (std::filesystem::is_regular_file(path / BITS_FILE, ec)) folder.bits_path = path_to_utf8(path / BITS_FILE);
  return true;
}

bool parse_event(const std::string& text, const OffsetTable& zone, EventSpec& event, std::string& error) {
  const size_t first = text.find('/');
  const size_t second = first == std::string::npos ? first : text.find('/', first + 1);
  if (second == std::string::npos) {
    error = "evento \"" + text + "\": se esperaba \"INICIO/FIN/etiqueta\", con horas \"AAAA-MM-DD HH:MM:SS\" "
            "(locales) o ISO 8601 con su desfase";
    return false;
  }
  event.label = text.substr(second + 1);
  if (!event_span(trimmed(text.substr(0, first)), trimmed(text.substr(first + 1, second - first - 1)), zone, event,
                  error)) {
    error = "evento \"" + text + "\": " + error;
    return false;
  }
  return true;
}

bool read_events_file(const std::filesystem::path& file, const OffsetTable& zone, std::vector<EventSpec>& events,
                      std::string& error) {
  std::string text;
  if (!read_small_file(file, Links::follow, text, error)) {
    error = "no se puede leer el fichero de eventos: " + error;
    return false;
  }
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    line = trimmed(line);
    if (line.empty() || (number == 1 && line.rfind("start", 0) == 0)) continue;
    const size_t first = line.find(',');
    const size_t second = first == std::string::npos ? first : line.find(',', first + 1);
    std::string label = second == std::string::npos ? "" : trimmed(line.substr(second + 1));
    if (label.size() >= 2 && label.front() == '"' && label.back() == '"') label = label.substr(1, label.size() - 2);
    EventSpec event;
    event.label = label;
    if (second == std::string::npos) {
      error = shown_path(file) + ":" + std::to_string(number) + ": se esperaba \"inicio,fin,etiqueta\"";
      return false;
    }
    if (!event_span(trimmed(line.substr(0, first)), trimmed(line.substr(first + 1, second - first - 1)), zone, event,
                    error)) {
      error = shown_path(file) + ":" + std::to_string(number) + ": " + error;
      return false;
    }
    events.push_back(event);
  }
  return true;
}

std::string zone_name(const FolderData& folder) {
  if (!folder.offsets.zone.empty()) return folder.offsets.zone;
  return "UTC" + offset_text(static_cast<int32_t>(folder.utc_offset_minutes));
}
