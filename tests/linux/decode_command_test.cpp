#include "report/decode_command.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "common/text.h"
#include "linux/temp_folder.h"
#include "report/machine_record.h"

namespace corvane::test {
namespace {

// Decoding files never reaches a mailbox.
class NoMailboxes : public MailboxReader {
 public:
  bool ForEachAttachment(const std::string&, const std::function<bool(const std::string&)>&, size_t,
                         const std::function<void(const MailAttachment&)>&,
                         std::string* error) override {
    ADD_FAILURE() << "a mailbox was read";
    *error = "no mailboxes here";
    return false;
  }
  uint64_t MessagesRead() const override { return 0; }
};

class DecodeCommandTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& content) {
    const std::string path = dir / name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  int Run(std::vector<std::string> files, bool json = false, bool csv = false,
          const std::string& input = "") {
    DecodeOptions options;
    options.files = std::move(files);
    options.csv = csv;
    out.str("");
    err.str("");
    std::istringstream in(input);
    NoMailboxes mailboxes;
    VerbOutput output("decode", json, Invocation{"9.8.7", {"corvane", "decode"}}, out, err);
    return RunDecodeCommand(options, in, mailboxes, output);
  }
  nlohmann::json Json() const { return nlohmann::json::parse(out.str()); }
  TempFolder dir;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(DecodeCommandTest, DecodesEveryGoodFileAndNamesEachBadOne) {
  const std::string good = Write("good.kik", "007011004006003WD-123 -1673912542PC-7PID-42ANA\r\n");
  const std::string bad = Write("bad.kik", "0070x");
  const std::string missing = dir / "missing.kik";
  const std::string good2 = Write("good2.kik", "001001001001001ABCDE\r\n");
  EXPECT_EQ(Run({good, bad, missing, good2}), 1);
  EXPECT_EQ(out.str(), good +
                           "\n"
                           "  disk identifier:  WD-123 \n"
                           "  volume serial:    -1673912542\n"
                           "  computer name:    PC-7\n"
                           "  product id:       PID-42\n"
                           "  user name:        ANA\n"
                           "  identifier kind:  serial\n"
                           "  encoding:         utf-8\n"
                           "\n" +
                           good2 +
                           "\n"
                           "  disk identifier:  A\n"
                           "  volume serial:    B\n"
                           "  computer name:    C\n"
                           "  product id:       D\n"
                           "  user name:        E\n"
                           "  identifier kind:  serial\n"
                           "  encoding:         utf-8\n");
  EXPECT_NE(err.str().find(bad + ": the file is too short: 5 bytes"), std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find(missing + ": cannot read it: No such file or directory"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(Run({good, good2}), 0);
  EXPECT_EQ(err.str(), "");
}

TEST_F(DecodeCommandTest, JsonIsOneObjectWithValuesWholeAndErrorsPerFile) {
  const std::string good = Write("a.kik", "003001000000000 X\"-\r\n");
  const std::string bad = Write("b.kik", "000000000000000junk\r\n");
  EXPECT_EQ(Run({good, bad}, true), 1);
  EXPECT_EQ(err.str(), "");
  const nlohmann::json doc = Json();
  EXPECT_EQ(doc["json_format_version"], 1);
  EXPECT_EQ(doc["corvane_version"], "9.8.7");
  EXPECT_EQ(doc["argv"], nlohmann::json({"corvane", "decode"}));
  const nlohmann::json& files = doc["files"];
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0]["path"], good);
  EXPECT_EQ(files[0]["disk_identifier"], " X\"");
  EXPECT_EQ(files[0]["volume_serial"], "-");
  EXPECT_EQ(files[0]["user_name"], "");
  EXPECT_FALSE(files[0].contains("error"));
  EXPECT_EQ(files[1]["path"], bad);
  EXPECT_NE(files[1]["error"].get<std::string>().find("trailing data"), std::string::npos);
  ASSERT_EQ(doc["messages"].size(), 1u);
  EXPECT_EQ(doc["messages"][0]["severity"], "error");
  EXPECT_EQ(doc["messages"][0]["text"], "1 of 2 could not be decoded; each entry says why");
}

// A cell is changed only where a spreadsheet would run it as a formula; numbers, negative
// serials included, stay as they are, so that joins on them still match.
TEST_F(DecodeCommandTest, CsvKeepsDataAndNeutralisesOnlyFormulas) {
  const std::string path = Write("Lumbrook20261209JOS\xC9-PC.kik",
                                 "008011004004005"
                                 "NOTAVAIL-1673912542=1+2-2+3\"x\",\xC9\r\n");
  EXPECT_EQ(Run({path}, false, true), 0);
  EXPECT_EQ(out.str(),
            "file,report_date,encoding,disk_identifier,disk_identifier_kind,volume_serial,"
            "computer_name,product_id,user_name,error\r\n" +
                path +
                ",2026-12-09,windows-1252,NOTAVAIL,not_available,-1673912542,'=1+2,'-2+3,"
                "\"\"\"x\"\",\xC3\x89\",\r\n");
  struct Cell {
    std::string value;
    std::string cell;
  };
  const std::vector<Cell> cells = {
      {"-1673912542", "-1673912542"},
      {"+1234567890", "+1234567890"},
      {"1.5", "1.5"},
      {"-0.25", "-0.25"},
      {"=1+2", "'=1+2"},
      {"-2+3", "'-2+3"},
      {"+A1", "'+A1"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"-", "'-"},
      {"-1.", "'-1."},
      {"a=1", "a=1"},
      {" x", "\" x\""},
      {"\tx", "\\x09x"},
      {"a\r\nb", "a\\r\\nb"},
      {"\xC2\x9B", "\\u009B"},
  };
  for (const Cell& c : cells) {
    const std::string record = MachineRecord({"", "0", "", "", c.value});
    EXPECT_EQ(Run({Write("cell.kik", record)}, false, true), 0) << c.value;
    const std::string row = out.str().substr(out.str().find("\r\n") + 2);
    EXPECT_EQ(row.substr(row.rfind(",0,,,") + 5), c.cell + ",\r\n") << c.value;
  }
  // --bom: the byte-order mark that makes a spreadsheet read the file as UTF-8.
  DecodeOptions options;
  options.files = {path};
  options.csv = true;
  options.bom = true;
  std::ostringstream csv;
  std::istringstream in;
  NoMailboxes mailboxes;
  VerbOutput output("decode", false, Invocation{"1", {"corvane"}}, csv, err);
  EXPECT_EQ(RunDecodeCommand(options, in, mailboxes, output), 0);
  EXPECT_EQ(csv.str().substr(0, 8),
            "\xEF\xBB\xBF"
            "file,");
}

// Text from a received file reaches neither the terminal's controls nor a spreadsheet's
// formulas; JSON keeps it as it is.
TEST_F(DecodeCommandTest, ReceivedTextIsShownInertAndKeptWholeInJson) {
  const std::string path = Write("e.kik",
                                 "003011005004003"
                                 "A\x1B]-1673912542"
                                 "PC\r\n\x7F"
                                 "=SUM"
                                 "@\xC2\x9B"
                                 "x\r\n");
  EXPECT_EQ(Run({path}), 0);
  EXPECT_NE(out.str().find("  disk identifier:  A\\x1B]\n"
                           "  volume serial:    -1673912542\n"
                           "  computer name:    PC\\r\\n\\x7F\n"
                           "  product id:       =SUM\n"
                           "  user name:        @\\u009Bx\n"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(out.str().find('\x1B'), std::string::npos);
  EXPECT_EQ(Run({path}, false, true), 0);
  EXPECT_EQ(out.str().substr(out.str().find("\r\n") + 2),
            path + ",,utf-8,A\\x1B],serial,-1673912542,PC\\r\\n\\x7F,'=SUM,'@\\u009Bx,\r\n");
  EXPECT_EQ(Run({path}, true), 0);
  EXPECT_EQ(Json()["files"][0]["computer_name"], "PC\r\n\x7F");
  EXPECT_EQ(Json()["files"][0]["product_id"], "=SUM");
  EXPECT_EQ(Json()["files"][0]["user_name"], "@\xC2\x9Bx");
  EXPECT_EQ(out.str().find("\xC2\x9B"), std::string::npos);
}

TEST_F(DecodeCommandTest, AFolderGivesItsKikFilesInNameOrderAndDashReadsStandardInput) {
  const std::string record = "001001001001001ABCDE\r\n";
  Write("b.KIK", record);
  Write("a.kik", record);
  Write("c.kik.txt", record);
  std::filesystem::create_directory(dir / "sub");
  Write("sub/d.kik", record);
  std::filesystem::create_directory(dir / "folder.kik");
  ASSERT_EQ(::mkfifo((dir / "fifo.kik").c_str(), 0600), 0);
  EXPECT_EQ(Run({dir.path(), "-"}, true, false, "001001001001001VWXYZ"), 0);
  const nlohmann::json files = Json()["files"];
  ASSERT_EQ(files.size(), 3u) << out.str();
  EXPECT_EQ(files[0]["path"], dir / "a.kik");
  EXPECT_EQ(files[1]["path"], dir / "b.KIK");
  EXPECT_EQ(files[2]["path"], "-");
  EXPECT_EQ(files[2]["user_name"], "Z");

  TempFolder empty;
  EXPECT_EQ(Run({empty.path()}), 0);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(),
            "corvane decode: " + empty.path() + ": the folder holds no file ending in .kik\n");
}

TEST_F(DecodeCommandTest, AnAmbiguousRecordIsDecodedWithAWarning) {
  const std::string path = Write("d.kik",
                                 "000001000000000"
                                 "7" +
                                     std::string(1000, 'P'));
  EXPECT_EQ(Run({path}, true), 0);
  EXPECT_EQ(Json()["files"][0]["ambiguous_cuts"], 4);
  EXPECT_EQ(Json()["messages"][0]["severity"], "warning");
  EXPECT_EQ(Run({path}), 0);
  EXPECT_NE(err.str().find("ambiguous"), std::string::npos);
}

// Whatever the bytes of a file and its name, no control byte reaches stdout or stderr in
// any format: C0 (but the line breaks the formats write), DEL, C1 as UTF-8, or a lone byte
// 0x80 to 0x9F.
std::string RawControl(const std::string& s, bool csv) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = Utf8SequenceLength(s, i);
    const bool line_break = c == '\n' || (csv && c == '\r' && i + 1 < s.size() && s[i + 1] == '\n');
    if ((c < 0x20 && !line_break) || c == 0x7F || (n == 0 && c <= 0x9F) ||
        (n == 2 && c == 0xC2 && static_cast<unsigned char>(s[i + 1]) <= 0x9F)) {
      return "byte " + std::to_string(c) + " at " + std::to_string(i);
    }
    i += n == 0 ? 1 : n;
  }
  return "";
}

TEST_F(DecodeCommandTest, NoRawControlByteReachesTheOutput) {
  std::mt19937 rng(20261209);
  const auto bytes = [&](size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) {
      const unsigned r = rng() % 4;
      s += static_cast<char>(r == 0 ? rng() % 0x20 : r == 1 ? 0x7F + rng() % 0x22 : rng() % 256);
    }
    return s;
  };
  for (int round = 0; round < 200; ++round) {
    std::string name = bytes(8);
    for (char& c : name) {
      if (c == '/' || c == '\0') c = 'x';
    }
    std::string content;
    if (round % 2 == 0) {
      content = MachineRecord({bytes(5), bytes(3), bytes(4), bytes(6), bytes(2)}) + "\r\n";
    } else {
      content = "003" + bytes(12) + bytes(20);  // lengths that do not read: errors quote it
    }
    const std::string path = Write("Lumbrook" + name + ".kik", content);
    const std::string missing = dir / ("gone" + name);
    for (int format = 0; format < 3; ++format) {
      Run({path, missing, dir.path()}, format == 1, format == 2);
      EXPECT_EQ(RawControl(out.str(), format == 2), "") << round << " format " << format;
      EXPECT_EQ(RawControl(err.str(), false), "") << round << " format " << format;
    }
    std::filesystem::remove(path);
  }
}

}  // namespace
}  // namespace corvane::test
