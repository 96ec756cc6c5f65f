#include "platform/linux/drive_map.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

#include "common/text.h"
#include "platform/files.h"
#include "platform/smart_records.h"

namespace corvane {

namespace {

constexpr int kPositions = 4;

// The ATA information VPD page carries a whole identify sector.
constexpr size_t kVpd89IdentifyOffset = 60;
constexpr size_t kVpd80SerialOffset = 4;

bool AllOf(const std::string& s, size_t from, int (*pred)(int)) {
  if (from >= s.size()) return false;
  return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(from), s.end(),
                     [pred](char c) { return pred(static_cast<unsigned char>(c)) != 0; });
}

// The family index of a whole disk's name, or -1 for anything else.
int DiskFamily(const std::string& name) {
  const auto starts = [&](const char* prefix) { return name.rfind(prefix, 0) == 0; };
  if (starts("nvme")) {
    // nvme<ctrl>n<ns>: controllers' hidden paths (nvme0c0n1) are not disks.
    const size_t n = name.find('n', 4);
    if (n == std::string::npos || n == 4) return -1;
    const bool ok = AllOf(name.substr(4, n - 4), 0, ::isdigit) && AllOf(name, n + 1, ::isdigit);
    return ok ? 2 : -1;
  }
  if (starts("mmcblk")) return AllOf(name, 6, ::isdigit) ? 5 : -1;  // not boot0 or rpmb
  if (starts("xvd")) return AllOf(name, 3, ::islower) ? 4 : -1;
  if (starts("sd")) return AllOf(name, 2, ::islower) ? 0 : -1;
  if (starts("hd")) return AllOf(name, 2, ::islower) ? 1 : -1;
  if (starts("vd")) return AllOf(name, 2, ::islower) ? 3 : -1;
  return -1;
}

bool IsOptical(const std::string& name) {
  return name.rfind("sr", 0) == 0 && AllOf(name, 2, ::isdigit);
}

// Name order as the kernel hands names out: runs of digits by value, runs of letters
// shorter first (sdz before sdaa).
bool NameLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const bool digit = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
    const auto run_end = [digit](const std::string& s, size_t k) {
      while (k < s.size() && (std::isdigit(static_cast<unsigned char>(s[k])) != 0) == digit) ++k;
      return k;
    };
    const size_t ie = run_end(a, i), je = run_end(b, j);
    std::string ra = a.substr(i, ie - i), rb = b.substr(j, je - j);
    if (digit) {
      ra.erase(0, std::min(ra.find_first_not_of('0'), ra.size()));
      rb.erase(0, std::min(rb.find_first_not_of('0'), rb.size()));
    }
    if (ra.size() != rb.size()) return ra.size() < rb.size();
    if (ra != rb) return ra < rb;
    i = ie;
    j = je;
  }
  return a.size() - i < b.size() - j;
}

std::string ReadSmallFile(const std::string& path) {
  return ReadFileOrAbsent(path, FileKind::kSystem).value_or("");
}

void PutDriveString(uint8_t* sector, size_t offset, size_t length, const std::string& text) {
  for (size_t i = 0; i < length; ++i) {
    sector[offset + (i ^ 1)] = static_cast<uint8_t>(i < text.size() ? text[i] : ' ');
  }
}

// The whole disk under a block device of /sys/dev/block: a partition's parent, and for
// dm or md devices the disk under their first member.
std::string WholeDiskOf(const std::string& sys_path, int depth) {
  char resolved[PATH_MAX];
  if (depth > 8 || !::realpath(sys_path.c_str(), resolved)) return "";
  std::string dir = resolved;
  if (::access((dir + "/partition").c_str(), F_OK) == 0) dir = dir.substr(0, dir.rfind('/'));
  const std::string name = dir.substr(dir.rfind('/') + 1);
  if (DiskFamily(name) >= 0) return name;
  std::vector<std::string> members;
  if (DIR* slaves = ::opendir((dir + "/slaves").c_str())) {
    while (const dirent* e = ::readdir(slaves)) {
      if (e->d_name[0] != '.') members.push_back(e->d_name);
    }
    ::closedir(slaves);
  }
  std::sort(members.begin(), members.end(), NameLess);
  for (const std::string& m : members) {
    const std::string disk = WholeDiskOf(dir + "/slaves/" + m, depth + 1);
    if (!disk.empty()) return disk;
  }
  return "";
}

std::string RootDisk(const LinuxSmartPaths& paths) {
  struct stat st {};
  if (::stat(paths.root.c_str(), &st) != 0 || major(st.st_dev) == 0) return "";
  const std::string node =
      std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
  return WholeDiskOf(paths.sys_dev_block + "/" + node, 0);
}

}  // namespace

std::vector<LinuxDrive> OrderDrives(const std::vector<std::string>& block_names,
                                    const std::string& root_disk) {
  std::vector<std::string> disks, optical;
  for (const std::string& name : block_names) {
    if (DiskFamily(name) >= 0 && name != root_disk) disks.push_back(name);
    if (IsOptical(name)) optical.push_back(name);
  }
  std::sort(disks.begin(), disks.end(), [](const std::string& a, const std::string& b) {
    const int fa = DiskFamily(a), fb = DiskFamily(b);
    return fa != fb ? fa < fb : NameLess(a, b);
  });
  std::sort(optical.begin(), optical.end(), NameLess);
  std::vector<LinuxDrive> drives;
  const bool root_listed =
      DiskFamily(root_disk) >= 0 &&
      std::find(block_names.begin(), block_names.end(), root_disk) != block_names.end();
  if (root_listed) drives.push_back({root_disk, false});
  for (const std::string& d : disks) drives.push_back({d, false});
  for (const std::string& o : optical) drives.push_back({o, true});
  if (drives.size() > static_cast<size_t>(kPositions)) drives.resize(kPositions);
  return drives;
}

std::vector<LinuxDrive> ListDrives(const LinuxSmartPaths& paths) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(paths.sys_block.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    }
    ::closedir(dir);
  }
  return OrderDrives(names, RootDisk(paths));
}

std::optional<Bytes> IdentifyFromSysfs(const std::string& dir) {
  const std::string device = dir + "/device/";
  // libata's ATA information page holds the drive's own identify sector.
  const std::string vpd89 = ReadSmallFile(device + "vpd_pg89");
  if (vpd89.size() >= kVpd89IdentifyOffset + kSectorSize) {
    const auto* begin = reinterpret_cast<const uint8_t*>(vpd89.data()) + kVpd89IdentifyOffset;
    return Bytes(begin, begin + kSectorSize);
  }
  std::string serial = Trim(ReadSmallFile(dir + "/serial"), kWhiteSpaceOrNul);  // virtio
  if (serial.empty())
    serial = Trim(ReadSmallFile(device + "serial"), kWhiteSpaceOrNul);  // nvme, mmc
  if (serial.empty()) {
    const std::string vpd80 = ReadSmallFile(device + "vpd_pg80");
    if (vpd80.size() > kVpd80SerialOffset) {
      const size_t length = (static_cast<uint8_t>(vpd80[2]) << 8) | static_cast<uint8_t>(vpd80[3]);
      serial = Trim(vpd80.substr(kVpd80SerialOffset, length), kWhiteSpaceOrNul);
    }
  }
  std::string model = Trim(ReadSmallFile(device + "model"), kWhiteSpaceOrNul);
  if (model.empty()) model = Trim(ReadSmallFile(device + "name"), kWhiteSpaceOrNul);  // mmc
  const std::string vendor = Trim(ReadSmallFile(device + "vendor"), kWhiteSpaceOrNul);
  // SCSI disks and USB bridges name their maker apart; libata's is always "ATA".
  if (!model.empty() && !vendor.empty() && vendor != "ATA" && vendor.rfind("0x", 0) != 0) {
    model = vendor + " " + model;
  }
  std::string firmware = Trim(ReadSmallFile(device + "firmware_rev"), kWhiteSpaceOrNul);  // nvme
  if (firmware.empty()) firmware = Trim(ReadSmallFile(device + "rev"), kWhiteSpaceOrNul);
  if (firmware.empty()) firmware = Trim(ReadSmallFile(device + "fwrev"), kWhiteSpaceOrNul);  // mmc
  if (serial.empty() && model.empty() && firmware.empty()) return std::nullopt;
  Bytes sector(kSectorSize, 0);
  PutDriveString(sector.data(), kSerialOffset, kSerialLength, serial);
  PutDriveString(sector.data(), kFirmwareOffset, kFirmwareLength, firmware);
  PutDriveString(sector.data(), kModelOffset, kModelLength, model);
  return sector;
}

}  // namespace corvane
