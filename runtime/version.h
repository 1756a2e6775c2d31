// The program's version, fixed at build time: the project version and the commit built.
#pragma once

// Return the project version, "MAJOR.MINOR.PATCH".
const char* project_version();

// Return the commit the programs were built from (abbreviated hash), or "unknown"
// outside a git checkout.
const char* build_commit();

// Return the version as the programs, the provenance record and the package show it:
// "MAJOR.MINOR.PATCH+gitN.HASH", N the commits up to the one built (so that versions
// sort as commits do), ".dirty" appended for uncommitted changes; "MAJOR.MINOR.PATCH"
// alone outside a git checkout.
const char* version_text();
