// The analysis of one or more data folders: per-folder and pooled statistics,
// windows aligned with the experiment's checkpoints, events, the combination of
// stations second by second, and control runs replayed from other seeds.
//
// Depends on the statistics module; of files it reads only a folder's bits.bin, as a stream,
// for the runs test. It knows nothing of the report and never prints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "study/folder_seconds.h"
#include "study/result.h"
#include "study/statistics.h"

// Receives a line of progress of long work (empty: none wanted).
using ProgressLine = std::function<void(const std::string& line)>;

constexpr double SIGNIFICANCE = 0.05;
constexpr int CONTROL_ATTEMPTS = 100000;  // seeds tried for one control before giving up

// A pre-registered event: an inclusive span of time with its label.
struct EventSpec {
  std::string label;
  int64_t start = 0;       // its first second, UTC
  int64_t end = 0;         // its last second, UTC
  std::string start_text;  // its start and end as given
  std::string end_text;
};

// The seconds of one folder that an event covers: indices [first, last).
struct EventRange {
  size_t folder;
  uint64_t first;
  uint64_t last;
};

struct EventResult {
  EventSpec spec;
  std::vector<EventRange> ranges;
  uint64_t seconds = 0;
  int64_t deviation = 0;
  double z = 0;
  double p = 0;
};

struct WindowResult {
  int width;
  size_t folder;
  uint64_t index;          // 1 for the first window of the run
  int64_t first_second;    // experiment second numbers
  int64_t last_second;
  uint64_t first_row;      // index of the first second in the folder
  uint64_t ones;
  double z;
  double p;
  double p_bonferroni;
  double q_bh;
};

struct WidthSummary {
  int width;
  size_t count = 0;
  double stouffer_z = 0;
  double stouffer_p = 0;
  size_t significant = 0;             // p < 0.05
  size_t significant_bonferroni = 0;  // Bonferroni p < 0.05
  size_t significant_bh = 0;          // q < 0.05
};

// The whole-run figures of a set of seconds (one folder, or all folders pooled).
struct RunResult {
  SecondTotals totals;
  double z = 0;
  double p = 0;
  double chi2 = 0;
  double chi2_p = 0;
  GoodnessOfFit fit;
  double lag1 = 0;
  double stouffer_z_300 = 0;
  double stouffer_z_900 = 0;
  std::optional<RunsTest> runs;
};

// Several folders combined: Stouffer per wall-clock second and over the folders' Zs.
struct CombinedResult {
  uint64_t seconds = 0;     // wall-clock seconds in which at least one folder ran
  double sum_z = 0;         // sum over those seconds of the per-second Stouffer Z
  double z = 0;             // sum_z / sqrt(seconds)
  double p = 0;
  double chi2 = 0;          // sum of the per-second Stouffer Z squared
  double chi2_p = 0;
  double folders_z = 0;     // Stouffer Z of the folders' whole-run Zs
  double folders_p = 0;
};

struct ControlsResult {
  int count = 0;
  uint64_t control_seed = 0;
  std::vector<double> z;          // each control's whole-run Z
  std::vector<double> events_z;   // each control's events' Stouffer Z (empty without events)
  double empirical_p_z = 0;
  double empirical_p_events = 0;
};

// Where a folder's bits lie on the generator's orbit, and the exact p of its whole-run count.
struct OrbitFolder {
  uint32_t orbit_start = 0;      // position of its first bit
  uint64_t draws = 0;            // its bits
  uint64_t seconds_used = 0;     // its seconds of distinct bits (a run past the orbit repeats)
  bool repeats = false;          // it is longer than the orbit: its count is the orbit's, fixed
  std::optional<double> orbit_p; // share of all segments of its length as far from half (none past the orbit)
};

// Two folders that share bits on the orbit.
struct OrbitOverlap {
  size_t folder_a;
  size_t folder_b;
  uint64_t draws;
};

// Seconds of a folder left out of the analysis because their bits are counted already.
struct LeftOut {
  size_t folder;
  int64_t first_second;  // experiment second numbers, inclusive
  int64_t last_second;
  uint64_t seconds;
  bool repeat;           // past the orbit's length (the run's own bits again), else another folder's
  size_t other;          // the earlier folder that holds them (not for a repeat)
};

struct OrbitResult {
  std::vector<OrbitFolder> folders;
  std::vector<OrbitOverlap> overlaps;
  std::vector<LeftOut> left_out;  // seconds left out, as leave_out_counted_bits gave them
  bool shared_kept = false;       // seconds shared between folders were kept on request
  // The folders' whole runs combined by their exact p: each orbit p turned into its z (with the
  // sign of its deviation), Stouffer over those; with two folders or more that have an orbit p.
  std::optional<double> folders_z;
  std::optional<double> folders_p;
  size_t folders_combined = 0;
};

struct Analysis {
  std::vector<RunResult> folders;
  RunResult pooled;
  std::vector<WindowResult> windows;
  std::vector<WidthSummary> widths;
  std::vector<EventResult> events;
  std::string events_zone;  // the zone local event times were read in (the first folder's)
  double events_z = 0;
  double events_p = 0;
  std::optional<CombinedResult> combined;
  std::optional<ControlsResult> controls;
  OrbitResult orbit;
};

// Place the folders on the orbit, find the bits they share, and give each whole-run count its
// exact p over all segments of the orbit of the same length (one pass a length); `left_out` as
// leave_out_counted_bits gave it (a folder that repeated itself gets no orbit p).
OrbitResult orbit_result(const std::vector<FolderData>& folders, const std::vector<RunResult>& runs,
                         std::vector<LeftOut> left_out, bool shared_kept);

// Leave out of each folder the seconds whose bits are counted already, so that every bit of the
// orbit counts once: a run longer than the orbit keeps its first ORBIT_DRAWS / 200 seconds; and,
// unless `keep_shared`, a folder's seconds that hold bits of an earlier folder (in the order
// given) go, from its start or its end (from the shared stretch to its end when the stretch lies
// inside it). Returns what was left out; a folder may end with no seconds.
std::vector<LeftOut> leave_out_counted_bits(std::vector<FolderData>& folders, bool keep_shared);

// Map events onto the folders' seconds; fails when one is reversed, overlaps another, or lies
// outside the data.
Result<std::vector<EventResult>> place_events(const std::vector<FolderData>& folders, std::vector<EventSpec> specs);

// Compute everything but the controls and the orbit (orbit_result); bits.bin is read when a
// folder has one (fails when it cannot be read whole).
Result<Analysis> analyze_folders(const std::vector<FolderData>& folders, const std::vector<int>& extra_widths,
                                 std::vector<EventResult> events);

// Combine stations second by second by their UTC seconds, and the folders by Stouffer.
CombinedResult combine_stations(const std::vector<FolderData>& folders, const std::vector<RunResult>& runs);

// Return the segment of the orbit a folder's bits cover: its first bit's position and its draws.
std::pair<uint32_t, uint64_t> folder_segment(const FolderData& folder);

// Return the seeds of the controls: per control, one seed per folder, drawn reproducibly from the
// control seed, each drawn again until its segment of the orbit shares no bit with any folder's.
// Empty when the folders leave no room on the orbit for such a control.
std::vector<std::vector<uint32_t>> control_seeds(const std::vector<FolderData>& folders, int count,
                                                 uint64_t control_seed);

// Replay the controls (on every core) through the same statistics and set their empirical p;
// progress lines go to `progress` when given.
void run_controls(const std::vector<FolderData>& folders, int count, uint64_t control_seed, Analysis& analysis,
                  const ProgressLine& progress);
