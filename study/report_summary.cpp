// Report summary: the analysis as JSON objects, and the windows as CSV lines.
#include "study/report_summary.h"

#include <cstdint>
#include <cstdio>
#include <utility>

#include "runtime/version.h"
#include "study/local_time.h"
#include "study/orbit.h"
#include "study/report_figures.h"

namespace {

using nlohmann::json;

// Return the fit to the binomial: null figures, and why, when no bin is big enough for the test.
json fit_json(const GoodnessOfFit& fit) {
  json bins = json::array();
  for (const FitBin& bin : fit.bins)
    bins.push_back({{"first", bin.first}, {"last", bin.last}, {"observed", bin.observed}, {"expected", bin.expected}});
  if (fit.df <= 0) {
    return {{"chi2", nullptr}, {"df", nullptr}, {"p", nullptr}, {"bins", bins},
            {"why_null", "too few seconds for any bin of 5 or more expected"}};
  }
  return {{"chi2", fit.chi2}, {"df", fit.df}, {"p", fit.p}, {"bins", bins}};
}

// Return a run's whole-run figures as JSON (the keys the summary's top level also uses).
json run_json(const RunResult& run) {
  const SecondTotals& totals = run.totals;
  json value = {
      {"seconds", totals.seconds},
      {"ones", static_cast<int64_t>(totals.seconds) * MEAN_ONES + totals.deviation},
      {"zeros", static_cast<int64_t>(totals.seconds) * MEAN_ONES - totals.deviation},
      {"z", run.z},
      {"p", run.p},
      {"chi2", run.chi2},
      {"chi2_df", totals.seconds},
      {"chi2_p", run.chi2_p},
      {"stouffer_z_300", run.stouffer_z_300},
      {"stouffer_z_900", run.stouffer_z_900},
      {"binomial_gof", fit_json(run.fit)},
      {"lag1_autocorrelation", run.lag1},
      {"lag1_se", nullptr},
      {"lag1_p", nullptr},
      {"runs_test", nullptr},
  };
  if (const auto lag1 = lag1_test(run)) {
    value["lag1_se"] = lag1->se;
    value["lag1_p"] = lag1->p;
  }
  if (run.runs) {
    value["runs_test"] = {{"bits", run.runs->bits}, {"ones", run.runs->ones}, {"runs", run.runs->runs},
                          {"z", run.runs->z}, {"p", run.runs->p}};
  }
  return value;
}

// Return the orbit: each folder's place and exact p, and the bits folders share.
json orbit_json(const std::vector<FolderData>& folders, const OrbitResult& orbit) {
  json list = json::array();
  for (size_t f = 0; f < orbit.folders.size(); ++f) {
    const OrbitFolder& entry = orbit.folders[f];
    list.push_back({{"name", folders[f].name},
                    {"orbit_start", entry.orbit_start},
                    {"draws", entry.draws},
                    {"seconds_used", entry.seconds_used},
                    {"orbit_p", entry.orbit_p ? json(*entry.orbit_p) : json(nullptr)},
                    {"repeats", entry.repeats}});
  }
  json overlaps = json::array();
  for (const OrbitOverlap& overlap : orbit.overlaps) {
    overlaps.push_back({{"folder_a", folders[overlap.folder_a].name},
                        {"folder_b", folders[overlap.folder_b].name},
                        {"draws", overlap.draws}});
  }
  json combined = nullptr;
  if (orbit.folders_z) {
    combined = {{"z", *orbit.folders_z}, {"p", *orbit.folders_p}, {"folders", orbit.folders_combined}};
  }
  json left_out = json::array();
  for (const LeftOut& out : orbit.left_out) {
    left_out.push_back({{"folder", folders[out.folder].name},
                        {"first_second", out.first_second},
                        {"last_second", out.last_second},
                        {"seconds", out.seconds},
                        {"reason", out.repeat ? "repeat" : "shared"},
                        {"bits_of", out.repeat ? json(nullptr) : json(folders[out.other].name)}});
  }
  return {{"period_draws", ORBIT_DRAWS}, {"folders", list}, {"overlaps", overlaps},
          {"folders_combined", combined}, {"left_out", left_out}, {"shared_bits_kept", orbit.shared_kept},
          {"covered_share", covered_share(orbit)}};
}

// Return each window width's summary.
json widths_json(const Analysis& analysis) {
  json widths = json::array();
  for (const WidthSummary& width : analysis.widths) {
    widths.push_back({{"width", width.width}, {"count", width.count}, {"stouffer_z", width.stouffer_z},
                      {"stouffer_p", width.stouffer_p}, {"significant", width.significant},
                      {"significant_bonferroni", width.significant_bonferroni},
                      {"significant_bh", width.significant_bh}});
  }
  return widths;
}

// Return the events, each with its times as given and in UTC.
json events_json(const Analysis& analysis) {
  json events = json::array();
  for (const EventResult& event : analysis.events) {
    events.push_back({{"label", event.spec.label}, {"start", event.spec.start_text}, {"end", event.spec.end_text},
                      {"start_utc", format_utc_time(event.spec.start)}, {"end_utc", format_utc_time(event.spec.end)},
                      {"seconds", event.seconds},
                      {"ones", static_cast<int64_t>(event.seconds) * MEAN_ONES + event.deviation},
                      {"z", event.z}, {"p", event.p}});
  }
  return events;
}

// Return the controls' figures; an empty object without controls.
json controls_json(const Analysis& analysis) {
  if (!analysis.controls) return json::object();
  const ControlsResult& controls = *analysis.controls;
  return {{"count", controls.count},
          {"control_seed", controls.control_seed},
          {"empirical_p_z", controls.empirical_p_z},
          {"empirical_p_events", analysis.events.empty() ? json(nullptr) : json(controls.empirical_p_events)},
          {"z", controls.z},
          {"events_z", controls.events_z}};
}

// Return each folder's figures with its name, path, seed and first and last times.
json folders_json(const std::vector<FolderData>& folders, const Analysis& analysis) {
  json list = json::array();
  for (size_t f = 0; f < folders.size(); ++f) {
    json entry = run_json(analysis.folders[f]);
    entry["name"] = folders[f].name;
    entry["path"] = folders[f].path;
    entry["seed"] = folders[f].seed;
    if (!folders[f].ones.empty()) {
      const uint64_t last = folders[f].ones.size() - 1;
      entry["first_time"] = format_local_time(second_local(folders[f], 0));
      entry["last_time"] = format_local_time(second_local(folders[f], last));
      entry["first_utc"] = format_utc_time(second_utc(folders[f], 0));
      entry["last_utc"] = format_utc_time(second_utc(folders[f], last));
    }
    list.push_back(std::move(entry));
  }
  return list;
}

// Return the stations combined second by second; an empty object for one folder.
json combined_json(const Analysis& analysis) {
  if (!analysis.combined) return json::object();
  const CombinedResult& combined = *analysis.combined;
  return {{"seconds", combined.seconds}, {"z", combined.z},           {"p", combined.p},
          {"chi2", combined.chi2},       {"chi2_df", combined.seconds}, {"chi2_p", combined.chi2_p},
          {"folders_z", combined.folders_z}, {"folders_p", combined.folders_p}};
}

}  // namespace

json summary_json(const std::vector<FolderData>& folders, const Analysis& analysis) {
  json summary = run_json(analysis.pooled);
  summary["windows"] = widths_json(analysis);
  summary["events"] = events_json(analysis);
  summary["events_time_zone"] = analysis.events_zone;
  summary["events_stouffer"] = json::object();
  if (!analysis.events.empty())
    summary["events_stouffer"] = {{"count", analysis.events.size()}, {"z", analysis.events_z}, {"p", analysis.events_p}};
  summary["controls"] = controls_json(analysis);
  summary["folders"] = folders_json(folders, analysis);
  summary["combined"] = combined_json(analysis);
  summary["orbit"] = orbit_json(folders, analysis.orbit);
  summary["program"] = {{"name", "testnuv-study analyze"}, {"version", version_text()}};
  return summary;
}

std::string windows_csv(const std::vector<FolderData>& folders, const Analysis& analysis) {
  std::string csv =
      "width,index,first_second,last_second,start_time,ones,zeros,z,p,p_bonferroni,q_bh,folder,start_utc\n";
  char line[320];
  for (const WindowResult& window : analysis.windows) {
    const FolderData& folder = folders[window.folder];
    const uint64_t zeros = static_cast<uint64_t>(window.width) * BITS_PER_SECOND - window.ones;
    std::snprintf(line, sizeof line, "%d,%llu,%lld,%lld,%s,%llu,%llu,%.17g,%.17g,%.17g,%.17g,%zu,%s\n", window.width,
                  static_cast<unsigned long long>(window.index), static_cast<long long>(window.first_second),
                  static_cast<long long>(window.last_second),
                  format_local_time(second_local(folder, window.first_row)).c_str(),
                  static_cast<unsigned long long>(window.ones), static_cast<unsigned long long>(zeros), window.z,
                  window.p, window.p_bonferroni, window.q_bh, window.folder + 1,
                  format_utc_time(second_utc(folder, window.first_row)).c_str());
    csv += line;
  }
  return csv;
}
