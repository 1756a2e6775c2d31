// Analysis input: data folders through the data-folder reader, events from text.
#include "study/analysis_input.h"

#include <cctype>
#include <chrono>
#include <cstdio>

#include "runtime/paths.h"
#include "study/data_folder.h"
#include "study/folder_checksums.h"
#include "study/provenance_file.h"
#include "study/small_file.h"
#include "study/seconds_reader.h"
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

// One record of a CSV file: its fields and the line it starts on.
struct CsvRecord {
  std::vector<std::string> fields;
  std::vector<bool> quoted;  // each field was in quotes
  int line = 0;
};

// Split CSV text (RFC 4180: fields in quotes may hold commas, doubled quotes and line breaks;
// CR LF or LF line ends; a leading BOM skipped) into records, blank lines left out; false with
// a message starting with the number of the line where a quoted field is not closed or text
// follows its closing quote.
bool csv_records(const std::string& text, std::vector<CsvRecord>& records, std::string& error) {
  size_t at = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  int line = 1;
  while (at < text.size()) {
    CsvRecord record;
    record.line = line;
    bool end_of_record = false;
    while (!end_of_record) {
      std::string field;
      bool quoted = false;
      if (at < text.size() && text[at] == '"') {
        quoted = true;
        const int opened = line;
        for (++at;; ++at) {
          if (at >= text.size()) {
            error = std::to_string(opened) + ": un campo entre comillas no se cierra";
            return false;
          }
          if (text[at] == '"' && at + 1 < text.size() && text[at + 1] == '"') {
            field += '"';
            ++at;
          } else if (text[at] == '"') {
            ++at;
            break;
          } else {
            if (text[at] == '\n') ++line;
            field += text[at];
          }
        }
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
        if (at < text.size() && text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
        if (at < text.size() && text[at] != ',' && text[at] != '\n') {
          error = std::to_string(line) + ": hay texto tras las comillas que cierran un campo";
          return false;
        }
      } else {
        while (at < text.size() && text[at] != ',' && text[at] != '\n') field += text[at++];
        if (!field.empty() && field.back() == '\r') field.pop_back();
      }
      record.fields.push_back(std::move(field));
      record.quoted.push_back(quoted);
      if (at >= text.size() || text[at] == '\n') {
        end_of_record = true;
        if (at < text.size()) ++line;
      }
      ++at;
    }
    const bool blank = record.fields.size() == 1 && !record.quoted[0] &&
                       record.fields[0].find_first_not_of(" \t") == std::string::npos;
    if (!blank) records.push_back(std::move(record));
  }
  return true;
}

// True when a CSV record is the events file's header, in English or in Spanish.
bool is_events_header(const CsvRecord& record) {
  static const std::vector<std::vector<std::string>> HEADERS = {{"start", "end", "label"},
                                                                {"inicio", "fin", "etiqueta"}};
  for (const auto& header : HEADERS) {
    bool same = record.fields.size() == header.size();
    for (size_t i = 0; same && i < header.size(); ++i) {
      std::string name = trimmed(record.fields[i]);
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      same = name == header[i];
    }
    if (same) return true;
  }
  return false;
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
  const Result<> sums = check_checksums(path);
  if (!sums) {
    error = shown_text(folder.path) + ": sus sumas SHA-256 no coinciden";
    size_t start = 0;
    while (start < sums.failure().message.size()) {
      size_t stop = sums.failure().message.find('\n', start);
      if (stop == std::string::npos) stop = sums.failure().message.size();
      error += "\n  " + sums.failure().message.substr(start, stop - start);
      start = stop + 1;
    }
    return false;
  }
  Result<nlohmann::json> provenance = read_provenance(path);
  if (!provenance) {
    error = shown_text(folder.path) + ": " + provenance.failure().message;
    return false;
  }
  folder.provenance = std::move(*provenance);
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
  Result<std::string> read = read_small_file(file, Links::follow);
  if (!read) {
    error = "no se puede leer el fichero de eventos: " + read.failure().message;
    return false;
  }
  const std::string& text = *read;
  std::vector<CsvRecord> records;
  if (!csv_records(text, records, error)) {
    error = shown_path(file) + ":" + error;
    return false;
  }
  for (size_t i = 0; i < records.size(); ++i) {
    const CsvRecord& record = records[i];
    if (i == 0 && is_events_header(record)) continue;
    const std::string where = shown_path(file) + ":" + std::to_string(record.line) + ": ";
    if (record.fields.size() < 3) {
      error = where + "se esperaba \"inicio,fin,etiqueta\" (o \"start,end,label\")";
      return false;
    }
    EventSpec event;
    // A label with commas and no quotes keeps them, as older events files wrote it.
    for (size_t f = 2; f < record.fields.size(); ++f) event.label += (f > 2 ? "," : "") + record.fields[f];
    if (record.fields.size() > 3 || !record.quoted[2]) event.label = trimmed(event.label);
    if (!event_span(trimmed(record.fields[0]), trimmed(record.fields[1]), zone, event, error)) {
      error = where + error;
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
