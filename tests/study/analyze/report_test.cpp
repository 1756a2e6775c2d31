// The report's outputs: the summary's keys, the windows table, escaping of
// everything that comes from input, and the size of the plotted data.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "study/plot_reduce.h"
#include "study/report.h"
#include "support.h"

namespace {

const std::string HOSTILE = "</script><img src=x onerror=alert(1)>&\"'";

Analysis analyze(const std::vector<FolderData>& folders, std::vector<EventSpec> specs = {}) {
  std::vector<EventResult> events;
  std::string error;
  EXPECT_TRUE(place_events(folders, specs, events, error)) << error;
  Analysis analysis;
  EXPECT_TRUE(analyze_folders(folders, {}, events, analysis, error)) << error;
  return analysis;
}

}  // namespace

TEST(Report, SummaryHasEveryKeyAsNumbersAndEmptyEventsAndControls) {
  const std::vector<FolderData> folders{replayed_folder(31337, 1000)};
  const nlohmann::json summary = summary_json(folders, analyze(folders));
  for (const char* key : {"seconds", "ones", "zeros", "z", "p", "chi2", "chi2_df", "chi2_p", "stouffer_z_300",
                          "stouffer_z_900", "lag1_autocorrelation"}) {
    ASSERT_TRUE(summary.contains(key)) << key;
    EXPECT_TRUE(summary[key].is_number()) << key;
  }
  for (const char* key : {"chi2", "df", "p"}) EXPECT_TRUE(summary["binomial_gof"][key].is_number()) << key;
  EXPECT_EQ(summary["seconds"], 1000);
  EXPECT_EQ(summary["ones"].get<int64_t>() + summary["zeros"].get<int64_t>(), 200000);
  EXPECT_TRUE(summary["events"].is_array() && summary["events"].empty());
  EXPECT_TRUE(summary["events_stouffer"].is_object() && summary["events_stouffer"].empty());
  EXPECT_TRUE(summary["controls"].is_object() && summary["controls"].empty());
  EXPECT_TRUE(summary["combined"].is_object() && summary["combined"].empty());
  EXPECT_TRUE(summary["windows"].is_array());
  ASSERT_EQ(summary["folders"].size(), 1u);
  EXPECT_EQ(summary["folders"][0]["seed"], 31337);
}

TEST(Report, WindowsTableHasOneRowPerWindow) {
  const std::vector<FolderData> folders{replayed_folder(8, 1800, "2026-03-01 23:55:00")};
  const Analysis analysis = analyze(folders);
  const std::string csv = windows_csv(folders, analysis);
  EXPECT_EQ(csv.rfind("width,index,first_second,last_second,start_time,ones,zeros,z,p,p_bonferroni,q_bh,folder,"
                      "start_utc\n", 0),
            0u);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 6 + 2);
  EXPECT_NE(csv.find("\n300,2,301,600,2026-03-02 00:00:00,"), std::string::npos);
  EXPECT_NE(csv.find(",1,2026-03-01T23:00:00Z\n"), std::string::npos);
  EXPECT_NE(csv.find("\n900,2,901,1800,2026-03-02 00:10:00,"), std::string::npos);
}

TEST(Report, ScriptDataCannotEndItsElementWhateverTheInput) {
  const std::string label = HOSTILE + "\xE2\x80\xA8\xE2\x80\xA9 <!-- \xFF\xFE bad bytes";
  const std::string safe = script_safe_json(nlohmann::json{{"label", label}});
  for (const char* forbidden : {"<", ">", "&", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xFF"})
    EXPECT_EQ(safe.find(forbidden), std::string::npos) << forbidden;
  const nlohmann::json back = nlohmann::json::parse(safe);
  EXPECT_EQ(back["label"].get<std::string>().rfind(HOSTILE, 0), 0u);  // the text itself survives
}

TEST(Report, InputTextsAreEscapedOnThePage) {
  FolderData folder = replayed_folder(12, 1200, "2026-03-01 10:00:00");
  folder.name = HOSTILE;
  folder.path = "/datos/" + HOSTILE;
  folder.provenance = {{"host", HOSTILE}, {"time_zone", HOSTILE}, {"command_line", HOSTILE}, {HOSTILE, 1}};
  const std::vector<FolderData> folders{folder};
  const Analysis analysis = analyze(folders, {event_of("2026-03-01 10:01:00", "2026-03-01 10:02:00", HOSTILE)});
  const std::string html = report_html(folders, analysis, Language::spanish);
  EXPECT_EQ(html.find("<img"), std::string::npos);
  EXPECT_EQ(html.find("onerror=alert(1)>"), std::string::npos);
  EXPECT_NE(html.find("&lt;/script&gt;&lt;img src=x onerror=alert(1)&gt;&amp;&quot;&#39;"), std::string::npos);
  // Only the page's own script elements close.
  size_t closings = 0;
  for (size_t at = html.find("</script"); at != std::string::npos; at = html.find("</script", at + 1)) ++closings;
  EXPECT_EQ(closings, 3u);
  EXPECT_NE(html.find("<html lang=\"es\">"), std::string::npos);
  EXPECT_NE(report_html(folders, analysis, Language::english).find("Study report"), std::string::npos);
}

TEST(Report, PlottedCurvesStayWithinTheLimitForLongRuns) {
  const std::vector<FolderData> folders{replayed_folder(77, 200000)};
  const Analysis analysis = analyze(folders);
  const nlohmann::json plots = plot_data(folders, analysis, report_texts(Language::spanish));
  for (const char* plot : {"cumulative_deviation", "cumulative_variance", "window_z"}) {
    for (const auto& curve : plots[plot]["curves"]) {
      EXPECT_LE(curve["x"].size(), MAX_PLOT_POINTS) << plot;
      EXPECT_EQ(curve["x"].size(), curve["y"].size());
    }
  }
  // The last point of the cumulative deviation is the run's whole deviation.
  const auto& y = plots["cumulative_deviation"]["curves"][0]["y"];
  EXPECT_EQ(y.back().get<double>(), static_cast<double>(analysis.pooled.totals.deviation));
}
