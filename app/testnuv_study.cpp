// testnuv-study: the seed behind a study log, its exact per-second data, and checks.
//
// Each subcommand is registered by its own module (study/commands.h) and
// leaves the exit status; this entry point parses the command line and
// turns CLI11's parse errors into a message and exit status 2. The parser's
// own texts are in Spanish, like the rest of the program (app/study_cli_texts.h).
#include <cstdio>
#include <algorithm>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/study_cli_texts.h"
#include "app/terminal.h"
#include "runtime/paths.h"
#include "runtime/version.h"
#include "study/analyze_command.h"
#include "study/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"testnuv-study: semilla, datos por segundo y verificacion de los registros de estudio"};
  app.name("testnuv-study");
  use_spanish_parser_texts(app);
  app.set_version_flag("--version", std::string("testnuv-study ") + version_text(), "muestra la version y termina");
  app.require_subcommand(1);
  prepare_message_output();
  int exit_status = EXIT_DONE;
  set_study_progress(stderr_is_terminal());
  add_study_commands(app, exit_status);
  add_analyze_command(app, exit_status);
  name_spanish_subcommands(app);
  app.failure_message([](const CLI::App* failed, const CLI::Error& error) {
    const CLI::App* top = failed;
    while (top->get_parent() != nullptr) top = top->get_parent();
    return "testnuv-study: " + spanish_parse_error(error, *top) + "\n  (testnuv-study --help muestra las opciones)\n";
  });
  try {
    std::vector<std::string> words = program_arguments(argc, argv);
    std::reverse(words.begin(), words.end());  // CLI11 takes them last first
    if (!words.empty()) words.pop_back();      // the program's name
    app.parse(words);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? EXIT_DONE : EXIT_USAGE;
  }
  return exit_status;
}
