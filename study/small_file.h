// Small files read whole, with a bound: provenance records, checksum lists,
// events files and the tool's own markers.
#pragma once

#include <filesystem>
#include <string>

#include "runtime/paths.h"
#include "study/result.h"

// Read a whole small file (up to 16 MiB, a regular file: see open_input).
Result<std::string> read_small_file(const std::filesystem::path& file, Links links);
