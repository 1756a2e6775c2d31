// testnuv-study extract: every record of a log checked against the replay of
// its seed, and only then its data folder written: seconds.csv, bits.bin on
// request, provenance.json and SHA256SUMS.
#include <cinttypes>
#include <cstdio>
#include <memory>

#include "runtime/paths.h"
#include "runtime/version.h"
#include "study/command_support.h"
#include "study/commands.h"
#include "study/data_folder.h"
#include "study/extraction.h"
#include "study/provenance_file.h"

namespace fs = std::filesystem;

namespace {

struct ExtractOptions {
  std::string log;
  std::string out;
  std::string seed;  // "" when not given
  std::string zone;
  bool bits = false;
  bool force = false;
};

// Return the provenance of a folder extracted from `log`.
nlohmann::json extracted_provenance(const LoadedLog& log, const FoundSeed& found, int64_t seconds,
                                    int64_t records, bool bits, const OffsetTable& offsets) {
  FolderOrigin origin;
  origin.written_by = std::string("testnuv-study ") + version_text();
  origin.source = "extract";
  origin.seed = found.seed;
  origin.seed_found_by = found.how;
  origin.seconds = seconds;
  origin.records_checked = records;
  origin.bits = bits;
  if (log.has_run) origin.run = log.run;
  origin.log = log.text.file;
  origin.log_bytes = log.text.bytes;
  origin.log_sha256 = log.text.sha256;
  origin.log_torn = log.text.torn;
  bool stored = true;
  nlohmann::json provenance = folder_provenance(origin, offsets, stored);
  if (!stored) {
    say("aviso: el nombre del registro de estudio " + shown_path(log.text.file) + " no es UTF-8 y no se puede "
        "guardar tal cual en " + PROVENANCE_FILE + "; verify comprobara la carpeta sin su registro");
  }
  return provenance;
}

// Write the rows of a log whose records all agree into `writer`; the records checked.
Result<int64_t> write_rows(const LoadedLog& log, const FoundSeed& found, const RunSpan& span, bool bits,
                           Placement& placement, DataFolderWriter& writer) {
  int64_t beyond = 0;  // a second whose time falls outside years 0000 to 9999
  const LogCheckResult written = extracted_rows(
      log, found.seed, span.seconds, bits, span.start, placement.places, beyond,
      [&](const SecondRow& row, const uint8_t* row_bits) { return writer.add_second(row, row_bits); });
  if (beyond != 0) {
    return fail(EXIT_TROUBLE, "el segundo " + std::to_string(beyond) + " caeria fuera de los anos 0000 a 9999 (la "
                "fecha y hora de los registros lo llevan alli); seconds.csv escribe el ano con cuatro cifras: no "
                "se escribe la carpeta de datos");
  }
  if (written.stopped || !written.agrees) return fail(EXIT_TROUBLE, writer.error());
  return written.records_checked;
}

// Write a data folder from a log whose seed is known; returns the exit status.
int extract_folder(const LoadedLog& log, const FoundSeed& found, const ExtractOptions& options) {
  const RunSpan span = span_of_run(log);
  if (!span.note.empty()) say(span.note);
  if (span.seconds == 0) return say_failure(fail(EXIT_NO_SEED, "no hay ningun segundo que extraer"));
  Result<Placement> placement = place_seconds(log, span.start, options.zone);
  if (!placement) return say_failure(placement.failure());
  if (placement->from_run && !options.zone.empty()) {
    say("--tz no se usa: el registro de procedencia da el inicio, su desfase y su zona");
  }
  std::printf("%s\n", placement_text(*placement).c_str());
  // Check first, writing nothing, so that a disagreeing log leaves no folder behind.
  const LogCheckResult check = check_log(log.text, found.seed, span.seconds, false, span.start, {});
  if (!check.agrees) return say_failure(fail(EXIT_DISAGREES, disagreement_text(log, check)));
  DataFolderWriter writer;
  const fs::path out = path_from_utf8(options.out);
  Result<> begun = writer.begin(out, options.bits, options.force);
  if (!begun) return say_failure(begun.failure());
  const Result<int64_t> records = write_rows(log, found, span, options.bits, *placement, writer);
  if (!records) return say_failure(records.failure());
  const nlohmann::json provenance =
      extracted_provenance(log, found, span.seconds, *records, options.bits, placement->places.table());
  Result<> finished = writer.finish(provenance);
  if (!finished) return say_failure(finished.failure());
  std::printf("%s: %" PRId64 " segundos, %" PRId64 " registros comprobados, semilla %" PRIu32 "\n",
              shown_path(out).c_str(), span.seconds, *records, found.seed);
  return EXIT_DONE;
}

// Check a log and write its data folder.
int run_extract(const ExtractOptions& options) {
  const Result<uint32_t> given = read_seed(options.seed);
  const int64_t seed = options.seed.empty() || !given ? -1 : int64_t{*given};
  Result<LoadedLog> log = open_log(path_from_utf8(options.log), Links::follow);
  if (!log) return say_failure(log.failure());
  const Result<std::string> matches = log_matches_its_record(*log);
  if (matches && !matches->empty()) say(*matches);
  if (!matches) {
    say_failure(matches.failure());
    // Nothing is written; the check still names the first line that changed.
    const FoundSeed found = seed_for(*log, seed);
    const LogCheckResult check = found.status == EXIT_DONE ? check_seed(*log, found.seed) : LogCheckResult{};
    if (!check.agrees) say_failure(fail(EXIT_DISAGREES, disagreement_text(*log, check)));
    return EXIT_DISAGREES;
  }
  const FoundSeed found = seed_for(*log, seed);
  return found.status == EXIT_DONE ? extract_folder(*log, found, options) : found.status;
}

}  // namespace

CommandRun define_extract(CLI::App& command) {
  auto options = std::make_shared<ExtractOptions>();
  command.add_option("LOG", options->log, "registro de estudio")->required()->check(existing_path(true));
  command.add_option("--seed", options->seed,
                     "semilla, entero decimal de -2147483648 a 4294967295 (si no, la del registro de "
                     "procedencia o la busqueda)")
      ->check(seed_check());
  command.add_option("--out", options->out, "carpeta de datos que se escribe")->required();
  command.add_flag("--bits", options->bits, "escribe tambien bits.bin (25 bytes por segundo)");
  command.add_flag("--force", options->force, "sustituye una carpeta de datos que ya existe");
  command.add_option("--tz", options->zone,
                     "zona horaria de las fechas y horas de un registro sin registro de procedencia, p. ej. "
                     "Europe/Madrid (por omision, la de esta maquina)");
  return [options] { return run_extract(*options); };
}
