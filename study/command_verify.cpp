// testnuv-study verify: a log checked against the replay of its seed, or a
// data folder checked whole: its checksums, every row and bits.bin against the
// replay, its times, its row count, and its log when that is still there.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>

#include "runtime/paths.h"
#include "study/command_support.h"
#include "study/commands.h"
#include "study/data_folder.h"
#include "study/extraction.h"
#include "study/folder_checksums.h"
#include "study/provenance_file.h"
#include "study/replay.h"
#include "study/seconds_reader.h"

namespace fs = std::filesystem;

namespace {

// What a data folder's provenance says its rows must be.
struct FolderFacts {
  nlohmann::json provenance;
  uint32_t seed = 0;
  std::string source;   // "simulator" or "extract"
  RunTimes run;         // the run's times, when the folder keeps its record
  OffsetTable offsets;  // the UTC offsets its local times used
  bool has_offsets = false;
};

// Read what the folder's provenance says.
Result<FolderFacts> read_folder_facts(const fs::path& folder) {
  Result<nlohmann::json> provenance = read_provenance(folder);
  if (!provenance) return provenance.failure();
  FolderFacts facts;
  facts.provenance = std::move(*provenance);
  const int64_t seed = json_integer(facts.provenance, "seed", -1);
  if (seed < 0 || seed > int64_t{UINT32_MAX}) {
    return fail(EXIT_TROUBLE, std::string(PROVENANCE_FILE) + " no dice la semilla");
  }
  facts.seed = static_cast<uint32_t>(seed);
  facts.source = json_text(facts.provenance, "source");
  const auto run = facts.provenance.find("run");
  if (run != facts.provenance.end() && run->is_object()) facts.run = run_times(*run);
  facts.has_offsets = facts.offsets.from_json(facts.provenance);
  return facts;
}

// True when a row's local time is its moment with the offset the table gives for it.
bool local_time_agrees(const SecondRow& row, const OffsetTable& offsets) {
  int64_t local = 0, utc = 0;
  return parse_local_time(row.time, local) && parse_utc_time(row.utc, utc) &&
         local - utc == offsets.offset_at(utc) * int64_t{60};
}

// Return what is wrong with a row the replay gives `ones` for ("" nothing).
std::string row_problem(const SecondRow& row, int32_t ones, bool bits_differ, const FolderFacts& facts, bool has_utc) {
  const std::string second = "el segundo " + std::to_string(row.second);
  if (row.ones != ones || bits_differ) {
    return second + " no coincide con la repeticion (ones " + std::to_string(row.ones) + ", la repeticion da " +
           std::to_string(ones) + (bits_differ ? "; bits.bin difiere" : "") + ")";
  }
  if ((row.time_source == TimeSource::clock) != (facts.source == "simulator")) {
    return second + ": time_source " + time_source_name(row.time_source) + " no es el de una carpeta escrita por " +
           (facts.source == "simulator" ? "el simulador" : "extract");
  }
  if (has_utc && facts.run.known && row.utc != format_utc_time(facts.run.start_utc + (row.second - 1))) {
    return second + ": utc " + shown_text(row.utc) + " no es el inicio de la ejecucion mas " +
           std::to_string(row.second - 1) + " s";
  }
  if (has_utc && facts.has_offsets && !local_time_agrees(row, facts.offsets)) {
    return second + ": time " + row.time + " no es la hora local de utc " + row.utc +
           " con los desfases de local_time en " + PROVENANCE_FILE;
  }
  return "";
}

// Open the folder's bits.bin when it has one (null when it has none).
Result<std::FILE*> open_bits(const fs::path& folder) {
  std::error_code code;
  if (fs::symlink_status(folder / BITS_FILE, code).type() == fs::file_type::not_found) return nullptr;
  std::string error;
  std::FILE* bits = open_input(folder / BITS_FILE, Links::refuse, error);
  if (bits == nullptr) return fail(EXIT_DISAGREES, error);
  return bits;
}

// Check every row of seconds.csv, and bits.bin, against the replay of the folder's seed.
Result<int64_t> check_rows(const FolderFacts& facts, std::FILE* bits, SecondsReader& reader) {
  Replay replay(facts.seed);
  SecondRow row;
  int64_t rows = 0;
  while (reader.next(row)) {
    ++rows;
    uint8_t expected[BYTES_PER_SECOND], stored[BYTES_PER_SECOND];
    const int32_t ones = replay.next_second(expected);
    const bool bits_differ = bits != nullptr && (std::fread(stored, 1, BYTES_PER_SECOND, bits) != BYTES_PER_SECOND ||
                                                 std::memcmp(stored, expected, BYTES_PER_SECOND) != 0);
    const std::string problem = row_problem(row, ones, bits_differ, facts, reader.has_utc());
    if (!problem.empty()) return fail(EXIT_DISAGREES, problem);
  }
  char extra = 0;
  if (bits != nullptr && std::fread(&extra, 1, 1, bits) == 1) {  // not a byte more than the rows need
    return fail(EXIT_DISAGREES, std::string(BITS_FILE) + " tiene mas bytes que " + std::to_string(rows) + " filas x " +
                                    std::to_string(BYTES_PER_SECOND));
  }
  if (bits == nullptr && json_flag(facts.provenance, "bits", false)) {
    return fail(EXIT_DISAGREES, std::string("falta ") + BITS_FILE + ", y " + PROVENANCE_FILE +
                                    " dice que la carpeta lo tiene");
  }
  if (!reader.error().empty()) return fail(EXIT_DISAGREES, reader.error());
  const int64_t recorded = json_integer(facts.provenance, "seconds", rows);
  if (rows != recorded) {
    return fail(EXIT_DISAGREES, std::string(SECONDS_FILE) + " tiene " + std::to_string(rows) +
                                    " filas y la procedencia dice " + std::to_string(recorded));
  }
  return rows;
}

// Name the first column in which a row differs from the row expected, with both values ("" none).
std::string differing_column(const SecondRow& found, const SecondRow& expected, bool with_utc) {
  std::string message;
  const auto differs = [&](const char* name, const std::string& a, const std::string& b) {
    if (a == b) return false;
    message = "el segundo " + std::to_string(expected.second) + ": la columna " + name + " dice \"" + shown_text(a) +
              "\" y extract escribe \"" + b + "\" para este registro de estudio";
    return true;
  };
  (void)(differs("second", std::to_string(found.second), std::to_string(expected.second)) ||
         differs("ones", std::to_string(found.ones), std::to_string(expected.ones)) ||
         differs("time", found.time, expected.time) ||
         differs("time_source", time_source_name(found.time_source), time_source_name(expected.time_source)) ||
         (with_utc && differs("utc", found.utc, expected.utc)));
  return message;
}

// Compare every row of a folder extracted from `log` with the row extract writes for that log,
// column by column.
Result<> matches_extraction(const fs::path& folder, const FolderFacts& facts, const LoadedLog& log) {
  const RunSpan span = span_of_run(log);
  if (!span.note.empty()) say(span.note);
  OffsetTable stored;
  stored.from_json(facts.provenance);
  Result<Placement> placement = place_seconds(log, span.start, log.has_run ? "" : stored.zone);
  if (!placement) {
    say("las horas locales de la carpeta no se pueden recalcular en esta maquina; se comprueban sus registros y "
        "sus bits");
    const LogCheckResult check = check_seed(log, facts.seed);
    if (!check.agrees) return fail(EXIT_DISAGREES, disagreement_text(log, check));
    return Ok{};
  }
  SecondsReader reader;
  if (!reader.open(folder / SECONDS_FILE)) return fail(EXIT_DISAGREES, reader.error());
  std::string problem;
  int64_t beyond = 0;
  const LogCheckResult check = extracted_rows(
      log, facts.seed, span.seconds, false, span.start, placement->places, beyond,
      [&](const SecondRow& expected, const uint8_t*) {
        SecondRow found;
        if (!reader.next(found)) {
          problem = std::string(SECONDS_FILE) + " acaba en el segundo " + std::to_string(expected.second - 1) +
                    " y el registro tiene " + std::to_string(span.seconds);
          return false;
        }
        problem = differing_column(found, expected, reader.has_utc());
        return problem.empty();
      });
  if (!check.agrees) return fail(EXIT_DISAGREES, disagreement_text(log, check));
  if (!problem.empty() || beyond != 0) return fail(EXIT_DISAGREES, problem);
  SecondRow more;
  if (reader.next(more)) {
    return fail(EXIT_DISAGREES, std::string(SECONDS_FILE) + " tiene mas filas que los " + std::to_string(span.seconds) +
                                    " segundos del registro");
  }
  return Ok{};
}

// Check a folder's rows against its log, when the log is still where the folder says.
Result<> check_folder_log(const fs::path& folder, const FolderFacts& facts) {
  const std::string log_path = json_text(facts.provenance, "log_path");
  if (log_path.empty()) return Ok{};
  if (!json_flag(facts.provenance, "log_path_stored", true)) {
    say(std::string("el nombre del registro de estudio de la carpeta no era UTF-8 y no se pudo guardar en ") +
        PROVENANCE_FILE + "; se han comprobado solo los datos (compruebe el registro con verify REGISTRO)");
    return Ok{};
  }
  std::error_code absent;
  if (fs::symlink_status(path_from_utf8(log_path), absent).type() == fs::file_type::not_found) {
    say("el registro de estudio de la carpeta (" + shown_text(log_path) + ") no esta; se han comprobado solo los datos");
    return Ok{};
  }
  Result<LoadedLog> log = open_log(path_from_utf8(log_path), Links::refuse);
  // Something other than a log stands where the folder's log was: the folder is damaged.
  if (!log) return fail(EXIT_DISAGREES, log.failure().message);
  if (log->text.sha256 != json_text(facts.provenance, "log_sha256")) {
    say(shown_text(log_path) + " ha cambiado desde la extraccion (SHA-256 distinto)");
  }
  if (facts.source == "extract") return matches_extraction(folder, facts, *log);
  const LogCheckResult check = check_seed(*log, facts.seed);
  if (!check.agrees) return fail(EXIT_DISAGREES, disagreement_text(*log, check));
  return Ok{};
}

// Verify a data folder: checksums, rows against the replay, and its log.
int verify_folder(const fs::path& folder) {
  const Result<> sums = check_checksums(folder);
  if (!sums) say_failure(sums.failure());
  Result<FolderFacts> facts = read_folder_facts(folder);
  if (!facts) return say_failure(facts.failure());
  SecondsReader reader;
  if (!reader.open(folder / SECONDS_FILE)) {
    return say_failure(fail(EXIT_DISAGREES, reader.error()));  // a folder without a readable seconds.csv is damaged
  }
  Result<std::FILE*> bits = open_bits(folder);
  if (!bits) return say_failure(bits.failure());
  if (!sums) {
    if (*bits != nullptr) std::fclose(*bits);
    return EXIT_DISAGREES;
  }
  const Result<int64_t> rows = check_rows(*facts, *bits, reader);
  if (*bits != nullptr) std::fclose(*bits);
  if (!rows) return say_failure(rows.failure());
  const Result<> log = check_folder_log(folder, *facts);
  if (!log) return say_failure(log.failure());
  std::printf("%s: correcto (%" PRId64 " segundos, semilla %" PRIu32 ")\n", shown_path(folder).c_str(), *rows,
              facts->seed);
  return EXIT_DONE;
}

// Verify a log: find or take its seed and check every record.
int verify_log(const fs::path& file) {
  Result<LoadedLog> log = open_log(file, Links::follow);
  if (!log) return say_failure(log.failure());
  // A log that is not its record's is named, and checked on, to name its first changed line.
  const Result<std::string> matches = log_matches_its_record(*log);
  if (!matches) say_failure(matches.failure());
  if (matches && !matches->empty()) say(*matches);
  const FoundSeed found = seed_for(*log, -1);
  if (found.status != EXIT_DONE) return !matches ? EXIT_DISAGREES : found.status;
  const LogCheckResult check = check_seed(*log, found.seed);
  if (!check.agrees) return say_failure(fail(EXIT_DISAGREES, disagreement_text(*log, check)));
  if (!matches) return EXIT_DISAGREES;
  std::printf("%s: correcto (%" PRId64 " registros, semilla %" PRIu32 ")\n", shown_path(file).c_str(),
              check.records_checked, found.seed);
  return EXIT_DONE;
}

}  // namespace

CommandRun define_verify(CLI::App& command) {
  auto target = std::make_shared<std::string>();
  command.add_option("LOG_O_CARPETA", *target, "registro de estudio o carpeta de datos")
      ->required()
      ->check(existing_path(false));
  return [target] {
    std::error_code code;
    const fs::path path = path_from_utf8(*target);
    return fs::is_directory(path, code) ? verify_folder(path) : verify_log(path);
  };
}
