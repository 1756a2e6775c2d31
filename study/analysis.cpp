// Analysis: windows, events, pooled and per-folder figures, the combination of
// stations and the controls, all from the folders' counts of ones.
#include "study/analysis.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "runtime/paths.h"
#include "study/local_time.h"
#include "study/orbit.h"
#include "study/replay.h"

namespace {

constexpr size_t BITS_CHUNK = 1 << 20;   // bytes of bits.bin read at a time

// Return the deviation sum of a folder's seconds [first, last).
int64_t deviation_of(const std::vector<uint8_t>& ones, uint64_t first, uint64_t last) {
  int64_t sum = 0;
  for (uint64_t i = first; i < last; ++i) sum += static_cast<int64_t>(ones[i]) - MEAN_ONES;
  return sum;
}

// Read a folder's bits.bin into a runs test; fails when it is short or unreadable.
Result<RunsTest> read_runs(const FolderData& folder) {
  std::string error;
  std::FILE* in = open_input(path_from_utf8(folder.bits_path), Links::refuse, error);
  if (in == nullptr) return fail(EXIT_TROUBLE, error);
  RunsCounter counter;
  std::vector<uint8_t> buffer(BITS_CHUNK);
  // Only the rows kept for the analysis are counted.
  const uint64_t from = folder.bits_first * BYTES_PER_SECOND;
  const uint64_t to = from + folder.ones.size() * BYTES_PER_SECOND;
  uint64_t total = 0;
  size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
    const uint64_t begin = std::max(total, from), end = std::min(total + got, to);
    if (begin < end) counter.feed(std::span<const uint8_t>(buffer.data() + (begin - total), end - begin));
    total += got;
  }
  const bool failed = std::ferror(in) != 0;
  std::fclose(in);
  const uint64_t rows = folder.bits_rows != 0 ? folder.bits_rows : folder.ones.size();
  if (failed || total != rows * BYTES_PER_SECOND) {
    return fail(EXIT_TROUBLE, shown_text(folder.bits_path) + ": no tiene 25 bytes por cada segundo de seconds.csv");
  }
  return counter.result();
}

// Fill a run's figures from its totals and its windows' Stouffer Zs.
void finish_run(RunResult& run) {
  const SecondTotals& totals = run.totals;
  run.z = deviation_z(totals.deviation, totals.seconds);
  run.p = two_sided_p(run.z);
  run.chi2 = variance_chi2(totals);
  run.chi2_p = chi2_upper_p(run.chi2, static_cast<double>(totals.seconds));
  run.fit = binomial_goodness_of_fit(totals.histogram);
  run.lag1 = lag1_autocorrelation(totals);
}

// Add the complete windows of one width in one folder.
void add_windows(const FolderData& folder, size_t folder_number, int width, std::vector<WindowResult>& windows) {
  const auto w = static_cast<int64_t>(width);
  const int64_t first = folder.first_second;
  const int64_t last = first + static_cast<int64_t>(folder.ones.size()) - 1;
  for (int64_t k = (first - 1 + w - 1) / w + 1; k * w <= last; ++k) {
    WindowResult window{};
    window.width = width;
    window.folder = folder_number;
    window.index = static_cast<uint64_t>(k);
    window.first_second = (k - 1) * w + 1;
    window.last_second = k * w;
    window.first_row = static_cast<uint64_t>(window.first_second - first);
    const int64_t deviation = deviation_of(folder.ones, window.first_row, window.first_row + static_cast<uint64_t>(w));
    window.ones = static_cast<uint64_t>(deviation + MEAN_ONES * w);
    window.z = deviation_z(deviation, static_cast<uint64_t>(w));
    window.p = two_sided_p(window.z);
    windows.push_back(window);
  }
}

// Adjust the p of every window of one width and sum up that width.
WidthSummary adjust_width(std::vector<WindowResult>& windows, int width) {
  std::vector<size_t> members;
  for (size_t i = 0; i < windows.size(); ++i)
    if (windows[i].width == width) members.push_back(i);
  std::vector<double> p, z;
  for (size_t i : members) {
    p.push_back(windows[i].p);
    z.push_back(windows[i].z);
  }
  const std::vector<double> adjusted = bonferroni(p);
  const std::vector<double> q = benjamini_hochberg(p);
  WidthSummary summary{};
  summary.width = width;
  summary.count = members.size();
  summary.stouffer_z = stouffer_z(z);
  summary.stouffer_p = two_sided_p(summary.stouffer_z);
  for (size_t m = 0; m < members.size(); ++m) {
    WindowResult& window = windows[members[m]];
    window.p_bonferroni = adjusted[m];
    window.q_bh = q[m];
    summary.significant += window.p < SIGNIFICANCE;
    summary.significant_bonferroni += window.p_bonferroni < SIGNIFICANCE;
    summary.significant_bh += window.q_bh < SIGNIFICANCE;
  }
  return summary;
}

// Return the Stouffer Z of one width's windows, limited to one folder when folder is not SIZE_MAX.
double windows_stouffer(const std::vector<WindowResult>& windows, int width, size_t folder) {
  std::vector<double> z;
  for (const WindowResult& window : windows)
    if (window.width == width && (folder == SIZE_MAX || window.folder == folder)) z.push_back(window.z);
  return stouffer_z(z);
}

}  // namespace

Result<std::vector<EventResult>> place_events(const std::vector<FolderData>& folders, std::vector<EventSpec> specs) {
  std::vector<EventResult> events;
  for (const EventSpec& spec : specs) {
    if (spec.end < spec.start) return fail(EXIT_USAGE, "evento \"" + spec.label + "\": su fin va antes de su inicio");
  }
  std::stable_sort(specs.begin(), specs.end(),
                   [](const EventSpec& a, const EventSpec& b) { return a.start < b.start; });
  for (size_t i = 1; i < specs.size(); ++i) {
    if (specs[i].start <= specs[i - 1].end) {
      return fail(EXIT_USAGE, "los eventos \"" + specs[i - 1].label + "\" y \"" + specs[i].label + "\" se solapan");
    }
  }
  int64_t data_first = INT64_MAX, data_last = INT64_MIN;
  for (const FolderData& folder : folders) {
    if (folder.ones.empty()) continue;
    for (size_t s = 0; s < folder.times.size(); ++s) {
      const uint64_t stop = s + 1 < folder.times.size() ? folder.times[s + 1].first_index : folder.ones.size();
      data_first = std::min(data_first, folder.times[s].first_time);
      data_last = std::max(data_last, second_utc(folder, stop - 1));
    }
  }
  for (const EventSpec& spec : specs) {
    EventResult event;
    event.spec = spec;
    for (size_t f = 0; f < folders.size(); ++f) {
      for (const auto& [first, last] : seconds_between(folders[f], spec.start, spec.end)) {
        event.ranges.push_back(EventRange{f, first, last});
        event.seconds += last - first;
      }
    }
    if (spec.start < data_first || spec.end > data_last) {
      return fail(EXIT_USAGE, "el evento \"" + spec.label + "\" cae fuera de los datos (" + format_utc_time(data_first) +
                                  " a " + format_utc_time(data_last) + ")");
    }
    if (event.seconds == 0) {
      return fail(EXIT_USAGE, "el evento \"" + spec.label + "\" no cubre ningun segundo de los datos (cae en un hueco)");
    }
    events.push_back(std::move(event));
  }
  return events;
}

Result<Analysis> analyze_folders(const std::vector<FolderData>& folders, const std::vector<int>& extra_widths,
                                 std::vector<EventResult> events) {
  Analysis analysis;
  std::vector<int> widths{WINDOW_5MIN, WINDOW_15MIN};
  for (int width : extra_widths)
    if (std::find(widths.begin(), widths.end(), width) == widths.end()) widths.push_back(width);

  for (size_t f = 0; f < folders.size(); ++f) {
    RunResult run;
    add_seconds(run.totals, folders[f].ones);
    if (!folders[f].bits_path.empty()) {
      const Result<RunsTest> test = read_runs(folders[f]);
      if (!test) return test.failure();
      run.runs = *test;
    }
    for (int width : widths) add_windows(folders[f], f, width, analysis.windows);
    analysis.folders.push_back(run);
  }
  for (int width : widths) analysis.widths.push_back(adjust_width(analysis.windows, width));

  RunResult& pooled = analysis.pooled;
  for (size_t f = 0; f < folders.size(); ++f) {
    RunResult& run = analysis.folders[f];
    finish_run(run);
    run.stouffer_z_300 = windows_stouffer(analysis.windows, WINDOW_5MIN, f);
    run.stouffer_z_900 = windows_stouffer(analysis.windows, WINDOW_15MIN, f);
    merge_totals(pooled.totals, run.totals);
  }
  finish_run(pooled);
  pooled.stouffer_z_300 = windows_stouffer(analysis.windows, WINDOW_5MIN, SIZE_MAX);
  pooled.stouffer_z_900 = windows_stouffer(analysis.windows, WINDOW_15MIN, SIZE_MAX);
  if (folders.size() == 1) pooled.runs = analysis.folders[0].runs;

  std::vector<double> event_z;
  for (EventResult& event : events) {
    for (const EventRange& range : event.ranges)
      event.deviation += deviation_of(folders[range.folder].ones, range.first, range.last);
    event.z = deviation_z(event.deviation, event.seconds);
    event.p = two_sided_p(event.z);
    event_z.push_back(event.z);
  }
  analysis.events = std::move(events);
  analysis.events_z = stouffer_z(event_z);
  analysis.events_p = two_sided_p(analysis.events_z);
  if (folders.size() > 1) analysis.combined = combine_stations(folders, analysis.folders);
  return analysis;
}

CombinedResult combine_stations(const std::vector<FolderData>& folders, const std::vector<RunResult>& runs) {
  CombinedResult combined;
  for_each_combined_second(folders, [&](int64_t, double z, int) {
    ++combined.seconds;
    combined.sum_z += z;
    combined.chi2 += z * z;
  });
  combined.z = combined.sum_z / std::sqrt(static_cast<double>(combined.seconds));
  combined.p = two_sided_p(combined.z);
  combined.chi2_p = chi2_upper_p(combined.chi2, static_cast<double>(combined.seconds));
  std::vector<double> folder_z;
  for (const RunResult& run : runs) folder_z.push_back(run.z);
  combined.folders_z = stouffer_z(folder_z);
  combined.folders_p = two_sided_p(combined.folders_z);
  return combined;
}

std::vector<LeftOut> leave_out_counted_bits(std::vector<FolderData>& folders, bool keep_shared) {
  std::vector<LeftOut> left_out;
  auto leave_out = [&left_out](FolderData& folder, size_t f, uint64_t first, uint64_t count, bool repeat,
                               size_t other) {
    if (count == 0) return;
    left_out.push_back({f, folder.first_second + static_cast<int64_t>(first),
                        folder.first_second + static_cast<int64_t>(first + count) - 1, count, repeat, other});
  };
  const uint64_t orbit_seconds = ORBIT_DRAWS / BITS_PER_SECOND;
  for (size_t f = 0; f < folders.size(); ++f) {
    FolderData& folder = folders[f];
    if (folder.ones.size() > orbit_seconds) {
      leave_out(folder, f, orbit_seconds, folder.ones.size() - orbit_seconds, true, f);
      keep_seconds(folder, 0, orbit_seconds);
    }
    for (size_t g = 0; g < f && !keep_shared && !folder.ones.empty(); ++g) {
      const auto [start_f, draws_f] = folder_segment(folder);
      const auto [start_g, draws_g] = folder_segment(folders[g]);
      if (draws_g == 0 || shared_draws(start_f, draws_f, start_g, draws_g) == 0) continue;
      // Where the earlier folder's bits lie in this one's, in draws from its first.
      const uint64_t g_in_f = (start_g + ORBIT_DRAWS - start_f) % ORBIT_DRAWS;
      const uint64_t f_in_g = (start_f + ORBIT_DRAWS - start_g) % ORBIT_DRAWS;
      const uint64_t seconds = folder.ones.size();
      if (f_in_g < draws_g) {
        // It began within the earlier folder's bits: its first seconds go.
        const uint64_t shared = std::min(seconds, (draws_g - f_in_g + BITS_PER_SECOND - 1) / BITS_PER_SECOND);
        leave_out(folder, f, 0, shared, false, g);
        keep_seconds(folder, shared, seconds - shared);
      } else {
        // The earlier folder's bits begin within it: from their second on, it goes.
        const uint64_t from = g_in_f / BITS_PER_SECOND;
        leave_out(folder, f, from, seconds - from, false, g);
        keep_seconds(folder, 0, from);
      }
    }
  }
  return left_out;
}

OrbitResult orbit_result(const std::vector<FolderData>& folders, const std::vector<RunResult>& runs,
                         std::vector<LeftOut> left_out, bool shared_kept) {
  OrbitResult orbit;
  orbit.left_out = std::move(left_out);
  orbit.shared_kept = shared_kept;
  std::map<uint64_t, std::vector<size_t>> by_length;  // folders whose whole-run count has an orbit p
  for (size_t f = 0; f < folders.size(); ++f) {
    const auto [start, draws] = folder_segment(folders[f]);
    OrbitFolder entry;
    entry.orbit_start = start;
    entry.draws = draws;
    entry.repeats = draws > ORBIT_DRAWS ||
                    std::any_of(orbit.left_out.begin(), orbit.left_out.end(),
                                [f](const LeftOut& out) { return out.folder == f && out.repeat; });
    entry.seconds_used = std::min<uint64_t>(draws, ORBIT_DRAWS) / BITS_PER_SECOND;
    orbit.folders.push_back(entry);
    // A run that went round the whole orbit holds all of it: its count is the generator's, fixed.
    if (draws > 0 && draws < ORBIT_DRAWS && !entry.repeats) by_length[draws].push_back(f);
    for (size_t g = 0; g < f; ++g) {
      const uint64_t shared = shared_draws(start, draws, orbit.folders[g].orbit_start, orbit.folders[g].draws);
      if (shared > 0) orbit.overlaps.push_back({g, f, shared});
    }
  }
  // One pass over the orbit for each length: the share of all segments as far from half.
  for (const auto& [draws, members] : by_length) {
    std::vector<int64_t> deviations;
    for (size_t f : members) deviations.push_back(runs[f].totals.deviation);
    const std::vector<double> shares = orbit_tail_shares(draws, deviations);
    for (size_t k = 0; k < members.size(); ++k) orbit.folders[members[k]].orbit_p = shares[k];
  }
  std::vector<double> orbit_z;
  for (size_t f = 0; f < folders.size(); ++f) {
    const std::optional<double>& p = orbit.folders[f].orbit_p;
    if (p) orbit_z.push_back(z_of_two_sided_p(*p, static_cast<double>(runs[f].totals.deviation)));
  }
  if (orbit_z.size() >= 2) {
    orbit.folders_z = stouffer_z(orbit_z);
    orbit.folders_p = two_sided_p(*orbit.folders_z);
    orbit.folders_combined = orbit_z.size();
  }
  return orbit;
}

std::vector<std::vector<uint32_t>> control_seeds(const std::vector<FolderData>& folders, int count,
                                                 uint64_t control_seed) {
  // The folders' own segments of the orbit: a control must share no bit with any of them.
  std::vector<std::pair<uint32_t, uint64_t>> taken;
  for (const FolderData& folder : folders) taken.push_back(folder_segment(folder));
  std::mt19937_64 draw(control_seed);
  std::vector<std::vector<uint32_t>> seeds(static_cast<size_t>(std::max(count, 0)));
  for (auto& control : seeds) {
    while (control.size() < folders.size()) {
      const uint64_t draws = taken[control.size()].second;
      bool placed = false;
      for (int attempt = 0; attempt < CONTROL_ATTEMPTS && !placed; ++attempt) {
        const auto seed = static_cast<uint32_t>(draw() >> 33);
        const uint32_t start = run_orbit_start(seed);
        placed = std::none_of(taken.begin(), taken.end(), [&](const auto& segment) {
          return shared_draws(start, draws, segment.first, segment.second) > 0;
        });
        if (placed) control.push_back(seed);
      }
      if (!placed) return {};  // the run leaves no room on the orbit for such a control
    }
  }
  return seeds;
}

std::pair<uint32_t, uint64_t> folder_segment(const FolderData& folder) {
  const uint64_t skipped = static_cast<uint64_t>(std::max<int64_t>(folder.first_second - 1, 0)) * BITS_PER_SECOND;
  const uint32_t start = static_cast<uint32_t>((run_orbit_start(folder.seed) + skipped) % ORBIT_DRAWS);
  return {start, static_cast<uint64_t>(folder.ones.size()) * BITS_PER_SECOND};
}

namespace {

// One control's scores: its whole-run Z and (with events) its events' Stouffer Z.
struct ControlScores {
  double z;
  double events_z;
};

// Replay one control (one seed per folder) and return its scores.
ControlScores score_control(const std::vector<FolderData>& folders, const std::vector<uint32_t>& seeds,
                            const std::vector<EventResult>& events, std::vector<uint8_t>& buffer) {
  int64_t deviation = 0;
  uint64_t seconds = 0;
  std::vector<int64_t> event_sum(events.size(), 0);
  for (size_t f = 0; f < folders.size(); ++f) {
    const FolderData& folder = folders[f];
    buffer.resize(folder.ones.size());
    Replay replay(seeds[f]);
    replay.seek(folder.first_second);
    int64_t sum = 0;
    for (uint8_t& ones : buffer) {
      ones = static_cast<uint8_t>(replay.next_second());
      sum += static_cast<int64_t>(ones) - MEAN_ONES;
    }
    deviation += sum;
    seconds += folder.ones.size();
    for (size_t e = 0; e < events.size(); ++e)
      for (const EventRange& range : events[e].ranges)
        if (range.folder == f)
          for (uint64_t i = range.first; i < range.last; ++i)
            event_sum[e] += static_cast<int64_t>(buffer[i]) - MEAN_ONES;
  }
  std::vector<double> event_z;
  for (size_t e = 0; e < events.size(); ++e) event_z.push_back(deviation_z(event_sum[e], events[e].seconds));
  return ControlScores{deviation_z(deviation, seconds), stouffer_z(event_z)};
}

// Return the empirical p: (1 + controls at least as extreme) / (controls + 1).
double empirical_p(double observed, const std::vector<double>& controls) {
  if (controls.empty() || std::isnan(observed)) return std::numeric_limits<double>::quiet_NaN();
  size_t extreme = 0;
  for (double z : controls) extreme += std::fabs(z) >= std::fabs(observed);
  return static_cast<double>(1 + extreme) / static_cast<double>(controls.size() + 1);
}

}  // namespace

void run_controls(const std::vector<FolderData>& folders, int count, uint64_t control_seed, Analysis& analysis,
                  const ProgressLine& progress) {
  ControlsResult result;
  result.count = count;
  result.control_seed = control_seed;
  const std::vector<std::vector<uint32_t>> seeds = control_seeds(folders, count, control_seed);
  std::vector<ControlScores> scores(seeds.size());
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  auto work = [&]() {
    std::vector<uint8_t> buffer;
    for (size_t k = next++; k < seeds.size(); k = next++) {
      scores[k] = score_control(folders, seeds[k], analysis.events, buffer);
      ++done;
    }
  };
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t workers = std::min<size_t>(cores, seeds.size());
  std::vector<std::thread> threads;
  for (size_t t = 1; t < workers; ++t) threads.emplace_back(work);
  if (workers > 0) {
    if (progress) {
      threads.emplace_back(work);
      auto last = std::chrono::steady_clock::now();
      while (done < seeds.size()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (std::chrono::steady_clock::now() - last >= std::chrono::seconds(1)) {
          progress("controles: " + std::to_string(done.load()) + " de " + std::to_string(seeds.size()));
          last = std::chrono::steady_clock::now();
        }
      }
    } else {
      work();
    }
  }
  for (std::thread& thread : threads) thread.join();
  for (const ControlScores& score : scores) {
    result.z.push_back(score.z);
    if (!analysis.events.empty()) result.events_z.push_back(score.events_z);
  }
  result.empirical_p_z = empirical_p(analysis.pooled.z, result.z);
  result.empirical_p_events = empirical_p(analysis.events_z, result.events_z);
  analysis.controls = std::move(result);
}
