// Report: the page built through the page writer, one function per section, plot
// and table; the three outputs written each through a temporary file renamed into place.
#include "study/report.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string_view>
#include <system_error>

#include "runtime/durable.h"
#include "runtime/paths.h"
#include "runtime/version.h"
#include "study/html_writer.h"
#include "study/orbit.h"
#include "study/report_assets.h"
#include "study/report_figures.h"
#include "study/report_numbers.h"

namespace {

using nlohmann::json;

// Append a heading ("h2", "h3") and a line break.
void heading(HtmlWriter& page, HtmlName tag, std::string_view text) {
  page.element(tag, text);
  page.line();
}

// Append a paragraph and a line break.
void paragraph(HtmlWriter& page, std::string_view text, HtmlAttributes attributes = {}) {
  page.element("p", text, attributes);
  page.line();
}

// Append a paragraph of the class "note".
void note(HtmlWriter& page, std::string_view text) { paragraph(page, text, {{"class", "note"}}); }

// Open and close a table in a box of its own that scrolls sideways when the table is wider than the page.
void open_table(HtmlWriter& page, HtmlAttributes attributes = {}) {
  page.open("div", {{"class", "table-box"}});
  page.open("table", attributes);
  page.line();
}
void close_table(HtmlWriter& page) {
  page.close("table");
  page.close("div");
  page.line();
}

// Append a table's row of column titles.
void title_row(HtmlWriter& page, std::initializer_list<std::string_view> titles) {
  page.open("tr");
  for (std::string_view title : titles) page.element("th", title);
  page.close("tr");
  page.line();
}

// Append a cell that holds a figure (set to the right).
void figure_cell(HtmlWriter& page, std::string_view text) { page.element("td", text, {{"class", "num"}}); }

// Append one row of a two-column table; a value that is a sentence, not a figure, reads from the left.
void add_row(HtmlWriter& page, std::string_view label, std::string_view value, bool figure = true) {
  page.open("tr");
  page.element("th", label);
  if (figure) {
    figure_cell(page, value);
  } else {
    page.element("td", value);
  }
  page.close("tr");
  page.line();
}

// Return "figure   (name = value)": a figure with a second one beside it.
std::string with_aside(const std::string& figure, std::string_view aside) {
  return figure + "   (" + std::string(aside) + ")";
}

// Return a folder's orbit p, or why it has none.
std::string orbit_p_text(const OrbitFolder& orbit, const ReportTexts& texts) {
  if (orbit.orbit_p) return p_text(*orbit.orbit_p, texts);
  if (orbit.repeats) {
    return filled(texts.orbit_whole, "second", integer_text(static_cast<int64_t>(orbit.seconds_used) + 1, texts));
  }
  return std::string(texts.not_available);
}

// Append the rows of the fit to the binomial and the lag-1 autocorrelation.
void add_fit_and_lag1_rows(HtmlWriter& page, const RunResult& run, const ReportTexts& texts) {
  if (run.fit.df > 0) {
    add_row(page, texts.fit_chi2,
            with_aside(fixed(run.fit.chi2, texts), std::string(texts.degrees) + ": " +
                                                       decimal_text(run.fit.df, 0, texts) +
                                                       ", p = " + p_text(run.fit.p, texts)));
  } else {
    add_row(page, texts.fit_chi2, texts.fit_too_few, false);
  }
  std::string lag1 = decimal_text(run.lag1, 6, texts);
  if (const auto test = lag1_test(run)) {
    lag1 = with_aside(lag1, std::string(texts.standard_error) + " = " + decimal_text(test->se, 6, texts) +
                                ", p = " + p_text(test->p, texts));
  }
  add_row(page, texts.lag1, lag1);
}

// Append the table of a run's figures; `orbit` is the folder's place on the orbit when the
// run is one folder's.
void add_run_table(HtmlWriter& page, const RunResult& run, const OrbitFolder* orbit, const ReportTexts& texts) {
  const auto n = static_cast<int64_t>(run.totals.seconds);
  open_table(page);
  title_row(page, {texts.measure, texts.value});
  add_row(page, texts.seconds, integer_text(n, texts));
  add_row(page, texts.ones, integer_text(n * MEAN_ONES + run.totals.deviation, texts));
  add_row(page, texts.zeros, integer_text(n * MEAN_ONES - run.totals.deviation, texts));
  add_row(page, texts.run_z, with_aside(fixed(run.z, texts), std::string(texts.normal_p) + " = " + p_text(run.p, texts)));
  if (orbit != nullptr) add_row(page, texts.orbit_p, orbit_p_text(*orbit, texts), orbit->orbit_p.has_value());
  add_row(page, texts.variance_chi2,
          with_aside(fixed(run.chi2, texts), std::string(texts.degrees) + ": " + integer_text(n, texts) + ", " +
                                                 std::string(texts.upper_p) + " = " + p_text(run.chi2_p, texts)));
  add_row(page, texts.stouffer_300, fixed(run.stouffer_z_300, texts));
  add_row(page, texts.stouffer_900, fixed(run.stouffer_z_900, texts));
  add_fit_and_lag1_rows(page, run, texts);
  if (run.runs) {
    add_row(page, texts.runs_test,
            integer_text(static_cast<int64_t>(run.runs->runs), texts) + " " + std::string(texts.runs) +
                ", z = " + fixed(run.runs->z, texts) + ", p = " + p_text(run.runs->p, texts));
  }
  close_table(page);
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

// Append the provenance tables, one per folder, every field and value as text.
void add_provenance(HtmlWriter& page, const std::vector<FolderData>& folders, const ReportTexts& texts) {
  heading(page, "h2", texts.provenance);
  for (size_t f = 0; f < folders.size(); ++f) {
    heading(page, "h3", folder_label(folders, f));
    open_table(page, {{"class", "fields"}});
    title_row(page, {texts.field, texts.value});
    add_row(page, texts.folder, folders[f].path, false);
    if (folders[f].provenance.is_object()) {
      for (const auto& [key, value] : folders[f].provenance.items()) {
        const std::string shown =
            value.is_string() ? value.get<std::string>() : value.dump(-1, ' ', false, json::error_handler_t::replace);
        add_row(page, key, shown, value.is_number());
      }
    }
    close_table(page);
  }
}

// Append the table of the events, and their Stouffer Z in a table of its own.
void add_events_table(HtmlWriter& page, const Analysis& analysis, const ReportTexts& texts) {
  open_table(page);
  title_row(page, {texts.event_label, texts.event_start, texts.event_end, texts.seconds, "z", "p"});
  for (const EventResult& event : analysis.events) {
    page.open("tr");
    page.element("td", event.spec.label);
    page.element("td", event.spec.start_text);
    page.element("td", event.spec.end_text);
    figure_cell(page, integer_text(static_cast<int64_t>(event.seconds), texts));
    figure_cell(page, fixed(event.z, texts));
    figure_cell(page, p_text(event.p, texts));
    page.close("tr");
    page.line();
  }
  close_table(page);
  open_table(page);
  add_row(page, texts.events_stouffer, with_aside(fixed(analysis.events_z, texts), "p = " + p_text(analysis.events_p, texts)));
  close_table(page);
}

// Append the events section.
void add_events(HtmlWriter& page, const Analysis& analysis, const ReportTexts& texts) {
  heading(page, "h2", texts.events);
  note(page, texts.events_rule);
  note(page, std::string(texts.events_zone) + " " + analysis.events_zone);
  if (analysis.events.empty()) {
    paragraph(page, texts.no_events);
    return;
  }
  add_events_table(page, analysis, texts);
}

// Append the controls section.
void add_controls(HtmlWriter& page, const Analysis& analysis, const ReportTexts& texts) {
  heading(page, "h2", texts.controls);
  paragraph(page, texts.controls_text);
  if (!analysis.controls) {
    paragraph(page, texts.no_controls);
    return;
  }
  const ControlsResult& controls = *analysis.controls;
  open_table(page);
  add_row(page, texts.control_count, integer_text(controls.count, texts));
  add_row(page, texts.control_seed, std::to_string(controls.control_seed));
  add_row(page, texts.empirical_p_z, p_text(controls.empirical_p_z, texts));
  if (!analysis.events.empty()) add_row(page, texts.empirical_p_events, p_text(controls.empirical_p_events, texts));
  close_table(page);
}

// Append the table of the window widths, and the note under it.
void add_windows(HtmlWriter& page, const Analysis& analysis, const ReportTexts& texts) {
  heading(page, "h2", texts.windows);
  open_table(page);
  title_row(page, {texts.width, texts.window_count, "Stouffer Z", "p", texts.significant, texts.significant_bonferroni,
                   texts.significant_bh});
  for (const WidthSummary& width : analysis.widths) {
    page.open("tr");
    figure_cell(page, integer_text(width.width, texts));
    figure_cell(page, integer_text(static_cast<int64_t>(width.count), texts));
    figure_cell(page, fixed(width.stouffer_z, texts));
    figure_cell(page, p_text(width.stouffer_p, texts));
    figure_cell(page, integer_text(static_cast<int64_t>(width.significant), texts));
    figure_cell(page, integer_text(static_cast<int64_t>(width.significant_bonferroni), texts));
    page.element("td", integer_text(static_cast<int64_t>(width.significant_bh), texts),
                 {{"class", width.significant_bh > 0 ? "num significant" : "num"}});
    page.close("tr");
    page.line();
  }
  close_table(page);
  paragraph(page, std::string(texts.windows_note) + " " + std::string(texts.stouffer_tiling), {{"class", "caption"}});
}

// Append the table of the folders' places on the orbit, with the exact p beside the normal one.
void add_orbit_table(HtmlWriter& page, const std::vector<FolderData>& folders, const Analysis& analysis,
                     const ReportTexts& texts) {
  open_table(page);
  title_row(page, {texts.folder, texts.orbit_start, texts.orbit_draws, texts.orbit_seconds_used, texts.orbit_part,
                   texts.normal_p, texts.orbit_p});
  for (size_t f = 0; f < analysis.orbit.folders.size() && f < folders.size(); ++f) {
    const OrbitFolder& entry = analysis.orbit.folders[f];
    const double part = static_cast<double>(std::min(entry.draws, ORBIT_DRAWS)) / static_cast<double>(ORBIT_DRAWS);
    page.open("tr");
    page.element("td", folder_label(folders, f));
    figure_cell(page, integer_text(entry.orbit_start, texts));
    figure_cell(page, integer_text(static_cast<int64_t>(entry.draws), texts));
    figure_cell(page, integer_text(static_cast<int64_t>(entry.seconds_used), texts));
    figure_cell(page, share_text(part, texts));
    figure_cell(page, p_text(analysis.folders[f].p, texts));
    if (entry.orbit_p) {
      figure_cell(page, orbit_p_text(entry, texts));
    } else {
      page.element("td", orbit_p_text(entry, texts));
    }
    page.close("tr");
    page.line();
  }
  close_table(page);
}

// Append the notes on the bits the folders share: the overlaps, the seconds left out for them,
// and a warning when they were kept.
void add_shared_bits(HtmlWriter& page, const std::vector<FolderData>& folders, const OrbitResult& orbit,
                     const ReportTexts& texts) {
  for (const OrbitOverlap& overlap : orbit.overlaps) {
    std::string text = filled(texts.orbit_overlap, "a", folder_label(folders, overlap.folder_a));
    text = filled(text, "b", folder_label(folders, overlap.folder_b));
    text = filled(text, "seconds", integer_text(static_cast<int64_t>(overlap.draws / BITS_PER_SECOND), texts));
    note(page, text);
  }
  for (const LeftOut& out : orbit.left_out) {
    if (out.repeat) continue;  // said in the folder's orbit p
    std::string text = filled(texts.orbit_left_shared, "a", folder_label(folders, out.other));
    text = filled(text, "b", folder_label(folders, out.folder));
    text = filled(text, "seconds", integer_text(static_cast<int64_t>(out.seconds), texts));
    text = filled(text, "first", integer_text(out.first_second, texts));
    text = filled(text, "last", integer_text(out.last_second, texts));
    note(page, text);
  }
  if (orbit.shared_kept && !orbit.overlaps.empty()) note(page, texts.orbit_shared_kept);
}

// Append the orbit section: each folder's place, the share covered, the bits shared, and the
// folders' orbit p combined.
void add_orbit(HtmlWriter& page, const std::vector<FolderData>& folders, const Analysis& analysis,
               const ReportTexts& texts) {
  const OrbitResult& orbit = analysis.orbit;
  heading(page, "h2", texts.orbit);
  paragraph(page, texts.orbit_text);
  note(page, texts.orbit_read);
  add_orbit_table(page, folders, analysis, texts);
  paragraph(page, filled(texts.orbit_covered, "share", share_text(covered_share(orbit), texts)));
  add_shared_bits(page, folders, orbit, texts);
  if (orbit.folders_z) {
    std::string text = filled(texts.orbit_combined, "folders",
                              integer_text(static_cast<int64_t>(orbit.folders_combined), texts));
    text = filled(text, "z", fixed(*orbit.folders_z, texts));
    text = filled(text, "p", p_text(*orbit.folders_p, texts));
    paragraph(page, text);
  }
}

// Append the section of the stations combined second by second, and each folder's own table.
void add_combined(HtmlWriter& page, const std::vector<FolderData>& folders, const Analysis& analysis,
                  const ReportTexts& texts) {
  const CombinedResult& combined = *analysis.combined;
  heading(page, "h2", texts.combined);
  paragraph(page, texts.combined_text);
  open_table(page);
  add_row(page, texts.combined_seconds, integer_text(static_cast<int64_t>(combined.seconds), texts));
  add_row(page, texts.combined_z, with_aside(fixed(combined.z, texts), "p = " + p_text(combined.p, texts)));
  add_row(page, texts.combined_chi2,
          with_aside(fixed(combined.chi2, texts), std::string(texts.upper_p) + " = " + p_text(combined.chi2_p, texts)));
  add_row(page, texts.folders_z,
          with_aside(fixed(combined.folders_z, texts), "p = " + p_text(combined.folders_p, texts)));
  close_table(page);
  for (size_t f = 0; f < folders.size(); ++f) {
    heading(page, "h3", folder_label(folders, f));
    add_run_table(page, analysis.folders[f], f < analysis.orbit.folders.size() ? &analysis.orbit.folders[f] : nullptr,
                  texts);
  }
}

// Append the box that says how to read the figures.
void add_reading_box(HtmlWriter& page, const ReportTexts& texts) {
  page.open("div", {{"class", "reading"}});
  heading(page, "h2", texts.reading_title);
  page.open("dl");
  page.line();
  for (std::string_view item : texts.reading_items) {
    const size_t bar = item.find('|');
    page.element("dt", item.substr(0, bar));
    page.element("dd", item.substr(bar + 1));
    page.line();
  }
  page.close("dl");
  page.close("div");
  page.line();
}

// Append one plot's heading, chart box, legend box and caption; the page's script draws into them.
void add_plot(HtmlWriter& page, std::string_view id, std::string_view title, std::string_view caption) {
  page.open("section", {{"class", "figure"}});
  heading(page, "h3", title);
  page.empty_element("div", {{"class", "plot"}, {"id", id}});
  page.line();
  page.empty_element("div", {{"class", "legend"}, {"id", std::string(id) + "-legend"}});
  page.line();
  page.element("p", caption, {{"class", "caption"}});
  page.close("section");
  page.line();
}

// Append the four plots.
void add_plots(HtmlWriter& page, const ReportTexts& texts) {
  heading(page, "h2", texts.plots);
  add_plot(page, "plot-cumulative-deviation", texts.plot_cumulative_deviation, texts.caption_cumulative_deviation);
  add_plot(page, "plot-window-z", texts.plot_window_z, texts.caption_window_z);
  add_plot(page, "plot-histogram", texts.plot_histogram, texts.caption_histogram);
  add_plot(page, "plot-cumulative-variance", texts.plot_cumulative_variance, texts.caption_cumulative_variance);
}

// Append the explanation of the log's average deviation.
void add_log_deviation(HtmlWriter& page, const ReportTexts& texts) {
  char mean[32];
  std::snprintf(mean, sizeof mean, "%.2f", expected_lean());
  heading(page, "h2", texts.log_deviation_title);
  paragraph(page, filled(texts.log_deviation_text_1, "mean", localized(mean, texts)));
  paragraph(page, texts.log_deviation_text_2);
  paragraph(page, texts.log_deviation_text_3);
}

// Append the page's head: its language, title and styles.
void add_head(HtmlWriter& page, const ReportTexts& texts) {
  page.doctype();
  page.open("html", {{"lang", texts.html_lang}});
  page.line();
  page.open("head");
  page.line();
  page.open("meta", {{"charset", "utf-8"}});
  page.line();
  page.open("meta", {{"name", "viewport"}, {"content", "width=device-width, initial-scale=1"}});
  page.line();
  heading(page, "title", texts.title);
  page.open("style");
  page.line();
  page.raw(DYGRAPHS_STYLE);
  page.line();
  page.raw(REPORT_STYLE);
  page.close("style");
  page.line();
  page.close("head");
  page.line();
}

// Append the page's title and the line under it: the program's version and the folders.
void add_title(HtmlWriter& page, const std::vector<FolderData>& folders, const ReportTexts& texts) {
  heading(page, "h1", texts.title);
  std::string line = std::string(texts.generated_by) + " " + version_text() + ". " + std::string(texts.folders_label) + ": ";
  for (size_t f = 0; f < folders.size(); ++f) line += (f ? ", " : "") + folder_label(folders, f);
  paragraph(page, line, {{"class", "sub"}});
}

// Append the plotted data and the scripts that draw it, and end the page.
void add_scripts(HtmlWriter& page, const std::vector<FolderData>& folders, const Analysis& analysis,
                 const ReportTexts& texts) {
  page.json_script("report-data", plot_data(folders, analysis, texts));
  page.line();
  for (std::string_view script : {DYGRAPHS_SCRIPT, REPORT_SCRIPT}) {
    page.open("script");
    page.line();
    page.raw(script);
    page.line();
    page.close("script");
    page.line();
  }
  page.close("body");
  page.line();
  page.close("html");
  page.line();
}

}  // namespace

std::string report_html(const std::vector<FolderData>& folders, const Analysis& analysis, Language language) {
  const ReportTexts& texts = report_texts(language);
  HtmlWriter page;
  page.reserve(DYGRAPHS_SCRIPT.size() + (size_t{1} << 20));
  add_head(page, texts);
  page.open("body");
  page.line();
  add_title(page, folders, texts);
  add_reading_box(page, texts);
  heading(page, "h2", texts.results);
  const bool one_folder = folders.size() == 1 && !analysis.orbit.folders.empty();
  add_run_table(page, analysis.pooled, one_folder ? &analysis.orbit.folders.front() : nullptr, texts);
  add_orbit(page, folders, analysis, texts);
  add_plots(page, texts);
  if (analysis.combined) add_combined(page, folders, analysis, texts);
  add_windows(page, analysis, texts);
  add_events(page, analysis, texts);
  add_controls(page, analysis, texts);
  add_log_deviation(page, texts);
  add_provenance(page, folders, texts);
  add_scripts(page, folders, analysis, texts);
  return page.take();
}

Result<> write_outputs(const std::filesystem::path& out, const std::vector<FolderData>& folders,
                       const Analysis& analysis, Language language) {
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  if (ec || !std::filesystem::is_directory(out)) {
    return fail(EXIT_TROUBLE,
                shown_path(out) + ": no se puede crear la carpeta" + (ec ? " (" + ec.message() + ")" : std::string()));
  }
  const std::string summary = summary_json(folders, analysis).dump(2, ' ', false, json::error_handler_t::replace) + "\n";
  std::string error;
  if (!replace_file_atomically(out / SUMMARY_FILE, summary, error) ||
      !replace_file_atomically(out / WINDOWS_FILE, windows_csv(folders, analysis), error) ||
      !replace_file_atomically(out / REPORT_FILE, report_html(folders, analysis, language), error)) {
    return fail(EXIT_TROUBLE, error);
  }
  return Ok{};
}
