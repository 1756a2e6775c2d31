// The command-line parser's own texts in Spanish for testnuv-study: the layout of
// --help ("Uso:", "Opciones:", "Órdenes:"), its help and version flags, and the
// messages of a command line the parser refuses. Depends on CLI11 alone.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

// Give `app` Spanish help texts and a Spanish help flag; call before adding options or subcommands.
void use_spanish_parser_texts(CLI::App& app);

// Put the subcommands of `app` and their help flags under the Spanish headings; call after adding them.
void name_spanish_subcommands(CLI::App& app);

// Return the Spanish text of a parse error (one line, without the program's name).
std::string spanish_parse_error(const CLI::Error& error, const CLI::App& app);
