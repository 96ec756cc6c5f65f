#include "disk/drive_identity.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "disk/identity_report.h"
#include "fakes/scripted_smart_device.h"
#include "platform/smart_records.h"

namespace corvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

ScriptedDrive SampleDrive() {
  ScriptedDrive d;
  d.identify[2] = 0xFF;  // cylinders 16383
  d.identify[3] = 0x3F;
  d.identify[6] = 16;
  d.identify[12] = 63;
  PutAtaString(d.identify, 20, 20, "         WD-WCAT1234");
  PutAtaString(d.identify, 46, 8, "01.01A01");
  PutAtaString(d.identify, 54, 40, "WDC WD5000AAKS");
  PutEntry(d.smart_data, 0, {1, 0x0F, 0x00, 200, 199});
  PutEntry(d.smart_data, 1, {9, 0x32, 0x00, 87, 87});
  PutEntry(d.smart_data, 5, {194, 0x22, 0x00, 110, 95});
  PutEntry(d.thresholds, 0, {1, 51});
  PutEntry(d.thresholds, 1, {9, 0});
  PutEntry(d.thresholds, 2, {194, 0});
  return d;
}

struct Machine {
  Machine() {
    smart.device_map = 0x01;
    smart.drives[0] = SampleDrive();
  }
  ScriptedSmartDevice smart;
};

void ExpectEmptyRecord(const DriveIdentity& d) {
  EXPECT_EQ(d.DriveType, kDriveTypeNone);
  EXPECT_EQ(d.SerialNumber, "");
  EXPECT_EQ(d.ModelNumber, "");
  EXPECT_EQ(d.FirmwareRevision, "");
  EXPECT_EQ(d.Cylinders, 0);
  EXPECT_EQ(d.Heads, 0);
  EXPECT_EQ(d.SectorsPerTrack, 0);
  EXPECT_EQ(d.AttributeCount, 0);
  EXPECT_TRUE(d.Attributes.empty());
}

TEST(GetDriveIdentity, PresentAtaDriveDecodesIdentifyInReadingOrder) {
  Machine m;
  const DriveIdentity d = GetDriveIdentity(m.smart, 0);
  EXPECT_EQ(d.DriveType, kDriveTypeAta);
  EXPECT_EQ(d.ModelNumber, "WDC WD5000AAKS" + std::string(26, ' '));
  EXPECT_EQ(d.SerialNumber, "         WD-WCAT1234");
  EXPECT_EQ(d.SerialNumber.size(), 20u);
  EXPECT_EQ(d.FirmwareRevision, "01.01A01");
  EXPECT_EQ(d.Cylinders, 16383);
  EXPECT_EQ(d.Heads, 16);
  EXPECT_EQ(d.SectorsPerTrack, 63);
  EXPECT_TRUE(m.smart.open_handles.empty());
  EXPECT_EQ(m.smart.closed.size(), 1u);
}

TEST(GetDriveIdentity, SendsTheRequestsInOrderWithTheirLengths) {
  Machine m;
  GetDriveIdentity(m.smart, 0);
  std::vector<std::string> names;
  for (const ControlCall& c : m.smart.requests) {
    names.push_back(ScriptedSmartDevice::RequestName(c.code, c.in));
  }
  EXPECT_THAT(names, ElementsAre("GetVersion", "Enable", "Identify", "ReadData", "ReadThresholds"));
  const auto& r = m.smart.requests;
  EXPECT_EQ(r[0].in.size(), 0u);
  EXPECT_EQ(r[0].out_size, 24u);
  EXPECT_EQ(r[1].code, kSmartSendDriveCommand);
  EXPECT_EQ(r[1].out_size, 16u);
  for (size_t i = 1; i < r.size(); ++i) EXPECT_EQ(r[i].in.size(), 32u) << i;
  for (size_t i = 2; i < r.size(); ++i) {
    EXPECT_EQ(r[i].code, kSmartRcvDriveData) << i;
    EXPECT_EQ(r[i].out_size, 528u) << i;
  }
}

TEST(GetDriveIdentity, RequestRecordsAreByteExact) {
  Machine m;
  GetDriveIdentity(m.smart, 0);
  std::vector<uint8_t> enable(32, 0), identify(32, 0), data(32, 0), thresholds(32, 0);
  // cBufferSize, features, count, number, cyl low, cyl high, drive/head, command.
  const uint8_t enable_head[] = {0, 0, 0, 0, 0xD8, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0};
  const uint8_t identify_head[] = {0, 2, 0, 0, 0x00, 1, 1, 0x00, 0x00, 0xA0, 0xEC};
  const uint8_t data_head[] = {0, 2, 0, 0, 0xD0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0};
  const uint8_t thresholds_head[] = {0, 2, 0, 0, 0xD1, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0};
  std::copy(std::begin(enable_head), std::end(enable_head), enable.begin());
  std::copy(std::begin(identify_head), std::end(identify_head), identify.begin());
  std::copy(std::begin(data_head), std::end(data_head), data.begin());
  std::copy(std::begin(thresholds_head), std::end(thresholds_head), thresholds.begin());
  const auto& r = m.smart.requests;
  ASSERT_EQ(r.size(), 5u);
  EXPECT_THAT(r[1].in, ElementsAreArray(enable));
  EXPECT_THAT(r[2].in, ElementsAreArray(identify));
  EXPECT_THAT(r[3].in, ElementsAreArray(data));
  EXPECT_THAT(r[4].in, ElementsAreArray(thresholds));
}

TEST(GetDriveIdentity, AtapiDriveIsType2AndStillGetsIdentifyDevice) {
  Machine m;
  m.smart.device_map = 0x11;
  const DriveIdentity d = GetDriveIdentity(m.smart, 0);
  EXPECT_EQ(d.DriveType, kDriveTypeAtapi);
  ASSERT_GE(m.smart.requests.size(), 3u);
  EXPECT_EQ(m.smart.requests[2].in[kCommandRegOffset], 0xEC);
}

TEST(GetDriveIdentity, DeviceMapBitsAreTakenPerPosition) {
  struct Case {
    uint8_t map;
    int drive;
    uint8_t type;
  };
  const Case cases[] = {
      {0x01, 0, 1}, {0x02, 0, 0}, {0x08, 3, 1}, {0x88, 3, 2}, {0x80, 3, 0},
      {0x24, 2, 1}, {0x44, 2, 2}, {0x10, 0, 0}, {0xFE, 0, 0}, {0x0F, 1, 1},
  };
  for (const Case& c : cases) {
    ScriptedSmartDevice smart;
    smart.device_map = c.map;
    smart.drives[c.drive] = SampleDrive();
    EXPECT_EQ(GetDriveIdentity(smart, c.drive).DriveType, c.type)
        << "map " << int(c.map) << " drive " << c.drive;
    EXPECT_TRUE(smart.open_handles.empty());
  }
}

TEST(GetDriveIdentity, EarlyFailuresGiveTheEmptyRecordAndCloseTheHandle) {
  struct Case {
    const char* fail;
    uint8_t map;
    size_t requests;
  };
  const Case cases[] = {
      {"Open", 0x01, 0},   {"GetVersion", 0x01, 1}, {"", 0x00, 1},  // presence bit clear
      {"Enable", 0x01, 2}, {"Enable", 0x11, 2},                     // an ATAPI drive too
  };
  for (const Case& c : cases) {
    Machine m;
    m.smart.device_map = c.map;
    if (*c.fail) m.smart.fail.insert(c.fail);
    SCOPED_TRACE(c.fail);
    ExpectEmptyRecord(GetDriveIdentity(m.smart, 0));
    // Then the storage stack is opened and asked once; it has no descriptor to give.
    const size_t storage = std::string(c.fail) == "Open" ? 0 : 1;
    EXPECT_EQ(m.smart.requests.size(), c.requests + storage);
    EXPECT_TRUE(m.smart.open_handles.empty());
    EXPECT_EQ(m.smart.closed.size(), 2 * storage);
  }
}

TEST(GetDriveIdentity, FailedIdentifyLeavesIdentityEmptyButReadsAttributes) {
  Machine m;
  m.smart.fail = {"Identify"};
  const DriveIdentity d = GetDriveIdentity(m.smart, 0);
  EXPECT_EQ(d.DriveType, kDriveTypeAta);
  EXPECT_EQ(d.SerialNumber, "");
  EXPECT_EQ(d.ModelNumber, "");
  EXPECT_EQ(d.Cylinders, 0);
  EXPECT_EQ(d.AttributeCount, 3);
  EXPECT_EQ(d.Attributes[0].ThresholdValue, 51);
}

TEST(GetDriveIdentity, FailedReadDataRecordsNoAttributeEvenFromAScribbledBuffer) {
  Machine m;
  m.smart.fail = {"ReadData"};
  m.smart.scribble_on_failure = true;
  const DriveIdentity d = GetDriveIdentity(m.smart, 0);
  EXPECT_EQ(d.DriveType, kDriveTypeAta);
  EXPECT_EQ(d.FirmwareRevision, "01.01A01");
  EXPECT_EQ(d.AttributeCount, 0);
  ASSERT_EQ(d.Attributes.size(), 1u);
  EXPECT_EQ(d.Attributes[0].AttributeId, 0);
  EXPECT_EQ(d.Attributes[0].AttributeName, "");
}

TEST(GetDriveIdentity, FailedThresholdsLeaveEveryThresholdZero) {
  Machine m;
  m.smart.fail = {"ReadThresholds"};
  m.smart.scribble_on_failure = true;
  const DriveIdentity d = GetDriveIdentity(m.smart, 0);
  ASSERT_EQ(d.AttributeCount, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(d.Attributes[i].ThresholdValue, 0) << i;
}

TEST(GetDriveIdentity, DriveHeadAndDeviceNameFollowThePlatformFamily) {
  struct Case {
    std::optional<uint32_t> platform_id;
    int drive;
    uint8_t sector_head;
  };
  const Case cases[] = {
      {2, 0, 0xA0},
      {2, 1, 0xA0},
      {2, 2, 0xA0},
      {2, 3, 0xA0},
      {1, 0, 0xA0},
      {1, 1, 0xB0},
      {1, 2, 0xA0},
      {1, 3, 0xB0},
      {std::nullopt, 1, 0xB0},  // a failed GetVersionExA counts as the 9x family
      {0, 3, 0xB0},
  };
  for (const Case& c : cases) {
    ScriptedSmartDevice smart;
    smart.platform_id = c.platform_id;
    smart.device_map = 0x0F;
    smart.drives[c.drive] = SampleDrive();
    SCOPED_TRACE("platform " + std::to_string(c.platform_id.value_or(99)) + " drive " +
                 std::to_string(c.drive));
    EXPECT_EQ(GetDriveIdentity(smart, c.drive).DriveType, kDriveTypeAta);
    ASSERT_EQ(smart.requests.size(), 5u);
    EXPECT_EQ(smart.requests[1].in[kDriveHeadRegOffset], 0xA0);  // SMART ENABLE
    for (size_t i = 1; i < 5; ++i) EXPECT_EQ(smart.requests[i].in[kDriveNumberOffset], c.drive);
    for (size_t i = 2; i < 5; ++i) {
      EXPECT_EQ(smart.requests[i].in[kDriveHeadRegOffset], c.sector_head) << i;
    }
    ASSERT_EQ(smart.opens.size(), 1u);
    const OpenCall& open = smart.opens[0];
    if (c.platform_id == 2u) {
      EXPECT_EQ(open.name, "\\\\.\\PhysicalDrive" + std::to_string(c.drive));
      EXPECT_EQ(open.access, 0xC0000000u);
      EXPECT_EQ(open.share, 3u);
      EXPECT_EQ(open.disposition, 3u);
    } else {
      EXPECT_EQ(open.name, "\\\\.\\SMARTVSD");
      EXPECT_EQ(open.access, 0u);
      EXPECT_EQ(open.share, 0u);
      EXPECT_EQ(open.disposition, 1u);
    }
  }
}

TEST(GetDriveIdentity, DriveNumbersOutsideTheFourPositionsAreNotQueried) {
  for (int drive : {-1, 4, 7, 8, 1000}) {
    ScriptedSmartDevice smart;
    smart.device_map = 0xFF;
    smart.drives[drive & 0xFF] = SampleDrive();
    ExpectEmptyRecord(GetDriveIdentity(smart, drive));
    EXPECT_TRUE(smart.opens.empty()) << drive;
  }
}

TEST(GetDriveIdentity, EachQueryStartsAfresh) {
  Machine m;
  m.smart.device_map = 0x03;
  m.smart.drives[1] = ScriptedDrive{};
  PutAtaString(m.smart.drives[1].identify, 54, 40, "OTHER");
  EXPECT_EQ(GetDriveIdentity(m.smart, 0).AttributeCount, 3);
  const DriveIdentity second = GetDriveIdentity(m.smart, 1);
  EXPECT_EQ(second.ModelNumber.substr(0, 6), "OTHER ");
  EXPECT_EQ(second.SerialNumber, std::string(20, '\0'));
  EXPECT_EQ(second.AttributeCount, 0);
  EXPECT_EQ(second.Attributes.size(), 1u);
}

TEST(IdentifyDecoding, ZeroSerialBytesStayAsTwentyNulCharacters) {
  Machine m;
  std::fill(m.smart.drives[0].identify.begin() + 20, m.smart.drives[0].identify.begin() + 40, 0);
  const DriveIdentity d = GetDriveIdentity(m.smart, 0);
  EXPECT_EQ(d.SerialNumber, std::string(20, '\0'));
}

TEST(IdentifyDecoding, HighBytesAreKeptAsTheyCome) {
  Machine m;
  m.smart.drives[0].identify[46] = 0xE9;
  m.smart.drives[0].identify[47] = 'x';
  const DriveIdentity d = GetDriveIdentity(m.smart, 0);
  EXPECT_EQ(d.FirmwareRevision.substr(0, 2), "x\xE9");
}

TEST(SwapBytePairs, SwapsEachPairAndPadsAnOddLastCharacter) {
  EXPECT_EQ(SwapBytePairs("BADC"), "ABCD");
  EXPECT_EQ(SwapBytePairs(""), "");
  EXPECT_EQ(SwapBytePairs("BAC"), "AB ");
  EXPECT_EQ(SwapBytePairs(std::string("\0a", 2)), std::string("a\0", 2));
}

TEST(SmartAttributes, EmptySlotsBetweenUsedOnesAreSkipped) {
  Machine m;
  const DriveIdentity d = GetDriveIdentity(m.smart, 0);
  ASSERT_EQ(d.AttributeCount, 3);
  ASSERT_EQ(d.Attributes.size(), 4u);
  const SmartAttribute& a = d.Attributes[0];
  EXPECT_EQ(a.AttributeId, 1);
  EXPECT_EQ(a.AttributeName, "READ_ERROR_RATE");
  EXPECT_EQ(a.CurrentValue, 200);
  EXPECT_EQ(a.WorstValue, 199);
  EXPECT_EQ(a.ThresholdValue, 51);
  EXPECT_EQ(a.StatusFlags, 0x0F);
  EXPECT_EQ(d.Attributes[1].AttributeName, "POWER_ON_HRS_COUNT");
  EXPECT_EQ(d.Attributes[1].StatusFlags, 50);
  EXPECT_EQ(d.Attributes[2].AttributeId, 194);
  EXPECT_EQ(d.Attributes[2].AttributeName, "TEMPERATURE");
  EXPECT_EQ(d.Attributes[3].AttributeId, 0);
  EXPECT_EQ(d.Attributes[3].AttributeName, "");
  EXPECT_EQ(d.Attributes[3].CurrentValue, 0);
}

TEST(SmartAttributes, NamesComeFromTheTableOrAreUnknown) {
  const std::pair<uint8_t, const char*> cases[] = {
      {193, "LOAD_UNLOAD_CYCLE_COUNT"},
      {225, "LOAD_UNLOAD_CYCLE_COUNTII"},
      {194, "TEMPERATURE"},
      {231, "TEMPERATUREII"},
      {191, "G_SENSE_ERROR_RATE"},
      {221, "G_SENSE_ERROR_RATEII"},
      {13, "SOFT_READ_ERROR_RATE"},
      {250, "READ_ERROR_RETRY_RATE"},
      {14, "Unknown value (14)"},
      {195, "Unknown value (195)"},
      {229, "Unknown value (229)"},
      {255, "Unknown value (255)"},
  };
  ScriptedSmartDevice smart;
  smart.device_map = 1;
  ScriptedDrive& drive = smart.drives[0];
  int slot = 0;
  for (const auto& [id, name] : cases) PutEntry(drive.smart_data, slot++, {id});
  const DriveIdentity d = GetDriveIdentity(smart, 0);
  ASSERT_EQ(d.AttributeCount, std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(d.Attributes[i].AttributeName, cases[i].second);
  }
}

// Every row, letter for letter: a name is what a support person searches for.
TEST(SmartAttributes, NameTableHasItsThirtyFiveRows) {
  const AttributeNameTable expected = {
      {"0", "ATTR_INVALID"},
      {"1", "READ_ERROR_RATE"},
      {"2", "THROUGHPUT_PERF"},
      {"3", "SPIN_UP_TIME"},
      {"4", "START_STOP_COUNT"},
      {"5", "REALLOC_SECTOR_COUNT"},
      {"6", "READ_CHANNEL_MARGIN"},
      {"7", "SEEK_ERROR_RATE"},
      {"8", "SEEK_TIME_PERF"},
      {"9", "POWER_ON_HRS_COUNT"},
      {"10", "SPIN_RETRY_COUNT"},
      {"11", "CALIBRATION_RETRY_COUNT"},
      {"12", "POWER_CYCLE_COUNT"},
      {"13", "SOFT_READ_ERROR_RATE"},
      {"191", "G_SENSE_ERROR_RATE"},
      {"192", "POWER_OFF_RETRACT_CYCLE"},
      {"193", "LOAD_UNLOAD_CYCLE_COUNT"},
      {"194", "TEMPERATURE"},
      {"196", "REALLOCATION_EVENTS_COUNT"},
      {"197", "CURRENT_PENDING_SECTOR_COUNT"},
      {"198", "UNCORRECTABLE_SECTOR_COUNT"},
      {"199", "ULTRADMA_CRC_ERROR_RATE"},
      {"200", "WRITE_ERROR_RATE"},
      {"220", "DISK_SHIFT"},
      {"221", "G_SENSE_ERROR_RATEII"},
      {"222", "LOADED_HOURS"},
      {"223", "LOAD_UNLOAD_RETRY_COUNT"},
      {"224", "LOAD_FRICTION"},
      {"225", "LOAD_UNLOAD_CYCLE_COUNTII"},
      {"226", "LOAD_IN_TIME"},
      {"227", "TORQUE_AMPLIFICATION_COUNT"},
      {"228", "POWER_OFF_RETRACT_COUNT"},
      {"230", "GMR_HEAD_AMPLITUDE"},
      {"231", "TEMPERATUREII"},
      {"250", "READ_ERROR_RETRY_RATE"},
  };
  const AttributeNameTable table = BuildAttributeNameTable();
  EXPECT_EQ(table.size(), 35u);
  EXPECT_EQ(table, expected);
  EXPECT_EQ(table.at("0"), "ATTR_INVALID");
  EXPECT_EQ(table.at("5"), "REALLOC_SECTOR_COUNT");
  EXPECT_EQ(table.at("199"), "ULTRADMA_CRC_ERROR_RATE");
  EXPECT_EQ(table.at("228"), "POWER_OFF_RETRACT_COUNT");
  EXPECT_EQ(table.count("195"), 0u);
  EXPECT_EQ(table.count("05"), 0u);
}

TEST(SmartAttributes, FlagsAreTakenWholeAsASignedWord) {
  ScriptedSmartDevice smart;
  smart.device_map = 1;
  PutEntry(smart.drives[0].smart_data, 0, {3, 0x27, 0x01, 100, 90});
  PutEntry(smart.drives[0].smart_data, 1, {4, 0xFF, 0xFF, 100, 90});
  const DriveIdentity d = GetDriveIdentity(smart, 0);
  EXPECT_EQ(d.Attributes[0].StatusFlags, 0x0127);
  EXPECT_EQ(d.Attributes[1].StatusFlags, -1);
}

TEST(SmartAttributes, ThresholdsMatchByIdWhereverTheyStand) {
  ScriptedSmartDevice smart;
  smart.device_map = 1;
  ScriptedDrive& drive = smart.drives[0];
  PutEntry(drive.smart_data, 0, {1, 0, 0, 100, 100});
  PutEntry(drive.smart_data, 3, {5, 0, 0, 100, 100});
  PutEntry(drive.smart_data, 7, {9, 0, 0, 100, 100});
  PutEntry(drive.thresholds, 29, {5, 36});
  PutEntry(drive.thresholds, 4, {200, 99});  // no attribute of that id
  const DriveIdentity d = GetDriveIdentity(smart, 0);
  ASSERT_EQ(d.AttributeCount, 3);
  EXPECT_EQ(d.Attributes[0].ThresholdValue, 0);
  EXPECT_EQ(d.Attributes[1].ThresholdValue, 36);
  EXPECT_EQ(d.Attributes[2].ThresholdValue, 0);
  EXPECT_EQ(d.Attributes[3].ThresholdValue, 0);
}

// Every matching entry sets the threshold in turn, so the last one holds.
TEST(SmartAttributes, AnIdListedTwiceTakesItsLastThreshold) {
  ScriptedSmartDevice smart;
  smart.device_map = 1;
  ScriptedDrive& drive = smart.drives[0];
  PutEntry(drive.smart_data, 0, {5, 0, 0, 100, 100});
  PutEntry(drive.smart_data, 1, {5, 0, 0, 90, 90});
  PutEntry(drive.thresholds, 0, {5, 36});
  PutEntry(drive.thresholds, 1, {7, 50});
  PutEntry(drive.thresholds, 29, {5, 10});
  const DriveIdentity d = GetDriveIdentity(smart, 0);
  ASSERT_EQ(d.AttributeCount, 2);
  EXPECT_EQ(d.Attributes[0].ThresholdValue, 10);
  EXPECT_EQ(d.Attributes[1].ThresholdValue, 10);
}

TEST(SmartAttributes, AFullTableGivesThirtyAttributesAndOneEmptyElement) {
  ScriptedSmartDevice smart;
  smart.device_map = 1;
  for (int k = 0; k < 30; ++k) {
    PutEntry(smart.drives[0].smart_data, k, {static_cast<uint8_t>(k + 1), 0, 0, 100, 100});
    PutEntry(smart.drives[0].thresholds, k, {static_cast<uint8_t>(k + 1), static_cast<uint8_t>(k)});
  }
  // Bytes past the 30th entry are not an entry.
  smart.drives[0].smart_data[362] = 77;
  const DriveIdentity d = GetDriveIdentity(smart, 0);
  EXPECT_EQ(d.AttributeCount, 30);
  ASSERT_EQ(d.Attributes.size(), 31u);
  EXPECT_EQ(d.Attributes[29].AttributeId, 30);
  EXPECT_EQ(d.Attributes[29].ThresholdValue, 29);
  EXPECT_EQ(d.Attributes[30].AttributeId, 0);
}

TEST(SmartAttributes, AnAllZeroSectorRecordsNothing) {
  ScriptedSmartDevice smart;
  smart.device_map = 1;
  smart.drives[0] = ScriptedDrive{};
  const DriveIdentity d = GetDriveIdentity(smart, 0);
  EXPECT_EQ(d.DriveType, kDriveTypeAta);
  EXPECT_EQ(d.AttributeCount, 0);
  EXPECT_EQ(d.Attributes.size(), 1u);
}

TEST(SmartRecords, OsVersionInfoCarriesItsSizeAndPlatformId) {
  Bytes info = NewOsVersionInfo();
  ASSERT_EQ(info.size(), 148u);
  EXPECT_THAT(std::vector<uint8_t>(info.begin(), info.begin() + 4), ElementsAre(148, 0, 0, 0));
  EXPECT_EQ(std::count(info.begin() + 4, info.end(), 0), 144);
  info[16] = 2;
  EXPECT_EQ(ReadPlatformId(info), 2u);
  info[19] = 1;
  EXPECT_EQ(ReadPlatformId(info), 0x01000002u);
}

TEST(IdentityReport, JsonGivesTheTextsTrimmedAndWhole) {
  DriveIdentity d;
  d.DriveType = kDriveTypeAta;
  d.SerialNumber = std::string(" A\0\"\\\xE9 ", 7);
  d.ModelNumber = "DISK  ";
  d.Cylinders = 16383;
  d.AttributeCount = 1;
  d.Attributes = {{194, "TEMPERATURE", 100, 0, 90, -32768}, {}};
  EXPECT_EQ(IdentityJson(d, 3).dump(),
            "{\"drive\":3,\"device_type\":{\"value\":1,\"string\":\"ata\"},"
            "\"serial_number\":\"A\\u0000\\\"\\\\\u00e9\",\"serial_number_padded\":"
            "\" A\\u0000\\\"\\\\\u00e9 \",\"model\":\"DISK\",\"model_padded\":\"DISK  \","
            "\"firmware\":\"\",\"firmware_padded\":\"\",\"geometry\":{\"cylinders\":16383,"
            "\"heads\":0,\"sectors_per_track\":0},\"attributes\":[{\"id\":194,\"name\":"
            "\"TEMPERATURE\",\"value\":100,\"worst\":90,\"threshold\":0,\"flags\":32768}]}");
  const std::string text = FormatIdentityText(d, 3);
  EXPECT_NE(text.find("Serial number:    A?\"\\?\n"), std::string::npos) << text;
  EXPECT_NE(text.find("194 TEMPERATURE"), std::string::npos) << text;
  EXPECT_NE(text.find("0x8000"), std::string::npos) << text;
}

}  // namespace
}  // namespace corvane::test
