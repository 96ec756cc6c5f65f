// A disk the SMART requests cannot reach (no access rights, or an NVMe disk), identified
// through the storage stack's property query.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "disk/drive_identity.h"
#include "fakes/fake_platform.h"
#include "fakes/scripted_smart_device.h"
#include "platform/smart_records.h"
#include "platform/storage_records.h"
#include "report/machine_record.h"

namespace corvane::test {
namespace {

// The disk identifier as the gathering forms it, on the fake machine.
std::string Identifier(const DriveIdentity& drive) {
  FakeSystemInfo system;
  return DiskIdentifier(drive, system);
}

constexpr uint32_t kSata = 0x0B;
constexpr uint32_t kNvme = 0x11;
// The serial field of the drive's IDENTIFY data, in reading order.
const std::string kIdentifySerial = "         WD-WCAT1234";

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// A user without administrator rights: SMART's open is refused, the storage stack answers.
ScriptedSmartDevice WithoutRights(Bytes descriptor) {
  ScriptedSmartDevice smart;
  smart.fail = {"OpenWithAccess"};
  smart.device_descriptor = std::move(descriptor);
  return smart;
}

TEST(StorageStack, OneDiskGivesOneIdentifierHoweverItWasRead) {
  struct Case {
    const char* how;
    std::function<void(ScriptedSmartDevice&)> script;
    const char* model;
    const char* firmware;
  };
  const auto descriptor_serial = [](std::string serial) {
    return [serial](ScriptedSmartDevice& s) {
      s.fail = {"OpenWithAccess"};
      s.device_descriptor = DeviceDescriptorAnswer(kSata, nullptr, "WDC WD5000AAKS-00V1A0",
                                                   "01.01A01", serial.c_str());
    };
  };
  const auto nvme = [](ScriptedSmartDevice& s) {
    s.device_map = 0;  // an NVMe disk answers no SMART request
    s.device_descriptor = DeviceDescriptorAnswer(kNvme, nullptr, "WD Blue SN570", "234110WD",
                                                 "E823_8FA6_BF53_0001_001B_448B_4A1B_2C3D.");
    s.nvme_identify = NvmeIdentifyData("WD-WCAT1234", "WD Blue SN570 1TB", "234110WD");
  };
  const Case cases[] = {
      {"SMART IDENTIFY",
       [](ScriptedSmartDevice& s) {
         s.device_map = 1;
         PutAtaString(s.drives[0].identify, kSerialOffset, kSerialLength, kIdentifySerial);
         PutAtaString(s.drives[0].identify, kModelOffset, kModelLength, "WDC WD5000AAKS-00V1A0");
         PutAtaString(s.drives[0].identify, kFirmwareOffset, kFirmwareLength, "01.01A01");
       },
       "WDC WD5000AAKS-00V1A0", "01.01A01"},
      {"descriptor, trimmed", descriptor_serial("WD-WCAT1234"), "WDC WD5000AAKS-00V1A0",
       "01.01A01"},
      {"descriptor, padded", descriptor_serial(kIdentifySerial), "WDC WD5000AAKS-00V1A0",
       "01.01A01"},
      {"descriptor, pairs swapped", descriptor_serial(SwapBytePairs(kIdentifySerial)),
       "WDC WD5000AAKS-00V1A0", "01.01A01"},
      {"descriptor, pairs swapped and trimmed", descriptor_serial("W -DCWTA2143"),
       "WDC WD5000AAKS-00V1A0", "01.01A01"},
      {"descriptor, hex of the field in word order",
       descriptor_serial(Hex(SwapBytePairs(kIdentifySerial))), "WDC WD5000AAKS-00V1A0", "01.01A01"},
      {"descriptor, hex of the field in reading order", descriptor_serial(Hex(kIdentifySerial)),
       "WDC WD5000AAKS-00V1A0", "01.01A01"},
      {"descriptor behind a SCSI translation",
       [](ScriptedSmartDevice& s) {
         s.fail = {"OpenWithAccess"};
         s.device_descriptor =
             DeviceDescriptorAnswer(kSata, "ATA     ", "WDC WD5000AAKS-0", "1A01", "WD-WCAT1234");
       },
       "WDC WD5000AAKS-0", "1A01"},
      {"NVMe identify data", nvme, "WD Blue SN570 1TB", "234110WD"},
      {"NVMe identify data through the device's property",
       [&](ScriptedSmartDevice& s) {
         nvme(s);
         s.fail = {"AdapterIdentify"};
       },
       "WD Blue SN570 1TB", "234110WD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    ScriptedSmartDevice smart;
    c.script(smart);
    const DriveIdentity d = GetDriveIdentity(smart, 0);
    EXPECT_EQ(d.DriveType, kDriveTypeAta);
    EXPECT_EQ(Identifier(d), "WD-WCAT1234");
    EXPECT_EQ(d.ModelNumber.substr(0, d.ModelNumber.find_last_not_of(' ') + 1), c.model);
    EXPECT_EQ(d.FirmwareRevision.substr(0, d.FirmwareRevision.find_last_not_of(' ') + 1),
              c.firmware);
    EXPECT_EQ(d.AttributeCount, 0);
    EXPECT_TRUE(smart.open_handles.empty());
  }
}

TEST(StorageStack, AnswersWithoutAUsableSerialLeaveDriveType0) {
  const Bytes sata = DeviceDescriptorAnswer(kSata, nullptr, "Disk", "1.0", "WD-WCAT1234");
  const size_t serial_at = ReadU32(sata, kSerialNumberOffsetField);
  const auto with = [&](size_t offset, uint32_t value) {
    Bytes d = sata;
    WriteU32(d, offset, value);
    return d;
  };
  struct Case {
    const char* what;
    ScriptedSmartDevice smart;
  };
  Case cases[] = {
      {"descriptor refused", WithoutRights({})},
      {"no serial", WithoutRights(DeviceDescriptorAnswer(kSata, nullptr, "Disk", "1.0", nullptr))},
      {"blank serial", WithoutRights(DeviceDescriptorAnswer(kSata, nullptr, "Disk", "1.0", "  "))},
      {"unprintable serial",
       WithoutRights(DeviceDescriptorAnswer(kSata, nullptr, "Disk", "1.0", "\x01\x02\x03"))},
      {"serial past the bytes returned", WithoutRights(sata)},
      {"serial offset past the buffer", WithoutRights(with(kSerialNumberOffsetField, 5000))},
      {"serial offset inside the fixed part", WithoutRights(with(kSerialNumberOffsetField, 8))},
      {"serial without its terminator", WithoutRights(Bytes(sata.begin(), sata.end() - 1))},
      {"descriptor's size below its fixed part", WithoutRights(with(kDescriptorSizeOffset, 20))},
      {"answer shorter than the fixed part", WithoutRights(Bytes(sata.begin(), sata.begin() + 30))},
  };
  cases[4].smart.storage_returned = serial_at + 4;
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    const DriveIdentity d = GetDriveIdentity(c.smart, 0);
    EXPECT_EQ(d.DriveType, kDriveTypeNone);
    EXPECT_EQ(d.SerialNumber, "");
    EXPECT_TRUE(c.smart.open_handles.empty());
  }

  // NVMe identify data that cannot be used leaves the descriptor's serial, or nothing.
  struct NvmeCase {
    const char* what;
    std::function<void(ScriptedSmartDevice&)> spoil;
    const char* descriptor_serial;
  };
  const NvmeCase nvme_cases[] = {
      {"both properties refused",
       [](ScriptedSmartDevice& s) {
         s.fail = {"AdapterIdentify", "DeviceIdentify"};
       },
       "E823_8FA6."},
      {"blank serial",
       [](ScriptedSmartDevice& s) { s.nvme_identify = NvmeIdentifyData("", "Model", "1"); },
       "E823_8FA6."},
      {"texts past the bytes returned", [](ScriptedSmartDevice& s) { s.storage_returned = 108; },
       nullptr},
  };
  for (const NvmeCase& c : nvme_cases) {
    SCOPED_TRACE(c.what);
    ScriptedSmartDevice smart;
    smart.device_descriptor =
        DeviceDescriptorAnswer(kNvme, nullptr, "NVMe", "1", c.descriptor_serial);
    smart.nvme_identify = NvmeIdentifyData("S4EWNX0R123456", "NVMe", "1");
    c.spoil(smart);
    const DriveIdentity d = GetDriveIdentity(smart, 0);
    EXPECT_EQ(d.DriveType, c.descriptor_serial ? kDriveTypeAta : kDriveTypeNone);
    EXPECT_EQ(Identifier(d), c.descriptor_serial ? c.descriptor_serial : "");
  }
}

TEST(StorageStack, AskedAfterTheSmartRequestsOnTheNtFamilyOnly) {
  // SMART identifies the disk: nothing more is asked.
  ScriptedSmartDevice smart;
  smart.device_map = 1;
  PutAtaString(smart.drives[0].identify, kSerialOffset, kSerialLength, "SMART-SERIAL");
  smart.device_descriptor = DeviceDescriptorAnswer(kSata, nullptr, "Disk", "1", "OTHER");
  EXPECT_EQ(Identifier(GetDriveIdentity(smart, 0)), "SMART-SERIAL");
  EXPECT_EQ(smart.opens.size(), 1u);

  // The 9x family has no storage stack to ask.
  ScriptedSmartDevice nine_x = WithoutRights(smart.device_descriptor);
  nine_x.platform_id = 1;
  EXPECT_EQ(GetDriveIdentity(nine_x, 0).DriveType, kDriveTypeNone);
  ASSERT_EQ(nine_x.opens.size(), 1u);
  EXPECT_EQ(nine_x.opens[0].name, "\\\\.\\SMARTVSD");

  // Refused the SMART open, drive 2 is opened again without access rights and asked once
  // for its descriptor, then NVMe identify data through the adapter's property.
  ScriptedSmartDevice refused =
      WithoutRights(DeviceDescriptorAnswer(kNvme, nullptr, "N", "1", "X"));
  refused.nvme_identify = NvmeIdentifyData("NVME-SERIAL", "N", "1");
  EXPECT_EQ(Identifier(GetDriveIdentity(refused, 2)), "NVME-SERIAL");
  ASSERT_EQ(refused.opens.size(), 2u);
  const OpenCall& open = refused.opens[1];
  EXPECT_EQ(open.name, "\\\\.\\PhysicalDrive2");
  EXPECT_EQ(open.access, 0u);
  EXPECT_EQ(open.share, kFileShareReadWrite);
  EXPECT_EQ(open.disposition, kOpenExisting);
  ASSERT_EQ(refused.requests.size(), 2u);
  EXPECT_EQ(refused.requests[0].code, 0x2D1400u);
  EXPECT_THAT(refused.requests[0].in, ::testing::ElementsAreArray(Bytes(12, 0)));
  EXPECT_EQ(refused.requests[0].out_size, 1024u);
  EXPECT_EQ(ScriptedSmartDevice::RequestName(0x2D1400, refused.requests[1].in), "AdapterIdentify");
  EXPECT_EQ(refused.requests[1].out_size, 4144u);
  EXPECT_THAT(refused.closed, ::testing::ElementsAre(refused.requests[0].handle));

  // SMART found the drive but not its serial: the storage stack's serial joins the
  // attributes SMART read.
  ScriptedSmartDevice no_identify;
  no_identify.device_map = 1;
  no_identify.fail = {"Identify"};
  PutEntry(no_identify.drives[0].smart_data, 0, {194, 0x22, 0, 110, 95});
  no_identify.device_descriptor = DeviceDescriptorAnswer(kSata, nullptr, "Disk", "1", "SATA-1");
  const DriveIdentity d = GetDriveIdentity(no_identify, 0);
  EXPECT_EQ(d.DriveType, kDriveTypeAta);
  EXPECT_EQ(Identifier(d), "SATA-1");
  EXPECT_EQ(d.AttributeCount, 1);
  EXPECT_EQ(d.Attributes[0].AttributeName, "TEMPERATURE");
}

}  // namespace
}  // namespace corvane::test
