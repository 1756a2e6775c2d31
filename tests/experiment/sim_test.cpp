// The simulator program: its arguments, its end (by its seconds, by a stop
// signal, or killed), what it leaves behind, and a full disk under it.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/experiment/support.h"
#include "tests/runtime/small_file_system.h"

namespace fs = std::filesystem;

namespace {

// Run testnuv-sim with arguments; return its exit status (-1 when it did not exit).
int run_sim(const std::string& arguments, const fs::path& output) {
  const std::string command = std::string("\"") + TESTNUV_SIM + "\" " + arguments + " >\"" +
                              output.string() + "\" 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Run testnuv-sim with an environment (such as "TZ=Europe/Madrid "); as run_sim.
int run_sim_in(const std::string& environment, const std::string& arguments, const fs::path& output) {
  const std::string command = environment + "\"" + TESTNUV_SIM + "\" " + arguments + " >\"" +
                              output.string() + "\" 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using SimTest = ExperimentTest;

TEST_F(SimTest, BadArgumentsEndWithStatus2AndSayWhy) {
  const fs::path out = directory / "out.txt";
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"--frobnicate", "opcion desconocida \"--frobnicate\""},
      {"extra", "argumento inesperado \"extra\""},
      {"--seconds -1", "--seconds: valor no valido \"-1\""},
      {"--seconds 12x", "--seconds: valor no valido \"12x\""},
      {"--seconds \" 5\"", "--seconds: valor no valido \" 5\""},
      {"--seconds \"5 \"", "--seconds: valor no valido \"5 \""},
      {"--seconds +5", "--seconds: valor no valido \"+5\""},
      {"--seconds", "--seconds: falta el valor"},
      {"--seconds=", "--seconds: falta el valor"},
      {"--png --dir /tmp", "--png: falta el valor"},  // a value never starts with "--"
      {"--dir \"\"", "--dir: falta el valor"},
      {"--seconds 5 --seconds 6", "--seconds: se ha dado mas de una vez"},
      {"--seed 1 --seed=1", "--seed: se ha dado mas de una vez"},
      {"--seed abc", "--seed: valor no valido"},
      {"--seed 2147483648", "--seed: valor no valido"},
      {"--start \"2026-13-01 00:00:00\"", "--start: fecha no valida"},
      {"--start \"2026-02-30 00:00:00\"", "--start: fecha no valida"},
      {"--start 2026-01-01", "--start: fecha no valida"},
      {"--start \"2026-01-01 24:00:00\"", "--start: fecha no valida"},
      {"--start \"2026-03-01  8:00:00\"", "--start: fecha no valida"},
      {"--start \"2026-03-01 08:-0:00\"", "--start: fecha no valida"},
      {"--start \"+026-03-01 08:00:00\"", "--start: fecha no valida"},
      {"--start \"2026-03-01 08:00:00 \"", "--start: fecha no valida"},
      {"--seed 2147480000 --seconds 7200", "el temporizador pasaria de 2147483647"},
      {"--seed 2147483647 --seconds 1", "el temporizador pasaria de 2147483647"},
      {"--start \"9999-12-31 23:00:00\" --seconds 3601", "pasaria del 9999-12-31 23:59:59"},
      {"--dir /nonexistent/dir", "--dir: no se puede usar"},
      {"--data --seconds 5", "--data: falta el valor"},
      {"--force", "--force: solo vale con --data"},
      {"--data .", "--data: "},  // the study log's own folder
  };
  for (const auto& [arguments, why] : refused) {
    EXPECT_EQ(run_sim(arguments, out), 2) << arguments;
    const std::string said = read_file(out);
    EXPECT_EQ(said.rfind("testnuv-sim: ", 0), 0u) << arguments << "\n" << said;
    EXPECT_NE(said.find(why), std::string::npos) << arguments << "\n" << said;
    EXPECT_NE(said.find("uso: testnuv-sim"), std::string::npos) << arguments;
  }
  EXPECT_EQ(run_sim("--help", out), 0);
  EXPECT_NE(read_file(out).find("--seconds N"), std::string::npos);
  EXPECT_EQ(run_sim("--version", out), 0);
  const std::string version = read_file(out);
  EXPECT_EQ(version.rfind("testnuv-sim 0.", 0), 0u) << version;
  EXPECT_EQ(std::count(version.begin(), version.end(), '\n'), 1);
  // The last seconds that fit are taken.
  EXPECT_EQ(run_sim("--seed 2147483646 --seconds 1 --dir \"" + directory.string() + "\"", out), 0)
      << read_file(out);
  EXPECT_EQ(run_sim("--seconds 0 --start \"9999-12-31 23:59:59\" --dir \"" + directory.string() +
                        "\"",
                    out),
            0)
      << read_file(out);
}

TEST_F(SimTest, ADataFolderThatCannotBeMadeEndsWithStatus1InOneLineBeforeTheRun) {
  const fs::path out = directory / "out.txt";
  std::ofstream(directory / "fichero") << "x";
  for (const fs::path& parent : {fs::path("/nonexistent/dir"), directory / "fichero"}) {
    const fs::path folder = parent / "datos";
    EXPECT_EQ(run_sim("--seconds 300 --dir \"" + directory.string() + "\" --data \"" +
                          folder.string() + "\"",
                      out),
              1)
        << folder;
    const std::string said = read_file(out);
    EXPECT_EQ(said.rfind("testnuv-sim: no se puede crear la carpeta de datos \"" + folder.string() +
                             "\": ",
                         0),
              0u)
        << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  }
  // Nothing was run: no study log.
  for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
    EXPECT_NE(entry.path().filename().string().rfind("estudio_", 0), 0u) << entry.path();
  }
}

TEST_F(SimTest, APictureThatCannotBeWrittenEndsWithStatus1) {
  const fs::path out = directory / "out.txt";
  EXPECT_EQ(run_sim("--seconds 2 --dir \"" + directory.string() + "\" --png /nonexistent/p.png", out),
            1);
  EXPECT_NE(read_file(out).find("testnuv-sim: no se pudo escribir /nonexistent/p.png"),
            std::string::npos)
      << read_file(out);
}

TEST_F(SimTest, RunsTheRequestedSecondsAndClosesTheLogByTheProgramsOwnEnd) {
  const fs::path a = directory / "a";
  fs::create_directory(a);
  const std::string common = "--seed 5 --start \"2026-05-01 10:00:00\" --seconds 301 ";
  ASSERT_EQ(run_sim(common + "--dir \"" + a.string() + "\" --png \"" +
                        (directory / "p.png").string() + "\"",
                    directory / "out.txt"),
            0);
  const std::string log = read_file(a / "estudio_05-01-2026");
  EXPECT_EQ(log.rfind("05-01-2026 - 10:04:59 checkpoint 5", 0), 0u) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
  EXPECT_EQ(read_file(directory / "p.png").substr(1, 3), "PNG");
  EXPECT_NE(read_file(directory / "out.txt").find("301 segundos simulados"), std::string::npos);

  // The same seed and start give the same bits, so the same log, however often it is synced.
  const fs::path b = directory / "b";
  fs::create_directory(b);
  ASSERT_EQ(run_sim(common + "--dir \"" + b.string() + "\" --sync-every-record", directory / "out.txt"), 0);
  EXPECT_EQ(read_file(b / "estudio_05-01-2026"), log);
}

TEST_F(SimTest, ZeroSecondsLeavesAnEmptyLog) {
  ASSERT_EQ(run_sim("--seconds 0 --start \"2026-05-01 10:00:00\" --dir \"" + directory.string() +
                        "\"",
                    directory / "out.txt"),
            0);
  ASSERT_TRUE(fs::exists(directory / "estudio_05-01-2026"));
  EXPECT_EQ(fs::file_size(directory / "estudio_05-01-2026"), 0u);
  EXPECT_NE(read_file(directory / "out.txt").find(" 0 segundos simulados"), std::string::npos);
}

// Return the times of a second in a data folder's seconds.csv: its columns from `time` on.
std::string seconds_times(const fs::path& data, int64_t second) {
  const std::string csv = read_file(data / "seconds.csv");
  const std::string key = '\n' + std::to_string(second) + ',';
  size_t at = csv.find(key);
  if (at == std::string::npos) return "";
  for (int comma = 0; comma < 7; ++comma) at = csv.find(',', at + 1);
  return csv.substr(at + 1, csv.find('\n', at) - at - 1);
}

TEST_F(SimTest, TheWallClockShowsTheZonesTimeAcrossItsClockChanges) {
  const fs::path out = directory / "out.txt";
  const std::string madrid = "TZ=Europe/Madrid ";
  const fs::path spring = directory / "spring";
  fs::create_directory(spring);
  ASSERT_EQ(run_sim_in(madrid, "--seed 1 --start \"2026-03-29 01:50:00\" --seconds 1500 --dir \"" +
                                   spring.string() + "\" --data \"" + (spring / "d").string() + "\"",
                       out),
            0)
      << read_file(out);
  // The clock goes from 01:59:59 to 03:00:00; no stamp falls in the hour that does not exist.
  const std::string log = read_file(spring / "estudio_03-29-2026");
  EXPECT_NE(log.find("03-29-2026 - 01:59:59 checkpoint 5"), std::string::npos) << log;
  EXPECT_NE(log.find("03-29-2026 - 03:04:59 checkpoint 5"), std::string::npos) << log;
  EXPECT_EQ(log.find(" - 02:"), std::string::npos) << log;
  EXPECT_EQ(seconds_times(spring / "d", 600), "2026-03-29 01:59:59,clock,2026-03-29T00:59:59Z");
  EXPECT_EQ(seconds_times(spring / "d", 601), "2026-03-29 03:00:00,clock,2026-03-29T01:00:00Z");
  const auto record = nlohmann::json::parse(read_file(spring / "estudio_03-29-2026.json"));
  EXPECT_EQ(record["utc_offset_minutes"], 60);
  EXPECT_EQ(record["end_utc_offset_minutes"], 120);

  // A start in the hour the clock skips does not exist: refused, nothing run.
  EXPECT_EQ(run_sim_in(madrid, "--start \"2026-03-29 02:30:00\" --seconds 5 --dir \"" +
                                   directory.string() + "\"", out), 2);
  EXPECT_NE(read_file(out).find("--start: la hora \"2026-03-29 02:30:00\" no existe"), std::string::npos)
      << read_file(out);

  // A start in the hour that comes twice is its first time, and the run says so.
  const fs::path autumn = directory / "autumn";
  fs::create_directory(autumn);
  ASSERT_EQ(run_sim_in(madrid, "--seed 1 --start \"2026-10-25 02:30:00\" --seconds 3600 --dir \"" +
                                   autumn.string() + "\" --data \"" + (autumn / "d").string() + "\"",
                       out),
            0);
  EXPECT_NE(read_file(out).find("se toma la primera (UTC+02:00)"), std::string::npos) << read_file(out);
  EXPECT_EQ(seconds_times(autumn / "d", 1), "2026-10-25 02:30:00,clock,2026-10-25T00:30:00Z");
  EXPECT_EQ(seconds_times(autumn / "d", 1801), "2026-10-25 02:00:00,clock,2026-10-25T01:00:00Z");
  const auto late = nlohmann::json::parse(read_file(autumn / "estudio_10-25-2026.json"));
  EXPECT_EQ(late["utc_offset_minutes"], 120);
  EXPECT_EQ(late["end_utc_offset_minutes"], 60);
}

// A testnuv-sim started in the background, its standard output and error in files.
class SimProcess {
 public:
  SimProcess(const std::vector<std::string>& arguments, const fs::path& out, const fs::path& err) {
    std::vector<std::string> words = {TESTNUV_SIM};
    words.insert(words.end(), arguments.begin(), arguments.end());
    pid_ = fork();
    if (pid_ == 0) {
      if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr)) _exit(127);
      std::vector<char*> argv;
      for (std::string& word : words) argv.push_back(word.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~SimProcess() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  void signal(int number) {
    if (pid_ > 0) kill(pid_, number);
  }
  pid_t id() const { return pid_; }
  // Wait for the end; return the wait status.
  int wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    ended_ = true;
    return status;
  }

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
};

// Return true when `part` is `whole` cut after a whole record (records start with '>' or a digit).
bool whole_record_prefix(const std::string& part, const std::string& whole) {
  if (part.size() > whole.size() || whole.compare(0, part.size(), part) != 0) return false;
  if (part.empty() || part.size() == whole.size()) return true;
  const char next = whole[part.size()];
  return part.compare(part.size() - 2, 2, "\r\n") == 0 && (next == '>' || (next >= '0' && next <= '9'));
}

// Sleep `ms` milliseconds of real time.
void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Wait up to 60 s for a file to hold at least `bytes` bytes; true when it did.
bool wait_for_size(const fs::path& file, size_t bytes) {
  for (int i = 0; i < 6000; ++i) {
    if (read_file(file).size() >= bytes) return true;
    pause_ms(10);
  }
  return false;
}

// Wait up to 30 s for a file to hold `text`; true when it did.
bool wait_for_text(const fs::path& file, const std::string& text) {
  for (int i = 0; i < 3000; ++i) {
    if (read_file(file).find(text) != std::string::npos) return true;
    pause_ms(10);
  }
  return false;
}

class SimRunTest : public SimTest {
 protected:
  // Arguments of a run of `seconds` from seed 5 into the folder `name` (created).
  std::vector<std::string> run_arguments(int64_t seconds, const std::string& name) {
    fs::create_directories(directory / name);
    return {"--seconds", std::to_string(seconds), "--seed", "5", "--start", "2026-03-01 08:00:00",
            "--dir", (directory / name).string()};
  }
  // The log a run of `seconds` leaves when nothing disturbs it.
  std::string complete_log(int64_t seconds) {
    SimProcess sim(run_arguments(seconds, "completo"), directory / "o", directory / "e");
    const int status = sim.wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return read_file(directory / "completo" / LOG);
  }
  static constexpr const char* LOG = "estudio_03-01-2026";
};

TEST_F(SimRunTest, StopSignalsEndTheRunInOrderWithStatus0) {
  const std::string complete = complete_log(86402);
  for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
    const std::string name = "senal" + std::to_string(number);
    std::vector<std::string> arguments = run_arguments(86402, name);
    arguments.insert(arguments.end(), {"--data", (directory / name / "datos").string()});
    SimProcess sim(arguments, directory / "out", directory / "err");
    // Signal once the run is under way (its first record written), however slow the build.
    ASSERT_TRUE(wait_for_size(directory / name / LOG, 1)) << number;
    sim.signal(number);
    const int status = sim.wait();
    ASSERT_TRUE(WIFEXITED(status)) << number;
    EXPECT_EQ(WEXITSTATUS(status), 0) << number;
    const std::string said = read_file(directory / "out");
    EXPECT_NE(said.find("testnuv-sim: detenido a peticion: "), std::string::npos) << said;
    EXPECT_EQ(read_file(directory / "err"), "");
    const std::string log = read_file(directory / name / LOG);
    EXPECT_TRUE(whole_record_prefix(log, complete)) << number << ": " << log.size();
    EXPECT_LT(log.size(), complete.size()) << "the run ended before the signal";
    // The data folder holds every whole second the run drew, as many as its record says.
    const nlohmann::json run = nlohmann::json::parse(read_file(directory / name / (std::string(LOG) + ".json")));
    EXPECT_EQ(run["end_reason"], "signal");
    const std::string seconds = read_file(directory / name / "datos" / "seconds.csv");
    EXPECT_EQ(std::count(seconds.begin(), seconds.end(), '\n'), run["seconds_run"].get<int64_t>() + 1);
    EXPECT_EQ(fs::file_size(directory / name / "datos" / "bits.bin"),
              run["seconds_run"].get<uint64_t>() * 25);
  }
}

TEST_F(SimRunTest, ASecondRunOnTheSameDayInTheSameFolderRefusesAndTouchesNothing) {
  const fs::path folder = directory / "dos";
  const fs::path record = folder / (std::string(LOG) + ".json");
  std::vector<std::string> first = run_arguments(400000, "dos");
  first[3] = "11";
  SimProcess a(first, directory / "a_out", directory / "a_err");
  ASSERT_TRUE(wait_for_text(record, "\"seed\": 11"));
  const std::string before = read_file(record);
  std::vector<std::string> second = run_arguments(50000, "dos");
  second[3] = "22";
  second.insert(second.end(), {"--data", (directory / "datos").string()});
  SimProcess b(second, directory / "b_out", directory / "b_err");
  const int refused = b.wait();
  ASSERT_TRUE(WIFEXITED(refused));
  EXPECT_EQ(WEXITSTATUS(refused), 3);
  const std::string said = read_file(directory / "b_err");
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find("(el proceso " + std::to_string(a.id()) + ")"), std::string::npos) << said;
  EXPECT_EQ(read_file(directory / "b_out"), "");
  EXPECT_FALSE(fs::exists(directory / "datos"));
  EXPECT_FALSE(fs::exists(folder / (std::string(LOG) + ".1")));
  // The running run's record is its own still, and at its end describes the log beside it.
  EXPECT_EQ(read_file(record).substr(0, 100), before.substr(0, 100));
  a.signal(SIGTERM);
  const int stopped = a.wait();
  ASSERT_TRUE(WIFEXITED(stopped));
  EXPECT_EQ(WEXITSTATUS(stopped), 0);
  const nlohmann::json run = nlohmann::json::parse(read_file(record));
  EXPECT_EQ(run["seed"], 11);
  EXPECT_EQ(run["log_bytes"], fs::file_size(folder / LOG));
  // A run killed outright holds nothing: the next one starts, moving its log aside.
  SimProcess killed(run_arguments(400000, "dos"), directory / "k_out", directory / "k_err");
  ASSERT_TRUE(wait_for_text(record, "\"seed\": 5"));
  killed.signal(SIGKILL);
  killed.wait();
  EXPECT_EQ(run_sim("--seconds 300 --seed 5 --start \"2026-03-01 08:00:00\" --dir \"" +
                        folder.string() + "\"",
                    directory / "out"),
            0)
      << read_file(directory / "out");
  EXPECT_TRUE(fs::exists(folder / (std::string(LOG) + ".2")));
}

TEST_F(SimRunTest, AKilledRunLeavesAWholeRecordPrefixOfTheCompleteLog) {
  const std::string complete = complete_log(2 * 43201);
  int cut_between_records = 0;  // kills that left some records but not all
  // Kill at start-up and then once the log has grown past each size, whatever the build's speed.
  for (const size_t after_bytes : {size_t{0}, size_t{1}, size_t{2000}, size_t{9000}, size_t{40000}}) {
    const std::string name = "muerto" + std::to_string(after_bytes);
    SimProcess sim(run_arguments(2 * 43201, name), directory / "out", directory / "err");
    if (after_bytes > 0) {
      EXPECT_TRUE(wait_for_size(directory / name / LOG, after_bytes)) << after_bytes;
    }
    sim.signal(SIGKILL);
    const int status = sim.wait();
    EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << after_bytes;
    const std::string log = read_file(directory / name / LOG);
    EXPECT_TRUE(whole_record_prefix(log, complete)) << after_bytes << " bytes: " << log.size() << " bytes";
    if (!log.empty() && log.size() < complete.size()) ++cut_between_records;
  }
  EXPECT_GT(cut_between_records, 0);
}

TEST_F(SimRunTest, OnAFullDiskTheRunSaysSoKeepsWholeRecordsAndEndsWithStatus1) {
  const std::string complete = complete_log(43201);
  SmallFileSystem disk(directory / "lleno", "16k");
  if (!disk.mounted()) GTEST_SKIP() << NO_MOUNT;
  SimProcess sim(run_arguments(43201, "lleno"), directory / "out", directory / "err");
  const int status = sim.wait();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string log = read_file(directory / "lleno" / LOG);
  EXPECT_TRUE(whole_record_prefix(log, complete)) << log.size();
  EXPECT_GT(log.size(), 8000u);
  const std::string said = read_file(directory / "err");
  // Two lines about the log; the provenance record beside it says its own failure once.
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n') - (said.find("procedencia") != std::string::npos), 2) << said;
  EXPECT_NE(said.find("no se puede escribir el registro de estudio \"estudio_03-01-2026\": No space "
                      "left on device"),
            std::string::npos)
      << said;
  EXPECT_NE(said.find("registros que faltan en el registro de estudio"), std::string::npos) << said;
}

TEST_F(SimRunTest, ADataFolderOnAFullDiskIsNotPutInPlaceAndTheStatusIs1) {
  const std::string complete = complete_log(43201);
  SmallFileSystem disk(directory / "lleno", "64k");
  if (!disk.mounted()) GTEST_SKIP() << NO_MOUNT;
  std::vector<std::string> arguments = run_arguments(43201, "registro");
  arguments.insert(arguments.end(), {"--data", (directory / "lleno" / "datos").string()});
  SimProcess sim(arguments, directory / "out", directory / "err");
  const int status = sim.wait();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string said = read_file(directory / "err");
  EXPECT_NE(said.find("no se pudo escribir la carpeta de datos"), std::string::npos) << said;
  EXPECT_NE(said.find("No space left on device"), std::string::npos) << said;
  // Nothing half-written is left on the full disk; the log elsewhere is whole.
  EXPECT_TRUE(fs::is_empty(directory / "lleno"));
  EXPECT_TRUE(read_file(directory / "registro" / LOG) == complete);
}

TEST_F(SimRunTest, OnceTheDiskHasRoomAgainTheLogIsByteForByteTheCompleteOne) {
  const std::string complete = complete_log(2 * 43201);
  SmallFileSystem disk(directory / "lleno", "256k");
  if (!disk.mounted()) GTEST_SKIP() << NO_MOUNT;
  disk.fill();
  SimProcess sim(run_arguments(2 * 43201, "lleno"), directory / "out", directory / "err");
  ASSERT_TRUE(wait_for_text(directory / "err", "no se puede escribir"));
  disk.empty();
  const int status = sim.wait();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << read_file(directory / "err");
  EXPECT_TRUE(read_file(directory / "lleno" / LOG) == complete);
  const std::string said = read_file(directory / "err");
  // Two lines about the log; the provenance record beside it says its own failure once.
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n') - (said.find("procedencia") != std::string::npos), 2) << said;
  EXPECT_NE(said.find("se escribe de nuevo, sin que falte ningun registro"), std::string::npos) << said;
  // The provenance record, written again once there is room, says what the log went through.
  const std::string record = read_file(directory / "lleno" / (std::string(LOG) + ".json"));
  EXPECT_NE(record.find("\"record_writes_failed\": "), std::string::npos) << record;
  EXPECT_NE(record.find("\"log_records_held\": 0"), std::string::npos) << record;
  EXPECT_NE(record.find("\"log_records_dropped\": 0"), std::string::npos) << record;
  const size_t delayed = record.find("\"log_records_delayed\": ");
  ASSERT_NE(delayed, std::string::npos) << record;
  EXPECT_GT(std::atoi(record.c_str() + delayed + 23), 0) << record;
}

}  // namespace
