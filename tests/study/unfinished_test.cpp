// Unfinished work on disk: temporary files and folders get names of their own, created
// exclusively; a later run removes only what a run that has ended left, and only when its
// marker says so; two runs writing one data folder never mix their files.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "study/data_folder.h"
#include "tests/study/support.h"

namespace fs = std::filesystem;

namespace {

const char START[] = "--start \"2026-05-01 10:00:00\"";
const char LOG_NAME[] = "estudio_05-01-2026";

class UnfinishedTest : public ProgramTest {
 protected:
  // Start a simulator in the background; return the shell command's status.
  void start_simulator(const std::string& arguments, const std::string& name) {
    const std::string command = "cd \"" + directory.string() + "\" && (\"" TESTNUV_SIM "\" " +
                                arguments + " >" + name + ".out 2>&1; echo $? >" + name +
                                ".status) & echo $! >" + name + ".shell";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  // Wait for a background simulator's exit status (-1 after a minute).
  int status_of(const std::string& name) {
    for (int i = 0; i < 600; ++i) {
      const std::string text = read_file(directory / (name + ".status"));
      if (!text.empty()) return std::atoi(text.c_str());
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return -1;
  }
  // Return the entries of the scratch folder whose names start with `prefix`.
  std::vector<std::string> entries(const std::string& prefix) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(directory)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(prefix, 0) == 0) found.push_back(name);
    }
    std::sort(found.begin(), found.end());
    return found;
  }
};

TEST_F(UnfinishedTest, ANamePlantedWhereTheRecordIsWrittenIsNeverFollowed) {
  // The names a temporary record once had: a link to another user's file, and a folder.
  write_file(directory / "victima", "precioso\n");
  fs::create_symlink(directory / "victima", directory / (std::string(LOG_NAME) + ".json.tmp"));
  fs::create_directory(directory / (std::string(LOG_NAME) + ".json.tmp-1"));
  ASSERT_EQ(run(TESTNUV_SIM, std::string("--seed 5 --seconds 1000 ") + START), 0) << output;
  EXPECT_EQ(read_file(directory / "victima"), "precioso\n");
  EXPECT_NE(read_file(directory / (std::string(LOG_NAME) + ".json")).find("\"seconds_run\": 1000"),
            std::string::npos);
  // Nothing of ours is left beside the record.
  EXPECT_EQ(entries(std::string(LOG_NAME) + ".json.tmp").size(), 2u);
}

TEST_F(UnfinishedTest, OnlyTheLeftoversOfAKilledRunAreRemoved) {
  // A run killed while it writes its data folder leaves its unfinished folder behind.
  const std::string command = "cd \"" + directory.string() + "\" && { \"" TESTNUV_SIM "\" --seed 7 " +
                              "--seconds 2000000 " + START + " --data datos >a.out 2>&1 & echo $! >a.pid; }";
  ASSERT_EQ(std::system(command.c_str()), 0);
  bool growing = false;
  for (int i = 0; i < 300 && !growing; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    growing = entries("datos.testnuv-parcial-").size() == 1;
  }
  ASSERT_TRUE(growing);
  const std::string pid = read_file(directory / "a.pid");
  const std::string kill = "kill -KILL " + pid.substr(0, pid.find('\n')) + " && sleep 0.2";
  ASSERT_EQ(std::system(kill.c_str()), 0);
  const std::vector<std::string> killed = entries("datos.testnuv-parcial-");
  ASSERT_EQ(killed.size(), 1u);
  // Folders a user made under such names, or with something of the user's inside, stay.
  fs::create_directory(directory / "datos.testnuv-antigua");
  write_file(directory / "datos.testnuv-antigua" / "notas", "mias\n");
  fs::create_directory(directory / "datos.testnuv-parcial-9-9");
  fs::copy(directory / killed[0], directory / "datos.testnuv-parcial-copia");
  write_file(directory / "datos.testnuv-parcial-copia" / "notas", "mias\n");
  ASSERT_EQ(run(TESTNUV_SIM, std::string("--seed 7 --seconds 600 ") + START + " --data datos --force"), 0)
      << output;
  EXPECT_EQ(entries("datos."),
            (std::vector<std::string>{"datos.testnuv-antigua", "datos.testnuv-parcial-9-9",
                                      "datos.testnuv-parcial-copia"}));
  EXPECT_EQ(read_file(directory / "datos.testnuv-antigua" / "notas"), "mias\n");
  EXPECT_EQ(run(TESTNUV_STUDY, "verify datos"), 0) << output;
}

TEST_F(UnfinishedTest, TwoRunsIntoOneDataFolderNeverMixTheirFiles) {
  fs::create_directory(directory / "a");
  fs::create_directory(directory / "b");
  // Without --force the later run does not replace the folder the first put in place.
  start_simulator(std::string("--seed 11 --seconds 20000 --dir a ") + START + " --data datos", "a");
  start_simulator(std::string("--seed 22 --seconds 60000 --dir b ") + START + " --data datos", "b");
  EXPECT_EQ(status_of("a"), 0) << read_file(directory / "a.out");
  EXPECT_EQ(status_of("b"), 1) << read_file(directory / "b.out");
  EXPECT_NE(read_file(directory / "b.out").find("aparecio durante la ejecucion"), std::string::npos)
      << read_file(directory / "b.out");
  EXPECT_EQ(run(TESTNUV_STUDY, "verify datos"), 0) << output;
  EXPECT_NE(output.find("20000 segundos"), std::string::npos) << output;
  // B's data is kept whole beside it, and says so.
  ASSERT_EQ(entries("datos.testnuv-parcial-").size(), 1u);
  EXPECT_EQ(run(TESTNUV_STUDY, "verify " + entries("datos.testnuv-parcial-")[0]), 0) << output;
  // With --force on both, the folder in place is whole: the last run's.
  fs::remove_all(directory / "datos");
  start_simulator(std::string("--seed 11 --seconds 20000 --dir a ") + START + " --data datos --force", "c");
  start_simulator(std::string("--seed 22 --seconds 40000 --dir b ") + START + " --data datos --force", "d");
  EXPECT_EQ(status_of("c"), 0) << read_file(directory / "c.out");
  EXPECT_EQ(status_of("d"), 0) << read_file(directory / "d.out");
  EXPECT_EQ(run(TESTNUV_STUDY, "verify datos"), 0) << output;
  EXPECT_NE(output.find("40000 segundos"), std::string::npos) << output;
}

}  // namespace
