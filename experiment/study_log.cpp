// The study log: naming, creating, and the checkpoint and cycle records.
#include "experiment/study_log.h"

#include <cstdio>
#include <string>
#include <system_error>

#include "experiment/state.h"
#include "runtime/clock.h"
#include "runtime/files.h"
#include "runtime/print.h"

namespace fs = std::filesystem;

namespace {

// Say on standard error that the log could not be created, and why.
void report_no_log(const Text& name, const Text& why) {
  std::fprintf(stderr, "testnuv: no se pudo crear el registro de estudio \"%s\": %s\n",
               name.c_str(), why.c_str());
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

// Pass the finished record on to the disk.
void flush_record() { flush_channel(experiment_state().log_number); }

}  // namespace

Text study_log_name(const Text& date) { return "estudio_" + date; }

fs::path free_aside_name(const fs::path& name) {
  for (int32_t n = 1;; ++n) {
    fs::path aside = name;
    aside += '.';
    aside += std::to_string(n);
    if (!entry_exists(aside)) return aside;
  }
}

void open_study_log() {
  const Text name = study_log_name(date_text());
  if (entry_exists(name)) {
    std::error_code error;
    fs::rename(name, free_aside_name(name), error);
    if (error) {
      // Emptying the old log would destroy a finished study: run without a log instead.
      report_no_log(name, "no se pudo apartar el registro anterior: " + error.message());
      return;
    }
  }
  if (open_file(name, FILE_MODE_OUTPUT, 0, 0, experiment_state().log_number, 0) != RESULT_OK) {
    report_no_log(name, open_file_error());
  }
}

void write_15min_record() {
  const ExperimentState& s = experiment_state();
  switch (judge(s.zeros_15min, s.ones_15min)) {
    case Lean::zero:
      put_title(">>>>>", " checkpoint 15 min 0 > 1 : ", s.zeros_15min, s.ones_15min);
      put_formatted("     0 -> Desvio medio al CERO en \xFA" "ltimos 15 min en %: ##.## ",
                    s.dev_zero_15min);
      put_global_lines(true);
      break;
    case Lean::one:
      put_title(">>>>>", " checkpoint 15 min 1 > 0 : ", s.ones_15min, s.zeros_15min);
      put_formatted("     1 -> Desvio medio al UNO en \xFA" "ltimos 15 min en %: ##.## ",
                    s.dev_one_15min);
      put_global_lines(false);
      break;
    case Lean::balanced:
      put_title(">>>>>", " checkpoint 15min 0 = 1 : ", s.zeros_15min, s.ones_15min);
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
      put_title("", " checkpoint 5 min. 0 > 1 : ", s.zeros_5min, s.ones_5min);
      put_formatted("                  Desvio medio al CERO en \xFA" "ltimos 5 min en %: ##.## ",
                    s.dev_zero_5min);
      break;
    case Lean::one:
      put_title("", " checkpoint 5 min. 1 > 0 : ", s.ones_5min, s.zeros_5min);
      put_formatted("                  Desvio medio al UNO en \xFA" "ltimos 5 min en %: ##.## ",
                    s.dev_one_5min);
      break;
    case Lean::balanced:
      put_title("", " checkpoint 5min. 0 = 1 : ", s.zeros_5min, s.ones_5min);
      put("                          0=1 Equilibrio absoluto entre CEROS y UNOS en \xFA"
          "ltimos 5 min",
          SEP_NEWLINE);
      break;
  }
  flush_record();
}

void write_cycle_record() {
  put(date_text());
  put("ciclos de 12 horas completados: ");
  put_integer(experiment_state().cycles, SEP_NEWLINE);
  flush_record();
}
