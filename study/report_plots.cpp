// Report plots: each series walked once in time order and reduced as it goes.
#include "study/report_plots.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>

#include "study/analysis_input.h"
#include "study/folder_seconds.h"
#include "study/plot_reduce.h"
#include "study/report_figures.h"

namespace {

using nlohmann::json;

// Walk a folder's seconds with their UTC times, without a search per second; where the recorded
// times go back (a clock set back by hand) the walk runs on, so that time only goes forward.
template <typename Visit>
void for_each_second(const FolderData& folder, Visit visit) {
  const uint64_t count = folder.ones.size();
  int64_t next = INT64_MIN;
  for (size_t s = 0; s < folder.times.size(); ++s) {
    const uint64_t end = s + 1 < folder.times.size() ? folder.times[s + 1].first_index : count;
    int64_t utc = std::max(folder.times[s].first_time, next);
    for (uint64_t i = folder.times[s].first_index; i < end; ++i, ++utc) visit(i, utc, folder.ones[i]);
    next = utc;
  }
}

// Return a reduced curve as JSON arrays x, y (and n when asked).
json curve_json(std::string_view label, const std::vector<PlotPoint>& points, bool with_n) {
  json x = json::array(), y = json::array(), n = json::array();
  for (const PlotPoint& point : points) {
    x.push_back(point.x);
    const double rounded = std::round(point.y * 1000.0) / 1000.0;
    if (rounded == std::trunc(rounded) && std::abs(rounded) < 1e15) {
      y.push_back(static_cast<int64_t>(rounded));  // "1234", not "1234.0"
    } else {
      y.push_back(rounded);
    }
    if (with_n) n.push_back(point.n);
  }
  json curve = {{"label", label}, {"x", std::move(x)}, {"y", std::move(y)}};
  if (with_n) curve["n"] = std::move(n);
  return curve;
}

// Return the start of the time axes: the earliest first second in UTC (short numbers on a long run).
int64_t time_base(const std::vector<FolderData>& folders) {
  int64_t base = INT64_MAX;
  for (const FolderData& folder : folders)
    if (!folder.ones.empty()) base = std::min(base, second_utc(folder, 0));
  return base == INT64_MAX ? 0 : base;
}

// The two cumulative plots, built side by side: Σ(X − 100) and Σ(z² − 1), a curve per folder
// and one for the stations combined; `reference` is the curve the envelopes belong to.
struct CumulativePlots {
  json deviation = json::array();
  json variance = json::array();
  size_t reference = 0;
};

// Add each folder's cumulative curves; the reference curve carries its second counts.
void add_folder_curves(CumulativePlots& plots, const std::vector<FolderData>& folders, int64_t base) {
  for (size_t f = 0; f < folders.size(); ++f) {
    const FolderData& folder = folders[f];
    MinMaxReducer deviation(folder.ones.size()), variance(folder.ones.size());
    int64_t sum = 0;
    double squares = 0;
    for_each_second(folder, [&](uint64_t i, int64_t utc, uint8_t ones) {
      const int64_t d = static_cast<int64_t>(ones) - MEAN_ONES;
      sum += d;
      squares += static_cast<double>(d * d) / VARIANCE_ONES - 1.0;
      deviation.add(PlotPoint{utc - base, static_cast<double>(sum), i + 1});
      variance.add(PlotPoint{utc - base, squares, i + 1});
    });
    plots.deviation.push_back(curve_json(folder_label(folders, f), deviation.finish(), f == plots.reference));
    plots.variance.push_back(curve_json(folder_label(folders, f), variance.finish(), f == plots.reference));
  }
}

// Add the curves of the stations combined second by second, scaled as one folder's.
void add_combined_curves(CumulativePlots& plots, const std::vector<FolderData>& folders, const Analysis& analysis,
                         int64_t base, const ReportTexts& texts) {
  const double scale = std::sqrt(VARIANCE_ONES);
  MinMaxReducer deviation(analysis.combined->seconds), variance(analysis.combined->seconds);
  double sum = 0, squares = 0;
  uint64_t n = 0;
  for_each_combined_second(folders, [&](int64_t utc, double z, int) {
    sum += z;
    squares += z * z - 1.0;
    ++n;
    deviation.add(PlotPoint{utc - base, sum * scale, n});
    variance.add(PlotPoint{utc - base, squares, n});
  });
  plots.deviation.push_back(curve_json(texts.combined_curve, deviation.finish(), true));
  plots.variance.push_back(curve_json(texts.combined_curve, variance.finish(), true));
}

// Return the cumulative deviation and variance plots.
CumulativePlots cumulative_plots(const std::vector<FolderData>& folders, const Analysis& analysis, int64_t base,
                                 const ReportTexts& texts) {
  CumulativePlots plots;
  plots.reference = analysis.combined ? folders.size() : 0;
  add_folder_curves(plots, folders, base);
  if (analysis.combined) add_combined_curves(plots, folders, analysis, base, texts);
  return plots;
}

// Return the marks of the time axes: the cycle ends, the events and where an orbit repeats.
json time_marks(const std::vector<FolderData>& folders, const Analysis& analysis, int64_t base) {
  json marks = {{"cycles", json::array()}, {"events", json::array()}, {"repeats", json::array()}};
  for (const FolderData& folder : folders)
    for (uint64_t end : folder.cycle_ends) marks["cycles"].push_back(second_utc(folder, end) + 1 - base);
  for (const EventResult& event : analysis.events)
    marks["events"].push_back({event.spec.start - base, event.spec.end + 1 - base, event.spec.label});
  for (size_t f = 0; f < analysis.orbit.folders.size() && f < folders.size(); ++f) {
    const OrbitFolder& entry = analysis.orbit.folders[f];
    if (entry.repeats && entry.seconds_used < folders[f].ones.size())
      marks["repeats"].push_back(second_utc(folders[f], entry.seconds_used) - base);
  }
  return marks;
}

// Return the windows' z plot: a curve per width and folder, and the windows significant after
// Benjamini–Hochberg as points of their own.
json window_z_plot(const std::vector<FolderData>& folders, const Analysis& analysis, int64_t base,
                   const ReportTexts& texts) {
  json curves = json::array(), significant_x = json::array(), significant_y = json::array();
  for (const WidthSummary& width : analysis.widths) {
    for (size_t f = 0; f < folders.size(); ++f) {
      size_t count = 0;
      for (const WindowResult& window : analysis.windows) count += window.width == width.width && window.folder == f;
      if (count == 0) continue;
      MinMaxReducer reducer(count);
      for (const WindowResult& window : analysis.windows) {
        if (window.width != width.width || window.folder != f) continue;
        const uint64_t last_row = window.first_row + static_cast<uint64_t>(window.width) - 1;
        const int64_t x = second_utc(folders[f], last_row) - base;
        reducer.add(PlotPoint{x, window.z, window.index});
        if (window.q_bh < SIGNIFICANCE && significant_x.size() < MAX_PLOT_POINTS) {
          significant_x.push_back(x);
          significant_y.push_back(std::round(window.z * 1000.0) / 1000.0);
        }
      }
      std::string label = std::string(texts.window_curve) + " " + std::to_string(width.width) + " s";
      if (folders.size() > 1) label += " · " + folder_label(folders, f);
      curves.push_back(curve_json(label, reducer.finish(), false));
    }
  }
  json significant = {{"label", texts.significant_bh_points}, {"x", significant_x}, {"y", significant_y}};
  return {{"curves", curves}, {"significant", significant}};
}

// Return the histogram of ones per second over the counts that occur or are expected at least
// once: the expected counts, each folder's (when there are several) and the pooled ones.
json histogram_plot(const std::vector<FolderData>& folders, const Analysis& analysis, const ReportTexts& texts) {
  const OnesHistogram& pooled = analysis.pooled.totals.histogram;
  const uint64_t seconds = analysis.pooled.totals.seconds;
  int low = MEAN_ONES, high = MEAN_ONES;
  for (int k = 0; k <= BITS_PER_SECOND; ++k) {
    if (pooled[static_cast<size_t>(k)] > 0 || binomial_expected(k, seconds) >= 1.0) {
      low = std::min(low, k);
      high = std::max(high, k);
    }
  }
  json ks = json::array(), expected = json::array(), observed = json::array();
  for (int k = low; k <= high; ++k) {
    ks.push_back(k);
    expected.push_back(std::round(binomial_expected(k, seconds) * 1000.0) / 1000.0);
  }
  auto counts_of = [&](const OnesHistogram& histogram) {
    json counts = json::array();
    for (int k = low; k <= high; ++k) counts.push_back(histogram[static_cast<size_t>(k)]);
    return counts;
  };
  if (folders.size() > 1) {
    for (size_t f = 0; f < folders.size(); ++f)
      observed.push_back({{"label", folder_label(folders, f)}, {"counts", counts_of(analysis.folders[f].totals.histogram)}});
  }
  observed.push_back({{"label", std::string(texts.observed)}, {"counts", counts_of(pooled)}});
  return {{"k", ks}, {"expected", expected}, {"observed", observed}};
}

// Return the zone of the time axes: the first folder's, with the offsets it had at each moment.
json time_zone(const FolderData& first, int64_t base) {
  json offsets = json::array();
  for (const auto& [moment, minutes] : first.offsets.changes) offsets.push_back({moment - base, minutes});
  if (offsets.empty()) offsets.push_back({0, first.utc_offset_minutes});
  return {{"name", zone_name(first)}, {"offsets", offsets}};
}

// Return the texts the page's script shows, and how it writes numbers and dates.
json script_texts(const ReportTexts& texts) {
  return {
      {"lang", texts.html_lang},
      {"decimal_mark", texts.decimal_mark},
      {"group_mark", texts.group_mark},
      {"months_short", texts.months_short},
      {"months_long", texts.months_long},
      {"time_axis", texts.time_axis},
      {"envelope_196_up", texts.envelope_196_up},
      {"envelope_196_down", texts.envelope_196_down},
      {"envelope_309_up", texts.envelope_309_up},
      {"envelope_309_down", texts.envelope_309_down},
      {"cumulative_deviation_axis", texts.cumulative_deviation_axis},
      {"cumulative_variance_axis", texts.cumulative_variance_axis},
      {"ones_per_second", texts.ones_per_second},
      {"expected", texts.expected},
      {"seconds_axis", texts.seconds_axis},
      {"no_complete_window", texts.no_complete_window},
      {"events_legend", texts.events_legend},
      {"repeat_mark", texts.repeat_mark},
  };
}

}  // namespace

json plot_data(const std::vector<FolderData>& folders, const Analysis& analysis, const ReportTexts& texts) {
  const int64_t base = time_base(folders);
  CumulativePlots cumulative = cumulative_plots(folders, analysis, base, texts);
  return {
      {"texts", script_texts(texts)},
      {"base", base},
      {"zone", time_zone(folders.front(), base)},
      {"marks", time_marks(folders, analysis, base)},
      {"cumulative_deviation", {{"curves", std::move(cumulative.deviation)}, {"reference", cumulative.reference}}},
      {"cumulative_variance", {{"curves", std::move(cumulative.variance)}, {"reference", cumulative.reference}}},
      {"window_z", window_z_plot(folders, analysis, base, texts)},
      {"histogram", histogram_plot(folders, analysis, texts)},
  };
}
