#include <gtest/gtest.h>
#include <linux/hdreg.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "disk/drive_identity.h"
#include "linux/temp_folder.h"
#include "platform/linux/smart_device.h"

namespace corvane::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const std::vector<LinuxDrive>& drives) {
  std::vector<std::string> names;
  for (const LinuxDrive& d : drives) names.push_back(d.name + (d.atapi ? "*" : ""));
  return names;
}

TEST(OrderDrives, RootDiskFirstThenFamiliesInNameOrderThenOptical) {
  struct Case {
    std::vector<std::string> block;
    std::string root;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {{"vda", "zram0", "loop0", "loop1"}, "vda", {"vda"}},
      {{"sdb", "sda", "nvme0n1"}, "nvme0n1", {"nvme0n1", "sda", "sdb"}},
      {{"mmcblk0", "xvda", "vdb", "nvme1n1", "hda", "sdc", "sr0"},
       "",
       {"sdc", "hda", "nvme1n1", "vdb"}},
      {{"sr1", "sr0", "sda"}, "sda", {"sda", "sr0*", "sr1*"}},
      {{"sdaa", "sdz", "sdb"}, "", {"sdb", "sdz", "sdaa"}},
      {{"nvme10n1", "nvme2n1", "nvme2n10", "nvme2n2"},
       "",
       {"nvme2n1", "nvme2n2", "nvme2n10", "nvme10n1"}},
      {{"loop0", "ram0", "zram0", "dm-0", "md0", "md127", "nbd0", "nvme0c0n1", "mmcblk0boot0",
        "mmcblk0rpmb", "sr", "sd", "fd0"},
       "",
       {}},
      {{"sda", "sr0"}, "dm-0", {"sda", "sr0*"}},  // a root disk that is no drive changes nothing
      {{"sda"}, "sdb", {"sda"}},                  // nor one that is not listed
      {{"mmcblk1", "mmcblk0", "sr0"}, "mmcblk1", {"mmcblk1", "mmcblk0", "sr0*"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Names(OrderDrives(c.block, c.root)), c.expected) << "root " << c.root;
  }
}

TEST(OrderDrives, KeepsFourPositions) {
  const auto drives = OrderDrives({"sr0", "sde", "sdd", "sdc", "sdb", "sda"}, "sdc");
  EXPECT_EQ(Names(drives), (std::vector<std::string>{"sdc", "sda", "sdb", "sdd"}));
}

TEST(JudgePassThrough, SenseKeyAndAtaErrorBitDecide) {
  // Descriptor-format sense with an ATA status return descriptor.
  const auto descriptor = [](uint8_t key, uint8_t asc, uint8_t ascq, uint8_t status) {
    std::vector<uint8_t> s(22, 0);
    s[0] = 0x72;
    s[1] = key;
    s[2] = asc;
    s[3] = ascq;
    s[7] = 14;
    s[8] = 0x09;
    s[9] = 12;
    s[21] = status;
    return s;
  };
  const auto fixed = [](uint8_t key, uint8_t status) {
    std::vector<uint8_t> s(18, 0);
    s[0] = 0x70;
    s[2] = key;
    s[4] = status;
    s[12] = 0;
    s[13] = 0x1D;
    return s;
  };
  struct Case {
    const char* what;
    uint8_t scsi_status;
    uint16_t host_status;
    std::vector<uint8_t> sense;
    PassThroughOutcome expected;
  };
  const Case cases[] = {
      {"check condition carrying success", 0x02, 0, descriptor(1, 0, 0x1D, 0x50),
       PassThroughOutcome::kDone},
      {"no sense key", 0x02, 0, descriptor(0, 0, 0, 0x50), PassThroughOutcome::kDone},
      {"ATA error bit", 0x02, 0, descriptor(1, 0, 0x1D, 0x51), PassThroughOutcome::kFailed},
      {"aborted command", 0x02, 0, descriptor(0xB, 0, 0, 0x51), PassThroughOutcome::kFailed},
      {"no pass-through in the translator", 0x02, 0, descriptor(5, 0x20, 0, 0),
       PassThroughOutcome::kRefused},
      {"fixed format success", 0x02, 0, fixed(1, 0x50), PassThroughOutcome::kDone},
      {"fixed format error", 0x02, 0, fixed(1, 0x41), PassThroughOutcome::kFailed},
      {"good status without sense", 0x00, 0, {}, PassThroughOutcome::kDone},
      {"check condition without sense", 0x02, 0, {}, PassThroughOutcome::kFailed},
      {"host error", 0x00, 0x07, descriptor(1, 0, 0x1D, 0x50), PassThroughOutcome::kFailed},
      {"unknown sense format", 0x02, 0, std::vector<uint8_t>(18, 0x11),
       PassThroughOutcome::kFailed},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JudgePassThrough(c.scsi_status, c.host_status, c.sense.data(), c.sense.size()),
              c.expected)
        << c.what;
  }
}

TEST(RestoreDriveStringOrder, SwapsOnlyTheThreeStrings) {
  uint8_t sector[512] = {};
  const std::string serial = "SERIAL0123456789ABCD", firmware = "FW1.00ab";
  const std::string model = "MODEL NAME OF FORTY CHARACTERS, PADDED..";
  std::copy(serial.begin(), serial.end(), sector + 20);
  std::copy(firmware.begin(), firmware.end(), sector + 46);
  std::copy(model.begin(), model.end(), sector + 54);
  sector[2] = 0x12;
  sector[3] = 0x34;
  RestoreDriveStringOrder(sector);
  EXPECT_EQ(sector[2], 0x12);
  EXPECT_EQ(sector[3], 0x34);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(sector + 20), 4), "ESIR");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(sector + 46), 8), "WF.100ba");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(sector + 92), 2), "..");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(sector + 54), 2), "OM");
}

// The command block of each request the subsystem sends, byte for byte.
TEST(BuildAtaPassThroughCdb, EachCommandsRegistersInTheirPlaces) {
  const auto params = [](uint8_t features, uint8_t cyl_low, uint8_t cyl_high, uint8_t command) {
    SendCmdInParams p;
    p.features = features;
    p.sector_count = 1;
    p.sector_number = 1;
    p.cyl_low = cyl_low;
    p.cyl_high = cyl_high;
    p.drive_head = 0xA0;
    p.command = command;
    return p;
  };
  const struct {
    const char* what;
    SendCmdInParams p;
    bool reads_sector;
    AtaPassThroughCdb expected;
  } cases[] = {
      {"SMART ENABLE OPERATIONS",
       params(0xD8, 0x4F, 0xC2, 0xB0),
       false,
       {0x85, 0x06, 0x20, 0, 0xD8, 0, 0x01, 0, 0x01, 0, 0x4F, 0, 0xC2, 0xA0, 0xB0, 0}},
      {"SMART READ DATA",
       params(0xD0, 0x4F, 0xC2, 0xB0),
       true,
       {0x85, 0x08, 0x0E, 0, 0xD0, 0, 0x01, 0, 0x01, 0, 0x4F, 0, 0xC2, 0xA0, 0xB0, 0}},
      {"SMART READ ATTRIBUTE THRESHOLDS",
       params(0xD1, 0x4F, 0xC2, 0xB0),
       true,
       {0x85, 0x08, 0x0E, 0, 0xD1, 0, 0x01, 0, 0x01, 0, 0x4F, 0, 0xC2, 0xA0, 0xB0, 0}},
      {"IDENTIFY DEVICE",
       params(0, 0, 0, 0xEC),
       true,
       {0x85, 0x08, 0x0E, 0, 0, 0, 0x01, 0, 0x01, 0, 0, 0, 0, 0xA0, 0xEC, 0}},
      {"IDENTIFY PACKET DEVICE",
       params(0, 0, 0, 0xA1),
       true,
       {0x85, 0x08, 0x0E, 0, 0, 0, 0x01, 0, 0x01, 0, 0, 0, 0, 0xA0, 0xA1, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BuildAtaPassThroughCdb(c.p, c.reads_sector), c.expected) << c.what;
  }
}

// HDIO_GET_IDENTITY (taken without pass-through when the node opens) hands the strings
// back in reading order and the words in the machine's: the identity must come out as
// pass-through gives it.
TEST(IdentifyFromHdio, CapturedDriveIdGivesTheDrivesOwnOrder) {
  struct hd_driveid id {};
  id.cyls = 16383;
  id.heads = 16;
  id.sectors = 63;
  const auto put = [](unsigned char* field, size_t size, const std::string& text) {
    std::memset(field, ' ', size);
    std::memcpy(field, text.data(), text.size());
  };
  put(id.serial_no, sizeof id.serial_no, "WD-WCAV51234567");
  put(id.fw_rev, sizeof id.fw_rev, "01.01A01");
  put(id.model, sizeof id.model, "WDC WD5000AAKS-00V1A0");
  const Bytes sector = IdentifyFromHdio(&id);
  ASSERT_EQ(sector.size(), 512u);
  const auto text = [&](size_t offset, size_t length) {
    return SwapBytePairs(
        std::string(sector.begin() + static_cast<std::ptrdiff_t>(offset),
                    sector.begin() + static_cast<std::ptrdiff_t>(offset + length)));
  };
  EXPECT_EQ(text(20, 20), "WD-WCAV51234567     ");
  EXPECT_EQ(text(46, 8), "01.01A01");
  EXPECT_EQ(text(54, 40), "WDC WD5000AAKS-00V1A0                   ");
  EXPECT_EQ(sector[2] | sector[3] << 8, 16383);
  EXPECT_EQ(sector[6] | sector[7] << 8, 16);
  EXPECT_EQ(sector[12] | sector[13] << 8, 63);
}

// A sysfs tree of a machine whose device nodes this process cannot open.
class FakeSysfs : public ::testing::Test {
 protected:
  void Write(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(tmp_ / path).parent_path());
    std::ofstream(tmp_ / path, std::ios::binary) << content;
  }
  LinuxSmartPaths Paths() const {
    return {tmp_ / "sys/block", tmp_ / "sys/dev/block", tmp_ / "dev", tmp_.path()};
  }
  TempFolder tmp_;
};

std::string IdentifySectorWithModel(const std::string& model) {
  std::string sector(512, '\0');
  for (size_t i = 0; i < 40; ++i) sector[54 + (i ^ 1)] = i < model.size() ? model[i] : ' ';
  sector[2] = 0x3F;
  return sector;
}

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

TEST_F(FakeSysfs, IdentityComesFromSysfsWithoutPassThroughAndNoAttributesAreInvented) {
  Write("sys/block/sda/device/vpd_pg89",
        std::string(60, '\x01') + IdentifySectorWithModel("ST9100821AS") + std::string(60, '\0'));
  Write("sys/block/sda/device/model", "ST9100821AS     \n");
  Write("sys/block/nvme0n1/device/serial", "S4EWNX0R123456      \n");
  Write("sys/block/nvme0n1/device/model", "Samsung SSD 970 EVO Plus 500GB          \n");
  Write("sys/block/nvme0n1/device/firmware_rev", "2B2QEXM7\n");
  Write("sys/block/vda/serial", "1306632676620415");
  Write("sys/block/vda/device/vendor", "0x1af4\n");
  Write("sys/block/sr0/device/vendor", "HL-DT-ST\n");
  Write("sys/block/sr0/device/model", "DVDRAM GH24NSD1 \n");
  Write("sys/block/sr0/device/rev", "LG00\n");
  Write("sys/block/sdb/device/vendor", "Generic \n");
  Write("sys/block/sdb/device/model", "STORAGE DEVICE\n");
  Write("sys/block/sdb/device/rev", "0207\n");
  Write("sys/block/sdb/device/vpd_pg80", std::string("\0\x80\0\x0c", 4) + "  000000123 ");
  Write("sys/block/zram0/size", "0");
  Write("sys/block/loop0/size", "0");

  LinuxSmartDevice device(Paths());
  const DriveIdentity sda = GetDriveIdentity(device, 0);
  EXPECT_EQ(sda.DriveType, kDriveTypeAta);
  EXPECT_EQ(Trimmed(sda.ModelNumber), "ST9100821AS");
  EXPECT_EQ(sda.Cylinders, 0x3F);
  EXPECT_EQ(sda.AttributeCount, 0);
  EXPECT_EQ(sda.Attributes.size(), 1u);

  const DriveIdentity usb = GetDriveIdentity(device, 1);
  EXPECT_EQ(Trimmed(usb.ModelNumber), "Generic STORAGE DEVICE");
  EXPECT_EQ(usb.SerialNumber, "000000123           ");
  EXPECT_EQ(usb.FirmwareRevision, "0207    ");

  const DriveIdentity nvme = GetDriveIdentity(device, 2);
  EXPECT_EQ(nvme.SerialNumber, "S4EWNX0R123456      ");
  EXPECT_EQ(Trimmed(nvme.ModelNumber), "Samsung SSD 970 EVO Plus 500GB");
  EXPECT_EQ(nvme.FirmwareRevision, "2B2QEXM7");

  const DriveIdentity vda = GetDriveIdentity(device, 3);
  EXPECT_EQ(vda.DriveType, kDriveTypeAta);
  EXPECT_EQ(vda.SerialNumber, "1306632676620415    ");
  EXPECT_EQ(vda.ModelNumber, std::string(40, ' '));

  // The optical drive lost its position to the four disks.
  EXPECT_EQ(device.Drives().size(), 4u);
}

TEST_F(FakeSysfs, OpticalDriveCarriesTheAtapiBit) {
  Write("sys/block/vda/serial", "V1");
  Write("sys/block/sr0/device/vendor", "QEMU\n");
  Write("sys/block/sr0/device/model", "QEMU DVD-ROM\n");
  LinuxSmartDevice device(Paths());
  const DriveIdentity sr = GetDriveIdentity(device, 1);
  EXPECT_EQ(sr.DriveType, kDriveTypeAtapi);
  EXPECT_EQ(Trimmed(sr.ModelNumber), "QEMU QEMU DVD-ROM");
  EXPECT_EQ(GetDriveIdentity(device, 2).DriveType, kDriveTypeNone);
}

TEST_F(FakeSysfs, OnlyTheNtDriveNamesOpen) {
  Write("sys/block/vda/serial", "V1");
  LinuxSmartDevice device(Paths());
  EXPECT_EQ(device.Open("\\\\.\\SMARTVSD", 0, 0, 1), kInvalidHandle);
  EXPECT_EQ(device.Open("\\\\.\\PhysicalDrive1", 0xC0000000, 3, 3), kInvalidHandle);
  EXPECT_EQ(device.Open("\\\\.\\PhysicalDrive00", 0xC0000000, 3, 3), kInvalidHandle);
  EXPECT_EQ(device.Open("/dev/vda", 0xC0000000, 3, 3), kInvalidHandle);
  const Handle h = device.Open("\\\\.\\PhysicalDrive0", 0xC0000000, 3, 3);
  ASSERT_NE(h, kInvalidHandle);
  uint8_t small[8] = {};
  EXPECT_FALSE(device.Control(h, 0x74080, ByteView(), MutableByteView(small, sizeof small)));
  device.Close(h);
  uint8_t version[24] = {};
  EXPECT_FALSE(device.Control(h, 0x74080, ByteView(), MutableByteView(version, 24)));
  EXPECT_EQ(device.PlatformId(), 2u);
}

TEST_F(FakeSysfs, SysfsThatShowsNothingGivesNoIdentity) {
  fs::create_directories(tmp_ / "sys/block/sda/device");
  LinuxSmartDevice device(Paths());
  const DriveIdentity d = GetDriveIdentity(device, 0);
  EXPECT_EQ(d.DriveType, kDriveTypeAta);  // SMART ENABLE is reported done
  EXPECT_EQ(d.SerialNumber, "");
}

TEST_F(FakeSysfs, TheDiskHoldingTheRootFolderComesFirst) {
  struct stat st {};
  ASSERT_EQ(::stat(tmp_.path().c_str(), &st), 0);
  if (major(st.st_dev) == 0) GTEST_SKIP() << "the temporary folder is on no block device";
  // The root's device is a partition of vdb, itself under a device-mapper node.
  Write("sys/devices/virtual/block/dm-0/dm/name", "root");
  Write("sys/devices/pci/vdb/vdb2/partition", "2");
  Write("sys/devices/pci/vdb/serial", "ROOTDISK");
  Write("sys/devices/pci/vda/serial", "OTHERDISK");
  fs::create_directories(tmp_ / "sys/block");
  fs::create_directories(tmp_ / "sys/dev/block");
  fs::create_directories(tmp_ / "sys/devices/virtual/block/dm-0/slaves");
  fs::create_directory_symlink(tmp_ / "sys/devices/pci/vdb/vdb2",
                               tmp_ / "sys/devices/virtual/block/dm-0/slaves/vdb2");
  fs::create_directory_symlink(tmp_ / "sys/devices/pci/vda", tmp_ / "sys/block/vda");
  fs::create_directory_symlink(tmp_ / "sys/devices/pci/vdb", tmp_ / "sys/block/vdb");
  fs::create_directory_symlink(tmp_ / "sys/devices/virtual/block/dm-0", tmp_ / "sys/block/dm-0");
  fs::create_directory_symlink(tmp_ / "sys/devices/virtual/block/dm-0",
                               tmp_ / ("sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                                       std::to_string(minor(st.st_dev))));
  LinuxSmartDevice device(Paths());
  EXPECT_EQ(Names(device.Drives()), (std::vector<std::string>{"vdb", "vda"}));
  EXPECT_EQ(Trimmed(GetDriveIdentity(device, 0).SerialNumber), "ROOTDISK");
}

}  // namespace
}  // namespace corvane::test
