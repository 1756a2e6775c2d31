// Reading a log with its provenance record, and what the two say together.
#include "study/loaded_log.h"

#include <filesystem>

#include "experiment/provenance.h"
#include "runtime/paths.h"
#include "study/log_model.h"
#include "study/provenance_file.h"

namespace fs = std::filesystem;

Result<LoadedLog> load_log(const fs::path& file, Links links) {
  LoadedLog log;
  Result<StudyLogText> text = read_study_log(file, links);
  if (!text) return text.failure();
  log.text = std::move(*text);
  if (log.text.torn) {
    log.notes.push_back(shown_path(file) + ": el ultimo registro esta cortado (linea " +
                        std::to_string(log.text.torn_line) +
                        "; la ejecucion se interrumpio); se lee hasta el ultimo registro entero");
  }
  if ((log.text.lf_line_ends || log.text.bom) && !log.text.records.empty()) {
    std::string how = log.text.lf_line_ends ? "sus fines de linea no son CR LF" : "";
    if (log.text.lf_line_ends && log.text.bom) how += " y ";
    if (log.text.bom) how += "empieza con una marca de orden de bytes (BOM)";
    log.notes.push_back(shown_path(file) + ": " + how +
                        "; se lee como el programa lo escribe, pero su SHA-256 ya no es el del original");
  }
  std::error_code code;
  const fs::path record = provenance_name(file);
  if (fs::exists(record, code)) {
    Result<nlohmann::json> run = read_json_object(record);
    log.has_run = run.ok();
    if (run) {
      log.run = std::move(*run);
    } else {
      log.notes.push_back(run.failure().message + " (se ignora)");
    }
  }
  return log;
}

Result<std::string> log_matches_its_record(const LoadedLog& log) {
  if (!log.has_run || log.text.sha256.empty()) return std::string();
  const auto digest = log.run.find("log_sha256");
  if (digest == log.run.end() || !digest->is_string()) {
    return shown_path(log.text.file) + ": el registro de procedencia no tiene el final de la ejecucion (se "
           "corto, o sigue en marcha); el registro de estudio se comprueba tal como esta";
  }
  const std::string recorded = digest->get<std::string>();
  if (recorded == log.text.sha256 || recorded == log.text.sha256_as_written) return std::string();
  const int64_t bytes = json_integer(log.run, "log_bytes", -1);
  return fail(EXIT_DISAGREES,
              shown_path(log.text.file) + " no es el registro de estudio que describe su registro de procedencia\n"
              "  el registro de estudio:       " + std::to_string(log.text.bytes) + " bytes, SHA-256 " +
              log.text.sha256 + "\n  el registro de procedencia:   " + (bytes >= 0 ? std::to_string(bytes) : "?") +
              " bytes, SHA-256 " + shown_text(recorded));
}

RunSpan span_of_run(const LoadedLog& log) {
  RunSpan span;
  const int64_t last = last_record_second(log.text);
  span.seconds = last;
  if (!log.has_run) return span;
  parse_local_time(json_text(log.run, "start_local"), span.start);
  const int64_t run = json_integer(log.run, "seconds_run", -1);
  const bool ended = !json_text(log.run, "end_reason").empty();
  if (ended && run >= last && run < next_record_second(last) && !log.text.torn) {
    span.seconds = run;
  } else if (ended) {
    span.note = "el registro de procedencia dice " + std::to_string(run) +
                " segundos, que no casa con los registros; se toma hasta el ultimo registro";
  }
  return span;
}

LogCheckResult check_seed(const LoadedLog& log, uint32_t seed) {
  return check_log(log.text, seed, last_record_second(log.text), false, -1, {});
}

std::string disagreement_text(const LoadedLog& log, const LogCheckResult& check) {
  return shown_path(log.text.file) + ", linea " + std::to_string(check.line) +
         ": el registro no coincide con la repeticion\n  el registro dice:    \"" + shown_log_text(check.found) +
         "\"\n  la repeticion da:    \"" + shown_log_text(check.expected) + "\"";
}
