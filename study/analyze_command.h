// `testnuv-study analyze DIR... --out OUT`: statistics and the study report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "study/report_texts.h"

namespace CLI {
class App;
}

struct AnalyzeOptions {
  std::vector<std::string> folders;
  std::string out;
  std::vector<int> windows;            // widths beyond 300 and 900 s
  std::vector<std::string> events;     // "start/end/label"
  std::string events_file;
  int controls = 0;
  uint64_t control_seed = 1;
  Language language = Language::spanish;
  bool progress = true;                // progress lines on standard error
  bool allow_shared_bits = false;      // keep the seconds whose bits an earlier folder holds
};

// Run an analysis and write its outputs; return the exit status (messages on standard error).
int run_analyze(const AnalyzeOptions& options);

// Add the `analyze` subcommand to the program; when it runs, its exit status goes to `status`.
void add_analyze_command(CLI::App& app, int& status);
