// testnuv-study: the seed behind a study log, its exact per-second data, and checks.
//
// The one table of subcommands names each with its help and the function
// that defines it (study/commands.h: a file per subcommand); this entry point
// parses the command line, runs the subcommand chosen and turns CLI11's parse
// errors into a message and exit status 2. The parser's
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
#include "study/commands.h"

namespace {

// A subcommand: its name, its help, and the function that defines its options and its run.
struct StudyCommand {
  const char* name;
  const char* help;
  CommandRun (*define)(CLI::App& command);
};

const StudyCommand commands[] = {
    {"seed", "Halla la semilla cuya repeticion da cada registro del registro de estudio", define_seed},
    {"extract", "Comprueba cada registro y escribe la carpeta de datos por segundo", define_extract},
    {"verify", "Comprueba un registro de estudio, o una carpeta de datos y su registro", define_verify},
    {"analyze", "Analiza carpetas de datos: z, p, Stouffer, prueba de varianza, eventos, controles e informe HTML",
     define_analyze},
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"testnuv-study: semilla, datos por segundo y verificacion de los registros de estudio"};
  app.name("testnuv-study");
  use_spanish_parser_texts(app);
  app.set_version_flag("--version", std::string("testnuv-study ") + version_text(), "muestra la version y termina");
  app.require_subcommand(1);
  prepare_message_output();
  int exit_status = EXIT_DONE;
  set_study_progress(stderr_is_terminal());
  for (const StudyCommand& entry : commands) {
    CLI::App* command = app.add_subcommand(entry.name, entry.help);
    command->callback([run = entry.define(*command), &exit_status] { exit_status = run(); });
  }
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
