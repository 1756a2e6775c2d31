// Durable files: files that reach the disk whole or not at all.
//
// A file is written under a temporary name beside its final one, synced,
// renamed over the final name, and the directory is synced, so a power cut
// leaves either the old file or the new one, never a torn one.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

// Write `bytes` to `target` atomically (temporary file, sync, rename, sync of the directory).
// False with `error` set on any failure; the old file, if any, is then untouched.
bool replace_file_atomically(const std::filesystem::path& target, const std::string& bytes,
                             std::string& error);

// Flush and sync an open stream, then close it; false with `error` set if any step failed.
bool close_synced(std::FILE* stream, const std::filesystem::path& name, std::string& error);

// Sync the directory holding `file` (its new names and renames); false on failure.
bool sync_parent_directory(const std::filesystem::path& file);

// Rename `from` to `to` and sync the directory of `to`; false with `error` set on failure.
bool rename_durably(const std::filesystem::path& from, const std::filesystem::path& to,
                    std::string& error);
