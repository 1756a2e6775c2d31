// Data folders: written whole or not at all, read back row by row, checked by their sums.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "study/data_folder.h"
#include "study/folder_checksums.h"
#include "study/provenance_file.h"
#include "study/seconds_reader.h"
#include "study/replay.h"
#include "tests/runtime/small_file_system.h"
#include "tests/study/support.h"

namespace fs = std::filesystem;

namespace {

using DataFolderTest = StudyTest;

// Write a small folder of `seconds` rows of a seed (with bits); return false on failure.
bool write_folder(const fs::path& folder, int64_t seconds, bool replace, std::string& error) {
  DataFolderWriter writer;
  const Result<> begun = writer.begin(folder, true, replace);
  if (!begun) {
    error = begun.failure().message;
    return false;
  }
  Replay replay(31337u);
  for (int64_t s = 1; s <= seconds; ++s) {
    uint8_t bits[BYTES_PER_SECOND];
    const int32_t ones = replay.next_second(bits);
    SecondRow row = make_second_row(s, ones, "2026-05-01 10:00:00", TimeSource::clock);
    row.utc = "2026-05-01T08:00:00Z";
    if (!writer.add_second(row, bits)) {
      error = writer.error();
      return false;
    }
  }
  const Result<> finished = writer.finish({{"seed", 31337}});
  if (!finished) error = finished.failure().message;
  return finished.ok();
}

TEST_F(DataFolderTest, WritesRowsBitsProvenanceAndSumsThatSha256sumAccepts) {
  const fs::path folder = directory / "datos";
  std::string error;
  ASSERT_TRUE(write_folder(folder, 43202, false, error)) << error;
  EXPECT_EQ(fs::file_size(folder / BITS_FILE), 43202u * BYTES_PER_SECOND);
  const std::string csv = read_file(folder / SECONDS_FILE);
  EXPECT_EQ(csv.rfind(std::string(SECONDS_HEADER) + "\n1,0,0,0,", 0), 0u);
  // The cycle's last second is plotted at minute 720; the next starts cycle 1 at 0:0.
  EXPECT_NE(csv.find("\n43201,0,720,0,"), std::string::npos);
  EXPECT_NE(csv.find("\n43202,1,0,0,"), std::string::npos);
  EXPECT_EQ(csv.find('\r'), std::string::npos);
  const std::string command = "cd \"" + folder.string() + "\" && sha256sum --quiet -c SHA256SUMS";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_TRUE(check_checksums(folder).ok());
  const Result<nlohmann::json> provenance = read_provenance(folder);
  ASSERT_TRUE(provenance.ok()) << provenance.failure().message;
  EXPECT_EQ((*provenance)["seed"], 31337);
  // Nothing is left beside the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 1);
}

TEST_F(DataFolderTest, ReaderGivesBackEveryRowAndItsZ) {
  const fs::path folder = directory / "datos";
  std::string error;
  ASSERT_TRUE(write_folder(folder, 1000, false, error)) << error;
  SecondsReader reader;
  ASSERT_TRUE(reader.open(folder / SECONDS_FILE)) << reader.error();
  Replay replay(31337u);
  SecondRow row;
  int64_t rows = 0;
  while (reader.next(row)) {
    ++rows;
    EXPECT_EQ(row.second, rows);
    EXPECT_EQ(row.ones, replay.next_second());
    EXPECT_NEAR(row.z, (row.ones - 100) / std::sqrt(50.0), 1e-12);
    EXPECT_EQ(row.time, "2026-05-01 10:00:00");
    EXPECT_EQ(row.utc, "2026-05-01T08:00:00Z");
  }
  EXPECT_EQ(reader.error(), "");
  EXPECT_EQ(rows, 1000);
}

TEST_F(DataFolderTest, ReaderStopsAtBadRowsAndNamesTheLine) {
  // Folders written before the utc column are read as they were.
  const std::string header = std::string(SECONDS_HEADER_WITHOUT_UTC) + "\n";
  const std::string with_utc = std::string(SECONDS_HEADER) + "\n" +
                               "1,0,0,0,104,96,0.565685,2026-05-01 10:00:00,record,2026-05-01T08:00:00Z\n";
  const std::string good = "1,0,0,0,104,96,0.565685,2026-05-01 10:00:00,record\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "vacio"},
      {"second,ones\n", "cabecera"},
      {header + good + "2,0,0,1,100,100,0.000000,2026-05-01 10:00:01,record", "cortado"},
      {header + good + "2,0,0,1,100,101,0.000000,2026-05-01 10:00:01,record\n", "200"},
      {header + good + "3,0,0,2,100,100,0.000000,2026-05-01 10:00:01,record\n", "segundo 2"},
      {header + good + "2,0,0,1,100,100,0.000000,2026-05-01 10:00:01,guess\n", "time_source"},
      {header + good + "2,0,0,1,100,100,0.000000,ayer,record\n", "AAAA"},
      {header + good + "2,0,0,1,201,-1,0.000000,2026-05-01 10:00:01,record\n", "ones"},
      {header + good + "2,0,0,1,100,100,0.5,2026-05-01 10:00:01,record\n", "z no"},
      {header + good + std::string(10000, '9') + "\n", "larga"},
      {header + good + "2,0,0,1,100,100\n", "columnas"},
      {header + good + "2,0,0,1,100,100,0.000000,2026-05-01 10:00:01,record,2026-05-01T08:00:01Z\n", "9 columnas"},
      {with_utc + "2,0,0,1,100,100,0.000000,2026-05-01 10:00:01,record\n", "10 columnas"},
      {with_utc + "2,0,0,1,100,100,0.000000,2026-05-01 10:00:01,record,2026-05-01 08:00:01\n", "utc no"},
      {with_utc + "2,0,0,1,100,100,0.000000,2026-05-01 10:00:01,record,2026-02-30T08:00:01Z\n", "utc no"},
  };
  for (const auto& [bytes, why] : cases) {
    write_file(directory / "s.csv", bytes);
    SecondsReader reader;
    SecondRow row;
    if (reader.open(directory / "s.csv")) {
      EXPECT_TRUE(reader.next(row)) << why;
      EXPECT_FALSE(reader.next(row)) << why;
    }
    EXPECT_NE(reader.error().find(why), std::string::npos) << reader.error();
  }
}

TEST_F(DataFolderTest, RefusesExistingFoldersAndKeepsOtherFiles) {
  const fs::path folder = directory / "datos";
  std::string error;
  ASSERT_TRUE(write_folder(folder, 10, false, error)) << error;
  const std::string before = read_file(folder / SECONDS_FILE);
  EXPECT_FALSE(write_folder(folder, 20, false, error));
  EXPECT_NE(error.find("--force"), std::string::npos);
  EXPECT_EQ(read_file(folder / SECONDS_FILE), before);
  // Replacing a data folder is allowed; a folder with anything else in it never is.
  ASSERT_TRUE(write_folder(folder, 20, true, error)) << error;
  EXPECT_NE(read_file(folder / SECONDS_FILE), before);
  write_file(folder / "estudio_05-01-2026", "registro");
  EXPECT_FALSE(write_folder(folder, 30, true, error));
  EXPECT_NE(error.find("estudio_05-01-2026"), std::string::npos);
  EXPECT_EQ(read_file(folder / "estudio_05-01-2026"), "registro");
  // An empty folder is fine; a file in the way is not.
  fs::create_directory(directory / "vacia");
  EXPECT_TRUE(write_folder(directory / "vacia", 5, false, error)) << error;
  write_file(directory / "fichero", "x");
  EXPECT_FALSE(write_folder(directory / "fichero", 5, true, error));
}

TEST_F(DataFolderTest, AnUnwritableParentLeavesNothingAndSaysWhy) {
  std::string error;
  // A parent that is a file fails for every user, root too.
  write_file(directory / "fichero", "x");
  EXPECT_FALSE(write_folder(directory / "fichero" / "datos", 5, false, error));
  EXPECT_NE(error.find("fichero"), std::string::npos) << error;
  EXPECT_EQ(read_file(directory / "fichero"), "x");
  // A read-only parent: by its permissions, or for root (who writes anywhere) a read-only mount.
  std::unique_ptr<SmallFileSystem> read_only;
  if (geteuid() == 0) {
    read_only = std::make_unique<SmallFileSystem>(directory / "ro", "16k", MS_RDONLY);
    if (!read_only->mounted()) GTEST_SKIP() << NO_MOUNT;
  } else {
    fs::create_directory(directory / "ro");
    fs::permissions(directory / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  }
  EXPECT_FALSE(write_folder(directory / "ro" / "datos", 5, false, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(directory / "ro" / "datos"));
}

TEST_F(DataFolderTest, NeverReplacesTheCurrentFolderOrFilesThatCameAfterTheStart) {
  std::string error;
  const fs::path was = fs::current_path();
  fs::create_directories(directory / "aqui" / "dentro");
  fs::current_path(directory / "aqui" / "dentro");
  DataFolderWriter writer;
  const Result<> here = writer.begin(".", true, true);
  ASSERT_FALSE(here.ok());
  EXPECT_NE(here.failure().message.find("carpeta actual"), std::string::npos) << here.failure().message;
  EXPECT_FALSE(writer.begin("..", true, true).ok());
  EXPECT_FALSE(writer.begin(directory / "aqui", true, true).ok());
  fs::current_path(was);
  EXPECT_TRUE(fs::is_directory(directory / "aqui" / "dentro"));
  // An empty folder at the start that a study log came into meanwhile is kept as it is.
  fs::create_directory(directory / "datos");
  ASSERT_TRUE(writer.begin(directory / "datos", false, false).ok());
  ASSERT_TRUE(writer.add_second(make_second_row(1, 100, "2026-05-01 10:00:00", TimeSource::clock), nullptr));
  write_file(directory / "datos" / "estudio_05-01-2026", "registro");
  const Result<> finished = writer.finish({{"seed", 1}});
  ASSERT_FALSE(finished.ok());
  EXPECT_NE(finished.failure().message.find("estudio_05-01-2026"), std::string::npos) << finished.failure().message;
  EXPECT_EQ(read_file(directory / "datos" / "estudio_05-01-2026"), "registro");
  EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 2);
}

TEST_F(DataFolderTest, AbandonedWriterLeavesNoFolder) {
  {
    DataFolderWriter writer;
    ASSERT_TRUE(writer.begin(directory / "datos", false, false).ok());
    ASSERT_TRUE(writer.add_second(make_second_row(1, 100, "2026-05-01 10:00:00", TimeSource::record), nullptr));
  }
  EXPECT_TRUE(fs::is_empty(directory));
}

TEST_F(DataFolderTest, ChecksumsCatchChangedMissingAndHostileEntries) {
  const fs::path folder = directory / "datos";
  std::string error;
  ASSERT_TRUE(write_folder(folder, 10, false, error)) << error;
  write_file(folder / BITS_FILE, "cambiado");
  Result<> sums_check = check_checksums(folder);
  ASSERT_FALSE(sums_check.ok());
  EXPECT_EQ(sums_check.failure().status, EXIT_DISAGREES);
  EXPECT_EQ(sums_check.failure().message.find('\n'), std::string::npos) << "one problem, one line";
  EXPECT_NE(sums_check.failure().message.find(BITS_FILE), std::string::npos);

  const std::string sums = read_file(folder / SUMS_FILE);
  write_file(folder / SUMS_FILE, sums + std::string(64, 'a') + "  ../../etc/passwd\nbasura\n");
  sums_check = check_checksums(folder);
  ASSERT_FALSE(sums_check.ok());
  const std::string& message = sums_check.failure().message;
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 2) << message;  // three problems

  // A data file the sums leave out: nothing vouches for it.
  const size_t bits_line = sums.find(std::string("  ") + BITS_FILE);
  ASSERT_NE(bits_line, std::string::npos);
  write_file(folder / SUMS_FILE, sums.substr(0, bits_line - 64) + sums.substr(sums.find('\n', bits_line) + 1));
  sums_check = check_checksums(folder);
  ASSERT_FALSE(sums_check.ok());
  EXPECT_EQ(sums_check.failure().message, "bits.bin: no figura en SHA256SUMS");

  fs::remove(folder / SUMS_FILE);
  EXPECT_FALSE(check_checksums(folder).ok());

  write_file(folder / PROVENANCE_FILE, "{\"seed\": ");
  const Result<nlohmann::json> provenance = read_provenance(folder);
  ASSERT_FALSE(provenance.ok());
  EXPECT_NE(provenance.failure().message.find("JSON"), std::string::npos);
}

}  // namespace
