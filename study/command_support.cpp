// The subcommands' printing, the log and seed steps they share, and their argument checks.
#include "study/command_support.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>

#include "runtime/paths.h"
#include "study/seed_finding.h"

namespace fs = std::filesystem;

namespace {

bool progress_shown = false;

// Show a search's progress on standard error when a person is watching.
void show_progress(double done) {
  if (!progress_shown) return;
  std::fprintf(stderr, "\rbuscando la semilla: %3.0f %%", done * 100.0);
  if (done >= 1.0) std::fprintf(stderr, "\r%40s\r", "");
  std::fflush(stderr);
}

// Say why no seed of the range gives the log.
void say_no_seed(const LoadedLog& log, const SeedFinding& finding, uint32_t from, uint32_t to) {
  say("ninguna semilla de " + std::to_string(from) + " a " + std::to_string(to) + " concuerda con bastantes registros de " +
      shown_path(log.text.file));
  const SeedCandidates& candidates = finding.candidates;
  if (!finding.first_failure.agrees) {
    std::fprintf(stderr, "  (%zu semillas dan las primeras cuentas de 5 minutos, pero no todos los registros)\n",
                 candidates.seeds.size());
    say_failure(fail(EXIT_DISAGREES, disagreement_text(log, finding.first_failure)));
  } else if (candidates.near_count > 1) {
    std::string listed;
    for (size_t i = 0; i < candidates.near_seeds.size() && i < 10; ++i) {
      listed += (i > 0 ? ", " : "") + std::to_string(candidates.near_seeds[i]);
    }
    std::fprintf(stderr, "  (%" PRIu64 " semillas dan todas las primeras cuentas de 5 minutos menos una, y no se "
                 "puede decir cual es: %s%s)\n", candidates.near_count, listed.c_str(),
                 candidates.near_count > 10 ? ", ..." : "");
  }
}

// List the seeds that give the log, or say that one must be chosen.
void say_several(const SeedFinding& finding, bool list) {
  if (!list) {
    say("varias semillas dan este registro; indique una con --seed (testnuv-study seed las lista)");
    return;
  }
  if (finding.unchecked == 0) {
    std::printf("%zu semillas posibles (el registro tiene %zu registros de 5 minutos; cinco bastan para fijar una):\n",
                finding.agreeing.size(), finding.windows);
  } else {
    std::printf("%" PRIu64 " semillas dan las cuentas de 5 minutos; de las %zu primeras, %zu dan todos los registros "
                "(el registro tiene %zu registros de 5 minutos; cinco bastan para fijar una):\n",
                finding.candidates.count, finding.candidates.seeds.size(), finding.agreeing.size(), finding.windows);
  }
  for (uint32_t seed : finding.agreeing) std::printf("%" PRIu32 "\n", seed);
  if (finding.unchecked > 0) {
    std::printf("... y %" PRIu64 " mas sin comprobar con todos los registros\n", finding.unchecked);
  }
}

// Say why a log gives no seed to search by; false when it does.
bool say_unsearchable(const LoadedLog& log, const SeedFinding& finding) {
  if (finding.verdict == SeedVerdict::not_a_log) {
    say(shown_path(log.text.file) + " no es un registro de estudio: linea " + std::to_string(log.text.bad_line) +
        ": " + (log.text.bad_why.empty() ? "no es el titulo de ningun registro" : log.text.bad_why));
    return true;
  }
  if (finding.verdict == SeedVerdict::no_windows) {
    say(shown_path(log.text.file) + " no tiene ningun registro de 5 minutos: sin registros no se puede hallar la "
        "semilla (la ejecucion duro menos de 300 segundos o el fichero no es un registro de estudio)");
    return true;
  }
  return false;
}

}  // namespace

void say(const std::string& line) { std::fprintf(stderr, "testnuv-study: %s\n", line.c_str()); }

int say_failure(const Failure& failure) {
  size_t start = 0;
  while (start <= failure.message.size()) {
    size_t stop = failure.message.find('\n', start);
    if (stop == std::string::npos) stop = failure.message.size();
    const std::string line = failure.message.substr(start, stop - start);
    if (line.rfind("  ", 0) == 0) {
      std::fprintf(stderr, "%s\n", line.c_str());
    } else {
      say(line);
    }
    start = stop + 1;
  }
  return failure.status;
}

void set_study_progress(bool shown) { progress_shown = shown; }

Result<LoadedLog> open_log(const fs::path& file, Links links) {
  Result<LoadedLog> log = load_log(file, links);
  if (log) {
    for (const std::string& note : log->notes) say(note);
  }
  return log;
}

FoundSeed settle_seed(const LoadedLog& log, uint32_t from, uint32_t to, bool list, bool disagreement_is_final) {
  const SeedFinding finding = find_log_seed(log, from, to, show_progress);
  FoundSeed found;
  found.how = finding.how;
  found.records = finding.records;
  found.seed = finding.seed;
  const bool record_disagrees = !finding.record_check.agrees;
  if (record_disagrees) {
    say("la semilla " + std::to_string(finding.recorded) + " del registro de procedencia no da este registro de "
        "estudio; se busca entre todas");
  }
  if (say_unsearchable(log, finding)) return found;
  const int disagreement = record_disagrees && disagreement_is_final ? EXIT_DISAGREES : 0;
  switch (finding.verdict) {
    case SeedVerdict::found:
      found.status = EXIT_DONE;
      if (record_disagrees) {
        // The log is whole; its provenance record names another seed.
        say("el registro de estudio concuerda con la semilla " + std::to_string(found.seed) +
            ": es su registro de procedencia el que no concuerda");
        if (disagreement_is_final) found.status = EXIT_DISAGREES;
      }
      return found;
    case SeedVerdict::pinned:
      // The log is that seed's run, and one of its records is damaged.
      found.status = EXIT_DISAGREES;
      found.pinned = true;
      say("la semilla " + std::to_string(found.seed) + " da " +
          (finding.near ? "todas las primeras cuentas de 5 minutos menos una" : "las primeras cuentas de 5 minutos") +
          " de " + shown_path(log.text.file) + ", pero no todos sus registros");
      say_failure(fail(EXIT_DISAGREES, disagreement_text(log, finding.first_failure)));
      return found;
    default:
      break;
  }
  if (record_disagrees) say_failure(fail(EXIT_DISAGREES, disagreement_text(log, finding.record_check)));
  if (finding.verdict == SeedVerdict::none) {
    say_no_seed(log, finding, from, to);
    if (disagreement != 0) found.status = disagreement;
    return found;
  }
  found.status = disagreement != 0 ? disagreement : EXIT_SEVERAL;
  say_several(finding, list);
  return found;
}

FoundSeed seed_for(const LoadedLog& log, int64_t given) {
  if (given < 0) return settle_seed(log, 0, SEED_MASK, false, true);
  FoundSeed found;
  found.status = EXIT_DONE;
  found.seed = static_cast<uint32_t>(given);
  found.how = "option";
  return found;
}

Result<uint32_t> read_seed(const std::string& text) {
  int64_t value = 0;
  const char* last = text.data() + text.size();
  const auto [end, problem] = std::from_chars(text.data(), last, value);
  if (text.empty() || problem == std::errc::invalid_argument || end != last) {
    return fail(EXIT_USAGE, "no es un numero entero decimal: " + shown_text(text));
  }
  if (problem == std::errc::result_out_of_range || value < INT32_MIN || value > int64_t{UINT32_MAX}) {
    return fail(EXIT_USAGE, "fuera de -2147483648 a 4294967295: " + shown_text(text));
  }
  return static_cast<uint32_t>(value);  // a negative seed counts modulo 2^32, as the generator takes it
}

CLI::Validator seed_check() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        const Result<uint32_t> seed = read_seed(text);
        return seed ? "" : seed.failure().message;
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
        if (status.type() == fs::file_type::directory) return file_only ? "es una carpeta: " + shown_text(name) : "";
        return "no es un fichero normal (un dispositivo, una tuberia o un socket): " + shown_text(name);
      },
      file_only ? "FICHERO" : "RUTA");
}
