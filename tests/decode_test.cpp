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
      {"007000000000000ABCDEFG\n",
       "trailing data after the record: 1 characters more than the "
       "length fields give, \"\\n\""},
      {"007000000000000ABCDEFG\r\n\r\n", "\"\\r\\n\\r\\n\""},
      {"007000000000000ABCDEFG\r", "\"\\r\""},
      {std::string("007000000000000ABCDEFG\0", 23), "\"\\x00\""},
      {std::string("003000000000000\xC9\xC9", 17), "add up to 3 bytes but only 2"},
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

TEST(DecodeMachineRecord, CountsUtf8CharactersAndSingleByteTextByBytes) {
  // "ÉLODIE" is 6 characters in 7 bytes of UTF-8.
  DecodedRecord r = DecodeMachineRecord(
      "000001000000006"
      "0"
      "\xC3\x89LODIE\r\n");
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.unit, RecordUnit::kCharacters);
  EXPECT_EQ(r.values.user_name, "\xC3\x89LODIE");
  // The same name in a single-byte code page, as Windows writes it: 6 bytes.
  r = DecodeMachineRecord(
      "000001000000006"
      "0"
      "\xC9LODIE\r\n");
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.unit, RecordUnit::kBytes);
  EXPECT_EQ(r.values.user_name, "\xC9LODIE");
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
