// The report's outputs: the summary's figures, the windows table, escaping of
// everything that comes from input, and the size of the plotted data.
#include <algorithm>
#include <numeric>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "study/html_writer.h"
#include "study/orbit.h"
#include "study/plot_reduce.h"
#include "study/report.h"
#include "support.h"

namespace {

const std::string HOSTILE = "</script><img src=x onerror=alert(1)>&\"'";

Analysis analyze(const std::vector<FolderData>& folders, std::vector<EventSpec> specs = {}) {
  Result<std::vector<EventResult>> events = place_events(folders, specs);
  EXPECT_TRUE(events.ok()) << events.failure().message;
  Result<Analysis> analysis = analyze_folders(folders, {}, events.ok() ? *events : std::vector<EventResult>{});
  EXPECT_TRUE(analysis.ok()) << analysis.failure().message;
  return analysis.ok() ? *analysis : Analysis{};
}

}  // namespace

// The summary's counts and times against the folders' own seconds, added up here.
TEST(Report, SummaryCountsAndTimesComeFromEachFoldersOwnSeconds) {
  const std::vector<FolderData> folders{replayed_folder(31337, 1000, "2026-03-01 10:00:00"),
                                        replayed_folder(4, 700, "2026-03-01 10:05:00")};
  // Seconds 400 to 499 of the first folder, 100 to 199 of the second.
  const Analysis analysis = analyze(folders, {event_of("2026-03-01 10:06:40", "2026-03-01 10:08:19", "e")});
  const nlohmann::json summary = summary_json(folders, analysis);
  auto ones_in = [](const FolderData& folder, size_t first, size_t end) {
    return std::accumulate(folder.ones.begin() + first, folder.ones.begin() + end, int64_t{0});
  };
  int64_t all_ones = 0;
  ASSERT_EQ(summary["folders"].size(), 2u);
  for (size_t f = 0; f < folders.size(); ++f) {
    const int64_t ones = ones_in(folders[f], 0, folders[f].ones.size());
    const nlohmann::json& entry = summary["folders"][f];
    EXPECT_EQ(entry["seed"], folders[f].seed);
    EXPECT_EQ(entry["ones"], ones);
    EXPECT_EQ(entry["zeros"], 200 * static_cast<int64_t>(folders[f].ones.size()) - ones);
    all_ones += ones;
  }
  EXPECT_EQ(summary["seconds"], 1700);
  EXPECT_EQ(summary["ones"], all_ones);
  EXPECT_EQ(summary["zeros"], 200 * 1700 - all_ones);
  EXPECT_EQ(summary["folders"][0]["first_time"], "2026-03-01 10:00:00");
  EXPECT_EQ(summary["folders"][0]["last_time"], "2026-03-01 10:16:39");
  EXPECT_EQ(summary["folders"][1]["first_utc"], "2026-03-01T09:05:00Z");
  EXPECT_EQ(summary["folders"][1]["last_utc"], "2026-03-01T09:16:39Z");
  ASSERT_EQ(summary["events"].size(), 1u);
  EXPECT_EQ(summary["events"][0]["seconds"], 200);
  EXPECT_EQ(summary["events"][0]["ones"], ones_in(folders[0], 400, 500) + ones_in(folders[1], 100, 200));
  EXPECT_EQ(summary["events"][0]["start_utc"], "2026-03-01T09:06:40Z");
  EXPECT_TRUE(summary["controls"].is_object() && summary["controls"].empty());
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

TEST(Report, PageWriterEscapesTextsAndAttributeValuesAndNotRawMarkup) {
  HtmlWriter page;
  page.element("td", HOSTILE, {{"class", "num\" onclick=\"x"}});
  page.raw("<script>1 < 2</script>");
  EXPECT_EQ(page.take(), "<td class=\"num&quot; onclick=&quot;x\">&lt;/script&gt;&lt;img src=x onerror=alert(1)&gt;"
                         "&amp;&quot;&#39;</td><script>1 < 2</script>");
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

namespace {

// Return the text of every numeric cell of a page's tables.
std::vector<std::string> numeric_cells(const std::string& html) {
  std::vector<std::string> cells;
  const std::string open = "<td class=\"num";
  for (size_t at = html.find(open); at != std::string::npos; at = html.find(open, at + 1)) {
    const size_t start = html.find('>', at) + 1;
    cells.push_back(html.substr(start, html.find("</td>", start) - start));
  }
  return cells;
}

// Return a folder whose every second has `extra` more ones than the replay gave.
FolderData skewed_folder(uint32_t seed, uint64_t seconds, int extra) {
  FolderData folder = replayed_folder(seed, seconds);
  for (uint8_t& ones : folder.ones) ones = static_cast<uint8_t>(std::min(200, ones + extra));
  return folder;
}

}  // namespace

TEST(Report, TablesWriteNumbersAsEachLanguageWritesThem) {
  const std::vector<FolderData> folders{skewed_folder(5, 20000, 1)};
  const Analysis analysis = analyze(folders);
  const std::string spanish = report_html(folders, analysis, Language::spanish);
  const std::string english = report_html(folders, analysis, Language::english);
  EXPECT_NE(spanish.find(">20\u202F000<"), std::string::npos);  // seconds: a thin space between groups
  EXPECT_NE(english.find(">20,000<"), std::string::npos);
  EXPECT_NE(spanish.find("\u00D7 10\u207B"), std::string::npos);  // a p-value far below 10⁻⁴
  // Every figure of the tables (the provenance's texts aside) in the language's way.
  const std::regex spanish_wrong(R"(\d\.\d|-\d)"), english_wrong("\\d,(\\d{1,2}|\\d{4,})\\b|\\d\u202F\\d");
  const std::vector<std::string> cells = numeric_cells(spanish.substr(0, spanish.find("<h2>Procedencia")));
  ASSERT_GT(cells.size(), 20u);
  for (const std::string& cell : cells) EXPECT_FALSE(std::regex_search(cell, spanish_wrong)) << cell;
  for (const std::string& cell : numeric_cells(english.substr(0, english.find("<h2>Provenance"))))
    EXPECT_FALSE(std::regex_search(cell, english_wrong)) << cell;
  // The summary is for programs: plain numbers.
  EXPECT_EQ(summary_json(folders, analysis)["seconds"], 20000);
}

TEST(Report, FiguresThatDoNotExistSayWhy) {
  const std::vector<FolderData> folders{replayed_folder(3, 10)};
  const Analysis analysis = analyze(folders);
  EXPECT_TRUE(summary_json(folders, analysis)["binomial_gof"]["chi2"].is_null());
  const std::string html = report_html(folders, analysis, Language::spanish);
  EXPECT_NE(html.find("no disponible: con 10 segundos o menos"), std::string::npos);
  EXPECT_NE(html.find("su Z de Stouffer es la Z de los segundos que cubren"), std::string::npos);
}

TEST(Report, OrbitExactPStandsBesideTheNormalOneAndTheCoverCountsEachBitOnce) {
  const std::vector<FolderData> folders{replayed_folder(1, 600), replayed_folder(2, 600), replayed_folder(4, 600)};
  Analysis analysis = analyze(folders);
  // One segment wraps at the orbit's end; the second lies inside its wrapped part; the third
  // runs past the whole orbit.
  OrbitFolder wrapping{static_cast<uint32_t>(ORBIT_DRAWS - 100), 300, 1, false, 0.25};
  OrbitFolder inside{50, 100, 0, false, 0.5};
  analysis.orbit.folders = {wrapping, inside};
  analysis.orbit.folders.push_back(OrbitFolder{7, 100, 0, false, std::nullopt});
  const std::vector<FolderData> two(folders.begin(), folders.begin() + 2);
  Analysis pair = analysis;
  pair.orbit.folders.pop_back();
  pair.folders.pop_back();
  EXPECT_DOUBLE_EQ(summary_json(two, pair)["orbit"]["covered_share"].get<double>(), 300.0 / ORBIT_DRAWS);
  analysis.orbit.folders[2] = OrbitFolder{7, ORBIT_DRAWS + 400, ORBIT_DRAWS / 200, true, std::nullopt};
  EXPECT_DOUBLE_EQ(summary_json(folders, analysis)["orbit"]["covered_share"].get<double>(), 1.0);
  const std::string html = report_html(folders, analysis, Language::spanish);
  EXPECT_NE(html.find("Lea la p de la órbita: es exacta."), std::string::npos);
  EXPECT_NE(html.find("<th>p de la órbita</th><td class=\"num\">0,25</td>"), std::string::npos);
  EXPECT_NE(html.find("desde el segundo 10\u202F737\u202F419 se repite"), std::string::npos);
}
