// testnuv-study analyze: data folders checked and combined, the statistics,
// the events and the controls worked out, and summary.json, windows.csv and
// report.html written.

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include <CLI/CLI.hpp>

#include "runtime/paths.h"
#include "study/analysis.h"
#include "study/analysis_input.h"
#include "study/command_support.h"
#include "study/commands.h"
#include "study/report_texts.h"
#include "study/data_folder.h"
#include "study/orbit.h"
#include "study/report.h"

namespace {

constexpr int MAX_CONTROLS = 1000000;
constexpr int MIN_WINDOW = 60;          // shorter windows would hold a year's windows in millions
constexpr int MAX_WINDOW = 31622400;    // a leap year

struct AnalyzeOptions {
  std::vector<std::string> folders;
  std::string out;
  std::vector<int> windows;            // widths beyond 300 and 900 s
  std::vector<std::string> events;     // "start/end/label"
  std::string events_file;
  int controls = 0;
  uint64_t control_seed = 1;
  std::string language = "es";
  bool progress = true;                // progress lines on standard error
  bool allow_shared_bits = false;      // keep the seconds whose bits an earlier folder holds
};

// Collect the events of the command line and of the events file; local times in `zone`.
Result<std::vector<EventSpec>> collect_events(const AnalyzeOptions& options, const OffsetTable& zone) {
  std::vector<EventSpec> events;
  for (const std::string& text : options.events) {
    const Result<EventSpec> event = parse_event(text, zone);
    if (!event) return event.failure();
    events.push_back(*event);
  }
  if (options.events_file.empty()) return events;
  const Result<std::vector<EventSpec>> listed = read_events_file(path_from_utf8(options.events_file), zone);
  if (!listed) return listed.failure();
  events.insert(events.end(), listed->begin(), listed->end());
  return events;
}

// Return where the progress lines go: standard error, unless --quiet.
ProgressLine progress_of(const AnalyzeOptions& options) {
  if (!options.progress) return {};
  return [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
}

// Print a progress line.
void progress(const AnalyzeOptions& options, const std::string& line) {
  if (options.progress) progress_of(options)(line);
}

// Refuse an output folder inside a data folder or that is one, and a folder given twice.
int check_places(const AnalyzeOptions& options) {
  for (const std::string& folder : options.folders) {
    if (path_lies_within(path_from_utf8(options.out), path_from_utf8(folder))) {
      say("la carpeta de salida " + shown_text(options.out) + " esta dentro de la carpeta de datos " +
          shown_text(folder) + "; en las carpetas de datos nunca se escribe");
      return EXIT_USAGE;
    }
  }
  std::error_code ec;
  if (std::filesystem::exists(path_from_utf8(options.out) / SECONDS_FILE, ec) ||
      std::filesystem::exists(path_from_utf8(options.out) / SUMS_FILE, ec)) {
    say("la carpeta de salida " + shown_text(options.out) + " es una carpeta de datos; en las carpetas de datos "
        "nunca se escribe");
    return EXIT_USAGE;
  }
  for (size_t f = 0; f < options.folders.size(); ++f) {
    for (size_t g = 0; g < f; ++g) {
      if (path_lies_within(path_from_utf8(options.folders[f]), path_from_utf8(options.folders[g])) &&
          path_lies_within(path_from_utf8(options.folders[g]), path_from_utf8(options.folders[f]))) {
        say("la carpeta de datos " + shown_text(options.folders[f]) + " se da dos veces; sus segundos contarian "
            "dos veces");
        return EXIT_USAGE;
      }
    }
  }
  return EXIT_DONE;
}

// Refuse one segment of the orbit twice (a copied folder, a run extracted twice): its bits would
// count twice. Warn of shared bits kept on request.
int check_segments(const AnalyzeOptions& options, const std::vector<FolderData>& folders) {
  for (size_t f = 0; f < folders.size(); ++f) {
    for (size_t g = 0; g < f; ++g) {
      const auto [start_f, draws_f] = folder_segment(folders[f]);
      const auto [start_g, draws_g] = folder_segment(folders[g]);
      const std::string pair = shown_text(options.folders[g]) + " y " + shown_text(options.folders[f]);
      if (start_f == start_g && draws_f == draws_g) {
        say("las carpetas de datos " + pair + " tienen los mismos bits (una copia, o una serie dada dos veces); sus "
            "segundos contarian dos veces");
        return EXIT_USAGE;
      }
      const uint64_t shared = shared_draws(start_f, draws_f, start_g, draws_g);
      if (shared > 0 && options.allow_shared_bits) {
        say("aviso: las carpetas de datos " + pair + " comparten " + std::to_string(shared / BITS_PER_SECOND) +
            " segundos de bits de la orbita del generador; esos segundos no son independientes, y "
            "--allow-shared-bits los cuenta dos veces");
      }
    }
  }
  return EXIT_DONE;
}

// Leave out a run's repeat and the bits an earlier folder holds, and say so; EXIT_USAGE when a
// folder has nothing left.
int leave_out(const AnalyzeOptions& options, std::vector<FolderData>& folders, std::vector<LeftOut>& left_out) {
  left_out = leave_out_counted_bits(folders, options.allow_shared_bits);
  for (const LeftOut& out : left_out) {
    const std::string span = std::to_string(out.seconds) + " segundos (del " + std::to_string(out.first_second) +
                             " al " + std::to_string(out.last_second) + ") de " + shown_text(options.folders[out.folder]);
    say(out.repeat ? "se dejan fuera " + span + ": pasados los 2^31 bits de la orbita, la ejecucion repite sus "
                                                "propios bits"
                   : "se dejan fuera " + span + ": sus bits son los de " + shown_text(options.folders[out.other]) +
                         " (--allow-shared-bits los cuenta)");
    if (folders[out.folder].ones.empty()) {
      say("todos los bits de " + shown_text(options.folders[out.folder]) + " estan en " +
          shown_text(options.folders[out.other]) + "; no anade nada al analisis");
      return EXIT_USAGE;
    }
  }
  return EXIT_DONE;
}

// Read the folders, checking each.
int load_folders(const AnalyzeOptions& options, std::vector<FolderData>& folders) {
  for (const std::string& name : options.folders) {
    progress(options, "leyendo " + shown_text(name) + " …");
    Result<FolderData> folder = load_folder(path_from_utf8(name), progress_of(options));
    if (!folder) return say_failure(folder.failure());
    folders.push_back(std::move(*folder));
  }
  return EXIT_DONE;
}

// Work out the analysis of the folders, with its events, orbit and controls.
int work_out(const AnalyzeOptions& options, std::vector<FolderData>& folders, std::vector<LeftOut> left_out,
             Analysis& analysis) {
  const Result<std::vector<EventSpec>> specs = collect_events(options, folders.front().offsets);
  if (!specs) return say_failure(specs.failure());
  Result<std::vector<EventResult>> events = place_events(folders, *specs);
  if (!events) return say_failure(events.failure());
  progress(options, "calculando …");
  Result<Analysis> worked = analyze_folders(folders, options.windows, std::move(*events));
  if (!worked) return say_failure(worked.failure());
  analysis = std::move(*worked);
  progress(options, "la orbita del generador …");
  analysis.orbit = orbit_result(folders, analysis.folders, std::move(left_out), options.allow_shared_bits);
  analysis.events_zone = zone_name(folders.front());
  if (options.controls > 0) {
    progress(options, "controles: " + std::to_string(options.controls) + " …");
    run_controls(folders, options.controls, options.control_seed, analysis, progress_of(options));
  }
  return EXIT_DONE;
}

// Run an analysis and write its outputs; return the exit status.
int run_analyze(const AnalyzeOptions& options) {
  std::vector<FolderData> folders;
  std::vector<LeftOut> left_out;
  int status = check_places(options);
  if (status == EXIT_DONE) status = load_folders(options, folders);
  if (status == EXIT_DONE) status = check_segments(options, folders);
  if (status == EXIT_DONE) status = leave_out(options, folders, left_out);
  if (status != EXIT_DONE) return status;
  if (options.controls > 0 && control_seeds(folders, 1, options.control_seed).empty()) {
    say("los datos cubren tanta parte de la orbita del generador que ningun control de la misma longitud puede "
        "evitar sus bits; no se admite --controls");
    return EXIT_USAGE;
  }
  Analysis analysis;
  status = work_out(options, folders, std::move(left_out), analysis);
  if (status != EXIT_DONE) return status;
  progress(options, "escribiendo " + shown_text(options.out) + " …");
  const Language language = options.language == "en" ? Language::english : Language::spanish;
  const Result<> written = write_outputs(path_from_utf8(options.out), folders, analysis, language);
  return written ? EXIT_DONE : say_failure(written.failure());
}

}  // namespace

CommandRun define_analyze(CLI::App& command) {
  auto options = std::make_shared<AnalyzeOptions>();
  command.add_option("folders", options->folders, "carpetas de datos (de extract o de testnuv-sim --data)")
      ->required()
      ->check(existing_path(false));
  command.add_option("--out", options->out, "carpeta de salida: summary.json, windows.csv, report.html")->required();
  command.add_option("--window", options->windows, "otra anchura de ventana en segundos (repetible)")
      ->check(CLI::Range(MIN_WINDOW, MAX_WINDOW));
  command.add_option("--event", options->events,
                     "evento \"INICIO/FIN/etiqueta\": horas ISO 8601 con desfase (2026-10-25T02:30:00+02:00, "
                     "...Z) o locales \"AAAA-MM-DD HH:MM:SS\" en la zona de la primera carpeta (repetible)");
  command.add_option("--events", options->events_file, "fichero CSV de eventos: inicio,fin,etiqueta");
  command.add_option("--controls", options->controls, "número de controles (repeticiones con otras semillas)")
      ->check(CLI::Range(0, MAX_CONTROLS));
  command.add_option("--control-seed", options->control_seed, "semilla de la que se sacan las de los controles")
      ->check(CLI::NonNegativeNumber);
  command.add_flag("--allow-shared-bits", options->allow_shared_bits,
                   "cuenta tambien los segundos cuyos bits ya tiene otra carpeta anterior");
  command.add_option("--lang", options->language, "idioma del informe: es o en")->check(CLI::IsMember({"es", "en"}));
  command.add_flag("--quiet{false}", options->progress, "sin líneas de progreso");
  return [options] { return run_analyze(*options); };
}
