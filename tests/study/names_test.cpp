// Every program on folders and files named as a user's are: accented letters, the euro sign,
// an emoji, and (a Linux name may hold any byte) a byte that is not UTF-8.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "study/data_folder.h"
#include "tests/study/support.h"

namespace fs = std::filesystem;

namespace {

const char LOG_NAME[] = "estudio_05-01-2026";
const char NOT_UTF8[] = "d\xF1";

class NamesTest : public ProgramTest {
 protected:
  // Parse a JSON file the programs wrote; fail the test when it is not valid JSON.
  nlohmann::json json_of(const fs::path& file) {
    const nlohmann::json value = nlohmann::json::parse(read_file(file), nullptr, false);
    EXPECT_FALSE(value.is_discarded()) << file << " is not valid JSON";
    return value;
  }
};

TEST_F(NamesTest, EveryProgramWorksInFoldersOfAnyName) {
  for (const std::string name : {"año Ñandú", "€uro", "\xF0\x9F\x98\x80", NOT_UTF8}) {
    SCOPED_TRACE(name);
    const bool utf8 = name != NOT_UTF8;
    const fs::path folder = directory / name;
    fs::create_directory(folder);
    const std::string quoted = "\"" + name + "\"";
    ASSERT_EQ(run(TESTNUV_SIM, "--seed 5 --start \"2026-05-01 10:00:00\" --seconds 1800 --dir " +
                                   quoted + " --data " + quoted + "/verdad"),
              0)
        << output;
    const nlohmann::json record = json_of(folder / (std::string(LOG_NAME) + ".json"));
    if (utf8) {
      EXPECT_NE(record["command_line"].get<std::string>().find(name), std::string::npos);
    }
    const nlohmann::json truth = json_of(folder / "verdad" / PROVENANCE_FILE);
    EXPECT_EQ(truth.contains("log_path_stored"), !utf8);
    const std::string log = quoted + "/" + LOG_NAME;
    EXPECT_EQ(run(TESTNUV_STUDY, "seed " + log), 0) << output;
    EXPECT_EQ(run(TESTNUV_STUDY, "verify " + log), 0) << output;
    ASSERT_EQ(run(TESTNUV_STUDY, "extract " + log + " --bits --out " + quoted + "/extraído"), 0)
        << output;
    const nlohmann::json extracted = json_of(folder / "extraído" / PROVENANCE_FILE);
    if (utf8) {
      // The log's name round-trips, so verify finds the log and checks it.
      EXPECT_EQ(extracted["log_path"], (folder / LOG_NAME).string());
      EXPECT_FALSE(extracted.contains("log_path_stored"));
    } else {
      EXPECT_EQ(extracted["log_path_stored"], false);
      EXPECT_NE(output.find("no es UTF-8"), std::string::npos) << output;
    }
    for (const char* data : {"/verdad", "/extraído"}) {
      EXPECT_EQ(run(TESTNUV_STUDY, "verify " + quoted + data), 0) << output;
      EXPECT_EQ(output.find("no era UTF-8") != std::string::npos, !utf8) << output;
    }
    EXPECT_EQ(read_file(folder / "verdad" / BITS_FILE), read_file(folder / "extraído" / BITS_FILE));
    ASSERT_EQ(run(TESTNUV_STUDY, "analyze " + quoted + "/verdad --quiet --out " + quoted + "/informe"), 0)
        << output;
    json_of(folder / "informe" / "summary.json");
  }
}

TEST_F(NamesTest, MessagesShowNamesAndLogTextsWithoutRawBytes) {
  fs::create_directory(directory / NOT_UTF8);
  ASSERT_EQ(run(TESTNUV_SIM, std::string("--seed 9 --start \"2026-05-01 10:00:00\" --seconds 900 --dir ") +
                                 NOT_UTF8),
            0)
      << output;
  const fs::path log = directory / NOT_UTF8 / LOG_NAME;
  // A changed letter of the log's own text: "\xFAltimos" is shown as "últimos".
  std::string text = read_file(log);
  const size_t at = text.find("\xFAltimos");
  ASSERT_NE(at, std::string::npos);
  text[at + 1] = 'L';
  write_file(log, text);
  EXPECT_EQ(run(TESTNUV_STUDY, std::string("verify ") + NOT_UTF8 + "/" + LOG_NAME), 5) << output;
  EXPECT_NE(output.find("d\\xF1/" + std::string(LOG_NAME)), std::string::npos) << output;
  EXPECT_NE(output.find("úLtimos"), std::string::npos) << output;
  EXPECT_NE(output.find("últimos"), std::string::npos) << output;
  EXPECT_EQ(output.find('\xF1'), std::string::npos) << "a raw byte in: " << output;
  EXPECT_EQ(output.find('\xFA'), std::string::npos) << "a raw byte in: " << output;
  // A missing file named with such a byte is named escaped, and the status is a usage error.
  EXPECT_EQ(run(TESTNUV_STUDY, std::string("seed ") + NOT_UTF8 + "/nada"), 2) << output;
  EXPECT_NE(output.find("d\\xF1/nada"), std::string::npos) << output;
}

TEST_F(NamesTest, TheRecordKeepsEveryArgumentAndACommandLineThatRunsAgain) {
  const std::vector<std::string> folders = {"it's ñ", NOT_UTF8, "tab\there"};
  for (const std::string& folder : folders) fs::create_directory(directory / folder);
  for (const std::string& folder : folders) {
    SCOPED_TRACE(folder);
    const std::string quoted = folder == "it's ñ" ? "\"it's ñ\"" : "$'" + std::string(folder == NOT_UTF8 ? "d\\xf1" : "tab\\there") + "'";
    write_file(directory / "run.sh", std::string("\"") + TESTNUV_SIM + "\" --seed 3 --seconds 5 --start \"2026-05-01 10:00:00\" --dir " + quoted + "\n");
    ASSERT_EQ(run("/bin/bash", "run.sh"), 0) << output;
    const nlohmann::json record = json_of(directory / folder / (std::string(LOG_NAME) + ".json"));
    const std::vector<std::string> expected = {TESTNUV_SIM, "--seed", "3", "--seconds", "5", "--start",
                                               "2026-05-01 10:00:00", "--dir", folder};
    ASSERT_EQ(record["arguments"].size(), expected.size());
    EXPECT_EQ(record["arguments"][8], folder == NOT_UTF8 ? "d\\xF1" : folder == "tab\there" ? "tab\\there" : folder);
    // The command line, given to a shell, gives back every argument byte for byte.
    write_file(directory / "words.sh", "f() { printf '%s\\0' \"$@\"; }; f " +
                                           record["command_line"].get<std::string>() + "\n");
    ASSERT_EQ(run("/bin/bash", "words.sh"), 0) << output;
    std::string joined;
    for (const std::string& word : expected) joined += word + '\0';
    EXPECT_EQ(read_file(directory / "out.txt"), joined) << record["command_line"];
  }
}

}  // namespace
