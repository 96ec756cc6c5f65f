// The drives of a Linux machine as the SMART backend numbers them, and their identity as
// sysfs shows it to ordinary users.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"

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

struct LinuxSmartPaths {
  std::string sys_block = "/sys/block";
  std::string sys_dev_block = "/sys/dev/block";
  std::string dev = "/dev";
  std::string root = "/";
};

// The machine's drives in that order, read from `paths`.
std::vector<LinuxDrive> ListDrives(const LinuxSmartPaths& paths);

// An identify sector built from what sysfs shows ordinary users, in the drive's byte
// order; nothing when sysfs shows nothing of the device.
std::optional<Bytes> IdentifyFromSysfs(const std::string& sys_block_device);

}  // namespace corvane
