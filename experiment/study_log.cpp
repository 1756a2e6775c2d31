// The study log: naming, creating, and the checkpoint and cycle records.
#include "experiment/run_facts.h"
#include "experiment/study_log.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <system_error>

#include "experiment/provenance.h"
#include "experiment/state.h"
#include "runtime/clock.h"
#include "runtime/durable.h"
#include "runtime/files.h"
#include "runtime/platform.h"
#include "runtime/print.h"
#include "runtime/program.h"

namespace fs = std::filesystem;

namespace {

// What became of this run's records on their way to the log.
struct LogDelivery {
  Text name;                    // the log's file name
  bool open = false;            // the log was created
  bool failing = false;         // a failure was reported and writing has not succeeded since
  int64_t without_log = 0;      // records written while there was no log
  FileBacklog final_backlog;    // what the log lacked when it was closed
};

LogDelivery delivery;

// Say on standard error that the log could not be created, and why.
void report_no_log(const Text& name, const Text& why) {
  std::fprintf(stderr, "testnuv: no se pudo crear el registro de estudio \"%s\": %s\n",
               name.c_str(), why.c_str());
}

// Say that another run holds the day's log, naming its process id when known.
void report_in_use(const Text& name, int64_t holder) {
  const Text who = holder > 0 ? "el proceso " + std::to_string(holder) : "un proceso desconocido";
  std::fprintf(stderr,
               "testnuv: otra ejecucion (%s) usa ya el registro de estudio \"%s\" en esta "
               "carpeta; esta no empieza\n",
               who.c_str(), name.c_str());
}

// Say that the log is written without the lock that keeps a second run away, and why.
void report_unlocked(const Text& name, const Text& why) {
  std::fprintf(stderr,
               "testnuv: no se pudo bloquear el registro de estudio \"%s\" (%s); otra ejecucion "
               "en esta carpeta no se detectaria\n",
               name.c_str(), why.c_str());
}

// Say once that records cannot be written and are kept in memory.
void report_failure(const FileBacklog& backlog) {
  std::fprintf(stderr,
               "testnuv: no se puede escribir el registro de estudio \"%s\": %s; los registros "
               "se guardan en memoria y se escriben en cuanto se pueda\n",
               delivery.name.c_str(), backlog.error.c_str());
}

// Say that writing succeeds again, and how many records were dropped meanwhile.
void report_recovery(const FileBacklog& backlog) {
  if (backlog.dropped_units == 0) {
    std::fprintf(stderr,
                 "testnuv: el registro de estudio \"%s\" se escribe de nuevo, sin que falte "
                 "ningun registro\n",
                 delivery.name.c_str());
  } else {
    std::fprintf(stderr,
                 "testnuv: el registro de estudio \"%s\" se escribe de nuevo; registros que no "
                 "cabian en memoria y faltan: %" PRId64 "\n",
                 delivery.name.c_str(), backlog.dropped_units);
  }
}

// True when a directory entry of that name exists (a dangling link counts).
bool entry_exists(const fs::path& name) {
  std::error_code error;
  return fs::symlink_status(name, error).type() != fs::file_type::not_found;
}

// Print a text to the log.
void put(const Text& text, PrintSeparator separator = SEP_NONE) {
  print_text(experiment_state().log_number, text, separator);
}

// Print an integer to the log.
void put_integer(int32_t value, PrintSeparator separator) {
  print_integer(experiment_state().log_number, value, separator);
}

// Write one formatted line: the format's text with the value in its field, then CR LF.
void put_formatted(const Text& format, double value) {
  using_begin(format);
  using_number(experiment_state().log_number, value, SEP_LAST_NEWLINE);
}

// Write a checkpoint title line: mark, date, time, title, winning count, zone, other count.
void put_title(const char* mark, const char* title, int32_t first, int32_t second) {
  put(mark);
  put(date_text());
  put(" - ");
  put(time_text());
  put(title);
  put_integer(first, SEP_ZONE);
  put_integer(second, SEP_NEWLINE);
}

// Write the two global lines of a 15-minute record (format with or without a final blank).
void put_global_lines(bool final_blank) {
  const ExperimentState& state = experiment_state();
  const Text tail = final_blank ? " " : "";
  put_formatted("     Desvio medio global hacia el UNO en %: ##.##" + tail, global_average_one(state));
  put_formatted("     Desvio medio global hacia el CERO en %: ##.##" + tail, global_average_zero(state));
}

// Note how passing a record on went; say when that starts failing and when it works again.
void note_delivery(ResultCode result) {
  if (result == RESULT_INVALID) {
    ++delivery.without_log;
    return;
  }
  const FileBacklog backlog = file_backlog(experiment_state().log_number);
  if (result != RESULT_OK && !delivery.failing) report_failure(backlog);
  if (result == RESULT_OK && delivery.failing) report_recovery(backlog);
  delivery.failing = result != RESULT_OK;
}

// Pass the finished record on to the log (and to the disk, unless the log is synced at the end).
void flush_record() { note_delivery(flush_channel(experiment_state().log_number)); }

// Say that the log could not be synced at the end, and how many records that leaves in doubt.
void report_unsynced(const FileBacklog& backlog) {
  std::fprintf(stderr,
               "testnuv: no se pudo pasar al disco el registro de estudio \"%s\": %s; registros "
               "escritos que podrian no estar en el disco: %" PRId64 "\n",
               delivery.name.c_str(), backlog.error.c_str(), backlog.unsynced_units);
}

// At the program's end: write what is held and sync the log; say how many records the log lacks,
// or that its sync failed (status 1).
void finish_study_log() {
  if (!delivery.open) {
    if (delivery.without_log == 0) return;
    std::fprintf(stderr,
                 "testnuv: el registro de estudio \"%s\" no se pudo crear; registros perdidos: "
                 "%" PRId64 "\n",
                 delivery.name.c_str(), delivery.without_log);
    raise_exit_status(1);
    return;
  }
  const ResultCode result = sync_channel(experiment_state().log_number);
  const FileBacklog backlog = file_backlog(experiment_state().log_number);
  delivery.final_backlog = backlog;
  const int64_t missing = backlog.held_units + backlog.dropped_units;
  if (missing > 0 || backlog.unsynced_units == 0) note_delivery(result);
  if (backlog.unsynced_units > 0) {
    report_unsynced(backlog);
    raise_exit_status(1);
  }
  if (missing == 0) return;
  std::fprintf(stderr,
               "testnuv: registros que faltan en el registro de estudio \"%s\": %" PRId64
               " (%" PRId64 " sin escribir al terminar, %" PRId64
               " descartados por falta de memoria)\n",
               delivery.name.c_str(), missing, backlog.held_units, backlog.dropped_units);
  raise_exit_status(1);
}

// Return the number after ".": N of a name "base.N", or 0 when the name has no such form.
int64_t aside_number(const Text& entry, const Text& base) {
  if (entry.size() <= base.size() + 1 || entry.compare(0, base.size(), base) != 0 ||
      entry[base.size()] != '.') {
    return 0;
  }
  const char* first = entry.data() + base.size() + 1;
  const char* last = entry.data() + entry.size();
  int64_t n = 0;
  const auto [end, error] = std::from_chars(first, last, n);
  if (error != std::errc() || end != last || *first == '-' || *first == '+') return 0;
  return n;
}

// Return the name.N that follows the highest one in the name's folder (probe from 1 if unreadable).
fs::path next_aside_in_folder(const fs::path& name, bool& listed) {
  const fs::path folder = name.has_parent_path() ? name.parent_path() : fs::path(".");
  const Text base = name.filename().string();
  int64_t highest = 0;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const int64_t n = aside_number(it->path().filename().string(), base);
    if (n > highest) highest = n;
  }
  listed = !error;
  fs::path aside = name;
  aside += '.';
  aside += std::to_string(highest < INT64_MAX ? highest + 1 : highest);
  return aside;
}

}  // namespace

Text study_log_name(const Text& date) { return "estudio_" + date; }

fs::path next_aside_name(const fs::path& name) {
  bool listed = false;
  fs::path aside = next_aside_in_folder(name, listed);
  if (listed) return aside;
  for (int32_t n = 1;; ++n) {
    aside = name;
    aside += '.';
    aside += std::to_string(n);
    if (!entry_exists(aside)) return aside;
  }
}

const Text& study_log_file() { return delivery.name; }

FileBacklog study_log_backlog() {
  const FileBacklog live = file_backlog(experiment_state().log_number);
  return delivery.open && live.delayed_units == 0 ? delivery.final_backlog : live;
}

Text study_log_lock_name(const Text& log) { return log + ".lock"; }

LogOpening open_study_log() {
  const Text name = study_log_name(date_text());
  delivery = LogDelivery();
  delivery.name = name;
  int64_t holder = 0;
  Text lock_error;
  const LockOutcome lock = platform_hold_lock(study_log_lock_name(name), holder, lock_error);
  if (lock == LockOutcome::held) {
    report_in_use(name, holder);
    return LogOpening::in_use;
  }
  if (entry_exists(name)) {
    std::error_code error;
    const fs::path aside = next_aside_name(name);
    if (entry_exists(aside)) error = std::make_error_code(std::errc::file_exists);
    if (!error) fs::rename(name, aside, error);
    if (!error) sync_parent_directory(name);
    if (!error) move_provenance_aside(name, aside);
    if (error) {
      // Emptying the old log would destroy a finished study: run without a log instead.
      report_no_log(name, "no se pudo apartar el registro anterior: " + error.message());
      at_program_end(finish_study_log);
      return LogOpening::missing;
    }
  }
  if (open_file(name, FILE_MODE_OUTPUT, 0, 0, experiment_state().log_number, 0) == RESULT_OK) {
    delivery.open = true;
    if (lock != LockOutcome::taken) report_unlocked(name, lock_error);
  } else {
    report_no_log(name, open_file_error());
  }
  // Registered after open_file's close_all_files, so it runs first: the log is still open.
  at_program_end(finish_study_log);
  return delivery.open ? LogOpening::open : LogOpening::missing;
}

void write_15min_record() {
  const ExperimentState& s = experiment_state();
  switch (judge(s.zeros_15min, s.ones_15min)) {
    case Lean::zero:
      put_title(MARK_15MIN, TITLE_15MIN_ZERO, s.zeros_15min, s.ones_15min);
      put_formatted("     0 -> Desvio medio al CERO en \xFA" "ltimos 15 min en %: ##.## ",
                    s.dev_zero_15min);
      put_global_lines(true);
      break;
    case Lean::one:
      put_title(MARK_15MIN, TITLE_15MIN_ONE, s.ones_15min, s.zeros_15min);
      put_formatted("     1 -> Desvio medio al UNO en \xFA" "ltimos 15 min en %: ##.## ",
                    s.dev_one_15min);
      put_global_lines(false);
      break;
    case Lean::balanced:
      put_title(MARK_15MIN, TITLE_15MIN_BALANCED, s.zeros_15min, s.ones_15min);
      put("     0 <=> 1 Equilibrio absoluto entre ceros y unos en \xFA" "ltimos 15 min",
          SEP_NEWLINE);
      put_global_lines(false);
      break;
  }
  flush_record();
}

void write_5min_record() {
  const ExperimentState& s = experiment_state();
  switch (judge(s.zeros_5min, s.ones_5min)) {
    case Lean::zero:
      put_title("", TITLE_5MIN_ZERO, s.zeros_5min, s.ones_5min);
      put_formatted("                  Desvio medio al CERO en \xFA" "ltimos 5 min en %: ##.## ",
                    s.dev_zero_5min);
      break;
    case Lean::one:
      put_title("", TITLE_5MIN_ONE, s.ones_5min, s.zeros_5min);
      put_formatted("                  Desvio medio al UNO en \xFA" "ltimos 5 min en %: ##.## ",
                    s.dev_one_5min);
      break;
    case Lean::balanced:
      put_title("", TITLE_5MIN_BALANCED, s.zeros_5min, s.ones_5min);
      put("                          0=1 Equilibrio absoluto entre CEROS y UNOS en \xFA"
          "ltimos 5 min",
          SEP_NEWLINE);
      break;
  }
  flush_record();
}

void write_cycle_record() {
  put(date_text());
  put(CYCLE_TEXT);
  put_integer(experiment_state().cycles, SEP_NEWLINE);
  flush_record();
}
