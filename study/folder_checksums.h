// A data folder's checksums: every file SHA256SUMS lists must be there with
// its digest, and every data file there must be listed.
#pragma once

#include <filesystem>

#include "study/result.h"

// Check the files of a folder against its SHA256SUMS; EXIT_DISAGREES naming every problem, one
// line each, when a listed file is missing or changed or a data file is not listed.
Result<> check_checksums(const std::filesystem::path& folder);
