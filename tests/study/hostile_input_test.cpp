// The study tool on inputs that are not what they claim: devices, FIFOs and links where files
// belong, data folders whose checksums were made again over changed files. Every case ends
// quickly with a message and its own status, and every input is left as it was.
#include <sys/stat.h>

#include <string>

#include <gtest/gtest.h>

#include "study/data_folder.h"
#include "tests/study/support.h"

namespace fs = std::filesystem;

namespace {

const char LOG_NAME[] = "estudio_05-01-2026";

class HostileInputTest : public StudyTest {
 protected:
  // Run the study tool, given at most 20 s (a hang ends with 124).
  int study(const std::string& arguments) {
    return run_program(directory, "timeout", "20 \"" TESTNUV_STUDY "\" " + arguments, output);
  }
  // Make a simulator run with its data folder "datos".
  void simulate() {
    ASSERT_EQ(run_program(directory, TESTNUV_SIM,
                          "--seed 606 --seconds 1200 --start \"2026-05-01 10:00:00\" --data datos", output),
              0)
        << output;
  }
  // Make the folder's checksums again, as anyone can.
  void sum_again() {
    ASSERT_EQ(std::system(("cd \"" + (directory / "datos").string() +
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
  const fs::path bits = directory / "datos" / BITS_FILE;
  const std::string whole = read_file(bits);
  // 25 bytes more than the rows need.
  write_file(bits, whole + std::string(25, '\0'));
  sum_again();
  EXPECT_EQ(study("verify datos"), 5) << output;
  EXPECT_NE(output.find("mas bytes"), std::string::npos) << output;
  // bits.bin gone while provenance.json says the folder has it.
  fs::remove(bits);
  sum_again();
  EXPECT_EQ(study("verify datos"), 5) << output;
  EXPECT_NE(output.find("falta bits.bin"), std::string::npos) << output;
}

}  // namespace
