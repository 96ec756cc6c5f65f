#include "disk/capture.h"

#include <gtest/gtest.h>

#include "disk/drive_identity.h"
#include "fakes/scripted_smart_device.h"

namespace corvane::test {
namespace {

std::string Record(const std::string& tag, const std::string& body) {
  std::string r = tag;
  const uint32_t n = static_cast<uint32_t>(body.size());
  for (int shift = 24; shift >= 0; shift -= 8) r.push_back(static_cast<char>(n >> shift));
  return r + body;
}

std::string SectorOf(char fill) { return std::string(512, fill); }

TEST(ParseCapture, ReadsRecordsInAnyOrderAndSkipsUnknownTags) {
  const std::string file = Record("SMTH", SectorOf('t')) + Record("XTRA", "abc") +
                           Record("SMST", std::string("\0\0\0\1", 4)) +
                           Record("IDFY", SectorOf('i')) + Record("SMDT", SectorOf('d'));
  const DriveCapture c = ParseCapture(file);
  ASSERT_TRUE(c.identify && c.smart_data && c.thresholds && c.status);
  EXPECT_EQ((*c.identify)[0], 'i');
  EXPECT_EQ((*c.smart_data)[511], 'd');
  EXPECT_EQ((*c.thresholds)[7], 't');
  EXPECT_EQ(*c.status, 1u);
}

TEST(ParseCapture, MalformedFilesGiveAClearError) {
  const std::string idfy = Record("IDFY", SectorOf('i'));
  const std::pair<std::string, std::string> cases[] = {
      {"", "no IDFY"},
      {Record("SMDT", SectorOf('d')), "no IDFY"},
      {std::string("IDFY\0\0\2", 7), "ends inside a record header"},
      {idfy + "SMD", "ends inside a record header"},
      {std::string("IDFY\0\0\2\0", 8) + SectorOf('i').substr(0, 100), "claims 512 bytes"},
      {std::string("IDFY\xff\xff\xff\xff", 8), "claims 4294967295 bytes"},
      {Record("IDFY", SectorOf('i').substr(0, 510)), "510 bytes instead of 512"},
      {idfy + Record("SMTH", SectorOf('t') + "x"), "513 bytes instead of 512"},
      {idfy + Record("SMST", "\1"), "1 bytes instead of 4"},
      {idfy + idfy, "two IDFY"},
      {idfy + Record("SMST", std::string(4, '\0')) + Record("SMST", std::string(4, '\0')),
       "two SMST"},
      {std::string("\x01\x02\x03\x04\0\0\0\x09", 8), "\?\?\?\? record claims 9 bytes"},
  };
  for (const auto& [file, message] : cases) {
    try {
      ParseCapture(file);
      ADD_FAILURE() << "accepted: " << message;
    } catch (const CaptureError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos)
          << e.what() << " / expected " << message;
    }
  }
}

TEST(WriteCapture, WritesTheRecordsInSkdumpOrderAndReadsBack) {
  DriveCapture c;
  c.identify = Bytes(512, 1);
  c.smart_data = Bytes(512, 2);
  c.thresholds = Bytes(512, 3);
  const std::string file = WriteCapture(c);
  ASSERT_EQ(file.size(), 3u * 520);
  EXPECT_EQ(file.substr(0, 8), std::string("IDFY\0\0\2\0", 8));
  EXPECT_EQ(file.substr(520, 4), "SMDT");
  EXPECT_EQ(file.substr(1040, 4), "SMTH");
  c.status = 0;
  const DriveCapture back = ParseCapture(WriteCapture(c));
  EXPECT_EQ(back.identify, c.identify);
  EXPECT_EQ(back.smart_data, c.smart_data);
  EXPECT_EQ(back.thresholds, c.thresholds);
  EXPECT_EQ(back.status, 0u);
}

TEST(CaptureSmartDevice, AnswersFromItsRecordsAndFailsWithoutThem) {
  Sector identify{};
  PutAtaString(identify, 54, 40, "CAPTURED MODEL");
  Sector data{};
  PutEntry(data, 0, {9, 0x32, 0, 98, 97});
  DriveCapture c;
  c.identify = Bytes(identify.begin(), identify.end());
  c.smart_data = Bytes(data.begin(), data.end());
  CaptureSmartDevice device(c);
  const DriveIdentity d = GetDriveIdentity(device, 2);
  EXPECT_EQ(d.DriveType, kDriveTypeAta);
  EXPECT_EQ(d.ModelNumber.substr(0, 15), "CAPTURED MODEL ");
  ASSERT_EQ(d.AttributeCount, 1);
  EXPECT_EQ(d.Attributes[0].CurrentValue, 98);
  EXPECT_EQ(d.Attributes[0].ThresholdValue, 0);  // no SMTH record
}

TEST(RecordingSmartDevice, KeepsOnlyTheSectorsTheDriveAnswered) {
  ScriptedSmartDevice smart;
  smart.device_map = 1;
  smart.drives[0].identify[0] = 0x40;
  smart.drives[0].thresholds[5] = 7;
  smart.fail = {"ReadData"};
  RecordingSmartDevice recorder(smart);
  GetDriveIdentity(recorder, 0);
  const DriveCapture& c = recorder.capture();
  ASSERT_TRUE(c.identify);
  EXPECT_EQ((*c.identify)[0], 0x40);
  EXPECT_FALSE(c.smart_data);
  ASSERT_TRUE(c.thresholds);
  EXPECT_EQ((*c.thresholds)[5], 7);
  EXPECT_FALSE(c.status);
}

}  // namespace
}  // namespace corvane::test
