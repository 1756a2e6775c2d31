// File names, arguments and texts at the programs' edges.
//
// Inside the programs every path, argument, environment value and message is
// UTF-8; the conversion happens here alone. On Windows a path is built from
// UTF-8 into the system's wide form and files are opened with the wide calls;
// elsewhere a name is the bytes it is and may hold any bytes, valid UTF-8 or
// not. Messages never carry a byte that cannot be shown: it is escaped
// ("\xF1"). The experiment's own texts (the picture, the study log) keep
// their single-byte encoding and never pass through here.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Return the program's arguments as UTF-8 texts, the program's own name first (on Windows
// read again from the wide command line; elsewhere argv's bytes as they are).
std::vector<std::string> program_arguments(int argc, char** argv);

// Return an environment variable's value as UTF-8 ("" when it is not set).
std::string environment_text(const char* name);

// Return the path that a UTF-8 name stands for.
std::filesystem::path path_from_utf8(std::string_view name);

// Return a path's name as UTF-8 (elsewhere than Windows, its bytes as they are).
std::string path_to_utf8(const std::filesystem::path& path);

// Open a file as std::fopen does with `mode`; null (errno set) when it cannot be opened.
std::FILE* open_path(const std::filesystem::path& path, const char* mode);

// How open_input treats a symbolic link.
enum class Links { follow, refuse };

// Open an input for reading only when it is a regular file: a device, FIFO, socket or folder
// is refused without waiting on it (the opened file itself is checked, so nothing can be
// swapped in between), and with Links::refuse so is a symbolic link. Null with `error` set
// to the name and the reason.
std::FILE* open_input(const std::filesystem::path& path, Links links, std::string& error);

// Create a new file and open it for writing: never an existing name and never through a
// symbolic link (an exclusive create). Null (errno set, EEXIST when the name is taken) when
// it cannot be created.
std::FILE* create_new_file(const std::filesystem::path& path);

// Say whether `inner` is `outer` or lies inside it, once both are made absolute and their links
// followed as far as they exist.
bool path_lies_within(const std::filesystem::path& inner, const std::filesystem::path& outer);

// Make the standard streams show UTF-8 messages as the letters they stand for.
void prepare_message_output();

// Return whether `text` is well-formed UTF-8.
bool is_utf8(std::string_view text);

// Return a text fit for a message: UTF-8 letters kept, control characters, a byte order mark
// and bytes that are not UTF-8 escaped ("\r", "\t", "\uFEFF", "\xF1").
std::string shown_text(std::string_view text);

// Return a path's name fit for a message, as shown_text does.
std::string shown_path(const std::filesystem::path& path);

// Return a study log's line fit for a message: its single-byte letters ("\xFAltimos") as the
// letters they stand for ("últimos"), control characters and other bytes escaped.
std::string shown_log_text(std::string_view line);
