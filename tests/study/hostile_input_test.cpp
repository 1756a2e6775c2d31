// The study tool on inputs that are not what they claim: devices, FIFOs and links where files
// belong, data folders whose checksums were made again over changed files. Every case ends
// quickly with a message and its own status, and every input is left as it was.
#include <sys/stat.h>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "study/data_folder.h"
#include "tests/study/support.h"

namespace fs = std::filesystem;

namespace {

const char LOG_NAME[] = "estudio_05-01-2026";

class HostileInputTest : public StudyTest {
 protected:
  // Run the study tool, given at most 240 s (a hang ends with 124; a whole seed search takes
  // seconds, a minute or more under the sanitizers on a loaded machine).
  int study(const std::string& arguments) {
    return run_program(directory, "timeout", "240 \"" TESTNUV_STUDY "\" " + arguments, output);
  }
  // Make a simulator run with its data folder "datos".
  void simulate() {
    ASSERT_EQ(run_program(directory, TESTNUV_SIM,
                          "--seed 606 --seconds 1200 --start \"2026-05-01 10:00:00\" --data datos", output),
              0)
        << output;
  }
  // Make the folder's checksums again, as anyone can.
  void sum_again(const std::string& folder = "datos") {
    ASSERT_EQ(std::system(("cd \"" + (directory / folder).string() +
                           "\" && rm SHA256SUMS && sha256sum * >../sums && mv ../sums SHA256SUMS")
                              .c_str()),
              0);
  }
  std::string output;
};

TEST_F(HostileInputTest, DevicesAndFifosGivenAsALogAreRefusedAtOnce) {
  ASSERT_EQ(mkfifo((directory / "tuberia").c_str(), 0600), 0);
  for (const std::string command : {"seed", "extract", "verify"}) {
    for (const std::string input : {"tuberia", "/dev/zero", "/dev/null"}) {
      const std::string more = command == "extract" ? " --out fuera" : "";
      EXPECT_EQ(study(command + " " + input + more), 2) << command << " " << input << ": " << output;
      EXPECT_NE(output.find("no es un fichero normal"), std::string::npos) << output;
    }
  }
  EXPECT_FALSE(fs::exists(directory / "fuera"));
}

TEST_F(HostileInputTest, AFolderWithALinkOrAFifoInsideIsDamaged) {
  simulate();
  const fs::path folder = directory / "datos";
  fs::rename(folder / BITS_FILE, directory / "bits.guardado");
  fs::create_symlink("/dev/zero", folder / BITS_FILE);
  EXPECT_EQ(study("verify datos"), 5) << output;
  EXPECT_NE(output.find("bits.bin: es un enlace simbolico"), std::string::npos) << output;
  fs::remove(folder / BITS_FILE);
  ASSERT_EQ(mkfifo((folder / BITS_FILE).c_str(), 0600), 0);
  EXPECT_EQ(study("verify datos"), 5) << output;
  fs::remove(folder / BITS_FILE);
  fs::rename(directory / "bits.guardado", folder / BITS_FILE);
  EXPECT_EQ(study("verify datos"), 0) << output;
  // The log the folder names, replaced by a device.
  fs::rename(directory / LOG_NAME, directory / "log.guardado");
  fs::create_symlink("/dev/zero", directory / LOG_NAME);
  EXPECT_EQ(study("verify datos"), 5) << output;
  EXPECT_NE(output.find(LOG_NAME), std::string::npos) << output;
  // A log that is simply gone: the folder is checked against its seed alone, and says so.
  fs::remove(directory / LOG_NAME);
  EXPECT_EQ(study("verify datos"), 0) << output;
  EXPECT_NE(output.find("no esta; se han comprobado solo los datos"), std::string::npos) << output;
}

TEST_F(HostileInputTest, ChecksumsMadeAgainDoNotHideChangedData) {
  simulate();
  const fs::path folder = directory / "datos";
  const std::string bits = read_file(folder / BITS_FILE), seconds = read_file(folder / SECONDS_FILE);
  // Write the folder's data files, make its checksums again, and expect verify to name `why`.
  const auto refused = [&](const std::string& new_bits, const std::string& new_seconds, const std::string& why) {
    write_file(folder / BITS_FILE, new_bits);
    write_file(folder / SECONDS_FILE, new_seconds);
    sum_again();
    EXPECT_EQ(study("verify datos"), 5) << why << ": " << output;
    EXPECT_NE(output.find(why), std::string::npos) << output;
  };
  std::string flipped = bits;
  flipped[25 * 700 + 3] ^= 0x10;  // one bit of second 701
  refused(flipped, seconds, "bits.bin difiere");
  EXPECT_NE(output.find("el segundo 701 no coincide"), std::string::npos) << output;
  refused(bits + std::string(25, '\0'), seconds, "mas bytes");
  // The last 300 seconds gone from both files: every row left agrees with the seed.
  std::string shorter = seconds;
  for (int row = 0; row < 300; ++row) shorter.erase(shorter.rfind('\n', shorter.size() - 2) + 1);
  refused(bits.substr(0, 900 * 25), shorter, "seconds.csv tiene 900 filas y la procedencia dice 1200");
  // seconds.csv with CR LF line ends: the message shows the CR, so the headers look different.
  std::string crlf;
  for (char c : seconds) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  refused(bits, crlf, "time_source,utc\\r\"");
  write_file(folder / SECONDS_FILE, seconds);
  // bits.bin gone while provenance.json says the folder has it.
  fs::remove(folder / BITS_FILE);
  sum_again();
  EXPECT_EQ(study("verify datos"), 5) << output;
  EXPECT_NE(output.find("falta bits.bin"), std::string::npos) << output;
  // A change that only the checksums see.
  write_file(folder / BITS_FILE, bits);
  sum_again();
  ASSERT_EQ(study("verify datos"), 0) << output;
  write_file(folder / PROVENANCE_FILE, read_file(folder / PROVENANCE_FILE) + "\n");
  EXPECT_EQ(study("verify datos"), 5) << output;
  EXPECT_NE(output.find("provenance.json: la suma SHA-256 no coincide"), std::string::npos) << output;
}

TEST_F(HostileInputTest, AFolderIsCheckedAgainstItsLogAsItIsNow) {
  simulate();
  ASSERT_EQ(study(std::string("extract ") + LOG_NAME + " --out extraido"), 0) << output;
  // One count changed in the log both folders name: their rows still agree with the seed.
  std::string log = read_file(directory / LOG_NAME);
  const size_t digit = log.find(" :  ") + 4;
  log[digit] = log[digit] == '9' ? '8' : '9';
  write_file(directory / LOG_NAME, log);
  for (const char* folder : {"datos", "extraido"}) {
    EXPECT_EQ(study(std::string("verify ") + folder), 5) << folder << ": " << output;
    EXPECT_NE(output.find("linea 1: el registro no coincide"), std::string::npos) << output;
  }
}

TEST_F(HostileInputTest, EveryColumnOfEveryRowIsWorkedOutAgain) {
  simulate();
  // A folder extracted from the log alone: its times come from the records' stamps.
  fs::create_directory(directory / "solo");
  fs::copy_file(directory / LOG_NAME, directory / "solo" / LOG_NAME);
  ASSERT_EQ(study(std::string("extract solo/") + LOG_NAME + " --seed 606 --out extraido"), 0) << output;
  // Change one row's fields in a folder, make its checksums again, verify, put the row back.
  auto changed = [&](const std::string& folder, int64_t second, const std::string& time,
                     const std::string& source, const std::string& utc) {
    const fs::path file = directory / folder / SECONDS_FILE;
    const std::string whole = read_file(file);
    std::string start_of_row(1, '\n');
    start_of_row += std::to_string(second);
    start_of_row += ',';
    const size_t line = whole.find(start_of_row) + 1;
    const size_t end = whole.find('\n', line);
    std::string row = whole.substr(line, end - line);
    for (int comma = 0; comma < 7; ++comma) row.erase(0, row.find(',') + 1);
    const std::string fields = whole.substr(line, end - line - row.size()) + time + "," + source + "," + utc;
    write_file(file, whole.substr(0, line) + fields + whole.substr(end));
    sum_again(folder);
    const int status = study("verify " + folder);
    write_file(file, whole);
    sum_again(folder);
    return status;
  };
  EXPECT_EQ(changed("datos", 100, "2026-05-01 10:01:39", "record", "2026-05-01T10:01:39Z"), 5) << output;
  EXPECT_EQ(changed("datos", 100, "2026-05-01 10:01:40", "clock", "2026-05-01T10:01:40Z"), 5) << output;
  EXPECT_EQ(changed("extraido", 350, "2026-05-01 10:05:49", "record", "2026-05-01T10:05:49Z"), 5) << output;
  EXPECT_EQ(changed("extraido", 350, "2026-05-01 10:05:51", "interpolated", "2026-05-01T10:05:51Z"), 5)
      << output;
  EXPECT_NE(output.find("la columna time dice"), std::string::npos) << output;
  // The rows as written pass.
  EXPECT_EQ(changed("extraido", 350, "2026-05-01 10:05:49", "interpolated", "2026-05-01T10:05:49Z"), 0)
      << output;
  EXPECT_EQ(study("verify datos"), 0) << output;
}

TEST_F(HostileInputTest, ALogAsItArrivesByMailIsReadAndSaidSo) {
  simulate();
  const std::string original = read_file(directory / LOG_NAME);
  ASSERT_EQ(study(std::string("extract ") + LOG_NAME + " --out original"), 0) << output;
  std::string lf;
  for (char c : original) {
    if (c != '\r') lf += c;
  }
  for (const std::string& mailed : {lf, "\xEF\xBB\xBF" + original, "\xEF\xBB\xBF" + lf}) {
    write_file(directory / "correo", mailed);
    fs::remove_all(directory / "recibido");
    ASSERT_EQ(study("extract correo --seed 606 --out recibido"), 0) << output;
    EXPECT_NE(output.find("SHA-256 ya no es el del original"), std::string::npos) << output;
    EXPECT_EQ(read_file(directory / "recibido" / SECONDS_FILE), read_file(directory / "original" / SECONDS_FILE));
  }
  // A changed digit in a mailed log is shown as its line reads, without the BOM.
  std::string damaged = lf;
  const size_t digit = damaged.find(" : ") + 3;
  damaged[digit] = damaged[digit] == '9' ? '8' : '9';
  write_file(directory / "correo", "\xEF\xBB\xBF" + damaged);
  EXPECT_EQ(study("extract correo --seed 606 --out danado"), 5) << output;
  EXPECT_NE(output.find("dice:    \"" + damaged.substr(0, damaged.find('\n')) + "\""), std::string::npos) << output;
  // One LF alone among CR LF line ends is damage, not a mail program's doing.
  std::string mixed = original;
  mixed.erase(mixed.rfind("\r\n"), 1);
  write_file(directory / "correo", mixed);
  EXPECT_EQ(study("extract correo --seed 606 --out mezclado"), 5) << output;
  EXPECT_NE(output.find("fin de linea sin CR"), std::string::npos) << output;
}

TEST_F(HostileInputTest, OnlyTheStartOfARecordMayFollowTheLastOne) {
  simulate();
  const std::string log = read_file(directory / LOG_NAME);
  // A run cut off while writing the next record (the start of its title, its first line, all
  // but its last byte); a power cut, which leaves the file's length on disk but its last bytes
  // never written (NUL bytes), after the last whole record or inside it. The data go up to the
  // last whole record, and the cut is said.
  const std::string next = log.substr(0, log.find('\n', log.find('\n') + 1) + 1);
  const std::pair<std::string, int> cut_logs[] = {
      {log + next.substr(0, 30), 1200}, {log + next.substr(0, next.find('\n') + 1), 1200},
      {log + next.substr(0, next.size() - 1), 1200}, {log + std::string(512, '\0'), 1200},
      {log.substr(0, log.size() - 40) + std::string(40, '\0'), 900}};
  for (const auto& [bytes, seconds] : cut_logs) {
    write_file(directory / "cortado", bytes);
    fs::remove_all(directory / "a");
    EXPECT_EQ(study("extract cortado --seed 606 --out a"), 0) << output;
    EXPECT_NE(output.find("el ultimo registro esta cortado"), std::string::npos) << output;
    const std::string rows = read_file(directory / "a" / SECONDS_FILE);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), seconds + 1);
  }
  // NUL bytes with records after them are no power cut's: the log is damaged from there.
  const size_t middle = log.find('\n', log.size() / 2) + 1;
  write_file(directory / "cortado", log.substr(0, middle) + std::string(100, '\0') + log.substr(middle + 100));
  EXPECT_EQ(study("extract cortado --seed 606 --out n"), 5) << output;
  EXPECT_NE(output.find("linea " + std::to_string(std::count(log.begin(), log.begin() + middle, '\n') + 1) + ":"),
            std::string::npos) << output;
  // Anything else is named with its line.
  const std::string next_line = "linea " + std::to_string(std::count(log.begin(), log.end(), '\n') + 1);
  for (const std::string tail : {"hello world", "hello world\r\n", "05-01-2026 - 1x"}) {
    write_file(directory / "cola", log + tail);
    EXPECT_EQ(study("extract cola --seed 606 --out c"), 5) << tail << ": " << output;
    EXPECT_NE(output.find(next_line), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(directory / "c"));
  }
}

TEST_F(HostileInputTest, ALineLongerThanAnyRecordEndsTheReadingAtOnce) {
  write_file(directory / "aes", std::string(8u << 20, 'a'));
  EXPECT_EQ(study("seed aes"), 4) << output;
  write_file(directory / "saltos", std::string(8u << 20, '\n'));
  EXPECT_EQ(study("seed saltos"), 4) << output;
  simulate();
  write_file(directory / "cola", read_file(directory / LOG_NAME) + std::string(8u << 20, 'a'));
  EXPECT_EQ(study("extract cola --seed 606 --out fuera"), 5) << output;
  EXPECT_NE(output.find("mas larga que cualquier registro"), std::string::npos) << output;
}

TEST_F(HostileInputTest, ALogIsCheckedAgainstWhatItsRecordSaysOfIt) {
  ASSERT_EQ(run_program(directory, TESTNUV_SIM, "--seed 606 --seconds 3600", output), 0) << output;
  std::string log;
  for (const auto& entry : fs::directory_iterator(directory)) {
    if (entry.path().extension().empty()) log = entry.path().filename().string();
  }
  const std::string whole = read_file(directory / log);
  // Cut at a record boundary: every record left agrees, but the run wrote more.
  size_t at = 0;
  for (int line = 0; line < 20; ++line) at = whole.find('\n', at) + 1;
  write_file(directory / log, whole.substr(0, at));
  EXPECT_EQ(study("verify " + log), 5) << output;
  EXPECT_NE(output.find("no es el registro de estudio que describe su registro de procedencia"),
            std::string::npos) << output;
  EXPECT_EQ(study("extract " + log + " --out datos"), 5) << output;
  EXPECT_FALSE(fs::exists(directory / "datos"));
  // Only its line ends changed: it is the record's log, and that is said.
  std::string lf;
  for (char c : whole) {
    if (c != '\r') lf += c;
  }
  write_file(directory / log, lf);
  EXPECT_EQ(study("verify " + log), 0) << output;
  EXPECT_NE(output.find("fines de linea"), std::string::npos) << output;
}

TEST_F(HostileInputTest, SeedsAreWholeDecimalNumbersAsTheSimulatorTakesThem) {
  ASSERT_EQ(run_program(directory, TESTNUV_SIM, "--seed -1 --seconds 600 --start \"2026-05-01 10:00:00\"", output), 0)
      << output;
  // The simulator's -1 is the generator's 4294967295: extract takes either.
  EXPECT_EQ(study(std::string("extract ") + LOG_NAME + " --seed -1 --out a"), 0) << output;
  EXPECT_EQ(study(std::string("extract ") + LOG_NAME + " --seed 4294967295 --out b"), 0) << output;
  EXPECT_EQ(read_file(directory / "a" / SECONDS_FILE), read_file(directory / "b" / SECONDS_FILE));
  for (const std::string text : {"0x10", "abc", "1e3", "4294967296", "-2147483649"}) {
    EXPECT_EQ(study(std::string("extract ") + LOG_NAME + " --seed " + text + " --out c"), 2) << text;
    EXPECT_NE(output.find(text), std::string::npos) << output;
  }
  EXPECT_NE(output.find("fuera de -2147483648 a 4294967295"), std::string::npos) << output;
  EXPECT_EQ(study(std::string("extract ") + LOG_NAME + " --seed abc --out c"), 2);
  EXPECT_NE(output.find("no es un numero entero decimal"), std::string::npos) << output;
}

TEST_F(HostileInputTest, ARecordWhoseSeedIsWrongIsBlamedNotTheLog) {
  simulate();
  const fs::path record = directory / (std::string(LOG_NAME) + ".json");
  std::string text = read_file(record);
  const size_t at = text.find("\"seed\": 606");
  ASSERT_NE(at, std::string::npos);
  write_file(record, text.replace(at, 11, "\"seed\": 607"));
  EXPECT_EQ(study(std::string("verify ") + LOG_NAME), 5) << output;
  EXPECT_NE(output.find("concuerda con la semilla 606: es su registro de procedencia el que no concuerda"),
            std::string::npos) << output;
  EXPECT_EQ(output.find("linea 1"), std::string::npos) << output;
}

TEST_F(HostileInputTest, BitsCountedTwiceAreRefusedOrNamed) {
  simulate();
  fs::copy(directory / "datos", directory / "copia");
  EXPECT_EQ(study("analyze datos copia --quiet --out informe"), 2) << output;
  EXPECT_NE(output.find("tienen los mismos bits"), std::string::npos) << output;
  // Seeds an hour apart on the generator's orbit: the second run's first hour is the first's second.
  for (const std::string seed : {"13579", "920953739"}) {
    fs::create_directory(directory / ("r" + seed));
    ASSERT_EQ(run_program(directory, TESTNUV_SIM, "--seed " + seed + " --seconds 7200 --dir r" + seed + " --data s" + seed,
                          output),
              0)
        << output;
  }
  // The later folder's seconds whose bits the earlier one holds are left out, and said so.
  EXPECT_EQ(study("analyze s13579 s920953739 --quiet --out solos"), 0) << output;
  EXPECT_NE(output.find("se dejan fuera 3600 segundos (del 1 al 3600) de s920953739"), std::string::npos) << output;
  nlohmann::json summary = nlohmann::json::parse(read_file(directory / "solos" / "summary.json"));
  EXPECT_EQ(summary["seconds"], 10800);
  ASSERT_EQ(summary["orbit"]["left_out"].size(), 1u);
  EXPECT_EQ(summary["orbit"]["left_out"][0]["bits_of"], "s13579");
  EXPECT_EQ(summary["orbit"]["left_out"][0]["last_second"], 3600);
  EXPECT_EQ(summary["folders"][1]["runs_test"]["ones"], summary["folders"][1]["ones"]);  // bits.bin's rows kept
  const std::string report = read_file(directory / "solos" / "report.html");
  EXPECT_NE(report.find("se dejan fuera 3600 segundos (del 1 al 3600): sus bits ya los cuenta"), std::string::npos);
  EXPECT_NE(report.find("Z combinada de las p de la órbita (2 carpetas"), std::string::npos);
  // In the other order, the first run's second hour goes.
  EXPECT_EQ(study("analyze s920953739 s13579 --quiet --out al-reves"), 0) << output;
  EXPECT_NE(output.find("se dejan fuera 3600 segundos (del 3601 al 7200) de s13579"), std::string::npos) << output;
  // Kept on request: summary.json names the bits they share, and gives each run's exact p over
  // the orbit, close to the normal p for runs this short.
  EXPECT_EQ(study("analyze s13579 s920953739 --quiet --allow-shared-bits --out informe"), 0) << output;
  EXPECT_NE(output.find("comparten 3600 segundos"), std::string::npos) << output;
  summary = nlohmann::json::parse(read_file(directory / "informe" / "summary.json"));
  EXPECT_EQ(summary["seconds"], 14400);
  EXPECT_NE(read_file(directory / "informe" / "report.html").find("Con --allow-shared-bits"), std::string::npos);
  const nlohmann::json& orbit = summary["orbit"];
  EXPECT_EQ(orbit["shared_bits_kept"], true);
  EXPECT_EQ(orbit["period_draws"], 2147483648u);
  ASSERT_EQ(orbit["overlaps"].size(), 1u);
  EXPECT_EQ(orbit["overlaps"][0]["draws"], 720000);
  ASSERT_EQ(orbit["folders"].size(), 2u);
  for (size_t f = 0; f < 2; ++f) {
    EXPECT_EQ(orbit["folders"][f]["draws"], 1440000);
    EXPECT_NEAR(orbit["folders"][f]["orbit_p"].get<double>(), summary["folders"][f]["p"].get<double>(), 0.03);
  }
}

TEST_F(HostileInputTest, AStatisticThatDoesNotExistIsNullAndANegativeControlSeedIsRefused) {
  ASSERT_EQ(run_program(directory, TESTNUV_SIM, "--seed 8 --seconds 10 --data corto", output), 0) << output;
  ASSERT_EQ(study("analyze corto --quiet --out informe"), 0) << output;
  const nlohmann::json summary = nlohmann::json::parse(read_file(directory / "informe" / "summary.json"));
  EXPECT_TRUE(summary["binomial_gof"]["chi2"].is_null()) << summary["binomial_gof"];
  EXPECT_TRUE(summary["binomial_gof"]["df"].is_null());
  EXPECT_TRUE(summary["lag1_p"].is_number());
  EXPECT_EQ(study("analyze corto --quiet --controls 2 --control-seed -1 --out otro"), 2) << output;
  EXPECT_FALSE(fs::exists(directory / "otro"));
}

}  // namespace
