// testnuv-study's command-line parser speaks Spanish, like the rest of the program: its help
// layout, its own flags and the command lines it refuses.
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "tests/study/support.h"

namespace {

class ParserTextsTest : public ProgramTest {};

TEST_F(ParserTextsTest, HelpHasNoEnglishOfTheParser) {
  for (const char* command : {"--help", "analyze --help", "seed --help", "extract --help", "verify --help"}) {
    ASSERT_EQ(run(TESTNUV_STUDY, command), 0) << command;
    for (const char* english : {"Usage", "Options", "OPTIONS", "Positionals", "Subcommand", "SUBCOMMAND", "REQUIRED",
                                "Print this help", "Display program version", "NONNEGATIVE", " in ["})
      EXPECT_EQ(output.find(english), std::string::npos) << command << ": " << english << "\n" << output;
    EXPECT_FALSE(std::regex_search(output, std::regex(R"(\b(TEXT|U?INT|FLOAT)\b)"))) << command << "\n" << output;
    EXPECT_NE(output.find("Uso: testnuv-study"), std::string::npos) << output;
  }
}

TEST_F(ParserTextsTest, RefusedCommandLinesAreOneSpanishLineUnderThePrefix) {
  const struct {
    const char* arguments;
    const char* words;
  } cases[] = {
      {"", "falta la orden (seed, extract, verify, analyze)"},
      {"analyze . --out x --window 1", "--window: 1 no esta entre 60 y 31622400"},
      {"analyze . --out x --lang fr", "--lang: \"fr\" no es ninguno de {es,en}"},
      {"analyze . --out", "--out: falta su valor"},
      {"analyze . --out x --sin-tal-cosa", "argumento inesperado: --sin-tal-cosa"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(TESTNUV_STUDY, c.arguments), 2) << c.arguments;
    EXPECT_EQ(output.rfind(std::string("testnuv-study: ") + c.words + "\n", 0), 0u) << c.arguments << "\n" << output;
    EXPECT_EQ(output.find("Run with"), std::string::npos) << output;
  }
}

}  // namespace
