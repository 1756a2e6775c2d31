// The analysis over folders: windows aligned with the checkpoints, events, the
// combination of stations and the controls.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "study/analysis.h"
#include "study/analysis_input.h"
#include "study/folder_seconds.h"
#include "study/local_time.h"
#include "study/orbit.h"
#include "support.h"

namespace {

Analysis analyze(const std::vector<FolderData>& folders, std::vector<EventSpec> specs = {},
                 std::vector<int> widths = {}) {
  Result<std::vector<EventResult>> events = place_events(folders, specs);
  EXPECT_TRUE(events.ok()) << events.failure().message;
  Result<Analysis> analysis = analyze_folders(folders, widths, events.ok() ? *events : std::vector<EventResult>{});
  EXPECT_TRUE(analysis.ok()) << analysis.failure().message;
  return analysis.ok() ? *analysis : Analysis{};
}

}  // namespace

TEST(Analysis, StoufferOverEqualWindowsEqualsTheWholeRunZ) {
  for (uint32_t seed : {7u, 1234567u, 2147483000u}) {
    const Analysis analysis = analyze({replayed_folder(seed, 2700)}, {}, {450});
    EXPECT_NEAR(analysis.pooled.stouffer_z_300, analysis.pooled.z, 1e-12);
    EXPECT_NEAR(analysis.pooled.stouffer_z_900, analysis.pooled.z, 1e-12);
    ASSERT_EQ(analysis.widths.size(), 3u);
    EXPECT_NEAR(analysis.widths[2].stouffer_z, analysis.pooled.z, 1e-12);
  }
}

TEST(Analysis, OnlyCompleteWindowsAlignedWithTheCheckpointsCount) {
  FolderData folder = replayed_folder(99, 1250);
  Analysis analysis = analyze({folder});
  ASSERT_EQ(analysis.widths[0].count, 4u);  // 1-300 ... 901-1200; 1201-1250 is incomplete
  ASSERT_EQ(analysis.widths[1].count, 1u);
  EXPECT_EQ(analysis.windows[3].first_second, 901);
  EXPECT_EQ(analysis.windows[3].last_second, 1200);

  // A folder that starts at second 200 has its first complete 300-s window at 301.
  folder.first_second = 200;
  analysis = analyze({folder});
  ASSERT_GE(analysis.windows.size(), 1u);
  EXPECT_EQ(analysis.windows[0].first_second, 301);
  EXPECT_EQ(analysis.windows[0].first_row, 101u);

  EXPECT_EQ(analyze({replayed_folder(5, 299)}).widths[0].count, 0u);
}

TEST(Analysis, EventsCoverTheirSecondsInclusively) {
  const FolderData folder = replayed_folder(42, 3600, "2026-03-01 10:00:00");
  const Analysis analysis = analyze({folder}, {event_of("2026-03-01 10:10:00", "2026-03-01 10:19:59", "meditación"),
                                               event_of("2026-03-01 10:00:00", "2026-03-01 10:00:00", "uno")});
  ASSERT_EQ(analysis.events.size(), 2u);
  const EventResult& first = analysis.events[0];  // sorted by start
  EXPECT_EQ(first.spec.label, "uno");
  EXPECT_EQ(first.seconds, 1u);
  EXPECT_EQ(first.deviation, folder.ones[0] - 100);
  const EventResult& second = analysis.events[1];
  EXPECT_EQ(second.seconds, 600u);
  int64_t deviation = 0;
  for (size_t i = 600; i < 1200; ++i) deviation += folder.ones[i] - 100;
  EXPECT_EQ(second.deviation, deviation);
  EXPECT_NEAR(analysis.events_z, (first.z + second.z) / std::sqrt(2.0), 1e-12);
}

TEST(Analysis, BadEventsAreRefusedWithTheirLabel) {
  const std::vector<FolderData> folders{replayed_folder(42, 3600, "2026-03-01 10:00:00")};
  struct Case {
    std::vector<EventSpec> events;
    const char* words;
  };
  const std::vector<Case> cases{
      {{event_of("2026-03-01 10:30:00", "2026-03-01 10:20:00", "al revés")}, "al revés\": su fin va antes de su inicio"},
      {{event_of("2026-03-01 10:00:00", "2026-03-01 10:20:00", "a"),
        event_of("2026-03-01 10:20:00", "2026-03-01 10:30:00", "b")},
       "se solapan"},
      {{event_of("2026-03-01 09:00:00", "2026-03-01 09:30:00", "antes")}, "antes\" cae fuera de los datos"},
      {{event_of("2026-03-01 10:50:00", "2026-03-01 11:30:00", "tarde")}, "fuera de los datos"},
  };
  for (const Case& c : cases) {
    const Result<std::vector<EventResult>> events = place_events(folders, c.events);
    ASSERT_FALSE(events.ok()) << c.words;
    EXPECT_NE(events.failure().message.find(c.words), std::string::npos) << events.failure().message;
  }
}

TEST(Analysis, AWindowIsSignificantBelowFivePercent) {
  const Analysis analysis = analyze({replayed_folder(31337, 86400)});
  size_t below_five = 0, below_one = 0;
  for (const WindowResult& window : analysis.windows) {
    if (window.width != 300) continue;
    below_five += window.p < 0.05;
    below_one += window.p < 0.01;
  }
  ASSERT_GT(below_five, below_one);  // windows between the two levels tell them apart
  EXPECT_EQ(analysis.widths[0].significant, below_five);
}

TEST(Analysis, TheOrbitCombinationKeepsTheSideEachRunLeansTo) {
  // Runs this short have an orbit p close to the normal one: so are the combined Zs, sign and all.
  const std::vector<FolderData> folders{replayed_folder(1111, 3600), replayed_folder(2222, 3600)};
  const Analysis analysis = analyze(folders);
  const double normal = (analysis.folders[0].z + analysis.folders[1].z) / std::sqrt(2.0);
  ASSERT_GT(std::fabs(normal), 0.3);  // far enough from 0 for its sign to show
  const OrbitResult orbit = orbit_result(folders, analysis.folders, {}, false);
  ASSERT_TRUE(orbit.folders_z.has_value());
  EXPECT_NEAR(*orbit.folders_z, normal, 0.1);
}

TEST(Analysis, EveryBitOfTheOrbitCountsOnce) {
  // A run past the orbit keeps its distinct seconds; its repeat is left out.
  const uint64_t orbit_seconds = ORBIT_DRAWS / 200;
  std::vector<FolderData> folders(1);
  folders[0].seed = 7;
  folders[0].ones.assign(orbit_seconds + 100, 100);
  std::vector<LeftOut> out = leave_out_counted_bits(folders, false);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(out[0].repeat);
  EXPECT_EQ(out[0].first_second, static_cast<int64_t>(orbit_seconds) + 1);
  EXPECT_EQ(out[0].seconds, 100u);
  EXPECT_EQ(folders[0].ones.size(), orbit_seconds);
  // A later folder that starts inside an earlier one's bits loses its first seconds; one inside
  // which an earlier one starts keeps the seconds before it.
  for (const bool later_starts_inside : {true, false}) {
    folders = {replayed_folder(7, 1000), replayed_folder(7, 1000)};
    folders[later_starts_inside ? 1 : 0].first_second = 601;
    out = leave_out_counted_bits(folders, false);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].folder, 1u);
    EXPECT_EQ(out[0].first_second, 601);  // seconds 601 to 1000 of the later folder, either way
    EXPECT_EQ(out[0].seconds, 400u);
    EXPECT_EQ(folders[1].first_second, later_starts_inside ? 1001 : 1);
    EXPECT_EQ(folders[1].ones.size(), 600u);
  }
  folders = {replayed_folder(7, 1000), replayed_folder(7, 1000)};
  folders[1].first_second = 601;
  EXPECT_TRUE(leave_out_counted_bits(folders, true).empty());
  EXPECT_EQ(folders[1].ones.size(), 1000u);
}

TEST(Analysis, EventsFilesAreReadAsSpreadsheetsSaveThem) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "testnuv-eventos-prueba.csv";
  OffsetTable zone;
  zone.note(0, 60);
  auto read = [&](const std::string& text, std::vector<EventSpec>& events, std::string& error) {
    std::ofstream(file, std::ios::binary) << text;
    const Result<std::vector<EventSpec>> got = read_events_file(file, zone);
    events = got.ok() ? *got : std::vector<EventSpec>{};
    error = got.ok() ? "" : got.failure().message;
    return got.ok();
  };
  std::vector<EventSpec> events;
  std::string error;
  // A BOM, the Spanish header, CR LF, and labels with quotes, commas and a line break.
  ASSERT_TRUE(read("\xEF\xBB\xBFinicio,fin,etiqueta\r\n"
                   "2026-03-01 10:00:00,2026-03-01 10:10:00,\"say \"\"hi\"\"\"\r\n"
                   "\r\n"
                   "2026-03-01 10:20:00,2026-03-01 10:30:00,\"a, b\nc\"\r\n"
                   "2026-03-01 10:40:00,2026-03-01 10:50:00,  sin comillas, con coma  \r\n",
                   events, error))
      << error;
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].label, "say \"hi\"");
  EXPECT_EQ(events[1].label, "a, b\nc");
  EXPECT_EQ(events[2].label, "sin comillas, con coma");
  EXPECT_TRUE(read("start,end,label\n2026-03-01 10:00:00,2026-03-01 10:10:00,x", events, error)) << error;
  EXPECT_EQ(events.size(), 1u);
  // A quote never closed, and text after a closing quote, are named by their line.
  EXPECT_FALSE(read("inicio,fin,etiqueta\n2026-03-01 10:00:00,2026-03-01 10:10:00,\"abierta\n", events, error));
  EXPECT_NE(error.find(":2: "), std::string::npos) << error;
  EXPECT_FALSE(read("2026-03-01 10:00:00,2026-03-01 10:10:00,\"a\"b\n", events, error));
  EXPECT_NE(error.find(":1: hay texto tras las comillas"), std::string::npos) << error;
  std::filesystem::remove(file);
}

TEST(Analysis, ATimeGapLeavesEventsInItWithoutSeconds) {
  FolderData folder = replayed_folder(3, 600, "2026-03-01 10:00:00");
  folder.times.push_back(TimeSegment{300, folder.times[0].first_time + 3600});  // an hour missing after 300 s
  EXPECT_EQ(format_utc_time(second_utc(folder, 300)), "2026-03-01T10:00:00Z");
  EXPECT_EQ(seconds_between(folder, folder.times[0].first_time + 1000, folder.times[0].first_time + 3659),
            (std::vector<std::pair<uint64_t, uint64_t>>{{300, 360}}));
  EXPECT_FALSE(place_events({folder}, {event_of("2026-03-01 10:20:00", "2026-03-01 10:30:00", "hueco")}).ok());
  const Result<std::vector<EventResult>> events =
      place_events({folder}, {event_of("2026-03-01 10:04:00", "2026-03-01 11:00:59", "a caballo")});
  ASSERT_TRUE(events.ok());
  EXPECT_EQ((*events)[0].seconds, 60u + 60u);
}

TEST(Analysis, AClockSetBackKeepsTimesIncreasing) {
  FolderData folder;
  int64_t t = 0;
  parse_local_time("2026-10-25 02:59:58", t);
  for (int64_t time : {t, t + 1, t - 3600 + 2, t - 3600 + 3}) {
    append_second_time(folder, time, time);
    folder.ones.push_back(100);
  }
  // The recorded times stay as the data give them; combined, the folder's seconds run on.
  EXPECT_EQ(second_utc(folder, 2), t - 3600 + 2);
  EXPECT_EQ(second_local(folder, 2), t - 3600 + 2);
  std::vector<int64_t> combined;
  for_each_combined_second({folder}, [&](int64_t utc, double, int) { combined.push_back(utc); });
  EXPECT_EQ(combined, (std::vector<int64_t>{t, t + 1, t + 2, t + 3}));
}

TEST(Analysis, StationsCombineByUtcSecond) {
  // Two stations an hour apart in local time but running in the same UTC seconds,
  // and a third that starts later.
  const FolderData madrid = replayed_folder(11, 600, "2026-03-01 10:00:00", 60);
  const FolderData london = replayed_folder(22, 600, "2026-03-01 09:00:00", 0);
  const FolderData later = replayed_folder(33, 600, "2026-03-01 10:05:00", 60);
  std::vector<double> combined;
  std::vector<int> stations;
  for_each_combined_second({madrid, london, later}, [&](int64_t, double z, int m) {
    combined.push_back(z);
    stations.push_back(m);
  });
  ASSERT_EQ(combined.size(), 900u);
  EXPECT_EQ(stations[0], 2);
  EXPECT_EQ(stations[300], 3);
  EXPECT_EQ(stations[899], 1);
  const double s = std::sqrt(50.0);
  EXPECT_NEAR(combined[0], ((madrid.ones[0] - 100) / s + (london.ones[0] - 100) / s) / std::sqrt(2.0), 1e-12);
  EXPECT_NEAR(combined[899], (later.ones[599] - 100) / s, 1e-12);

  const Analysis analysis = analyze({madrid, london, later});
  ASSERT_TRUE(analysis.combined.has_value());
  EXPECT_EQ(analysis.combined->seconds, 900u);
  EXPECT_NEAR(analysis.combined->folders_z,
              (analysis.folders[0].z + analysis.folders[1].z + analysis.folders[2].z) / std::sqrt(3.0), 1e-12);
  EXPECT_EQ(analysis.pooled.totals.seconds, 1800u);
  EXPECT_FALSE(analyze({madrid}).combined.has_value());
}

TEST(Controls, SeedsAreReproducibleAndNeverTheRunsOwn) {
  const std::vector<FolderData> folders{replayed_folder(5, 10), replayed_folder(6, 10)};
  const auto a = control_seeds(folders, 50, 77);
  const auto b = control_seeds(folders, 50, 77);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, control_seeds(folders, 50, 78));
  for (const auto& control : a) {
    ASSERT_EQ(control.size(), 2u);
    for (uint32_t seed : control) EXPECT_LT(seed, 1u << 31);
  }
  // The seed drawn first for a run, made that run's own seed, is drawn again.
  const uint32_t first = control_seeds({replayed_folder(5, 10)}, 1, 77).at(0).at(0);
  EXPECT_NE(control_seeds({replayed_folder(first, 10)}, 1, 77).at(0).at(0), first);
  // A run of 30 days covers a quarter of the orbit, and about half the seeds drawn would give a
  // control sharing its bits: every control is drawn again until it shares none with any folder.
  FolderData long_run;
  long_run.seed = 5;
  long_run.ones.resize(30u * 86400u);
  const std::vector<FolderData> station{long_run, replayed_folder(6, 10)};
  const auto apart = control_seeds(station, 20, 77);
  ASSERT_EQ(apart.size(), 20u);
  for (const auto& control : apart) {
    for (size_t f = 0; f < station.size(); ++f) {
      FolderData replaced = station[f];
      replaced.seed = control[f];
      const auto [start, draws] = folder_segment(replaced);
      for (const FolderData& folder : station) {
        const auto [own_start, own_draws] = folder_segment(folder);
        EXPECT_EQ(shared_draws(start, draws, own_start, own_draws), 0u);
      }
    }
  }
  // A run longer than half the orbit leaves no room for a control of its length.
  long_run.ones.resize(ORBIT_DRAWS / 200 / 2 + 86400);
  EXPECT_TRUE(control_seeds({long_run}, 1, 77).empty());
}

TEST(Controls, ReplayOtherSeedsThroughTheSameStatistics) {
  const std::vector<FolderData> folders{replayed_folder(1000, 1800, "2026-03-01 10:00:00")};
  const std::vector<EventSpec> specs{event_of("2026-03-01 10:05:00", "2026-03-01 10:09:59", "e")};
  Analysis analysis = analyze(folders, specs);
  run_controls(folders, 40, 9, analysis, {});
  ASSERT_TRUE(analysis.controls.has_value());
  const ControlsResult& controls = *analysis.controls;
  ASSERT_EQ(controls.z.size(), 40u);
  ASSERT_EQ(controls.events_z.size(), 40u);

  // Each control equals the analysis of a folder replayed from its seed.
  const auto seeds = control_seeds(folders, 40, 9);
  for (size_t k : {0u, 17u, 39u}) {
    const FolderData control = replayed_folder(seeds[k][0], 1800, "2026-03-01 10:00:00");
    const Analysis expected = analyze({control}, specs);
    EXPECT_DOUBLE_EQ(controls.z[k], expected.pooled.z);
    EXPECT_DOUBLE_EQ(controls.events_z[k], expected.events_z);
  }
  size_t extreme = 0;
  for (double z : controls.z) extreme += std::fabs(z) >= std::fabs(analysis.pooled.z);
  EXPECT_DOUBLE_EQ(controls.empirical_p_z, (1.0 + static_cast<double>(extreme)) / 41.0);

  Analysis again = analyze(folders, specs);
  run_controls(folders, 40, 9, again, {});
  EXPECT_EQ(again.controls->z, controls.z);  // the same whatever thread ran which control
}
