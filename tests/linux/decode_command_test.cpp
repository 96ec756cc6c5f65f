#include "report/decode_command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "linux/temp_folder.h"

namespace corvane::test {
namespace {

class DecodeCommandTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& content) {
    const std::string path = dir / name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  int Run(DecodeOptions options) {
    out.str("");
    err.str("");
    return RunDecodeCommand(options, out, err);
  }
  TempFolder dir;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(DecodeCommandTest, DecodesEveryGoodFileAndNamesEachBadOne) {
  const std::string good = Write("good.kik", "007011004006003WD-123 -1673912542PC-7PID-42ANA\r\n");
  const std::string bad = Write("bad.kik", "0070x");
  const std::string missing = dir / "missing.kik";
  const std::string good2 = Write("good2.kik", "001001001001001ABCDE\r\n");
  EXPECT_EQ(Run({{good, bad, missing, dir.path(), good2}}), 1);
  EXPECT_EQ(out.str(), good +
                           "\n"
                           "  disk identifier:  WD-123 \n"
                           "  volume serial:    -1673912542\n"
                           "  computer name:    PC-7\n"
                           "  product id:       PID-42\n"
                           "  user name:        ANA\n"
                           "\n" +
                           good2 +
                           "\n"
                           "  disk identifier:  A\n"
                           "  volume serial:    B\n"
                           "  computer name:    C\n"
                           "  product id:       D\n"
                           "  user name:        E\n");
  EXPECT_NE(err.str().find(bad + ": the file is too short: 5 bytes"), std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find(missing + ": cannot read it: No such file or directory"),
            std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find(dir.path() + ": cannot read it"), std::string::npos) << err.str();
  EXPECT_EQ(Run({{good, good2}}), 0);
  EXPECT_EQ(err.str(), "");
}

TEST_F(DecodeCommandTest, JsonHoldsValuesWholeAndErrorsPerFile) {
  const std::string good = Write("a.kik", "003001000000000 X\"-\r\n");
  const std::string bad = Write("b.kik", "000000000000000junk\r\n");
  EXPECT_EQ(Run({{good, bad}, true, false}), 1);
  const nlohmann::json doc = nlohmann::json::parse(out.str());
  ASSERT_EQ(doc.size(), 2u);
  EXPECT_EQ(doc[0]["file"], good);
  EXPECT_EQ(doc[0]["disk_identifier"], " X\"");
  EXPECT_EQ(doc[0]["volume_serial"], "-");
  EXPECT_EQ(doc[0]["user_name"], "");
  EXPECT_FALSE(doc[0].contains("error"));
  EXPECT_EQ(doc[1]["file"], bad);
  EXPECT_NE(doc[1]["error"].get<std::string>().find("trailing data"), std::string::npos);
}

TEST_F(DecodeCommandTest, CsvQuotesWhatNeedsItAndShowsSingleByteTextAsLatin1) {
  const std::string path = Write("c.kik", "004001003000002 a,b1\"x\"\xC9\xE7\r\n");
  EXPECT_EQ(Run({{path}, false, true}), 0);
  EXPECT_EQ(out.str(), "file,disk_identifier,volume_serial,computer_name,product_id,user_name\r\n" +
                           path + ",\" a,b\",1,\"\"\"x\"\"\",,\xC3\x89\xC3\xA7\r\n");
}

TEST_F(DecodeCommandTest, AnAmbiguousRecordIsDecodedWithAWarning) {
  const std::string path = Write("d.kik",
                                 "000001000000000"
                                 "7" +
                                     std::string(1000, 'P'));
  EXPECT_EQ(Run({{path}, true, false}), 0);
  EXPECT_EQ(nlohmann::json::parse(out.str())[0]["ambiguous_cuts"], 4);
  EXPECT_NE(err.str().find("ambiguous"), std::string::npos);
}

}  // namespace
}  // namespace corvane::test
