// The subcommands seed, extract and verify.
#include "study/commands.h"

void add_study_commands(CLI::App& /*app*/, int& /*exit_status*/) {}
