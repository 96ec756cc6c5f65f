#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "app/dispatch.h"
#include "common/text.h"
#include "disk/drive_identity.h"
#include "fakes/fake_platform.h"
#include "platform/registry_helpers.h"
#include "report/record_decode.h"

namespace corvane {

// Found by argument lookup from gtest and std::find.
static bool operator==(const MachineValues& a, const MachineValues& b) {
  return a.disk_identifier == b.disk_identifier && a.volume_serial == b.volume_serial &&
         a.computer_name == b.computer_name && a.product_id == b.product_id &&
         a.user_name == b.user_name;
}

static std::ostream& operator<<(std::ostream& os, const MachineValues& v) {
  return os << "{" << v.disk_identifier.size() << "B " << v.volume_serial << " "
            << v.computer_name.size() << "B " << v.product_id.size() << "B " << v.user_name.size()
            << "B}";
}

namespace test {
namespace {

TEST(DecodeMachineRecord, TheWorkedExampleGivesItsFiveValues) {
  const DecodedRecord r = DecodeMachineRecord("007011004006003WD-123 -1673912542PC-7PID-42ANA\r\n");
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.values, (MachineValues{"WD-123 ", "-1673912542", "PC-7", "PID-42", "ANA"}));
  EXPECT_FALSE(r.ambiguous());
  EXPECT_EQ(r.unit, RecordUnit::kCharacters);
}

TEST(DecodeMachineRecord, RejectsWhatIsNotARecordAndSaysWhy) {
  struct Case {
    std::string content;
    std::string says;
  };
  const std::vector<Case> cases = {
      {"", "the file is empty"},
      {"\r\n", "too short: 0 bytes"},
      {"00700000000000", "too short: 14 bytes"},
      {"0070a0000000000ABCDEFG", "length field of the volume serial is \"0a0\", not three digits"},
      {"007000000000 00ABCDEFG", "length field of the user name is \" 00\""},
      {"-07000000000000ABCDEFG", "length field of the disk identifier"},
      {"007011004006003WD-123 -1673912542PC-7PID-42AN\r\n", "add up to 31 characters but only 30"},
      {"007000000000000ABCDEF", "add up to 7 characters but only 6"},
      {"007000000000000ABCDEFGH",
       "trailing data after the record: 1 characters more than the "
       "length fields give, \"H\""},
      {"007000000000000ABCDEFG\r\n\r\n", "\"\\r\\n\\r\\n\""},
      {"007000000000000ABCDEFG\n\n", "1 characters more than the length fields give, \"\\n\\n\""},
      {"007000000000000ABCDEFG\n\r", "\"\\n\\r\""},
      {"\xEF\xBB\xBF\xEF\xBB\xBF"
       "007000000000000ABCDEFG",
       "length field of the disk identifier"},
      {std::string("007000000000000ABCDEFG\0", 23), "\"\\x00\""},
      {std::string("003000000000000\xC9\xC9", 17),
       "add up to 3 characters but only 2 follow them (read as windows-1252)"},
      // Extra characters short of a whole thousand fit no cut.
      {"007000000000000ABCDEFG" + std::string(100, 'H'),
       "trailing data after the record: 100 characters more"},
      {"007000000000000ABCDEFG" + std::string(999, 'H'),
       "trailing data after the record: 999 characters more"},
  };
  for (const Case& c : cases) {
    const DecodedRecord r = DecodeMachineRecord(c.content);
    EXPECT_FALSE(r.ok()) << c.content;
    EXPECT_NE(r.error.find(c.says), std::string::npos) << c.content << " -> " << r.error;
  }
}

// Records as the two systems write them and as they arrive: Windows in code page 1252,
// Linux in UTF-8, with the line ending and byte-order mark that mail and editors leave.
TEST(DecodeMachineRecord, ReadsRecordsFromBothSystems) {
  struct Case {
    std::string what;
    std::string content;
    int code_page;
    std::string encoding;
    MachineValues values;
  };
  const std::vector<Case> cases = {
      {"Windows, CR LF",
       "003011004000006ABC-1673912542PC-7\xC9LODIE\r\n",
       1252,
       "windows-1252",
       {"ABC", "-1673912542", "PC-7", "", "\xC3\x89LODIE"}},
      // 0x9F is Y with diaeresis in the code page, not the C1 control Latin-1 has there.
      {"Windows, 0x9F",
       "0000010000000040LO\x9FS\r\n",
       1252,
       "windows-1252",
       {"", "0", "", "", "LO\xC5\xB8S"}},
      // Code-page bytes that are also UTF-8: the lengths tell them apart.
      {"Windows, looks like UTF-8",
       "000001000000002"
       "5\xC3\xA9\r\n",
       1252,
       "windows-1252",
       {"", "5", "", "", "\xC3\x83\xC2\xA9"}},
      {"Linux, CR LF",
       "000001000000004"
       "5JO\xC3\x83O\r\n",
       1252,
       "utf-8",
       {"", "5", "", "", "JO\xC3\x83O"}},
      {"Linux, LF (mbox, jq -r)",
       "000001000000004"
       "5JO\xC3\x83O\n",
       1252,
       "utf-8",
       {"", "5", "", "", "JO\xC3\x83O"}},
      {"CR alone",
       "000001000000003"
       "5ANA\r",
       1252,
       "utf-8",
       {"", "5", "", "", "ANA"}},
      {"no line ending",
       "000001000000003"
       "5ANA",
       1252,
       "utf-8",
       {"", "5", "", "", "ANA"}},
      {"byte-order mark",
       "\xEF\xBB\xBF"
       "000001000000004"
       "5JO\xC3\x83O\r\n",
       1252,
       "utf-8",
       {"", "5", "", "", "JO\xC3\x83O"}},
      {"byte-order mark, code page",
       "\xEF\xBB\xBF"
       "000001000000001"
       "5\xD1\n",
       1252,
       "windows-1252",
       {"", "5", "", "", "\xC3\x91"}},
      {"negative serial, formula-like values",
       "008011004004004NOTAVAIL-1673912542=1+2-2+3@SUM",
       1252,
       "utf-8",
       {"NOTAVAIL", "-1673912542", "=1+2", "-2+3", "@SUM"}},
      {"another code page",
       "000001000000004"
       "5\xA3\xD3"
       "D\x8F\r\n",
       1250,
       "windows-1250",
       {"", "5", "", "",
        "\xC5\x81\xC3\x93"
        "D\xC5\xB9"}},
      // A letter and the tone mark after it are two characters, as Windows converts them;
      // the last letter is not lost for want of a line ending.
      {"Vietnamese",
       "000001006000007"
       "5PC-Ha\xCCNguy\xEA\xDEn",
       1258,
       "windows-1258",
       {"", "5", "PC-Ha\xCC\x80", "",
        "Nguy\xC3\xAA\xCC\x83"
        "n"}},
      // Hebrew with its points: shin and shin dot, vav and holam stay two characters each.
      {"Hebrew",
       "000001000000007"
       "5\xF9\xD1\xC8\xEC\xE5\xC9\xED\r\n",
       1255,
       "windows-1255",
       {"", "5", "", "", "\xD7\xA9\xD7\x81\xD6\xB8\xD7\x9C\xD7\x95\xD6\xB9\xD7\x9D"}},
  };
  for (const Case& c : cases) {
    const DecodedRecord r = DecodeMachineRecord(c.content, c.code_page);
    ASSERT_TRUE(r.ok()) << c.what << ": " << r.error;
    EXPECT_EQ(r.encoding, c.encoding) << c.what;
    EXPECT_EQ(r.values, c.values) << c.what;
  }
}

// Notepad's "Unicode" and "Unicode big endian": the record as UTF-16 after its byte-order
// mark, cut as its UTF-8 form would be.
TEST(DecodeMachineRecord, ReadsUtf16AfterItsByteOrderMark) {
  std::string little = "\xFF\xFE";
  for (char c : std::string("000001000000004"
                            "5JO\xC3O\r\n")) {
    little += c;
    little += '\0';
  }
  const DecodedRecord le = DecodeMachineRecord(little, 1252);
  ASSERT_TRUE(le.ok()) << le.error;
  EXPECT_EQ(le.encoding, "utf-16le");
  EXPECT_EQ(le.values, (MachineValues{"", "5", "", "", "JO\xC3\x83O"}));

  std::string big = "\xFE\xFF";
  for (char c : std::string("000001000000002"
                            "5")) {
    big += '\0';
    big += c;
  }
  big += std::string("\xD8\x3D\xDE\x00\x00Z", 6);  // U+1F600 as a surrogate pair, then Z
  const DecodedRecord be = DecodeMachineRecord(big, 1252);
  ASSERT_TRUE(be.ok()) << be.error;
  EXPECT_EQ(be.encoding, "utf-16be");
  EXPECT_EQ(be.values, (MachineValues{"", "5", "", "", "\xF0\x9F\x98\x80Z"}));

  const DecodedRecord cut_short = DecodeMachineRecord(little.substr(0, little.size() - 1), 1252);
  EXPECT_EQ(cut_short.error,
            "the file begins as utf-16le text but is none: an odd number of bytes");
  const DecodedRecord lone = DecodeMachineRecord(big.substr(0, big.size() - 4), 1252);
  EXPECT_EQ(lone.error,
            "the file begins as utf-16be text but is none: a lone surrogate at byte 34");
}

// UTF-8 text of the Latin-1 letters in that code page, as Windows writes it.
std::string InCodePage1252(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == 0xC3 || c == 0xC2) {
      out += static_cast<char>(((c & 0x03) << 6) | (utf8[++i] & 0x3F));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

TEST(DecodeMachineRecord, TheSameMachineFromWindowsAndLinuxDecodesAlike) {
  const MachineValues machine{"WD-\xC3\x81\xC3\x89\xC3\x8D", "-1673912542",
                              "JOS\xC3\x89-PC \xC3\x93\xC3\x9A\xC3\x91",
                              "PID-\xC3\x83\xC3\x95\xC3\x87",
                              "MAR\xC3\x8D"
                              "A \xC3\xA1\xC3\xA9\xC3\xAD\xC3\xB3\xC3\xBA\xC3\xB1\xC3\xA3"
                              "\xC3\xB5\xC3\xA7"};
  const std::string linux_file = MachineRecord(machine) + "\r\n";
  const std::string windows_file = InCodePage1252(linux_file);
  ASSERT_NE(linux_file, windows_file);
  const DecodedRecord from_linux = DecodeMachineRecord(linux_file);
  const DecodedRecord from_windows = DecodeMachineRecord(windows_file);
  ASSERT_TRUE(from_linux.ok()) << from_linux.error;
  ASSERT_TRUE(from_windows.ok()) << from_windows.error;
  EXPECT_EQ(from_linux.values, machine);
  EXPECT_EQ(from_windows.values, machine);
  EXPECT_EQ(from_linux.encoding, "utf-8");
  EXPECT_EQ(from_windows.encoding, "windows-1252");
}

TEST(DecodeMachineRecord, ExtraThousandsGoToTheProductIdentifierAndAreFlagged) {
  MachineValues v{"WD-1", "5", "PC", std::string(1000, 'P'), "ANA"};
  const DecodedRecord r = DecodeMachineRecord(MachineRecord(v) + "\r\n");
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.values, v);
  EXPECT_TRUE(r.ambiguous());
  EXPECT_EQ(r.cuts, 4u);  // the thousand may belong to any value but the serial
  EXPECT_EQ(r.candidates.size(), 4u);
}

TEST(DecodeMachineRecord, HugeWrappedRecordsAreCountedNotListed) {
  const DecodedRecord r = DecodeMachineRecord("000000000000000" + std::string(200000, 'x'));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.cuts, 1373701u);  // C(203, 3)
  EXPECT_EQ(r.candidates.size(), kMaxCandidates);
  EXPECT_EQ(r.values.product_id.size(), 200000u);
}

// Random values of the lengths that matter (0, 9/10, 99/100, 999/1000 and beyond) in
// ASCII and in multi-byte UTF-8: every record written decodes back to its values.
std::string RandomValue(std::mt19937& rng, size_t characters) {
  static const std::vector<std::string> kAlphabet = {"A",
                                                     "z",
                                                     "0",
                                                     " ",
                                                     "-",
                                                     "_",
                                                     ".",
                                                     ",",
                                                     "\"",
                                                     "\xC3\x89",
                                                     "\xC3\xA7",
                                                     "\xE2\x82\xAC",
                                                     "\xF0\x9D\x84\x9E"};
  std::string s;
  for (size_t i = 0; i < characters; ++i) s += kAlphabet[rng() % kAlphabet.size()];
  return s;
}

// A drive serial of any bytes, padding and NULs included, as the gathering turns it into
// the disk identifier: every byte of 0x80 and above one character of the code page.
std::string SerialIdentifier(std::mt19937& rng, SystemInfo& system) {
  DriveIdentity drive;
  drive.DriveType = kDriveTypeAta;
  for (int i = 0; i < 20; ++i) {
    const unsigned r = rng() % 6;
    drive.SerialNumber += r == 0   ? ' '
                          : r == 1 ? '\0'
                          : r == 2 ? 'q'
                                   : static_cast<char>(0x80 + rng() % 0x80);
  }
  return DiskIdentifier(drive, system);
}

TEST(DecodeMachineRecord, RecordsWrittenHereDecodeToTheirValues) {
  std::mt19937 rng(20260131);
  FakeSystemInfo system;
  const std::vector<size_t> lengths = {0, 1, 9, 10, 24, 99, 100, 101, 255, 999, 1000, 1001, 2000};
  size_t ambiguous = 0;
  for (int round = 0; round < 600; ++round) {
    // Every other round keeps the values within what the gathering can produce, which
    // leaves only the product identifier unbounded.
    const bool gathered = round % 2 == 0;
    const auto pick = [&](size_t bound) {
      size_t n = lengths[rng() % lengths.size()];
      if (gathered) n = std::min(n, bound);
      return RandomValue(rng, n);
    };
    MachineValues v;
    v.disk_identifier = round % 3 == 0 ? SerialIdentifier(rng, system) : pick(40);
    v.volume_serial = std::to_string(static_cast<int32_t>(rng()));
    v.computer_name = pick(255);
    v.product_id = pick(100000);
    v.user_name = pick(24);
    const DecodedRecord r = DecodeMachineRecord(MachineRecord(v) + "\r\n");
    ASSERT_TRUE(r.ok()) << r.error << " " << v;
    if (gathered || !r.ambiguous()) {
      EXPECT_EQ(r.values, v);
    } else {
      ++ambiguous;
      if (r.cuts <= r.candidates.size()) {
        EXPECT_NE(std::find(r.candidates.begin(), r.candidates.end(), v), r.candidates.end()) << v;
      }
    }
    const bool long_values = Utf8CharacterCount(v.disk_identifier) >= 1000 ||
                             Utf8CharacterCount(v.computer_name) >= 1000 ||
                             Utf8CharacterCount(v.product_id) >= 1000 ||
                             Utf8CharacterCount(v.user_name) >= 1000;
    EXPECT_EQ(r.ambiguous(), long_values) << v;
  }
  EXPECT_GT(ambiguous, 50u);  // the rounds did reach the ambiguous records
}

TEST(DecodeMachineRecord, TheFileTheWizardWritesDecodesToWhatItGathered) {
  FakeRun run;
  run.registry.PutValue(kHkeyLocalMachine, kCurrentVersionKey, kProductIdValueName,
                        {kRegSz, std::string("pid-42\0", 7)});
  run.system.computer_name = "estação-1";
  run.system.user_name = "joão";
  run.smart.device_map = 0x01;
  PutAtaString(run.smart.drives[0].identify, 20, 20, "  s3rial-9");
  StartProgram(run.app);
  SelectOption(run.app, run.app.form.OBPOR);
  DispatchClick(run.app, Click::kOk);
  ASSERT_EQ(DispatchClick(run.app, Click::kYes), Outcome::kRunning);
  const DecodedRecord r = DecodeMachineRecord(run.files.files.at(run.app.form.LBLFILENAME.caption));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.values, (MachineValues{"S3RIAL-9", "-1673912542", "ESTAÇÃO-1", "PID-42", "JOÃO"}));
}

}  // namespace
}  // namespace test
}  // namespace corvane
