// Report: the summary, the windows table and the page, built in memory and
// written each through a temporary file renamed into place.
#include "study/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <system_error>

#include "runtime/durable.h"
#include "runtime/paths.h"
#include "study/analysis_input.h"
#include "study/folder_seconds.h"
#include "study/local_time.h"
#include "study/orbit.h"
#include "study/plot_reduce.h"
#include "study/report_assets.h"
#include "runtime/version.h"

namespace {

using nlohmann::json;

// The lag-1 autocorrelation's standard error and two-sided p under independence, where r * sqrt(N)
// is close to N(0, 1); none for fewer than two seconds.
struct Lag1Test {
  double se;
  double p;
};
std::optional<Lag1Test> lag1_test(const RunResult& run) {
  if (run.totals.seconds <= 1) return std::nullopt;
  const double se = 1.0 / std::sqrt(static_cast<double>(run.totals.seconds));
  return Lag1Test{se, two_sided_p(run.lag1 / se)};
}

// Return a run's whole-run figures as JSON (the keys the summary's top level also uses).
json run_json(const RunResult& run) {
  const SecondTotals& totals = run.totals;
  json fit_bins = json::array();
  for (const FitBin& bin : run.fit.bins)
    fit_bins.push_back({{"first", bin.first}, {"last", bin.last}, {"observed", bin.observed}, {"expected", bin.expected}});
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
      {"binomial_gof", {{"chi2", run.fit.chi2}, {"df", run.fit.df}, {"p", run.fit.p}, {"bins", fit_bins}}},
      {"lag1_autocorrelation", run.lag1},
  };
  // With too few seconds no bin is big enough for the test: it does not exist (null), not 0.
  if (run.fit.df <= 0) {
    value["binomial_gof"] = {{"chi2", nullptr}, {"df", nullptr}, {"p", nullptr}, {"bins", fit_bins},
                             {"why_null", "too few seconds for any bin of 5 or more expected"}};
  }
  if (const auto lag1 = lag1_test(run)) {
    value["lag1_se"] = lag1->se;
    value["lag1_p"] = lag1->p;
  } else {
    value["lag1_se"] = nullptr;
    value["lag1_p"] = nullptr;
  }
  if (run.runs) {
    value["runs_test"] = {{"bits", run.runs->bits}, {"ones", run.runs->ones}, {"runs", run.runs->runs},
                          {"z", run.runs->z}, {"p", run.runs->p}};
  } else {
    value["runs_test"] = nullptr;
  }
  return value;
}

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

// Return a folder's label in plots: its name, numbered when several share it.
std::string folder_label(const std::vector<FolderData>& folders, size_t f) {
  return folders.size() == 1 ? folders[f].name : std::to_string(f + 1) + ": " + folders[f].name;
}

// Return a number's digits with the language's marks: groups of three (in Spanish only from five
// digits on, as its writers do), the decimal mark, and a true minus sign.
std::string localized(std::string text, const ReportTexts& texts) {
  std::string sign;
  if (!text.empty() && text[0] == '-') {
    sign = "\u2212";
    text.erase(0, 1);
  }
  const size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  std::string shown;
  const size_t shortest = texts.html_lang == "es" ? 5 : 4;
  for (size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && whole.size() >= shortest && (whole.size() - i) % 3 == 0) shown += texts.group_mark;
    shown += whole[i];
  }
  if (point != std::string::npos) {
    shown += texts.decimal_mark;
    shown += text.substr(point + 1);
  }
  return sign + shown;
}

// Return an integer as the page shows it.
std::string integer_text(int64_t value, const ReportTexts& texts) { return localized(std::to_string(value), texts); }

// Return a number with `decimals` places as the page shows it; NaN shows as "not available".
std::string decimal_text(double value, int decimals, const ReportTexts& texts) {
  if (std::isnan(value)) return std::string(texts.not_available);
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return localized(text, texts);
}

std::string fixed(double value, const ReportTexts& texts) { return decimal_text(value, 4, texts); }

// Return a p-value with four significant digits; a small one as "1,234 × 10⁻⁵".
std::string p_text(double value, const ReportTexts& texts) {
  if (std::isnan(value)) return std::string(texts.not_available);
  char text[64];
  std::snprintf(text, sizeof text, "%.4g", value);
  std::string plain = text;
  const size_t e = plain.find('e');
  if (e == std::string::npos) return localized(plain, texts);
  static const char* const SUPERSCRIPT[] = {"\u2070", "\u00B9", "\u00B2", "\u00B3", "\u2074",
                                            "\u2075", "\u2076", "\u2077", "\u2078", "\u2079"};
  const int exponent = std::atoi(plain.c_str() + e + 1);
  std::string power = exponent < 0 ? "\u207B" : "";
  for (char digit : std::to_string(std::abs(exponent))) power += SUPERSCRIPT[digit - '0'];
  return localized(plain.substr(0, e), texts) + " \u00D7 10" + power;
}

// Return a share as a percentage with two decimals ("0,47 %").
std::string share_text(double share, const ReportTexts& texts) {
  return decimal_text(100.0 * share, 2, texts) + "\u00A0%";
}

// Return a text with its gap "{name}" filled.
std::string filled(std::string_view text, std::string_view name, const std::string& value) {
  std::string result(text);
  std::string gap(1, '{');
  gap.append(name).push_back('}');
  const size_t at = result.find(gap);
  if (at != std::string::npos) result.replace(at, gap.size(), value);
  return result;
}

// Open and close a table in a box of its own that scrolls sideways when the table is wider than the page.
void open_table(std::string& html, const std::string& attributes = {}) {
  html += "<div class=\"table-box\"><table" + attributes + ">\n";
}
void close_table(std::string& html) { html += "</table></div>\n"; }

// Append one row of a two-column table; a value that is a sentence, not a figure, reads from the left.
void add_row(std::string& html, std::string_view label, const std::string& value, bool figure = true) {
  html += "<tr><th>";
  html += escape_html(label);
  html += figure ? "</th><td class=\"num\">" : "</th><td>";
  html += escape_html(value);
  html += "</td></tr>\n";
}

// Return a folder's orbit p, or why it has none.
std::string orbit_p_text(const OrbitFolder& orbit, const ReportTexts& texts) {
  if (orbit.orbit_p) return p_text(*orbit.orbit_p, texts);
  if (orbit.repeats) {
    return filled(texts.orbit_whole, "second", integer_text(static_cast<int64_t>(orbit.seconds_used) + 1, texts));
  }
  return std::string(texts.not_available);
}

// Append the table of a run's figures; `orbit_p` is the folder's exact p when it has one.
void add_run_table(std::string& html, const RunResult& run, const OrbitFolder* orbit, const ReportTexts& texts) {
  const SecondTotals& totals = run.totals;
  const auto n = static_cast<int64_t>(totals.seconds);
  open_table(html);
  html += "<tr><th>" + escape_html(texts.measure) + "</th><th>" + escape_html(texts.value) + "</th></tr>\n";
  add_row(html, texts.seconds, integer_text(n, texts));
  add_row(html, texts.ones, integer_text(n * MEAN_ONES + totals.deviation, texts));
  add_row(html, texts.zeros, integer_text(n * MEAN_ONES - totals.deviation, texts));
  add_row(html, texts.run_z, fixed(run.z, texts) + "   (" + std::string(texts.normal_p) + " = " + p_text(run.p, texts) + ")");
  if (orbit != nullptr) add_row(html, texts.orbit_p, orbit_p_text(*orbit, texts), orbit->orbit_p.has_value());
  add_row(html, texts.variance_chi2,
          fixed(run.chi2, texts) + "   (" + std::string(texts.degrees) + ": " + integer_text(n, texts) + ", " +
              std::string(texts.upper_p) + " = " + p_text(run.chi2_p, texts) + ")");
  add_row(html, texts.stouffer_300, fixed(run.stouffer_z_300, texts));
  add_row(html, texts.stouffer_900, fixed(run.stouffer_z_900, texts));
  if (run.fit.df > 0) {
    add_row(html, texts.fit_chi2,
            fixed(run.fit.chi2, texts) + "   (" + std::string(texts.degrees) + ": " +
                decimal_text(run.fit.df, 0, texts) + ", p = " + p_text(run.fit.p, texts) + ")");
  } else {
    add_row(html, texts.fit_chi2, std::string(texts.fit_too_few), false);
  }
  std::string lag1 = decimal_text(run.lag1, 6, texts);
  if (const auto test = lag1_test(run)) {
    lag1 += "   (" + std::string(texts.standard_error) + " = " + decimal_text(test->se, 6, texts) +
            ", p = " + p_text(test->p, texts) + ")";
  }
  add_row(html, texts.lag1, lag1);
  if (run.runs) {
    add_row(html, texts.runs_test,
            integer_text(static_cast<int64_t>(run.runs->runs), texts) + " " + std::string(texts.runs) +
                ", z = " + fixed(run.runs->z, texts) + ", p = " + p_text(run.runs->p, texts));
  }
  close_table(html);
}

// Return the expected |X - 100| of a second that leans one way: E[X - 100 | X > 100].
double expected_lean() {
  double weight = 0, sum = 0;
  for (int k = MEAN_ONES + 1; k <= BITS_PER_SECOND; ++k) {
    const double p = binomial_expected(k, 1);
    weight += p;
    sum += p * (k - MEAN_ONES);
  }
  return sum / weight;
}

// Append the provenance tables, one per folder, every field escaped.
void add_provenance(std::string& html, const std::vector<FolderData>& folders, const ReportTexts& texts) {
  html += "<h2>" + escape_html(texts.provenance) + "</h2>\n";
  for (size_t f = 0; f < folders.size(); ++f) {
    html += "<h3>" + escape_html(folder_label(folders, f)) + "</h3>\n";
    open_table(html, " class=\"fields\"");
    html += "<tr><th>" + escape_html(texts.field) + "</th><th>" + escape_html(texts.value) + "</th></tr>\n";
    add_row(html, texts.folder, folders[f].path, false);
    if (folders[f].provenance.is_object()) {
      for (const auto& [key, value] : folders[f].provenance.items()) {
        const std::string shown =
            value.is_string() ? value.get<std::string>() : value.dump(-1, ' ', false, json::error_handler_t::replace);
        add_row(html, key, shown, value.is_number());
      }
    }
    close_table(html);
  }
}

// Append the events section.
void add_events(std::string& html, const Analysis& analysis, const ReportTexts& texts) {
  html += "<h2>" + escape_html(texts.events) + "</h2>\n<p class=\"note\">" + escape_html(texts.events_rule) + "</p>\n";
  html += "<p class=\"note\">" + escape_html(texts.events_zone) + " " + escape_html(analysis.events_zone) + "</p>\n";
  if (analysis.events.empty()) {
    html += "<p>" + escape_html(texts.no_events) + "</p>\n";
    return;
  }
  open_table(html);
  html += "<tr><th>" + escape_html(texts.event_label) + "</th><th>" + escape_html(texts.event_start) +
          "</th><th>" + escape_html(texts.event_end) + "</th><th>" + escape_html(texts.seconds) +
          "</th><th>z</th><th>p</th></tr>\n";
  for (const EventResult& event : analysis.events) {
    html += "<tr><td>" + escape_html(event.spec.label) + "</td><td>" + escape_html(event.spec.start_text) +
            "</td><td>" + escape_html(event.spec.end_text) + "</td><td class=\"num\">" +
            integer_text(static_cast<int64_t>(event.seconds), texts) + "</td><td class=\"num\">" +
            fixed(event.z, texts) + "</td><td class=\"num\">" + p_text(event.p, texts) + "</td></tr>\n";
  }
  close_table(html);
  open_table(html);
  add_row(html, texts.events_stouffer,
          fixed(analysis.events_z, texts) + "   (p = " + p_text(analysis.events_p, texts) + ")");
  close_table(html);
}

// Append the controls section.
void add_controls(std::string& html, const Analysis& analysis, const ReportTexts& texts) {
  html += "<h2>" + escape_html(texts.controls) + "</h2>\n<p>" + escape_html(texts.controls_text) + "</p>\n";
  if (!analysis.controls) {
    html += "<p>" + escape_html(texts.no_controls) + "</p>\n";
    return;
  }
  const ControlsResult& controls = *analysis.controls;
  open_table(html);
  add_row(html, texts.control_count, integer_text(controls.count, texts));
  add_row(html, texts.control_seed, std::to_string(controls.control_seed));
  add_row(html, texts.empirical_p_z, p_text(controls.empirical_p_z, texts));
  if (!analysis.events.empty()) add_row(html, texts.empirical_p_events, p_text(controls.empirical_p_events, texts));
  close_table(html);
}

// Append the windows table.
void add_windows(std::string& html, const Analysis& analysis, const ReportTexts& texts) {
  html += "<h2>" + escape_html(texts.windows) + "</h2>\n";
  open_table(html);
  html += "<tr><th>" + escape_html(texts.width) + "</th><th>" + escape_html(texts.window_count) +
          "</th><th>Stouffer Z</th><th>p</th><th>" + escape_html(texts.significant) + "</th><th>" +
          escape_html(texts.significant_bonferroni) + "</th><th>" + escape_html(texts.significant_bh) + "</th></tr>\n";
  for (const WidthSummary& width : analysis.widths) {
    html += "<tr><td class=\"num\">" + integer_text(width.width, texts) + "</td><td class=\"num\">" +
            integer_text(static_cast<int64_t>(width.count), texts) + "</td><td class=\"num\">" +
            fixed(width.stouffer_z, texts) + "</td><td class=\"num\">" + p_text(width.stouffer_p, texts) +
            "</td><td class=\"num\">" + integer_text(static_cast<int64_t>(width.significant), texts) +
            "</td><td class=\"num\">" + integer_text(static_cast<int64_t>(width.significant_bonferroni), texts) +
            "</td><td class=\"num" + (width.significant_bh > 0 ? " significant" : "") + "\">" +
            integer_text(static_cast<int64_t>(width.significant_bh), texts) + "</td></tr>\n";
  }
  close_table(html);
  html += "<p class=\"caption\">" + escape_html(texts.windows_note) + " " + escape_html(texts.stouffer_tiling) +
          "</p>\n";
}

// Return the share of the orbit that the folders' segments cover together (each counted once).
double covered_share(const OrbitResult& orbit) {
  std::vector<std::pair<uint64_t, uint64_t>> spans;  // [first, end) on the orbit, none wrapping
  for (const OrbitFolder& folder : orbit.folders) {
    const uint64_t draws = std::min(folder.draws, ORBIT_DRAWS);
    const uint64_t end = folder.orbit_start + draws;
    spans.emplace_back(folder.orbit_start, std::min(end, ORBIT_DRAWS));
    if (end > ORBIT_DRAWS) spans.emplace_back(0, end - ORBIT_DRAWS);
  }
  std::sort(spans.begin(), spans.end());
  uint64_t covered = 0, reached = 0;
  for (const auto& [first, end] : spans) {
    if (end <= reached) continue;
    covered += end - std::max(first, reached);
    reached = end;
  }
  return static_cast<double>(covered) / static_cast<double>(ORBIT_DRAWS);
}

// Append the orbit section: each folder's place, the exact p beside the normal one, the bits shared.
void add_orbit(std::string& html, const std::vector<FolderData>& folders, const Analysis& analysis,
               const ReportTexts& texts) {
  const OrbitResult& orbit = analysis.orbit;
  html += "<h2>" + escape_html(texts.orbit) + "</h2>\n<p>" + escape_html(texts.orbit_text) + "</p>\n";
  html += "<p class=\"note\">" + escape_html(texts.orbit_read) + "</p>\n";
  open_table(html);
  html += "<tr><th>" + escape_html(texts.folder) + "</th><th>" + escape_html(texts.orbit_start) + "</th><th>" +
          escape_html(texts.orbit_draws) + "</th><th>" + escape_html(texts.orbit_seconds_used) + "</th><th>" +
          escape_html(texts.orbit_part) + "</th><th>" + escape_html(texts.normal_p) + "</th><th>" +
          escape_html(texts.orbit_p) + "</th></tr>\n";
  for (size_t f = 0; f < orbit.folders.size() && f < folders.size(); ++f) {
    const OrbitFolder& entry = orbit.folders[f];
    const double part = static_cast<double>(std::min(entry.draws, ORBIT_DRAWS)) / static_cast<double>(ORBIT_DRAWS);
    html += "<tr><td>" + escape_html(folder_label(folders, f)) + "</td><td class=\"num\">" +
            integer_text(entry.orbit_start, texts) + "</td><td class=\"num\">" +
            integer_text(static_cast<int64_t>(entry.draws), texts) + "</td><td class=\"num\">" +
            integer_text(static_cast<int64_t>(entry.seconds_used), texts) + "</td><td class=\"num\">" +
            share_text(part, texts) + "</td><td class=\"num\">" + p_text(analysis.folders[f].p, texts) +
            (entry.orbit_p ? "</td><td class=\"num\">" : "</td><td>") + escape_html(orbit_p_text(entry, texts)) +
            "</td></tr>\n";
  }
  close_table(html);
  html += "<p>" + escape_html(filled(texts.orbit_covered, "share", share_text(covered_share(orbit), texts))) + "</p>\n";
  for (const OrbitOverlap& overlap : orbit.overlaps) {
    std::string text = filled(texts.orbit_overlap, "a", folder_label(folders, overlap.folder_a));
    text = filled(text, "b", folder_label(folders, overlap.folder_b));
    text = filled(text, "seconds", integer_text(static_cast<int64_t>(overlap.draws / BITS_PER_SECOND), texts));
    html += "<p class=\"note\">" + escape_html(text) + "</p>\n";
  }
  for (const LeftOut& out : orbit.left_out) {
    if (out.repeat) continue;  // said in the folder's orbit p
    std::string text = filled(texts.orbit_left_shared, "a", folder_label(folders, out.other));
    text = filled(text, "b", folder_label(folders, out.folder));
    text = filled(text, "seconds", integer_text(static_cast<int64_t>(out.seconds), texts));
    text = filled(text, "first", integer_text(out.first_second, texts));
    text = filled(text, "last", integer_text(out.last_second, texts));
    html += "<p class=\"note\">" + escape_html(text) + "</p>\n";
  }
  if (orbit.shared_kept && !orbit.overlaps.empty()) {
    html += "<p class=\"note\">" + escape_html(texts.orbit_shared_kept) + "</p>\n";
  }
  if (orbit.folders_z) {
    std::string text = filled(texts.orbit_combined, "folders",
                              integer_text(static_cast<int64_t>(orbit.folders_combined), texts));
    text = filled(text, "z", fixed(*orbit.folders_z, texts));
    text = filled(text, "p", p_text(*orbit.folders_p, texts));
    html += "<p>" + escape_html(text) + "</p>\n";
  }
}

// Append the box that says how to read the figures.
void add_reading_box(std::string& html, const ReportTexts& texts) {
  html += "<div class=\"reading\"><h2>" + escape_html(texts.reading_title) + "</h2>\n<dl>\n";
  for (std::string_view item : texts.reading_items) {
    const size_t bar = item.find('|');
    html += "<dt>" + escape_html(item.substr(0, bar)) + "</dt><dd>" + escape_html(item.substr(bar + 1)) + "</dd>\n";
  }
  html += "</dl></div>\n";
}

// Append one plot's heading, chart box and caption.
void add_plot(std::string& html, std::string_view id, std::string_view title, std::string_view caption) {
  html += "<section class=\"figure\"><h3>" + escape_html(title) + "</h3>\n<div class=\"plot\" id=\"" +
          std::string(id) + "\"></div>\n";
  html += "<div class=\"legend\" id=\"" + std::string(id) + "-legend\"></div>\n";
  html += "<p class=\"caption\">" + escape_html(caption) + "</p></section>\n";
}

// Append the explanation of the log's average deviation.
void add_log_deviation(std::string& html, const ReportTexts& texts) {
  char mean[32];
  std::snprintf(mean, sizeof mean, "%.2f", expected_lean());
  const std::string first = filled(texts.log_deviation_text_1, "mean", localized(mean, texts));
  html += "<h2>" + escape_html(texts.log_deviation_title) + "</h2>\n";
  html += "<p>" + escape_html(first) + "</p>\n<p>" + escape_html(texts.log_deviation_text_2) + "</p>\n<p>" +
          escape_html(texts.log_deviation_text_3) + "</p>\n";
}

}  // namespace

std::string escape_html(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&#39;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string script_safe_json(const json& value) {
  const std::string text = value.dump(-1, ' ', true, json::error_handler_t::replace);
  // With ensure_ascii every character beyond ASCII (U+2028 and U+2029 too) is already
  // a \u escape; <, > and & can only occur inside strings, where \u escapes mean the same.
  std::string safe;
  safe.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '<': safe += "\\u003c"; break;
      case '>': safe += "\\u003e"; break;
      case '&': safe += "\\u0026"; break;
      default: safe += c;
    }
  }
  return safe;
}

// The orbit: each folder's place and exact p, and the bits folders share.
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

json summary_json(const std::vector<FolderData>& folders, const Analysis& analysis) {
  json summary = run_json(analysis.pooled);
  json widths = json::array();
  for (const WidthSummary& width : analysis.widths) {
    widths.push_back({{"width", width.width}, {"count", width.count}, {"stouffer_z", width.stouffer_z},
                      {"stouffer_p", width.stouffer_p}, {"significant", width.significant},
                      {"significant_bonferroni", width.significant_bonferroni},
                      {"significant_bh", width.significant_bh}});
  }
  summary["windows"] = widths;
  json events = json::array();
  for (const EventResult& event : analysis.events) {
    events.push_back({{"label", event.spec.label}, {"start", event.spec.start_text}, {"end", event.spec.end_text},
                      {"start_utc", format_utc_time(event.spec.start)}, {"end_utc", format_utc_time(event.spec.end)},
                      {"seconds", event.seconds},
                      {"ones", static_cast<int64_t>(event.seconds) * MEAN_ONES + event.deviation},
                      {"z", event.z}, {"p", event.p}});
  }
  summary["events"] = events;
  summary["events_time_zone"] = analysis.events_zone;
  summary["events_stouffer"] = json::object();
  if (!analysis.events.empty())
    summary["events_stouffer"] = {{"count", analysis.events.size()}, {"z", analysis.events_z}, {"p", analysis.events_p}};
  summary["controls"] = json::object();
  if (analysis.controls) {
    const ControlsResult& controls = *analysis.controls;
    summary["controls"] = {{"count", controls.count},
                           {"control_seed", controls.control_seed},
                           {"empirical_p_z", controls.empirical_p_z},
                           {"empirical_p_events", analysis.events.empty() ? json(nullptr) : json(controls.empirical_p_events)},
                           {"z", controls.z},
                           {"events_z", controls.events_z}};
  }
  json folder_list = json::array();
  for (size_t f = 0; f < folders.size(); ++f) {
    json entry = run_json(analysis.folders[f]);
    entry["name"] = folders[f].name;
    entry["path"] = folders[f].path;
    entry["seed"] = folders[f].seed;
    if (!folders[f].ones.empty()) {
      entry["first_time"] = format_local_time(second_local(folders[f], 0));
      entry["last_time"] = format_local_time(second_local(folders[f], folders[f].ones.size() - 1));
      entry["first_utc"] = format_utc_time(second_utc(folders[f], 0));
      entry["last_utc"] = format_utc_time(second_utc(folders[f], folders[f].ones.size() - 1));
    }
    folder_list.push_back(std::move(entry));
  }
  summary["folders"] = folder_list;
  summary["combined"] = json::object();
  if (analysis.combined) {
    const CombinedResult& combined = *analysis.combined;
    summary["combined"] = {{"seconds", combined.seconds}, {"z", combined.z},           {"p", combined.p},
                           {"chi2", combined.chi2},       {"chi2_df", combined.seconds}, {"chi2_p", combined.chi2_p},
                           {"folders_z", combined.folders_z}, {"folders_p", combined.folders_p}};
  }
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

json plot_data(const std::vector<FolderData>& folders, const Analysis& analysis, const ReportTexts& texts) {
  const double scale = std::sqrt(VARIANCE_ONES);
  // The time axes run on UTC, in seconds from the earliest first second (short numbers on a long run).
  int64_t base = INT64_MAX;
  for (const FolderData& folder : folders)
    if (!folder.ones.empty()) base = std::min(base, second_utc(folder, 0));
  if (base == INT64_MAX) base = 0;
  const size_t reference = analysis.combined ? folders.size() : 0;  // the curve the envelopes belong to
  json deviation_curves = json::array(), variance_curves = json::array();
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
    deviation_curves.push_back(curve_json(folder_label(folders, f), deviation.finish(), f == reference));
    variance_curves.push_back(curve_json(folder_label(folders, f), variance.finish(), f == reference));
  }
  if (analysis.combined) {
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
    deviation_curves.push_back(curve_json(texts.combined_curve, deviation.finish(), true));
    variance_curves.push_back(curve_json(texts.combined_curve, variance.finish(), true));
  }

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

  json window_curves = json::array();
  json significant_x = json::array(), significant_y = json::array();
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
      window_curves.push_back(curve_json(label, reducer.finish(), false));
    }
  }
  json significant = {{"label", texts.significant_bh_points}, {"x", significant_x}, {"y", significant_y}};

  // Histogram over the counts that occur or are expected at least once.
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

  // The time axes show the first folder's local time, by the offsets its zone had at each moment.
  const FolderData& first = folders.front();
  json offsets = json::array();
  for (const auto& [moment, minutes] : first.offsets.changes) offsets.push_back({moment - base, minutes});
  if (offsets.empty()) offsets.push_back({0, first.utc_offset_minutes});
  json zone = {{"name", zone_name(first)}, {"offsets", offsets}};

  json text_block = {
      {"lang", texts.html_lang},
      {"decimal_mark", texts.decimal_mark},
      {"group_mark", texts.group_mark},
      {"months_short", texts.months_short},
      {"months_long", texts.months_long},
      {"time", texts.time},
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
      {"cycle_ends", texts.cycle_ends},
  };
  return {
      {"texts", text_block},
      {"base", base},
      {"zone", zone},
      {"marks", marks},
      {"cumulative_deviation", {{"curves", deviation_curves}, {"reference", reference}}},
      {"cumulative_variance", {{"curves", variance_curves}, {"reference", reference}}},
      {"window_z", {{"curves", window_curves}, {"significant", significant}}},
      {"histogram", {{"k", ks}, {"expected", expected}, {"observed", observed}}},
  };
}

std::string report_html(const std::vector<FolderData>& folders, const Analysis& analysis, Language language) {
  const ReportTexts& texts = report_texts(language);
  std::string html;
  html.reserve(DYGRAPHS_SCRIPT.size() + (size_t{1} << 20));
  html += "<!DOCTYPE html>\n<html lang=\"" + std::string(texts.html_lang) + "\">\n<head>\n<meta charset=\"utf-8\">\n";
  html += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  html += "<title>" + escape_html(texts.title) + "</title>\n<style>\n";
  html += DYGRAPHS_STYLE;
  html += "\n";
  html += REPORT_STYLE;
  html += "</style>\n</head>\n<body>\n";
  html += "<h1>" + escape_html(texts.title) + "</h1>\n<p class=\"sub\">" + escape_html(texts.generated_by) + " " +
          escape_html(version_text()) + ". " + escape_html(texts.folders_label) + ": ";
  for (size_t f = 0; f < folders.size(); ++f) html += (f ? ", " : "") + escape_html(folder_label(folders, f));
  html += "</p>\n";
  add_reading_box(html, texts);
  html += "<h2>" + escape_html(texts.results) + "</h2>\n";
  const bool one_folder = folders.size() == 1 && !analysis.orbit.folders.empty();
  add_run_table(html, analysis.pooled, one_folder ? &analysis.orbit.folders.front() : nullptr, texts);
  add_orbit(html, folders, analysis, texts);
  html += "<h2>" + escape_html(texts.plots) + "</h2>\n";
  add_plot(html, "plot-cumulative-deviation", texts.plot_cumulative_deviation, texts.caption_cumulative_deviation);
  add_plot(html, "plot-window-z", texts.plot_window_z, texts.caption_window_z);
  add_plot(html, "plot-histogram", texts.plot_histogram, texts.caption_histogram);
  add_plot(html, "plot-cumulative-variance", texts.plot_cumulative_variance, texts.caption_cumulative_variance);
  if (analysis.combined) {
    const CombinedResult& combined = *analysis.combined;
    html += "<h2>" + escape_html(texts.combined) + "</h2>\n<p>" + escape_html(texts.combined_text) + "</p>\n";
    open_table(html);
    add_row(html, texts.combined_seconds, integer_text(static_cast<int64_t>(combined.seconds), texts));
    add_row(html, texts.combined_z, fixed(combined.z, texts) + "   (p = " + p_text(combined.p, texts) + ")");
    add_row(html, texts.combined_chi2,
            fixed(combined.chi2, texts) + "   (" + std::string(texts.upper_p) + " = " + p_text(combined.chi2_p, texts) + ")");
    add_row(html, texts.folders_z, fixed(combined.folders_z, texts) + "   (p = " + p_text(combined.folders_p, texts) + ")");
    close_table(html);
    for (size_t f = 0; f < folders.size(); ++f) {
      html += "<h3>" + escape_html(folder_label(folders, f)) + "</h3>\n";
      add_run_table(html, analysis.folders[f], f < analysis.orbit.folders.size() ? &analysis.orbit.folders[f] : nullptr,
                    texts);
    }
  }
  add_windows(html, analysis, texts);
  add_events(html, analysis, texts);
  add_controls(html, analysis, texts);
  add_log_deviation(html, texts);
  add_provenance(html, folders, texts);
  html += "<script type=\"application/json\" id=\"report-data\">";
  html += script_safe_json(plot_data(folders, analysis, texts));
  html += "</script>\n<script>\n";
  html += DYGRAPHS_SCRIPT;
  html += "\n</script>\n<script>\n";
  html += REPORT_SCRIPT;
  html += "\n</script>\n</body>\n</html>\n";
  return html;
}

bool write_outputs(const std::filesystem::path& out, const std::vector<FolderData>& folders, const Analysis& analysis,
                   Language language, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  if (ec || !std::filesystem::is_directory(out)) {
    error = shown_path(out) + ": no se puede crear la carpeta" + (ec ? " (" + ec.message() + ")" : std::string());
    return false;
  }
  const std::string summary = summary_json(folders, analysis).dump(2, ' ', false, json::error_handler_t::replace) + "\n";
  return replace_file_atomically(out / SUMMARY_FILE, summary, error) &&
         replace_file_atomically(out / WINDOWS_FILE, windows_csv(folders, analysis), error) &&
         replace_file_atomically(out / REPORT_FILE, report_html(folders, analysis, language), error);
}
