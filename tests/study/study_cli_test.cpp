// testnuv-study on logs written by testnuv-sim: seeds found, records checked,
// data folders written only from logs that agree.

#include <algorithm>
#include <map>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "study/exit_status.h"
#include "study/seconds_reader.h"
#include "study/data_folder.h"
#include "runtime/sha256.h"
#include "tests/study/support.h"

namespace fs = std::filesystem;

namespace {

const char START[] = "2026-05-01 10:00:00";
const char LOG_NAME[] = "estudio_05-01-2026";

class StudyCliTest : public StudyTest {
 protected:
  // Run a program with arguments, its output kept in `output`; return its exit status.
  int run(const std::string& program, const std::string& arguments) {
    return run_program(directory, program, arguments, output);
  }
  // Simulate a run of `seconds` from `seed` into the scratch folder; return its log's path.
  fs::path simulate(uint32_t seed, int64_t seconds, const std::string& more = "") {
    EXPECT_EQ(run(TESTNUV_SIM, "--seed " + std::to_string(static_cast<int32_t>(seed)) +
                                   " --start \"" + START + "\" --seconds " +
                                   std::to_string(seconds) + " " + more),
              0)
        << output;
    return directory / LOG_NAME;
  }
  int study(const std::string& arguments) { return run(TESTNUV_STUDY, arguments); }
  // Remove the run's provenance record, leaving the log alone as older programs did.
  void forget_provenance() { fs::remove(directory / (std::string(LOG_NAME) + ".json")); }
  std::string output;
};

TEST_F(StudyCliTest, SeedFindsRandomSeedsAndSaysWhichTwinItReports) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 3; ++trial) {
    const uint32_t seed = static_cast<uint32_t>(random()) & 0x7FFFFFFFu;
    simulate(seed, 1500);
    forget_provenance();
    const uint32_t from = seed > 2000 ? seed - 2000 : 0;
    ASSERT_EQ(study(std::string("seed ") + LOG_NAME + " --from " + std::to_string(from) +
                    " --to " + std::to_string(from + 4000)),
              0)
        << output;
    EXPECT_EQ(output.substr(0, output.find('\n')), std::to_string(seed));
    EXPECT_NE(output.find(std::to_string(seed + 2147483648u)), std::string::npos);
    fs::remove_all(directory / LOG_NAME);
  }
  // A seed outside the range: none; one record only: several, listed.
  simulate(1000, 600);
  forget_provenance();
  EXPECT_EQ(study(std::string("seed ") + LOG_NAME + " --from 2000 --to 3000"), 4) << output;
  EXPECT_NE(output.find("ninguna semilla"), std::string::npos);
  fs::remove_all(directory / LOG_NAME);
  simulate(1000, 300);
  forget_provenance();
  EXPECT_EQ(study(std::string("seed ") + LOG_NAME + " --from 0 --to 60000"), 3) << output;
  EXPECT_NE(output.find("\n1000\n"), std::string::npos) << output;
}

TEST_F(StudyCliTest, ALogWithoutRecordsHasNoSeed) {
  simulate(77, 299);
  forget_provenance();
  EXPECT_EQ(study(std::string("seed ") + LOG_NAME), 4);
  EXPECT_NE(output.find("no tiene ningun registro de 5 minutos"), std::string::npos) << output;
  // A file that is no log is named at its first line, however long that line.
  write_file(directory / "largo", std::string(5000, 'a'));
  EXPECT_EQ(study("seed largo"), 4);
  EXPECT_NE(output.find("no es un registro de estudio: linea 1: linea mas larga"), std::string::npos) << output;
  EXPECT_EQ(study("seed no-such-log"), 2);
  EXPECT_EQ(study("frobnicate"), 2);
  EXPECT_EQ(study("--version"), 0);
  EXPECT_EQ(output.rfind("testnuv-study ", 0), 0u);
}

TEST_F(StudyCliTest, AChangedDigitIsNamedWithBothValuesAndNothingIsWritten) {
  const fs::path log = simulate(4242, 1801);
  std::string bytes = read_file(log);
  // Line 8: the fourth 5-minute record's average line; change its last digit before ".00".
  size_t at = 0;
  for (int line = 1; line < 8; ++line) at = bytes.find('\n', at) + 1;
  const size_t point = bytes.find(".00", at);
  bytes[point - 1] = bytes[point - 1] == '9' ? '1' : static_cast<char>(bytes[point - 1] + 1);
  write_file(log, bytes);
  EXPECT_EQ(study(std::string("extract ") + LOG_NAME + " --seed 4242 --out datos"), 5) << output;
  EXPECT_NE(output.find("linea 8"), std::string::npos) << output;
  EXPECT_NE(output.find("el registro dice"), std::string::npos);
  EXPECT_FALSE(fs::exists(directory / "datos"));
  EXPECT_EQ(study(std::string("verify ") + LOG_NAME), 5) << output;
  EXPECT_NE(output.find("linea 8"), std::string::npos) << output;
  EXPECT_EQ(read_file(log), bytes);  // the log itself is never touched
}

TEST_F(StudyCliTest, ASeedIsFoundThoughOneOfTheFirstRecordsIsDamaged) {
  const fs::path log = simulate(606, 3600);
  forget_provenance();
  const std::string bytes = read_file(log);
  // Change the ones of the 5-minute record that starts at `line` (its title's last digit).
  auto damaged = [&bytes](std::string text, int line) {
    size_t at = 0;
    for (int l = 1; l < line; ++l) at = text.find('\n', at) + 1;
    const size_t digit = text.find('\r', at) - 1;
    text[digit] = text[digit] == '9' ? '8' : '9';
    return text;
  };
  // The first or the second record changed: the others pin the seed; the record is named.
  write_file(log, damaged(bytes, 1));
  EXPECT_EQ(study(std::string("seed ") + LOG_NAME), 5) << output;
  EXPECT_NE(output.find("606\n"), std::string::npos) << output;
  EXPECT_NE(output.find("linea 1:"), std::string::npos) << output;
  write_file(log, damaged(bytes, 3));
  EXPECT_EQ(study(std::string("extract ") + LOG_NAME + " --out datos"), 5) << output;
  EXPECT_NE(output.find("linea 3:"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(directory / "datos"));
  EXPECT_EQ(study(std::string("seed ") + LOG_NAME + " --from 500 --to 700"), 5) << output;
  // Two of them changed: no seed agrees with enough records.
  write_file(log, damaged(damaged(bytes, 1), 3));
  EXPECT_EQ(study(std::string("verify ") + LOG_NAME), 4) << output;
  EXPECT_NE(output.find("bastantes registros"), std::string::npos) << output;
}

TEST_F(StudyCliTest, ATornLastRecordIsReadUpToTheLastWholeOne) {
  const fs::path log = simulate(31337, 1800);
  const std::string bytes = read_file(log);
  // A killed run: its record never got the log's end.
  forget_provenance();
  write_file(log, bytes.substr(0, bytes.size() - 30));
  ASSERT_EQ(study(std::string("extract ") + LOG_NAME + " --seed 31337 --out datos"), 0) << output;
  EXPECT_NE(output.find("cortado"), std::string::npos);
  SecondsReader reader;
  ASSERT_TRUE(reader.open(directory / "datos" / SECONDS_FILE));
  SecondRow row;
  int64_t rows = 0;
  while (reader.next(row)) ++rows;
  EXPECT_EQ(rows, 1800);  // the second of the last whole record
  EXPECT_EQ(study("verify datos"), 0) << output;
  // An existing folder is refused; --force replaces it.
  EXPECT_EQ(study(std::string("extract ") + LOG_NAME + " --seed 31337 --out datos"), 1);
  EXPECT_NE(output.find("--force"), std::string::npos);
  EXPECT_EQ(study(std::string("extract ") + LOG_NAME + " --seed 31337 --out datos --force --bits"), 0)
      << output;
  // A changed data file fails its checksum.
  write_file(directory / "datos" / BITS_FILE, "x");
  EXPECT_EQ(study("verify datos"), 5) << output;
  EXPECT_NE(output.find("bits.bin"), std::string::npos);
}

}  // namespace

namespace {

TEST_F(StudyCliTest, TheProvenanceRecordGoesAsideWithItsLog) {
  simulate(11, 600);
  const std::string first = read_file(directory / (std::string(LOG_NAME) + ".json"));
  nlohmann::json record = nlohmann::json::parse(first);
  EXPECT_EQ(record["format"], "testnuv-provenance/1");
  EXPECT_EQ(record["seed"], 11);
  EXPECT_EQ(record["seconds_run"], 600);
  EXPECT_EQ(record["end_reason"], "space");
  EXPECT_EQ(record["log_sha256"], sha256_of(read_file(directory / LOG_NAME)));
  EXPECT_NE(record["command_line"].get<std::string>().find("--seconds 600"), std::string::npos);
  simulate(12, 300);
  EXPECT_EQ(read_file(directory / (std::string(LOG_NAME) + ".1.json")), first);
  EXPECT_EQ(nlohmann::json::parse(read_file(directory / (std::string(LOG_NAME) + ".json")))["seed"], 12);
  // Each log is recovered through its own record, without a search.
  ASSERT_EQ(study(std::string("seed ") + LOG_NAME + ".1"), 0) << output;
  EXPECT_EQ(output.substr(0, 3), "11\n");
  EXPECT_NE(output.find("procedencia"), std::string::npos);
  for (const auto& entry : fs::directory_iterator(directory)) {
    EXPECT_EQ(entry.path().extension(), entry.path().extension() == ".tmp" ? "" : entry.path().extension());
  }
  // A record whose seed is not the log's: extract names the disagreeing line.
  record["seed"] = 13;
  write_file(directory / (std::string(LOG_NAME) + ".1.json"), record.dump());
  EXPECT_EQ(study(std::string("extract ") + LOG_NAME + ".1 --out datos"), 5) << output;
  EXPECT_NE(output.find("linea 1"), std::string::npos);
  EXPECT_FALSE(fs::exists(directory / "datos"));
}

// Return seconds.csv without its last column (time_source), line by line.
std::string without_time_source(const std::string& csv) {
  std::string kept;
  size_t at = 0;
  while (at < csv.size()) {
    size_t end = csv.find('\n', at);
    if (end == std::string::npos) end = csv.size();
    const std::string line = csv.substr(at, end - at);
    size_t from = 0;  // the ninth column, time_source, goes
    for (int comma = 0; comma < 8 && from != std::string::npos; ++comma) from = line.find(',', from + 1);
    const size_t to = from == std::string::npos ? from : line.find(',', from + 1);
    kept += line.substr(0, from) + (to == std::string::npos ? "" : line.substr(to)) + "\n";
    at = end + 1;
  }
  return kept;
}

TEST_F(StudyCliTest, WhatExtractRecoversFromALogIsWhatTheSimulatorDrew) {
  const std::pair<int32_t, int64_t> runs[] = {
      {5, 299}, {-1, 300}, {2147000000, 901}, {123456789, 43201}, {98765, 86402}};
  for (const auto& [seed, seconds] : runs) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(seconds) + " s");
    simulate(static_cast<uint32_t>(seed), seconds, "--data verdad");
    ASSERT_EQ(study(std::string("extract ") + LOG_NAME + " --out recuperado --bits"), 0) << output;
    const std::string truth = read_file(directory / "verdad" / SECONDS_FILE);
    const std::string recovered = read_file(directory / "recuperado" / SECONDS_FILE);
    ASSERT_FALSE(truth.empty());
    EXPECT_EQ(std::count(truth.begin(), truth.end(), '\n'), seconds + 1);
    EXPECT_EQ(without_time_source(truth), without_time_source(recovered));
    EXPECT_NE(truth.find(",clock,"), std::string::npos);
    EXPECT_EQ(truth.find(",record,"), std::string::npos);
    const std::string bits = read_file(directory / "verdad" / BITS_FILE);
    EXPECT_EQ(bits.size(), static_cast<size_t>(seconds) * 25);
    EXPECT_TRUE(bits == read_file(directory / "recuperado" / BITS_FILE));
    // The simulator's folder checks out against its own log.
    EXPECT_EQ(study("verify verdad"), 0) << output;
    for (const char* folder : {"verdad", "recuperado"}) fs::remove_all(directory / folder);
    fs::remove(directory / LOG_NAME);
    forget_provenance();
  }
}

TEST_F(StudyCliTest, TheSimulatorsDataFolderIsRefusedReplacedAndNamedInItsProvenance) {
  simulate(321, 600, "--data verdad");
  const nlohmann::json provenance =
      nlohmann::json::parse(read_file(directory / "verdad" / PROVENANCE_FILE));
  EXPECT_EQ(provenance["source"], "simulator");
  EXPECT_EQ(provenance["seed"], 321);
  EXPECT_EQ(provenance["seconds"], 600);
  EXPECT_EQ(provenance["log_sha256"], sha256_of(read_file(directory / LOG_NAME)));
  EXPECT_EQ(provenance["run"]["end_reason"], "space");
  // An existing folder is refused before anything runs; --force replaces it.
  fs::remove(directory / LOG_NAME);
  EXPECT_EQ(run(TESTNUV_SIM, "--seed 321 --seconds 600 --data verdad"), 2) << output;
  EXPECT_NE(output.find("--force"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(directory / LOG_NAME));
  EXPECT_EQ(run(TESTNUV_SIM, "--seconds 5 --force"), 2) << output;
  EXPECT_EQ(run(TESTNUV_SIM, "--seed 400 --seconds 3 --data verdad --force"), 0) << output;
  const std::string replaced = read_file(directory / "verdad" / SECONDS_FILE);
  EXPECT_EQ(std::count(replaced.begin(), replaced.end(), '\n'), 4);
  EXPECT_EQ(study("verify verdad"), 0) << output;
}

// Replace the first `from` in a file by `to`.
void replace_in_file(const fs::path& file, const std::string& from, const std::string& to) {
  std::string text = read_file(file);
  const size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  write_file(file, text.replace(at, from.size(), to));
}

TEST_F(StudyCliTest, ExtractPlacesEverySecondByUtcAcrossClockChanges) {
  struct Run {
    const char* zone;          // where the simulator ran
    const char* windows_name;  // what a Windows record would call the zone
    const char* start;
    const char* log;
  };
  // Madrid's spring and autumn changes and New York's autumn one, three hours around each.
  const Run runs[] = {
      {"Europe/Madrid", "Romance Standard Time", "2026-03-29 00:30:00", "estudio_03-29-2026"},
      {"Europe/Madrid", "Romance Daylight Time", "2026-10-25 00:30:00", "estudio_10-25-2026"},
      {"America/New_York", "Eastern Daylight Time", "2026-11-01 00:30:00", "estudio_11-01-2026"},
  };
  for (const Run& r : runs) {
    SCOPED_TRACE(std::string(r.zone) + " from " + r.start);
    ASSERT_EQ(run("env", std::string("TZ=") + r.zone + " \"" + TESTNUV_SIM + "\" --seed 77 --start \"" +
                             r.start + "\" --seconds 10800 --data verdad"),
              0)
        << output;
    const std::string truth = without_time_source(read_file(directory / "verdad" / SECONDS_FILE));
    // By the zone's rules, from the provenance record; verified on a machine in UTC.
    ASSERT_EQ(study(std::string("extract ") + r.log + " --out reglas"), 0) << output;
    EXPECT_NE(output.find("reglas de la zona horaria"), std::string::npos) << output;
    EXPECT_EQ(without_time_source(read_file(directory / "reglas" / SECONDS_FILE)), truth);
    EXPECT_EQ(study("verify reglas"), 0) << output;
    // By the offsets the records show, when this machine does not know the zone's name.
    replace_in_file(directory / (std::string(r.log) + ".json"), std::string("\"") + r.zone + "\"",
                    std::string("\"") + r.windows_name + "\"");
    ASSERT_EQ(study(std::string("extract ") + r.log + " --out desfases"), 0) << output;
    EXPECT_NE(output.find("desfases respecto de UTC"), std::string::npos) << output;
    EXPECT_EQ(without_time_source(read_file(directory / "desfases" / SECONDS_FILE)), truth);
    EXPECT_EQ(study("verify desfases"), 0) << output;
    // A bare log: the records' stamps read in the zone given.
    fs::remove(directory / (std::string(r.log) + ".json"));
    ASSERT_EQ(study(std::string("extract ") + r.log + " --seed 77 --tz " + r.zone + " --out sello"), 0)
        << output;
    EXPECT_EQ(without_time_source(read_file(directory / "sello" / SECONDS_FILE)), truth);
    EXPECT_EQ(study("verify sello"), 0) << output;
    for (const char* folder : {"verdad", "reglas", "desfases", "sello"}) fs::remove_all(directory / folder);
  }
  EXPECT_EQ(study("extract estudio_11-01-2026 --seed 77 --tz Nowhere/Land --out x"), EXIT_USAGE);
  EXPECT_NE(output.find("no conoce la zona horaria \"Nowhere/Land\""), std::string::npos) << output;
}

TEST_F(StudyCliTest, TheFirstRecordsDayComesFromTheStartOrTheNextRecord) {
  // The record at second 300 read its date just before midnight and its time just after.
  ASSERT_EQ(run(TESTNUV_SIM, "--seed 31337 --seconds 900 --start \"2026-05-01 23:55:01\" --data verdad"), 0)
      << output;
  replace_in_file(directory / LOG_NAME, "05-02-2026 - 00:00:00", "05-01-2026 - 00:00:00");
  // The run's record describes the log as it wrote it.
  const fs::path record = directory / (std::string(LOG_NAME) + ".json");
  nlohmann::json run_record = nlohmann::json::parse(read_file(record));
  std::string digest, error;
  uint64_t bytes = 0;
  ASSERT_TRUE(sha256_of_file(directory / LOG_NAME, digest, bytes, error)) << error;
  run_record["log_sha256"] = digest;
  write_file(record, run_record.dump(2) + "\n");
  const std::string truth = without_time_source(read_file(directory / "verdad" / SECONDS_FILE));
  ASSERT_EQ(study(std::string("extract ") + LOG_NAME + " --out con"), 0) << output;
  EXPECT_EQ(without_time_source(read_file(directory / "con" / SECONDS_FILE)), truth);
  forget_provenance();
  ASSERT_EQ(study(std::string("extract ") + LOG_NAME + " --seed 31337 --tz UTC --out sin"), 0) << output;
  EXPECT_EQ(without_time_source(read_file(directory / "sin" / SECONDS_FILE)), truth);
  // verify holds every row's time to its utc and the folder's recorded offsets.
  replace_in_file(directory / "sin" / SECONDS_FILE, "2026-05-01 23:55:02,", "2026-05-01 23:55:03,");
  ASSERT_EQ(run("sh", "-c 'cd sin && sha256sum seconds.csv provenance.json >SHA256SUMS'"), 0) << output;
  EXPECT_EQ(study("verify sin"), EXIT_DISAGREES);
  EXPECT_NE(output.find("el segundo 2: time 2026-05-01 23:55:03 no es la hora local de utc"), std::string::npos)
      << output;
}

TEST_F(StudyCliTest, AStampThatLeadsPastYear9999IsRefusedWithoutAFolder) {
  simulate(4, 900);
  replace_in_file(directory / LOG_NAME, "05-01-2026 - 10:04:59", "12-31-9999 - 23:59:59");
  forget_provenance();
  EXPECT_EQ(study(std::string("extract ") + LOG_NAME + " --seed 4 --tz UTC --out x"), EXIT_TROUBLE);
  EXPECT_NE(output.find("el segundo 301 caeria fuera de los anos 0000 a 9999"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(directory / "x"));
}

// Return the rows of a data folder's seconds.csv.
std::vector<SecondRow> rows_of(const fs::path& folder) {
  std::vector<SecondRow> rows;
  SecondsReader reader;
  EXPECT_TRUE(reader.open(folder / SECONDS_FILE)) << reader.error();
  SecondRow row;
  while (reader.next(row)) rows.push_back(row);
  EXPECT_EQ(reader.error(), "");
  return rows;
}

// Return the sum over UTC seconds of the squared Stouffer Z of the folders' seconds then.
double combined_chi2(const std::vector<fs::path>& folders) {
  std::map<std::string, std::pair<double, int>> seconds;  // utc -> (sum of z, stations)
  for (const fs::path& folder : folders) {
    for (const SecondRow& row : rows_of(folder)) {
      seconds[row.utc].first += row.z;
      ++seconds[row.utc].second;
    }
  }
  double chi2 = 0;
  for (const auto& [utc, sum] : seconds) chi2 += sum.first * sum.first / sum.second;
  return chi2;
}

class AnalyzeZonesTest : public StudyCliTest {
 protected:
  // Simulate a station in a zone into folder/data.
  void station(const std::string& folder, const std::string& zone, int seed, int seconds, const std::string& start) {
    fs::create_directories(directory / folder);
    ASSERT_EQ(run("env", "TZ=" + zone + " \"" + TESTNUV_SIM + "\" --seed " + std::to_string(seed) + " --seconds " +
                             std::to_string(seconds) + " --start \"" + start + "\" --dir " + folder + " --data " +
                             folder + "/data"),
              0)
        << output;
  }
  // Run analyze into `out` and return its summary.json (null when it failed).
  nlohmann::json analyze(const std::string& arguments, const std::string& out) {
    if (study("analyze --quiet " + arguments + " --out " + out) != 0) return nullptr;
    return nlohmann::json::parse(read_file(directory / out / "summary.json"));
  }
};

TEST_F(AnalyzeZonesTest, StationsInDifferentZonesCombineByTheirUtcSeconds) {
  // One hour at 10:00 UTC in two zones six hours apart, and one half an hour later.
  station("A", "Etc/GMT-1", 1111, 3600, "2026-03-01 11:00:00");
  station("B", "Etc/GMT+5", 2222, 3600, "2026-03-01 05:00:00");
  station("C", "Etc/GMT+5", 3333, 3600, "2026-03-01 05:30:00");
  const nlohmann::json same = analyze("A/data B/data", "r1");
  ASSERT_FALSE(same.is_null()) << output;
  EXPECT_EQ(same["combined"]["seconds"], 3600);
  const nlohmann::json partial = analyze("A/data C/data", "r2");
  ASSERT_FALSE(partial.is_null()) << output;
  EXPECT_EQ(partial["combined"]["seconds"], 5400);
  EXPECT_NEAR(partial["combined"]["chi2"].get<double>(),
              combined_chi2({directory / "A" / "data", directory / "C" / "data"}), 1e-6);
  // windows.csv: local start as the data give it, and its UTC.
  const std::string windows = read_file(directory / "r1" / "windows.csv");
  EXPECT_EQ(windows.rfind("width,index,first_second,last_second,start_time,ones,zeros,z,p,p_bonferroni,q_bh,folder,"
                          "start_utc\n", 0), 0u);
  EXPECT_NE(windows.find("\n300,1,1,300,2026-03-01 05:00:00,"), std::string::npos);
  EXPECT_NE(windows.find(",2,2026-03-01T10:00:00Z\n"), std::string::npos);
  // Event times: local in the first folder's zone, or with an offset; each covers both stations.
  const nlohmann::json events = analyze("A/data B/data --event \"2026-03-01 11:10:00/2026-03-01 11:19:59/local\" "
                                        "--event \"2026-03-01T05:30:00-05:00/2026-03-01T10:39:59Z/iso\"", "r3");
  ASSERT_FALSE(events.is_null()) << output;
  EXPECT_EQ(events["events_time_zone"], "Etc/GMT-1");
  EXPECT_EQ(events["events"][0]["start_utc"], "2026-03-01T10:10:00Z");
  EXPECT_EQ(events["events"][0]["seconds"], 1200);
  EXPECT_EQ(events["events"][1]["start_utc"], "2026-03-01T10:30:00Z");
  EXPECT_EQ(events["events"][1]["seconds"], 1200);
  EXPECT_NE(read_file(directory / "r3" / "report.html").find("Etc/GMT-1"), std::string::npos);
}

TEST_F(AnalyzeZonesTest, EventsFallOnTheSecondsOfTheirRealTimeAcrossClockChanges) {
  station("otono", "Europe/Madrid", 5, 10800, "2026-10-25 01:30:00");
  // 02:30 comes twice: refused, with both offsets offered.
  EXPECT_TRUE(analyze("otono/data --event \"2026-10-25 02:30:00/2026-10-25 02:39:59/x\"", "r1").is_null());
  EXPECT_NE(output.find("se da dos veces"), std::string::npos) << output;
  EXPECT_NE(output.find("2026-10-25T02:30:00+02:00 o 2026-10-25T02:30:00+01:00"), std::string::npos) << output;
  // The second time, given with its offset: the seconds the data place at 01:30-01:39 UTC.
  const nlohmann::json second = analyze("otono/data --event \"2026-10-25T02:30:00+01:00/2026-10-25T02:45:00+01:00/x\"", "r2");
  ASSERT_FALSE(second.is_null()) << output;
  int64_t ones = 0, seconds = 0;
  for (const SecondRow& row : rows_of(directory / "otono" / "data")) {
    if (row.utc >= "2026-10-25T01:30:00Z" && row.utc <= "2026-10-25T01:45:00Z") ones += row.ones, ++seconds;
  }
  EXPECT_EQ(second["events"][0]["seconds"], seconds);
  EXPECT_EQ(second["events"][0]["ones"], ones);
  // A local time the clock skipped is refused too.
  station("primavera", "Europe/Madrid", 6, 7200, "2026-03-29 01:00:00");
  EXPECT_TRUE(analyze("primavera/data --event \"2026-03-29 02:30:00/2026-03-29 03:10:00/x\"", "r3").is_null());
  EXPECT_NE(output.find("no existe"), std::string::npos) << output;
}

TEST_F(AnalyzeZonesTest, FoldersWrittenBeforeTheUtcColumnAreStillRead) {
  station("A", "Etc/GMT-1", 1111, 1200, "2026-03-01 11:00:00");
  // The folder as it was written before: no utc column, no local_time in its provenance.
  const fs::path data = directory / "A" / "data";
  std::string old = "second,cycle,minute,sec,ones,zeros,z,time,time_source\n";
  const std::string csv = read_file(data / SECONDS_FILE);
  for (size_t at = csv.find('\n') + 1; at < csv.size();) {
    const size_t end = csv.find('\n', at);
    const std::string line = csv.substr(at, end - at);
    old += line.substr(0, line.rfind(',')) + "\n";
    at = end + 1;
  }
  write_file(data / SECONDS_FILE, old);
  nlohmann::json provenance = nlohmann::json::parse(read_file(data / PROVENANCE_FILE));
  provenance.erase("local_time");
  write_file(data / PROVENANCE_FILE, provenance.dump(2) + "\n");
  ASSERT_EQ(run("sh", "-c 'cd A/data && sha256sum seconds.csv bits.bin provenance.json >SHA256SUMS'"), 0)
      << output;
  EXPECT_EQ(study("verify A/data"), 0) << output;
  station("B", "Etc/GMT+5", 2222, 1200, "2026-03-01 05:00:00");
  const nlohmann::json summary = analyze("A/data B/data", "r");
  ASSERT_FALSE(summary.is_null()) << output;
  EXPECT_EQ(summary["combined"]["seconds"], 1200);
  EXPECT_EQ(summary["folders"][0]["first_utc"], "2026-03-01T10:00:00Z");
}

}  // namespace
