// Durable files: files that reach the disk whole or not at all.
//
// A file is written under a temporary name beside its final one, synced,
// renamed over the final name, and the directory is synced, so a power cut
// leaves either the old file or the new one, never a torn one. Temporary
// names are unique (the process id and a random part) and created
// exclusively, so a name planted by someone else (a link to another file, a
// folder) is never written through or waited on.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

// Unique names tried for a temporary file or folder before giving up.
constexpr int UNIQUE_NAME_ATTEMPTS = 16;

// Write `bytes` to `target` atomically (temporary file, sync, rename, sync of the directory).
// False with `error` set on any failure; the old file, if any, is then untouched.
bool replace_file_atomically(const std::filesystem::path& target, const std::string& bytes,
                             std::string& error);

// Return a suffix that makes a temporary name unique: this process's id and a random part
// ("4711-9f3c2a1b").
std::string unique_suffix();

// Flush and sync an open stream, then close it; false with `error` set if any step failed.
bool close_synced(std::FILE* stream, const std::filesystem::path& name, std::string& error);

// Sync the directory holding `file` (its new names and renames); false on failure.
bool sync_parent_directory(const std::filesystem::path& file);

// Rename `from` to `to` and sync the directory of `to`; false with `error` set on failure.
bool rename_durably(const std::filesystem::path& from, const std::filesystem::path& to,
                    std::string& error);
