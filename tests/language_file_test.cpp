#include "form/language_file.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace corvane::test {
namespace {

TEST(FirstFreeFormatItem, ReadsTheFirstItemAsVisualBasicInputDoes) {
  struct Case {
    std::string content;
    std::optional<std::string> item;
  };
  const std::vector<Case> cases = {
      {"3\r\n", "3"},     {"01\r\n", "1"},        {"  2 , 9\r\n", "2"},
      {"3.0\r\n", "3"},   {"+1\r\n", "1"},        {"7", "7"},
      {"abc\r\n", "abc"}, {"\"3\"\r\n", "3"},     {"\"a,b\"x\r\n", "a,b"},
      {"", std::nullopt}, {"\r\n", std::nullopt}, {"   \r\n3", std::nullopt},
      {"2.5\n", "2.5"},   {"1e1\r\n", "10"},      {"-0\r\n", "0"}};
  for (const Case& c : cases) {
    EXPECT_EQ(FirstFreeFormatItem(c.content), c.item) << c.content;
  }
}

TEST(ParseNumber, AcceptsOnlyWholeDecimalNumbers) {
  EXPECT_EQ(ParseNumber(" 3 "), 3.0);
  EXPECT_EQ(ParseNumber("-1.5"), -1.5);
  for (const char* bad : {"", " ", "3a", "0x3", ".", "e3", "1e", "1e+", "--1", "inf", "nan"}) {
    EXPECT_EQ(ParseNumber(bad), std::nullopt) << bad;
  }
}

TEST(GetProgramFolder, CutsADriveRootAndKeepsOtherFolders) {
  struct Case {
    const char* reported;
    const char* folder;
    const char* language_file;
  };
  for (const Case& c :
       {Case{"D:\\", "D:", "D:\\idioma.txt"},
        Case{"D:\\Tools", "D:\\Tools", "D:\\Tools\\idioma.txt"},
        Case{"C:\\A\\B", "C:\\A\\B", "C:\\A\\B\\idioma.txt"}, Case{"/", "", "\\idioma.txt"}}) {
    FakeRun run;
    run.system.program_folder = c.reported;
    EXPECT_EQ(GetProgramFolder(run.app), c.folder);
    EXPECT_EQ(ProgramFile(run.app, kLanguageFileName), c.language_file);
  }
}

}  // namespace
}  // namespace corvane::test
