// The program's version, fixed at build time: the project version and the commit built.
#pragma once

// Return the project version, "MAJOR.MINOR.PATCH".
const char* project_version();

// Return the commit the programs were built from (12 hex digits, "-dirty" when the
// tree had uncommitted changes), or "unknown" outside a git checkout.
const char* build_commit();

// Return the version as the programs show it: "MAJOR.MINOR.PATCH (commit)".
const char* version_text();
