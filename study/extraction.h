// The rows extract writes for a log: its seconds replayed from the seed,
// checked against its records and placed in time (by the run's start when its
// provenance record gives it, else by the records' stamps in a zone). verify
// compares a folder extracted earlier with the same rows.
#pragma once

#include <cstdint>
#include <string>

#include "study/loaded_log.h"
#include "study/log_check.h"
#include "study/result.h"
#include "study/second_places.h"

// The way a log's seconds are placed in time.
struct Placement {
  SecondPlaces places;
  bool from_run = false;  // by the run's start (else by the records' stamps)
};

// Choose how the log's seconds are placed: by the run's start, or by the stamps read in `zone`
// ("" the machine's own). Fails when this machine cannot place them that way (an unknown zone:
// EXIT_USAGE when the zone was given, else EXIT_TROUBLE).
Result<Placement> place_seconds(const LoadedLog& log, int64_t start, const std::string& zone);

// Return the line that says how local times were worked out ("horas locales: …").
std::string placement_text(const Placement& placement);

// Hand `sink` the rows extract writes for a log, placed in time, with their bits when `bits`;
// a second whose time falls outside years 0000 to 9999 stops it, in `beyond`.
LogCheckResult extracted_rows(const LoadedLog& log, uint32_t seed, int64_t seconds, bool bits, int64_t start,
                              SecondPlaces& places, int64_t& beyond, const SecondSink& sink);
