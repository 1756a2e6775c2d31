// The report's texts in Spanish (as the program's screen and log) and in English.
#pragma once

#include <array>
#include <string_view>

enum class Language { spanish, english };

struct ReportTexts {
  std::string_view html_lang, title, generated_by, folders_label;
  std::string_view results, measure, value, seconds, ones, zeros, run_z, variance_chi2, degrees,
      upper_p, stouffer_300, stouffer_900, fit_chi2, lag1, runs_test, runs, not_available;
  std::string_view windows, width, window_count, significant, significant_bonferroni, significant_bh, windows_note;
  std::string_view plots, plot_cumulative_deviation, caption_cumulative_deviation, plot_window_z, caption_window_z,
      plot_histogram, caption_histogram, plot_cumulative_variance, caption_cumulative_variance;
  std::string_view events, events_rule, event_label, event_start, event_end, events_stouffer, no_events,
      events_zone;
  std::string_view controls, controls_text, control_count, control_seed, empirical_p_z, empirical_p_events,
      no_controls;
  std::string_view combined, combined_text, combined_seconds, combined_z, combined_chi2, folders_z;
  std::string_view provenance, folder, field;
  std::string_view log_deviation_title, log_deviation_text_1, log_deviation_text_2, log_deviation_text_3;
  // Labels inside the plots.
  std::string_view envelope_196_up, envelope_196_down, envelope_309_up, envelope_309_down,
      cumulative_deviation_axis, cumulative_variance_axis, ones_per_second, expected, seconds_axis, observed,
      significant_bh_points, combined_curve, window_curve;
  // How the page writes numbers and dates (summary.json and the CSV keep ".").
  std::string_view decimal_mark, group_mark;  // group_mark goes between groups of three digits
  std::array<std::string_view, 12> months_short, months_long;
  // The box at the top: a title and one "term|explanation" pair for Z, p, χ², Stouffer Z and the envelopes.
  std::string_view reading_title;
  std::array<std::string_view, 5> reading_items;
  // Figures that do not exist, and why.
  std::string_view fit_too_few, stouffer_tiling, standard_error;
  // The generator's orbit; "{share}", "{a}", "{b}", "{seconds}" and "{second}" are gaps.
  std::string_view orbit, orbit_text, orbit_read, orbit_start, orbit_draws, orbit_seconds_used, orbit_part,
      normal_p, orbit_p, orbit_whole, orbit_covered, orbit_overlap;
  // More labels of the plots: the time axis ("{zone}", "{start}"), a plot with nothing to draw, marks.
  std::string_view time_axis, no_complete_window, events_legend, repeat_mark;
  // Seconds left out because another folder counts their bits ("{a}", "{b}", "{seconds}", "{first}",
  // "{last}"), shared seconds kept on request, and the folders combined by their orbit p ("{folders}",
  // "{z}", "{p}").
  std::string_view orbit_left_shared, orbit_shared_kept, orbit_combined;
};

// Return the texts of a language.
const ReportTexts& report_texts(Language language);
