// The subcommands seed, extract and verify.
//
// seed finds the seed whose replay gives every record of a log (from the
// run's provenance record when there is one, else by a search over every
// seed); extract checks every record and only then writes the data folder;
// verify checks a log, or a data folder with its checksums and its log.
#include "study/commands.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "experiment/provenance.h"
#include "runtime/clock.h"
#include "runtime/paths.h"
#include "runtime/platform.h"
#include "runtime/version.h"
#include "study/data_folder.h"
#include "study/local_time.h"
#include "study/log_check.h"
#include "study/log_model.h"
#include "study/replay.h"
#include "study/second_places.h"
#include "study/seed_search.h"
#include "study/study_log_records.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t MAX_LISTED = 100;  // candidates listed (and checked record by record)

bool progress_shown = false;

// A log with the run's provenance record beside it, if it has one.
struct LoadedLog {
  StudyLogText text;
  nlohmann::json run;    // the record estudio_….json (an empty object when there is none)
  bool has_run = false;
};

// The seed behind a log and how it was found.
struct FoundSeed {
  int status = EXIT_NO_SEED;  // EXIT_DONE when `seed` is the one
  uint32_t seed = 0;
  std::string how;            // "provenance", "search" or "option"
  int64_t records = 0;        // records checked
  bool pinned = false;        // `seed` is the log's own though a record of it disagrees
};

// Print the line of a log that disagrees with the replay.
void report_disagreement(const LoadedLog& log, const LogCheckResult& result) {
  std::fprintf(stderr,
               "testnuv-study: %s, linea %" PRId64 ": el registro no coincide con la repeticion\n"
               "  el registro dice:    \"%s\"\n"
               "  la repeticion da:    \"%s\"\n",
               shown_path(log.text.file).c_str(), result.line, shown_log_text(result.found).c_str(),
               shown_log_text(result.expected).c_str());
}

// Read a log (through a link only with Links::follow) and its provenance record; print what is
// worth knowing. False when unreadable.
bool load_log(const fs::path& file, Links links, LoadedLog& log) {
  std::string error;
  if (!read_study_log(file, links, log.text, error)) {
    std::fprintf(stderr, "testnuv-study: %s\n", error.c_str());
    return false;
  }
  if (log.text.torn) {
    std::fprintf(stderr,
                 "testnuv-study: %s: el ultimo registro esta cortado (linea %" PRId64
                 "; la ejecucion se interrumpio); se lee hasta el ultimo registro entero\n",
                 shown_path(file).c_str(), log.text.torn_line);
  }
  if ((log.text.lf_line_ends || log.text.bom) && !log.text.records.empty()) {
    std::fprintf(stderr,
                 "testnuv-study: %s: %s%s%s; se lee como el programa lo escribe, pero su SHA-256 ya no es el "
                 "del original\n",
                 shown_path(file).c_str(), log.text.lf_line_ends ? "sus fines de linea no son CR LF" : "",
                 log.text.lf_line_ends && log.text.bom ? " y " : "",
                 log.text.bom ? "empieza con una marca de orden de bytes (BOM)" : "");
  }
  std::error_code code;
  const fs::path record = provenance_name(file);
  if (fs::exists(record, code)) {
    log.has_run = read_provenance(record, log.run, error);
    if (!log.has_run) std::fprintf(stderr, "testnuv-study: %s (se ignora)\n", error.c_str());
  }
  return true;
}

// Say whether the log is the one its provenance record describes (size and SHA-256 at the
// run's end); EXIT_DISAGREES, with what differs, when it is not.
int matches_its_record(const LoadedLog& log) {
  if (!log.has_run || log.text.sha256.empty()) return EXIT_DONE;
  const auto digest = log.run.find("log_sha256");
  if (digest == log.run.end() || !digest->is_string()) {
    std::fprintf(stderr, "testnuv-study: %s: el registro de procedencia no tiene el final de la "
                 "ejecucion (se corto, o sigue en marcha); el registro de estudio se comprueba tal como esta\n",
                 shown_path(log.text.file).c_str());
    return EXIT_DONE;
  }
  const std::string recorded = digest->get<std::string>();
  if (recorded == log.text.sha256 || recorded == log.text.sha256_as_written) return EXIT_DONE;
  const auto bytes = log.run.find("log_bytes");
  const std::string recorded_bytes = bytes != log.run.end() && bytes->is_number_integer()
                                         ? std::to_string(bytes->get<int64_t>())
                                         : "?";
  std::fprintf(stderr,
               "testnuv-study: %s no es el registro de estudio que describe su registro de procedencia\n"
               "  el registro de estudio:       %" PRIu64 " bytes, SHA-256 %s\n"
               "  el registro de procedencia:   %s bytes, SHA-256 %s\n",
               shown_path(log.text.file).c_str(), log.text.bytes, log.text.sha256.c_str(),
               recorded_bytes.c_str(), shown_text(recorded).c_str());
  return EXIT_DISAGREES;
}

// Return an integer field of a JSON object, or `fallback`.
int64_t json_integer(const nlohmann::json& object, const char* key, int64_t fallback) {
  const auto field = object.find(key);
  if (field == object.end() || !field->is_number_integer()) return fallback;
  return field->get<int64_t>();
}

// Return a text field of a JSON object, or "".
std::string json_text(const nlohmann::json& object, const char* key) {
  const auto field = object.find(key);
  return field != object.end() && field->is_string() ? field->get<std::string>() : "";
}

// Check a seed against every record of the log.
LogCheckResult check_seed(const LoadedLog& log, uint32_t seed) {
  return check_log(log.text, seed, last_record_second(log.text), false, -1, {});
}

// Show a search's progress on standard error when a person is watching.
void show_progress(double done) {
  if (!progress_shown) return;
  std::fprintf(stderr, "\rbuscando la semilla: %3.0f %%", done * 100.0);
  if (done >= 1.0) std::fprintf(stderr, "\r%40s\r", "");
  std::fflush(stderr);
}

// Find the seed of a log: its provenance record, else a search of [from, to].
// A seed that gives the first windows but not a later record makes `disagreement_is_final`
// callers (extract, verify) end with EXIT_DISAGREES rather than EXIT_NO_SEED.
FoundSeed find_seed(const LoadedLog& log, uint32_t from, uint32_t to, bool list,
                    bool disagreement_is_final) {
  FoundSeed found;
  LogCheckResult record_disagrees;  // the check of the record's seed, when it disagreed
  const int64_t recorded = log.has_run ? json_integer(log.run, "seed", -1) : -1;
  if (recorded >= 0 && recorded <= UINT32_MAX) {
    const LogCheckResult check = check_seed(log, static_cast<uint32_t>(recorded));
    if (check.agrees) {
      found.status = EXIT_DONE;
      found.seed = static_cast<uint32_t>(recorded) & LAST_SEED;
      found.how = "provenance";
      found.records = check.records_checked;
      return found;
    }
    // The record's seed or the log is wrong: the search over every seed tells which.
    std::fprintf(stderr, "testnuv-study: la semilla %" PRId64 " del registro de procedencia no "
                 "da este registro de estudio; se busca entre todas\n", recorded);
    record_disagrees = check;
  }
  const std::vector<int32_t> ones = window_ones(log.text);
  if (log.text.records.empty() && log.text.bad_line != 0) {
    std::fprintf(stderr, "testnuv-study: %s no es un registro de estudio: linea %" PRId64 ": %s\n",
                 shown_path(log.text.file).c_str(), log.text.bad_line,
                 log.text.bad_why.empty() ? "no es el titulo de ningun registro" : log.text.bad_why.c_str());
    return found;
  }
  if (ones.empty()) {
    std::fprintf(stderr, "testnuv-study: %s no tiene ningun registro de 5 minutos: sin registros "
                 "no se puede hallar la semilla (la ejecucion duro menos de 300 segundos o el "
                 "fichero no es un registro de estudio)\n", shown_path(log.text.file).c_str());
    return found;
  }
  SeedCandidates candidates = search_seeds(ones, from, to, MAX_LISTED, show_progress);
  // No seed gives every window searched: one seed that gives all of them but one is the log's
  // own, and a record among its first is damaged.
  if (candidates.count == 0 && candidates.near_count <= MAX_LISTED) {
    candidates.near_seeds = seeds_missing_one(ones, candidates.near_seeds);
    candidates.near_count = candidates.near_seeds.size();
  }
  const bool near = candidates.count == 0 && candidates.near_count == 1;
  if (near) {
    candidates.seeds = candidates.near_seeds;
    candidates.count = 1;
  }
  std::vector<uint32_t> agreeing;
  LogCheckResult first_failure;
  for (uint32_t seed : candidates.seeds) {
    const LogCheckResult check = check_seed(log, seed);
    if (check.agrees) {
      agreeing.push_back(seed);
      found.records = check.records_checked;
    } else if (first_failure.agrees) {
      first_failure = check;
    }
  }
  const uint64_t unchecked = candidates.count - candidates.seeds.size();
  found.how = "search";
  if (agreeing.size() == 1 && unchecked == 0) {
    found.status = EXIT_DONE;
    found.seed = agreeing.front();
    if (!record_disagrees.agrees) {
      // The log is whole; its provenance record names another seed.
      std::fprintf(stderr, "testnuv-study: el registro de estudio concuerda con la semilla %" PRIu32
                   ": es su registro de procedencia el que no concuerda\n", found.seed);
      if (disagreement_is_final) found.status = EXIT_DISAGREES;
    }
    return found;
  }
  if (agreeing.empty() && unchecked == 0 && candidates.count == 1) {
    // The log is that seed's run, and one of its records is damaged.
    found.status = EXIT_DISAGREES;
    found.seed = candidates.seeds.front();
    found.pinned = true;
    std::fprintf(stderr, "testnuv-study: la semilla %" PRIu32 " da %s de %s, pero no todos sus "
                 "registros\n", found.seed,
                 near ? "todas las primeras cuentas de 5 minutos menos una" : "las primeras cuentas de 5 minutos",
                 shown_path(log.text.file).c_str());
    report_disagreement(log, first_failure);
    return found;
  }
  if (!record_disagrees.agrees) report_disagreement(log, record_disagrees);
  if (agreeing.empty() && unchecked == 0) {
    std::fprintf(stderr, "testnuv-study: ninguna semilla de %" PRIu32 " a %" PRIu32 " concuerda con "
                 "bastantes registros de %s\n", from, to, shown_path(log.text.file).c_str());
    if (!first_failure.agrees) {
      std::fprintf(stderr, "  (%zu semillas dan las primeras cuentas de 5 minutos, pero no todos "
                   "los registros)\n", candidates.seeds.size());
      report_disagreement(log, first_failure);
    } else if (candidates.near_count > 1) {
      std::string listed;
      for (size_t i = 0; i < candidates.near_seeds.size() && i < 10; ++i) {
        listed += (i > 0 ? ", " : "") + std::to_string(candidates.near_seeds[i]);
      }
      std::fprintf(stderr, "  (%" PRIu64 " semillas dan todas las primeras cuentas de 5 minutos menos "
                   "una, y no se puede decir cual es: %s%s)\n", candidates.near_count, listed.c_str(),
                   candidates.near_count > 10 ? ", ..." : "");
    }
    if (!record_disagrees.agrees && disagreement_is_final) found.status = EXIT_DISAGREES;
    return found;
  }
  found.status = !record_disagrees.agrees && disagreement_is_final ? EXIT_DISAGREES : EXIT_SEVERAL;
  if (list) {
    if (unchecked == 0) {
      std::printf("%zu semillas posibles (el registro tiene %zu registros de 5 minutos; "
                  "cinco bastan para fijar una):\n", agreeing.size(), ones.size());
    } else {
      std::printf("%" PRIu64 " semillas dan las cuentas de 5 minutos; de las %zu primeras, %zu dan "
                  "todos los registros (el registro tiene %zu registros de 5 minutos; cinco bastan "
                  "para fijar una):\n", candidates.count, candidates.seeds.size(), agreeing.size(),
                  ones.size());
    }
    for (uint32_t seed : agreeing) std::printf("%" PRIu32 "\n", seed);
    if (unchecked > 0) std::printf("... y %" PRIu64 " mas sin comprobar con todos los registros\n", unchecked);
  } else {
    std::fprintf(stderr, "testnuv-study: varias semillas dan este registro; indique una con --seed "
                 "(testnuv-study seed las lista)\n");
  }
  return found;
}

// The seconds a log's data covers: the run's own count when it ended in order, else up to
// the last record. `start` gets the start time of the record (-1: none).
int64_t seconds_of_run(const LoadedLog& log, int64_t& start) {
  const int64_t last = last_record_second(log.text);
  start = -1;
  if (!log.has_run) return last;
  parse_local_time(json_text(log.run, "start_local"), start);
  const int64_t run = json_integer(log.run, "seconds_run", -1);
  const bool ended = !json_text(log.run, "end_reason").empty();
  if (ended && run >= last && run < next_record_second(last) && !log.text.torn) return run;
  if (ended) {
    std::fprintf(stderr, "testnuv-study: el registro de procedencia dice %" PRId64 " segundos, "
                 "que no casa con los registros; se toma hasta el ultimo registro\n", run);
  }
  return last;
}

// True when a calendar time lies within years 0000 to 9999, as seconds.csv writes them.
bool within_four_digit_years(int64_t seconds) {
  static const int64_t first = days_from_civil(0, 1, 1) * 86400;
  static const int64_t last = days_from_civil(10000, 1, 1) * 86400 - 1;
  return seconds >= first && seconds <= last;
}

// Choose how the log's seconds are placed in time and say so when `say`; false with a message
// on standard error.
bool place_seconds(const LoadedLog& log, int64_t start, const std::string& zone, bool say,
                   SecondPlaces& places) {
  const SecondTimes stamps(log.text, start);
  const RunTimes run = log.has_run ? run_times(log.run) : RunTimes{};
  if (run.known) {
    if (!zone.empty() && say) {
      std::fprintf(stderr, "testnuv-study: --tz no se usa: el registro de procedencia da el inicio, "
                   "su desfase y su zona\n");
    }
    places.from_start(run, stamps.anchors());
  } else {
    std::string error;
    if (!places.from_stamps(zone, platform_time_zone_name(), stamps.anchors(), error)) {
      std::fprintf(stderr, "testnuv-study: %s\n", error.c_str());
      return false;
    }
  }
  const OffsetTable& table = places.table();
  if (!say) return true;
  if (table.way == BY_ZONE_RULES) {
    std::printf("horas locales: reglas de la zona horaria \"%s\"%s\n", table.zone.c_str(),
                run.known ? "" : ", desde las fechas y horas de los registros");
  } else {
    std::printf("horas locales: desfases respecto de UTC que muestran los registros (esta maquina no "
                "conoce la zona \"%s\")\n", table.zone.c_str());
  }
  return true;
}

// Hand `sink` the rows extract writes for a log, placed in time, with their bits when `bits`;
// a second whose time falls outside years 0000 to 9999 stops it, in `beyond`.
LogCheckResult extracted_rows(const LoadedLog& log, uint32_t seed, int64_t seconds, bool bits,
                              int64_t start, SecondPlaces& places, int64_t& beyond,
                              const SecondSink& sink) {
  beyond = 0;
  return check_log(log.text, seed, seconds, bits, start,
                   [&](const SecondRow& row, const uint8_t* row_bits) {
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

// Write a data folder from a log whose records all agree; returns the exit status.
int extract_folder(const LoadedLog& log, const FoundSeed& found, const fs::path& out, bool bits,
                   bool force, const std::string& zone) {
  int64_t start = -1;
  const int64_t seconds = seconds_of_run(log, start);
  if (seconds == 0) {
    std::fprintf(stderr, "testnuv-study: no hay ningun segundo que extraer\n");
    return EXIT_NO_SEED;
  }
  SecondPlaces places;
  if (!place_seconds(log, start, zone, true, places)) return zone.empty() ? EXIT_TROUBLE : EXIT_USAGE;
  // Check first, writing nothing, so that a disagreeing log leaves no folder behind.
  const LogCheckResult check = check_log(log.text, found.seed, seconds, false, start, {});
  if (!check.agrees) {
    report_disagreement(log, check);
    return EXIT_DISAGREES;
  }
  DataFolderWriter writer;
  std::string error;
  if (!writer.begin(out, bits, force, error)) {
    std::fprintf(stderr, "testnuv-study: %s\n", error.c_str());
    return EXIT_TROUBLE;
  }
  int64_t beyond = 0;  // a second whose time falls outside years 0000 to 9999
  const LogCheckResult written = extracted_rows(
      log, found.seed, seconds, bits, start, places, beyond,
      [&](const SecondRow& row, const uint8_t* row_bits) { return writer.add_second(row, row_bits); });
  if (beyond != 0) {
    std::fprintf(stderr, "testnuv-study: el segundo %" PRId64 " caeria fuera de los anos 0000 a 9999 "
                 "(la fecha y hora de los registros lo llevan alli); seconds.csv escribe el ano con "
                 "cuatro cifras: no se escribe la carpeta de datos\n", beyond);
    return EXIT_TROUBLE;
  }
  if (written.stopped || !written.agrees) {
    std::fprintf(stderr, "testnuv-study: %s\n", writer.error().c_str());
    return EXIT_TROUBLE;
  }
  nlohmann::json provenance = {
      {"format", DATA_FORMAT},
      {"written_by", std::string("testnuv-study ") + version_text()},
      {"source", "extract"},
      {"seed", found.seed},
      {"seed_found_by", found.how},
      {"generator", generator_description()},
      {"seconds", seconds},
      {"records_checked", written.records_checked},
      {"bits", bits},
      {"log_bytes", log.text.bytes},
      {"log_sha256", log.text.sha256},
      {"log_torn", log.text.torn},
      {"local_time", places.table().to_json()}};
  if (!name_log_in_provenance(provenance, log.text.file)) {
    std::fprintf(stderr, "testnuv-study: aviso: el nombre del registro de estudio %s no es UTF-8 y "
                 "no se puede guardar tal cual en %s; verify comprobara la carpeta sin su registro\n",
                 shown_path(log.text.file).c_str(), PROVENANCE_FILE);
  }
  if (log.has_run) provenance["run"] = log.run;
  if (!writer.finish(provenance, error)) {
    std::fprintf(stderr, "testnuv-study: %s\n", error.c_str());
    return EXIT_TROUBLE;
  }
  std::printf("%s: %" PRId64 " segundos, %" PRId64 " registros comprobados, semilla %" PRIu32 "\n",
              shown_path(out).c_str(), seconds, written.records_checked, found.seed);
  return EXIT_DONE;
}

// The seed given on the command line, or the one the log and its record give.
FoundSeed seed_for(const LoadedLog& log, int64_t given) {
  if (given < 0) return find_seed(log, 0, LAST_SEED, false, true);
  FoundSeed found;
  found.status = EXIT_DONE;
  found.seed = static_cast<uint32_t>(given);
  found.how = "option";
  return found;
}

// True when a row's local time is its moment with the offset the table gives for it.
bool local_time_agrees(const SecondRow& row, const OffsetTable& offsets) {
  int64_t local = 0, utc = 0;
  return parse_local_time(row.time, local) && parse_utc_time(row.utc, utc) &&
         local - utc == offsets.offset_at(utc) * int64_t{60};
}

// Name the first column in which a row differs from the row expected, with both values; false
// when none does (the utc column only when the folder has it).
bool differing_column(const SecondRow& found, const SecondRow& expected, bool with_utc, std::string& column,
                      std::string& found_text, std::string& expected_text) {
  const auto differs = [&](const char* name, const std::string& a, const std::string& b) {
    if (a == b) return false;
    column = name;
    found_text = shown_text(a);
    expected_text = b;
    return true;
  };
  return differs("second", std::to_string(found.second), std::to_string(expected.second)) ||
         differs("ones", std::to_string(found.ones), std::to_string(expected.ones)) ||
         differs("time", found.time, expected.time) ||
         differs("time_source", time_source_name(found.time_source), time_source_name(expected.time_source)) ||
         (with_utc && differs("utc", found.utc, expected.utc));
}

// Compare every row of a folder extracted from `log` with the row extract writes for that log,
// column by column; EXIT_DONE, else EXIT_DISAGREES with the first difference said.
int matches_extraction(const fs::path& folder, const nlohmann::json& provenance, const LoadedLog& log,
                       uint32_t seed) {
  int64_t start = -1;
  const int64_t seconds = seconds_of_run(log, start);
  OffsetTable stored;
  stored.from_json(provenance);
  SecondPlaces places;
  if (!place_seconds(log, start, log.has_run ? "" : stored.zone, false, places)) {
    std::fprintf(stderr, "testnuv-study: las horas locales de la carpeta no se pueden recalcular en "
                 "esta maquina; se comprueban sus registros y sus bits\n");
    const LogCheckResult check = check_seed(log, seed);
    if (!check.agrees) report_disagreement(log, check);
    return check.agrees ? EXIT_DONE : EXIT_DISAGREES;
  }
  SecondsReader reader;
  if (!reader.open(folder / SECONDS_FILE)) {
    std::fprintf(stderr, "testnuv-study: %s\n", reader.error().c_str());
    return EXIT_DISAGREES;
  }
  std::string column;
  SecondRow found;
  int64_t beyond = 0;
  const LogCheckResult check = extracted_rows(
      log, seed, seconds, false, start, places, beyond, [&](const SecondRow& expected, const uint8_t*) {
        if (!reader.next(found)) {
          column = "(fin de " + std::string(SECONDS_FILE) + ")";
          found.second = expected.second;
          return false;
        }
        std::string found_text, expected_text;
        if (!differing_column(found, expected, reader.has_utc(), column, found_text, expected_text)) return true;
        std::fprintf(stderr, "testnuv-study: el segundo %" PRId64 ": la columna %s dice \"%s\" y extract "
                     "escribe \"%s\" para este registro de estudio\n", expected.second, column.c_str(),
                     found_text.c_str(), expected_text.c_str());
        return false;
      });
  if (!check.agrees) {
    report_disagreement(log, check);
    return EXIT_DISAGREES;
  }
  if (!column.empty() || beyond != 0) {
    if (column.front() == '(') {
      std::fprintf(stderr, "testnuv-study: %s acaba en el segundo %" PRId64 " y el registro tiene "
                   "%" PRId64 "\n", SECONDS_FILE, found.second - 1, seconds);
    }
    return EXIT_DISAGREES;
  }
  if (reader.next(found)) {
    std::fprintf(stderr, "testnuv-study: %s tiene mas filas que los %" PRId64 " segundos del registro\n",
                 SECONDS_FILE, seconds);
    return EXIT_DISAGREES;
  }
  return EXIT_DONE;
}

// Verify a data folder: checksums, rows against the replay, and its log.
int verify_folder(const fs::path& folder) {
  std::vector<std::string> problems;
  const bool sums = check_checksums(folder, problems);
  for (const std::string& problem : problems) std::fprintf(stderr, "testnuv-study: %s\n", problem.c_str());
  nlohmann::json provenance;
  std::string error;
  if (!read_provenance(folder, provenance, error)) {
    std::fprintf(stderr, "testnuv-study: %s\n", error.c_str());
    return EXIT_TROUBLE;
  }
  const int64_t seed = json_integer(provenance, "seed", -1);
  if (seed < 0 || seed > UINT32_MAX) {
    std::fprintf(stderr, "testnuv-study: %s no dice la semilla\n", PROVENANCE_FILE);
    return EXIT_TROUBLE;
  }
  SecondsReader reader;
  if (!reader.open(folder / SECONDS_FILE)) {
    std::fprintf(stderr, "testnuv-study: %s\n", reader.error().c_str());
    return EXIT_DISAGREES;  // a data folder without a readable seconds.csv is damaged
  }
  OffsetTable offsets;
  const bool has_offsets = offsets.from_json(provenance);
  std::FILE* bits_file = nullptr;
  std::error_code code;
  if (fs::symlink_status(folder / BITS_FILE, code).type() != fs::file_type::not_found) {
    bits_file = open_input(folder / BITS_FILE, Links::refuse, error);
    if (bits_file == nullptr) {
      std::fprintf(stderr, "testnuv-study: %s\n", error.c_str());
      return EXIT_DISAGREES;
    }
  }
  const std::string source = json_text(provenance, "source");
  const auto run_record = provenance.find("run");
  const RunTimes run = run_record != provenance.end() && run_record->is_object() ? run_times(*run_record)
                                                                               : RunTimes{};
  Replay replay(static_cast<uint32_t>(seed));
  SecondRow row;
  int64_t rows = 0;
  int status = sums ? EXIT_DONE : EXIT_DISAGREES;
  while (status == EXIT_DONE && reader.next(row)) {
    ++rows;
    uint8_t expected[SECOND_BYTES], stored[SECOND_BYTES];
    const int32_t ones = replay.next_second(expected);
    const bool bits_differ = bits_file != nullptr &&
                             (std::fread(stored, 1, SECOND_BYTES, bits_file) != SECOND_BYTES ||
                              std::memcmp(stored, expected, SECOND_BYTES) != 0);
    if (row.ones != ones || bits_differ) {
      std::fprintf(stderr, "testnuv-study: el segundo %" PRId64 " no coincide con la repeticion "
                   "(ones %" PRId32 ", la repeticion da %" PRId32 "%s)\n", row.second, row.ones,
                   ones, bits_differ ? "; bits.bin difiere" : "");
      status = EXIT_DISAGREES;
    }
    const bool by_clock = row.time_source == TimeSource::clock;
    if (status == EXIT_DONE && by_clock != (source == "simulator")) {
      std::fprintf(stderr, "testnuv-study: el segundo %" PRId64 ": time_source %s no es el de una "
                   "carpeta escrita por %s\n", row.second, time_source_name(row.time_source),
                   source == "simulator" ? "el simulador" : "extract");
      status = EXIT_DISAGREES;
    }
    if (status == EXIT_DONE && reader.has_utc() && run.known &&
        row.utc != format_utc_time(run.start_utc + (row.second - 1))) {
      std::fprintf(stderr, "testnuv-study: el segundo %" PRId64 ": utc %s no es el inicio de la ejecucion "
                   "mas %" PRId64 " s\n", row.second, shown_text(row.utc).c_str(), row.second - 1);
      status = EXIT_DISAGREES;
    }
    if (status == EXIT_DONE && reader.has_utc() && has_offsets && !local_time_agrees(row, offsets)) {
      std::fprintf(stderr, "testnuv-study: el segundo %" PRId64 ": time %s no es la hora local de utc "
                   "%s con los desfases de local_time en %s\n", row.second, row.time.c_str(),
                   row.utc.c_str(), PROVENANCE_FILE);
      status = EXIT_DISAGREES;
    }
  }
  if (bits_file != nullptr) {
    // Not a byte more than the rows need.
    char extra = 0;
    if (status == EXIT_DONE && std::fread(&extra, 1, 1, bits_file) == 1) {
      std::fprintf(stderr, "testnuv-study: %s tiene mas bytes que %" PRId64 " filas x %d\n", BITS_FILE,
                   rows, SECOND_BYTES);
      status = EXIT_DISAGREES;
    }
    std::fclose(bits_file);
  } else if (provenance.contains("bits") && provenance["bits"] == true) {
    std::fprintf(stderr, "testnuv-study: falta %s, y %s dice que la carpeta lo tiene\n", BITS_FILE,
                 PROVENANCE_FILE);
    status = EXIT_DISAGREES;
  }
  if (!reader.error().empty()) {
    std::fprintf(stderr, "testnuv-study: %s\n", reader.error().c_str());
    status = EXIT_DISAGREES;
  }
  if (status == EXIT_DONE && rows != json_integer(provenance, "seconds", rows)) {
    std::fprintf(stderr, "testnuv-study: %s tiene %" PRId64 " filas y la procedencia dice %" PRId64
                 "\n", SECONDS_FILE, rows, json_integer(provenance, "seconds", rows));
    status = EXIT_DISAGREES;
  }
  const std::string log_path = json_text(provenance, "log_path");
  const bool log_path_stored = !provenance.contains("log_path_stored") || provenance["log_path_stored"] != false;
  if (status == EXIT_DONE && !log_path.empty() && !log_path_stored) {
    std::fprintf(stderr, "testnuv-study: el nombre del registro de estudio de la carpeta no era UTF-8 y "
                 "no se pudo guardar en %s; se han comprobado solo los datos (compruebe el registro "
                 "con verify REGISTRO)\n", PROVENANCE_FILE);
  } else if (status == EXIT_DONE && !log_path.empty()) {
    LoadedLog log;
    std::error_code absent;
    const bool there = fs::symlink_status(path_from_utf8(log_path), absent).type() != fs::file_type::not_found;
    if (there && !load_log(path_from_utf8(log_path), Links::refuse, log)) {
      // Something other than a log stands where the folder's log was: the folder is damaged.
      status = EXIT_DISAGREES;
    } else if (!there) {
      std::fprintf(stderr, "testnuv-study: el registro de estudio de la carpeta (%s) no esta; "
                   "se han comprobado solo los datos\n", shown_text(log_path).c_str());
    } else {
      if (log.text.sha256 != json_text(provenance, "log_sha256")) {
        std::fprintf(stderr, "testnuv-study: %s ha cambiado desde la extraccion (SHA-256 distinto)\n",
                     shown_text(log_path).c_str());
      }
      if (source == "extract") {
        status = matches_extraction(folder, provenance, log, static_cast<uint32_t>(seed));
      } else {
        const LogCheckResult check = check_seed(log, static_cast<uint32_t>(seed));
        if (!check.agrees) {
          report_disagreement(log, check);
          status = EXIT_DISAGREES;
        }
      }
    }
  }
  if (status == EXIT_DONE) {
    std::printf("%s: correcto (%" PRId64 " segundos, semilla %" PRId64 ")\n",
                shown_path(folder).c_str(), rows, seed);
  }
  return status;
}

// Verify a log: find or take its seed and check every record.
int verify_log(const fs::path& file) {
  LoadedLog log;
  if (!load_log(file, Links::follow, log)) return EXIT_TROUBLE;
  // A log that is not its record's is named, and checked on, to name its first changed line.
  const int matches = matches_its_record(log);
  const FoundSeed found = seed_for(log, -1);
  if (found.status != EXIT_DONE) return matches != EXIT_DONE ? matches : found.status;
  const LogCheckResult check = check_seed(log, found.seed);
  if (!check.agrees) {
    report_disagreement(log, check);
    return EXIT_DISAGREES;
  }
  if (matches != EXIT_DONE) return matches;
  std::printf("%s: correcto (%" PRId64 " registros, semilla %" PRIu32 ")\n", shown_path(file).c_str(),
              check.records_checked, found.seed);
  return EXIT_DONE;
}

// Say which seeds of the range S + 2^31 stands for.
void print_seed(const FoundSeed& found) {
  std::printf("%" PRIu32 "\n", found.seed);
  const char* how = found.how == "provenance" ? "tomada del registro de procedencia"
                                              : "hallada por busqueda";
  std::fprintf(stderr, "semilla %" PRIu32 " (%s y comprobada con %" PRId64 " registros); la "
               "semilla %" PRIu64 " da los mismos bits\n", found.seed, how, found.records,
               found.seed + SEED_PERIOD);
}

}  // namespace

void set_study_progress(bool shown) { progress_shown = shown; }

bool read_seed(const std::string& text, uint32_t& seed, std::string& message) {
  int64_t value = 0;
  const char* last = text.data() + text.size();
  const auto [end, problem] = std::from_chars(text.data(), last, value);
  if (text.empty() || problem == std::errc::invalid_argument || end != last) {
    message = "no es un numero entero decimal: " + shown_text(text);
    return false;
  }
  if (problem == std::errc::result_out_of_range || value < INT32_MIN || value > int64_t{UINT32_MAX}) {
    message = "fuera de -2147483648 a 4294967295: " + shown_text(text);
    return false;
  }
  seed = static_cast<uint32_t>(value);  // a negative seed counts modulo 2^32, as the generator takes it
  return true;
}

CLI::Validator seed_check() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        uint32_t seed = 0;
        std::string message;
        return read_seed(text, seed, message) ? "" : message;
      },
      "SEMILLA");
}

CLI::Validator existing_path(bool file_only) {
  return CLI::Validator(
      [file_only](std::string& name) -> std::string {
        std::error_code code;
        const fs::file_status status = fs::status(path_from_utf8(name), code);
        if (status.type() == fs::file_type::not_found || code) return "no existe: " + shown_text(name);
        if (status.type() == fs::file_type::regular) return "";
        if (status.type() == fs::file_type::directory) {
          return file_only ? "es una carpeta: " + shown_text(name) : "";
        }
        return "no es un fichero normal (un dispositivo, una tuberia o un socket): " + shown_text(name);
      },
      file_only ? "FICHERO" : "RUTA");
}

void add_study_commands(CLI::App& app, int& exit_status) {
  // seed
  auto* seed = app.add_subcommand("seed", "Halla la semilla cuya repeticion da cada registro del registro de estudio");
  static std::string seed_log;
  static int64_t from = 0, to = LAST_SEED;
  seed->add_option("LOG", seed_log, "registro de estudio (estudio_mm-dd-aaaa)")->required()->check(existing_path(true));
  seed->add_option("--from", from, "primera semilla buscada")->check(CLI::Range(int64_t{0}, int64_t{LAST_SEED}));
  seed->add_option("--to", to, "ultima semilla buscada")->check(CLI::Range(int64_t{0}, int64_t{LAST_SEED}));
  seed->callback([&exit_status] {
    LoadedLog log;
    if (!load_log(path_from_utf8(seed_log), Links::follow, log)) {
      exit_status = EXIT_TROUBLE;
      return;
    }
    if (from > to) {
      std::fprintf(stderr, "testnuv-study: --from es mayor que --to\n");
      exit_status = EXIT_USAGE;
      return;
    }
    const FoundSeed found =
        find_seed(log, static_cast<uint32_t>(from), static_cast<uint32_t>(to), true, false);
    if (found.status == EXIT_DONE) print_seed(found);
    if (found.pinned) std::printf("%" PRIu32 "\n", found.seed);
    exit_status = found.status;
  });

  // extract
  auto* extract = app.add_subcommand("extract", "Comprueba cada registro y escribe la carpeta de datos por segundo");
  static std::string extract_log, out;
  static int64_t given_seed = -1;
  static std::string seed_text;
  static bool bits = false, force = false;
  static std::string zone;
  extract->add_option("LOG", extract_log, "registro de estudio")->required()->check(existing_path(true));
  extract->add_option("--seed", seed_text,
                      "semilla, entero decimal de -2147483648 a 4294967295 (si no, la del registro de "
                      "procedencia o la busqueda)")
      ->check(seed_check());
  extract->add_option("--out", out, "carpeta de datos que se escribe")->required();
  extract->add_flag("--bits", bits, "escribe tambien bits.bin (25 bytes por segundo)");
  extract->add_flag("--force", force, "sustituye una carpeta de datos que ya existe");
  extract->add_option("--tz", zone, "zona horaria de las fechas y horas de un registro sin registro de "
                      "procedencia, p. ej. Europe/Madrid (por omision, la de esta maquina)");
  extract->callback([&exit_status] {
    uint32_t seed = 0;
    std::string message;
    given_seed = !seed_text.empty() && read_seed(seed_text, seed, message) ? int64_t{seed} : -1;
    LoadedLog log;
    if (!load_log(path_from_utf8(extract_log), Links::follow, log)) {
      exit_status = EXIT_TROUBLE;
      return;
    }
    if (matches_its_record(log) != EXIT_DONE) {
      // Nothing is written; the check still names the first line that changed.
      const FoundSeed found = seed_for(log, given_seed);
      const LogCheckResult check = found.status == EXIT_DONE ? check_seed(log, found.seed) : LogCheckResult{};
      if (!check.agrees) report_disagreement(log, check);
      exit_status = EXIT_DISAGREES;
      return;
    }
    const FoundSeed found = seed_for(log, given_seed);
    exit_status = found.status == EXIT_DONE
                      ? extract_folder(log, found, path_from_utf8(out), bits, force, zone)
                      : found.status;
  });

  // verify
  auto* verify = app.add_subcommand("verify", "Comprueba un registro de estudio, o una carpeta de datos y su registro");
  static std::string target;
  verify->add_option("LOG_O_CARPETA", target, "registro de estudio o carpeta de datos")->required()->check(existing_path(false));
  verify->callback([&exit_status] {
    std::error_code code;
    const fs::path path = path_from_utf8(target);
    exit_status = fs::is_directory(path, code) ? verify_folder(path) : verify_log(path);
  });
}
