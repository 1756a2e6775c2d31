// The analyze command: arguments, input checks, the analysis, the controls, the outputs.
#include "study/analyze_command.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include <CLI/CLI.hpp>

#include "runtime/paths.h"
#include "study/analysis.h"
#include "study/analysis_input.h"
#include "study/commands.h"
#include "study/exit_status.h"
#include "study/data_folder.h"
#include "study/orbit.h"
#include "study/report.h"

namespace {

constexpr int MAX_CONTROLS = 1000000;
constexpr int MIN_WINDOW = 60;          // shorter windows would hold a year's windows in millions
constexpr int MAX_WINDOW = 31622400;    // a leap year

// Print a message on standard error.
void complain(const std::string& message) { std::fprintf(stderr, "testnuv-study: %s\n", message.c_str()); }

// Return true when `inner` is `outer` or lies inside it.
bool lies_within(const std::filesystem::path& inner, const std::filesystem::path& outer) {
  std::error_code ec;
  const std::filesystem::path a = std::filesystem::weakly_canonical(std::filesystem::absolute(inner, ec), ec);
  const std::filesystem::path b = std::filesystem::weakly_canonical(std::filesystem::absolute(outer, ec), ec);
  auto it = a.begin();
  for (const auto& part : b) {
    if (part.empty()) continue;
    if (it == a.end() || *it != part) return false;
    ++it;
  }
  return true;
}

// Collect the events of the command line and of the events file; local times in `zone`.
bool collect_events(const AnalyzeOptions& options, const OffsetTable& zone, std::vector<EventSpec>& events,
                    std::string& error) {
  for (const std::string& text : options.events) {
    EventSpec event;
    if (!parse_event(text, zone, event, error)) return false;
    events.push_back(event);
  }
  if (!options.events_file.empty() &&
      !read_events_file(path_from_utf8(options.events_file), zone, events, error)) {
    return false;
  }
  return true;
}

// Print a progress line.
void progress(const AnalyzeOptions& options, const std::string& line) {
  if (options.progress) std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

int run_analyze(const AnalyzeOptions& options) {
  std::string error;
  for (const std::string& folder : options.folders) {
    if (lies_within(path_from_utf8(options.out), path_from_utf8(folder))) {
      complain("la carpeta de salida " + shown_text(options.out) + " esta dentro de la carpeta de datos " +
               shown_text(folder) + "; en las carpetas de datos nunca se escribe");
      return EXIT_USAGE;
    }
  }
  std::error_code ec;
  if (std::filesystem::exists(path_from_utf8(options.out) / SECONDS_FILE, ec) ||
      std::filesystem::exists(path_from_utf8(options.out) / SUMS_FILE, ec)) {
    complain("la carpeta de salida " + shown_text(options.out) +
             " es una carpeta de datos; en las carpetas de datos nunca se escribe");
    return EXIT_USAGE;
  }
  for (size_t f = 0; f < options.folders.size(); ++f) {
    for (size_t g = 0; g < f; ++g) {
      if (lies_within(path_from_utf8(options.folders[f]), path_from_utf8(options.folders[g])) &&
          lies_within(path_from_utf8(options.folders[g]), path_from_utf8(options.folders[f]))) {
        complain("la carpeta de datos " + shown_text(options.folders[f]) +
                 " se da dos veces; sus segundos contarian dos veces");
        return EXIT_USAGE;
      }
    }
  }
  std::vector<FolderData> folders(options.folders.size());
  for (size_t f = 0; f < folders.size(); ++f) {
    progress(options, "leyendo " + shown_text(options.folders[f]) + " …");
    if (!load_folder(path_from_utf8(options.folders[f]), folders[f], error, options.progress)) {
      complain(error);
      return EXIT_TROUBLE;
    }
  }
  // One segment of the orbit twice (a copied folder, a run extracted twice): its bits would count twice.
  for (size_t f = 0; f < folders.size(); ++f) {
    for (size_t g = 0; g < f; ++g) {
      const auto [start_f, draws_f] = folder_segment(folders[f]);
      const auto [start_g, draws_g] = folder_segment(folders[g]);
      if (start_f == start_g && draws_f == draws_g) {
        complain("las carpetas de datos " + shown_text(options.folders[g]) + " y " + shown_text(options.folders[f]) +
                 " tienen los mismos bits (una copia, o una serie dada dos veces); sus segundos contarian dos veces");
        return EXIT_USAGE;
      }
      const uint64_t shared = shared_draws(start_f, draws_f, start_g, draws_g);
      if (shared > 0 && options.allow_shared_bits) {
        complain("aviso: las carpetas de datos " + shown_text(options.folders[g]) + " y " +
                 shown_text(options.folders[f]) + " comparten " + std::to_string(shared / BITS_PER_SECOND) +
                 " segundos de bits de la orbita del generador; esos segundos no son independientes, y "
                 "--allow-shared-bits los cuenta dos veces");
      }
    }
  }
  // Every bit of the orbit counts once: a run's repeat, and bits an earlier folder holds, are left out.
  std::vector<LeftOut> left_out = leave_out_counted_bits(folders, options.allow_shared_bits);
  for (const LeftOut& out : left_out) {
    const std::string span = std::to_string(out.seconds) + " segundos (del " + std::to_string(out.first_second) +
                             " al " + std::to_string(out.last_second) + ") de " + shown_text(options.folders[out.folder]);
    complain(out.repeat ? "se dejan fuera " + span + ": pasados los 2^31 bits de la orbita, la ejecucion repite "
                              "sus propios bits"
                        : "se dejan fuera " + span + ": sus bits son los de " +
                              shown_text(options.folders[out.other]) + " (--allow-shared-bits los cuenta)");
    if (folders[out.folder].ones.empty()) {
      complain("todos los bits de " + shown_text(options.folders[out.folder]) + " estan en " +
               shown_text(options.folders[out.other]) + "; no anade nada al analisis");
      return EXIT_USAGE;
    }
  }
  if (options.controls > 0 && control_seeds(folders, 1, options.control_seed).empty()) {
    complain("los datos cubren tanta parte de la orbita del generador que ningun control de la misma longitud "
             "puede evitar sus bits; no se admite --controls");
    return EXIT_USAGE;
  }
  std::vector<EventSpec> specs;
  if (!collect_events(options, folders.front().offsets, specs, error)) {
    complain(error);
    return EXIT_USAGE;
  }
  std::vector<EventResult> events;
  if (!place_events(folders, specs, events, error)) {
    complain(error);
    return EXIT_USAGE;
  }
  progress(options, "calculando …");
  Analysis analysis;
  if (!analyze_folders(folders, options.windows, std::move(events), analysis, error)) {
    complain(error);
    return EXIT_TROUBLE;
  }
  progress(options, "la orbita del generador …");
  analysis.orbit = orbit_result(folders, analysis.folders, std::move(left_out), options.allow_shared_bits);
  analysis.events_zone = zone_name(folders.front());
  if (options.controls > 0) {
    progress(options, "controles: " + std::to_string(options.controls) + " …");
    run_controls(folders, options.controls, options.control_seed, analysis, options.progress);
  }
  progress(options, "escribiendo " + shown_text(options.out) + " …");
  if (const Result<> written = write_outputs(path_from_utf8(options.out), folders, analysis, options.language); !written) {
    complain(written.failure().message);
    return EXIT_TROUBLE;
  }
  return EXIT_DONE;
}

void add_analyze_command(CLI::App& app, int& status) {
  auto options = std::make_shared<AnalyzeOptions>();
  auto language = std::make_shared<std::string>("es");
  CLI::App* command = app.add_subcommand(
      "analyze", "Analiza carpetas de datos: z, p, Stouffer, prueba de varianza, eventos, controles e informe HTML");
  command->add_option("folders", options->folders, "carpetas de datos (de extract o de testnuv-sim --data)")
      ->required()
      ->check(existing_path(false));
  command->add_option("--out", options->out, "carpeta de salida: summary.json, windows.csv, report.html")->required();
  command->add_option("--window", options->windows, "otra anchura de ventana en segundos (repetible)")
      ->check(CLI::Range(MIN_WINDOW, MAX_WINDOW));
  command->add_option("--event", options->events,
                      "evento \"INICIO/FIN/etiqueta\": horas ISO 8601 con desfase (2026-10-25T02:30:00+02:00, "
                      "...Z) o locales \"AAAA-MM-DD HH:MM:SS\" en la zona de la primera carpeta (repetible)");
  command->add_option("--events", options->events_file, "fichero CSV de eventos: inicio,fin,etiqueta");
  command->add_option("--controls", options->controls, "número de controles (repeticiones con otras semillas)")
      ->check(CLI::Range(0, MAX_CONTROLS));
  command->add_option("--control-seed", options->control_seed, "semilla de la que se sacan las de los controles")
      ->check(CLI::NonNegativeNumber);
  command->add_flag("--allow-shared-bits", options->allow_shared_bits,
                    "cuenta tambien los segundos cuyos bits ya tiene otra carpeta anterior");
  command->add_option("--lang", *language, "idioma del informe: es o en")->check(CLI::IsMember({"es", "en"}));
  command->add_flag("--quiet{false}", options->progress, "sin líneas de progreso");
  command->callback([options, language, &status]() {
    options->language = *language == "en" ? Language::english : Language::spanish;
    status = run_analyze(*options);
  });
}
