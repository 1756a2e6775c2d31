// Analysis input: data folders through the data-folder reader, events from text.
#include "study/analysis_input.h"

#include <cctype>
#include <chrono>

#include "runtime/paths.h"
#include "study/data_folder.h"
#include "study/folder_checksums.h"
#include "study/provenance_file.h"
#include "study/small_file.h"
#include "study/seconds_reader.h"
#include "study/local_time.h"

namespace {

constexpr uint64_t PROGRESS_ROWS = 1 << 18;  // rows between looks at the clock
constexpr auto READ_PROGRESS_PERIOD = std::chrono::seconds(1);

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
// CR LF or LF line ends; a leading BOM skipped) into records, blank lines left out; fails with
// a message starting with the number of the line where a quoted field is not closed or text
// follows its closing quote.
Result<std::vector<CsvRecord>> csv_records(const std::string& text) {
  std::vector<CsvRecord> records;
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
            return fail(EXIT_USAGE, std::to_string(opened) + ": un campo entre comillas no se cierra");
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
          return fail(EXIT_USAGE, std::to_string(line) + ": hay texto tras las comillas que cierran un campo");
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
  return records;
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
Result<int64_t> event_moment(const std::string& text, const OffsetTable& zone) {
  bool local = false;
  int64_t value = 0;
  if (!parse_iso_time(text, value, local)) {
    return fail(EXIT_USAGE, "\"" + text + "\": las horas van en hora local \"AAAA-MM-DD HH:MM:SS\" o en ISO 8601 "
                "con su desfase (\"2026-10-25T02:30:00+02:00\", \"2026-10-25T00:30:00Z\")");
  }
  if (!local) return value;
  const std::vector<int64_t> moments = zone.moments_of(value);
  if (moments.size() == 1) return moments.front();
  std::string iso = format_local_time(value);
  iso[10] = 'T';
  std::string error = "la hora local \"" + text + "\" " +
          (moments.empty() ? "no existe" : "se da dos veces (el reloj se retraso)") + " en la zona horaria " +
          (zone.zone.empty() ? "de la primera carpeta" : "\"" + zone.zone + "\"") + "; escribala con su desfase de UTC";
  for (size_t i = 0; i < moments.size(); ++i) {
    error += (i == 0 ? ": " : " o ") + iso + offset_text(static_cast<int32_t>((value - moments[i]) / 60));
  }
  if (moments.empty()) error += ", como " + iso + offset_text(zone.offset_at(value - 86400));
  return fail(EXIT_USAGE, error);
}

// Read an event's start and end into `event`.
Result<EventSpec> event_span(const std::string& start, const std::string& end, const OffsetTable& zone,
                             EventSpec event) {
  event.start_text = start;
  event.end_text = end;
  const Result<int64_t> first = event_moment(start, zone);
  if (!first) return first.failure();
  const Result<int64_t> last = event_moment(end, zone);
  if (!last) return last.failure();
  event.start = *first;
  event.end = *last;
  return event;
}

// Read the rows of seconds.csv into the folder: its ones, times and cycle ends.
Result<> read_rows(const std::filesystem::path& file, FolderData& folder, const ProgressLine& progress) {
  SecondsReader reader;
  if (!reader.open(file)) return fail(EXIT_TROUBLE, reader.error());
  SecondRow row;
  int64_t cycle = -1;
  auto last_report = std::chrono::steady_clock::now();
  while (reader.next(row)) {
    if (progress && folder.ones.size() % PROGRESS_ROWS == 0 &&
        std::chrono::steady_clock::now() - last_report >= READ_PROGRESS_PERIOD) {
      progress("leyendo " + shown_text(folder.path) + ": " + std::to_string(folder.ones.size()) + " segundos");
      last_report = std::chrono::steady_clock::now();
    }
    int64_t local = 0, utc = 0;
    if (!parse_local_time(row.time, local) || (reader.has_utc() && !parse_utc_time(row.utc, utc))) {
      return fail(EXIT_TROUBLE, shown_path(file) + ":" + std::to_string(reader.line()) + ": hora no valida \"" +
                                    row.time + "\"");
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
  if (!reader.error().empty()) return fail(EXIT_TROUBLE, reader.error());
  if (folder.ones.empty()) return fail(EXIT_TROUBLE, shown_path(file) + ": no tiene ningun segundo");
  return Ok{};
}

}  // namespace

Result<FolderData> load_folder(const std::filesystem::path& path, const ProgressLine& progress) {
  FolderData folder;
  folder.path = path_to_utf8(path);
  folder.name = path_to_utf8(path.filename().empty() ? path.parent_path().filename() : path.filename());
  std::error_code ec;
  if (!std::filesystem::is_directory(path, ec) || !std::filesystem::is_regular_file(path / SECONDS_FILE, ec) ||
      !std::filesystem::is_regular_file(path / SUMS_FILE, ec)) {
    return fail(EXIT_TROUBLE, shown_text(folder.path) + ": no es una carpeta de datos (necesita " + SECONDS_FILE +
                                  ", " + PROVENANCE_FILE + " y " + SUMS_FILE + ")");
  }
  if (progress) progress("comprobando las sumas SHA-256 de " + shown_text(folder.path) + " …");
  const Result<> sums = check_checksums(path);
  if (!sums) {
    std::string message = shown_text(folder.path) + ": sus sumas SHA-256 no coinciden";
    size_t start = 0;
    const std::string& problems = sums.failure().message;
    while (start < problems.size()) {
      size_t stop = problems.find('\n', start);
      if (stop == std::string::npos) stop = problems.size();
      message += "\n  " + problems.substr(start, stop - start);
      start = stop + 1;
    }
    return fail(EXIT_TROUBLE, message);
  }
  Result<nlohmann::json> provenance = read_provenance(path);
  if (!provenance) return fail(EXIT_TROUBLE, shown_text(folder.path) + ": " + provenance.failure().message);
  folder.provenance = std::move(*provenance);
  take_provenance(folder);
  const Result<> rows = read_rows(path / SECONDS_FILE, folder, progress);
  if (!rows) return rows.failure();
  if (std::filesystem::is_regular_file(path / BITS_FILE, ec)) folder.bits_path = path_to_utf8(path / BITS_FILE);
  return folder;
}

Result<EventSpec> parse_event(const std::string& text, const OffsetTable& zone) {
  const size_t first = text.find('/');
  const size_t second = first == std::string::npos ? first : text.find('/', first + 1);
  if (second == std::string::npos) {
    return fail(EXIT_USAGE, "evento \"" + text + "\": se esperaba \"INICIO/FIN/etiqueta\", con horas "
                "\"AAAA-MM-DD HH:MM:SS\" (locales) o ISO 8601 con su desfase");
  }
  EventSpec event;
  event.label = text.substr(second + 1);
  const Result<EventSpec> spanned =
      event_span(trimmed(text.substr(0, first)), trimmed(text.substr(first + 1, second - first - 1)), zone, event);
  if (!spanned) return fail(EXIT_USAGE, "evento \"" + text + "\": " + spanned.failure().message);
  return spanned;
}

Result<std::vector<EventSpec>> read_events_file(const std::filesystem::path& file, const OffsetTable& zone) {
  const Result<std::string> text = read_small_file(file, Links::follow);
  if (!text) return fail(EXIT_USAGE, "no se puede leer el fichero de eventos: " + text.failure().message);
  const Result<std::vector<CsvRecord>> records = csv_records(*text);
  if (!records) return fail(EXIT_USAGE, shown_path(file) + ":" + records.failure().message);
  std::vector<EventSpec> events;
  for (size_t i = 0; i < records->size(); ++i) {
    const CsvRecord& record = (*records)[i];
    if (i == 0 && is_events_header(record)) continue;
    const std::string where = shown_path(file) + ":" + std::to_string(record.line) + ": ";
    if (record.fields.size() < 3) return fail(EXIT_USAGE, where + "se esperaba \"inicio,fin,etiqueta\" (o \"start,end,label\")");
    EventSpec event;
    // A label with commas and no quotes keeps them, as older events files wrote it.
    for (size_t f = 2; f < record.fields.size(); ++f) event.label += (f > 2 ? "," : "") + record.fields[f];
    if (record.fields.size() > 3 || !record.quoted[2]) event.label = trimmed(event.label);
    const Result<EventSpec> spanned = event_span(trimmed(record.fields[0]), trimmed(record.fields[1]), zone, event);
    if (!spanned) return fail(EXIT_USAGE, where + spanned.failure().message);
    events.push_back(*spanned);
  }
  return events;
}

std::string zone_name(const FolderData& folder) {
  if (!folder.offsets.zone.empty()) return folder.offsets.zone;
  return "UTC" + offset_text(static_cast<int32_t>(folder.utc_offset_minutes));
}
