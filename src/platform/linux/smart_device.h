// The SMART driver interface on Linux, which has none: this backend answers the three
// request codes itself for the devices "\\.\PhysicalDrive0" to "3", sending the ATA
// commands through SG_IO, or falling back to what the kernel shows without pass-through.
// It serves the NT family's device names only; "\\.\SMARTVSD" cannot be opened.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/bytes.h"
#include "platform/smart_device.h"

namespace corvane {

struct LinuxDrive {
  std::string name;  // the block device's name, "sda"
  bool atapi = false;
};

// Drive 0 is the whole disk that holds `root_disk`; the other whole disks follow by
// family (sd, hd, nvme, vd, xvd, mmcblk) in name order, then the optical drives (sr).
// Only the first four are kept; partitions, loop, ram, zram, dm and md devices are
// not drives.
std::vector<LinuxDrive> OrderDrives(const std::vector<std::string>& block_names,
                                    const std::string& root_disk);

enum class PassThroughOutcome { kDone, kRefused, kFailed };

// Judges an ATA PASS-THROUGH (16) answer sent with ck_cond set. Success comes back as a
// check condition (sense key 1, ASC/ASCQ 00/1D), so the sense key and the ATA status's
// error bit decide, not the SCSI status byte. `sense` holds what the kernel wrote.
PassThroughOutcome JudgePassThrough(uint8_t scsi_status, uint16_t host_status, const uint8_t* sense,
                                    size_t sense_length);

// HDIO_GET_IDENTITY hands the three strings back in reading order: this puts them back
// in the drive's order (first character of each word in its high byte).
void RestoreDriveStringOrder(uint8_t* sector);

struct LinuxSmartPaths {
  std::string sys_block = "/sys/block";
  std::string sys_dev_block = "/sys/dev/block";
  std::string dev = "/dev";
  std::string root = "/";
};

// An identify sector built from what sysfs shows ordinary users, in the drive's byte
// order; nothing when sysfs shows nothing of the device.
std::optional<Bytes> IdentifyFromSysfs(const std::string& sys_block_device);

class LinuxSmartDevice : public SmartDevice {
 public:
  explicit LinuxSmartDevice(LinuxSmartPaths paths = {});
  ~LinuxSmartDevice() override;
  LinuxSmartDevice(const LinuxSmartDevice&) = delete;
  LinuxSmartDevice& operator=(const LinuxSmartDevice&) = delete;

  Handle Open(const std::string& name, uint32_t access, uint32_t share,
              uint32_t disposition) override;
  bool Control(Handle h, uint32_t code, ByteView in, MutableByteView out) override;
  void Close(Handle h) override;
  // Answers as GetVersionExA does on the NT family.
  std::optional<uint32_t> PlatformId() override;

  std::vector<LinuxDrive> Drives() const;

 private:
  struct OpenDrive {
    int fd = -1;  // -1 when the device node could not be opened
    LinuxDrive drive;
    uint8_t device_map = 0;
  };
  bool SendDriveCommand(OpenDrive& d, ByteView in, MutableByteView out);
  bool ReceiveDriveData(OpenDrive& d, ByteView in, MutableByteView out);
  std::optional<Bytes> IdentifyWithoutPassThrough(const OpenDrive& d);

  LinuxSmartPaths paths_;
  std::map<Handle, OpenDrive> open_;
  Handle next_handle_ = 1;
};

}  // namespace corvane
