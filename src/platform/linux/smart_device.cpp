#include "platform/linux/smart_device.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/hdreg.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "disk/smart_records.h"
#include "platform/text.h"

namespace corvane {

namespace {

constexpr char kNtDevicePrefix[] = "\\\\.\\PhysicalDrive";
constexpr int kPositions = 4;
constexpr uint32_t kCapabilities = 7;  // CAP_ATA_ID_CMD | CAP_ATAPI_ID_CMD | CAP_SMART_CMD

// ATA PASS-THROUGH (16).
constexpr uint8_t kAtaPassThrough16 = 0x85;
constexpr size_t kCdbSize = 16;
constexpr uint8_t kProtocolNonData = 3 << 1;
constexpr uint8_t kProtocolPioDataIn = 4 << 1;
constexpr uint8_t kCheckCondition = 0x20;  // ck_cond: return the ATA registers in the sense
constexpr uint8_t kTransferFromDevice = 0x08;
constexpr uint8_t kTransferBlocks = 0x04;
constexpr uint8_t kLengthInSectorCount = 0x02;
constexpr unsigned kTimeoutMs = 15000;
constexpr size_t kSenseSize = 32;
constexpr uint8_t kAtaStatusError = 0x01;
constexpr uint8_t kSenseNoSense = 0x0;
constexpr uint8_t kSenseRecoveredError = 0x1;
constexpr uint8_t kSenseIllegalRequest = 0x5;
constexpr uint8_t kAtaStatusDescriptor = 0x09;

// The ATA information VPD page carries a whole identify sector.
constexpr size_t kVpd89IdentifyOffset = 60;
constexpr size_t kVpd80SerialOffset = 4;

const char* const kDiskFamilies[] = {"sd", "hd", "nvme", "vd", "xvd", "mmcblk"};

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
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return content;
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

// One ATA command through SG_IO; `sector` is null for a command without data.
PassThroughOutcome SendAta(int fd, const SendCmdInParams& p, uint8_t* sector) {
  if (fd < 0) return PassThroughOutcome::kRefused;
  uint8_t cdb[kCdbSize] = {};
  cdb[0] = kAtaPassThrough16;
  cdb[1] = sector ? kProtocolPioDataIn : kProtocolNonData;
  // Reading commands go without ck_cond: libata over AHCI aborts PIO data-in with it, and
  // their success needs no registers (it comes back as GOOD status).
  cdb[2] = sector ? kTransferFromDevice | kTransferBlocks | kLengthInSectorCount : kCheckCondition;
  cdb[4] = p.features;
  cdb[6] = p.sector_count;
  cdb[8] = p.sector_number;
  cdb[10] = p.cyl_low;
  cdb[12] = p.cyl_high;
  cdb[13] = p.drive_head;
  cdb[14] = p.command;
  uint8_t sense[kSenseSize] = {};
  sg_io_hdr_t io{};
  io.interface_id = 'S';
  io.cmd_len = kCdbSize;
  io.cmdp = cdb;
  io.dxfer_direction = sector ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
  io.dxferp = sector;
  io.dxfer_len = sector ? static_cast<unsigned>(kSectorSize) : 0;
  io.sbp = sense;
  io.mx_sb_len = sizeof sense;
  io.timeout = kTimeoutMs;
  if (::ioctl(fd, SG_IO, &io) != 0) {
    // No pass-through for this process or this device: the caller falls back.
    return errno == EIO ? PassThroughOutcome::kFailed : PassThroughOutcome::kRefused;
  }
  return JudgePassThrough(io.status, io.host_status, sense, io.sb_len_wr);
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

PassThroughOutcome JudgePassThrough(uint8_t scsi_status, uint16_t host_status, const uint8_t* sense,
                                    size_t sense_length) {
  if (host_status != 0) return PassThroughOutcome::kFailed;
  if (sense_length < 8) {
    // A translator that ignores ck_cond answers GOOD without sense.
    return scsi_status == 0 ? PassThroughOutcome::kDone : PassThroughOutcome::kFailed;
  }
  const uint8_t response = sense[0] & 0x7F;
  uint8_t key = 0;
  std::optional<uint8_t> ata_status;
  if (response == 0x72 || response == 0x73) {
    key = sense[1] & 0x0F;
    const size_t end = std::min(sense_length, size_t{8} + sense[7]);
    for (size_t d = 8; d + 1 < end; d += 2u + sense[d + 1]) {
      if (sense[d] == kAtaStatusDescriptor && d + 13 < end) ata_status = sense[d + 13];
    }
  } else if (response == 0x70 || response == 0x71) {
    key = sense[2] & 0x0F;
    ata_status = sense[4];  // the information field carries error, status, device, count
  } else {
    return PassThroughOutcome::kFailed;
  }
  if (key == kSenseIllegalRequest) return PassThroughOutcome::kRefused;
  if (key != kSenseNoSense && key != kSenseRecoveredError) return PassThroughOutcome::kFailed;
  if (ata_status && (*ata_status & kAtaStatusError)) return PassThroughOutcome::kFailed;
  return PassThroughOutcome::kDone;
}

void RestoreDriveStringOrder(uint8_t* sector) {
  const std::pair<size_t, size_t> fields[] = {{kSerialOffset, kSerialLength},
                                              {kFirmwareOffset, kFirmwareLength},
                                              {kModelOffset, kModelLength}};
  for (const auto& [offset, length] : fields) {
    for (size_t i = offset; i < offset + length; i += 2) std::swap(sector[i], sector[i + 1]);
  }
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

LinuxSmartDevice::LinuxSmartDevice(LinuxSmartPaths paths) : paths_(std::move(paths)) {}

LinuxSmartDevice::~LinuxSmartDevice() {
  for (auto& [h, d] : open_) {
    if (d.fd >= 0) ::close(d.fd);
  }
}

std::optional<uint32_t> LinuxSmartDevice::PlatformId() { return kVerPlatformWin32Nt; }

std::vector<LinuxDrive> LinuxSmartDevice::Drives() const {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(paths_.sys_block.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    }
    ::closedir(dir);
  }
  return OrderDrives(names, RootDisk(paths_));
}

Handle LinuxSmartDevice::Open(const std::string& name, uint32_t, uint32_t, uint32_t) {
  const std::string prefix = kNtDevicePrefix;
  if (name.size() != prefix.size() + 1 || name.compare(0, prefix.size(), prefix) != 0) {
    return kInvalidHandle;
  }
  const int n = name.back() - '0';
  const std::vector<LinuxDrive> drives = Drives();
  if (n < 0 || n >= static_cast<int>(drives.size())) return kInvalidHandle;
  OpenDrive d;
  d.drive = drives[static_cast<size_t>(n)];
  for (size_t i = 0; i < drives.size(); ++i) {
    d.device_map |= static_cast<uint8_t>(1u << i);
    if (drives[i].atapi) d.device_map |= static_cast<uint8_t>(1u << (i + 4));
  }
  // Opening the node needs read access to it; without that the identity still comes
  // from sysfs.
  d.fd = ::open((paths_.dev + "/" + d.drive.name).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  const Handle h = next_handle_++;
  open_[h] = d;
  return h;
}

void LinuxSmartDevice::Close(Handle h) {
  const auto it = open_.find(h);
  if (it == open_.end()) return;
  if (it->second.fd >= 0) ::close(it->second.fd);
  open_.erase(it);
}

bool LinuxSmartDevice::Control(Handle h, uint32_t code, ByteView in, MutableByteView out) {
  const auto it = open_.find(h);
  if (it == open_.end()) return false;
  if (code == kSmartGetVersion) {
    if (out.size < kGetVersionInParamsSize) return false;
    std::fill(out.data, out.data + out.size, uint8_t{0});
    out.data[kVersionOffset] = 1;
    out.data[kRevisionOffset] = 1;
    out.data[kIdeDeviceMapOffset] = it->second.device_map;
    WriteU32(out, kCapabilitiesOffset, kCapabilities);
    return true;
  }
  if (in.size < kSendCmdInParamsSize) return false;
  if (code == kSmartSendDriveCommand) return SendDriveCommand(it->second, in, out);
  if (code == kSmartRcvDriveData) return ReceiveDriveData(it->second, in, out);
  return false;
}

// Without pass-through (no CAP_SYS_RAWIO, or a device that takes no ATA commands, such
// as virtio or NVMe) the drive's SMART state can neither be changed nor read. SMART
// ENABLE is then reported done so that the query goes on to IDENTIFY and the identity
// the kernel shows reaches the program; the two SMART reads fail, so that no attribute
// is invented.
bool LinuxSmartDevice::SendDriveCommand(OpenDrive& d, ByteView in, MutableByteView out) {
  if (out.size < kSendCmdOutHeaderSize) return false;
  if (ClassifyRequest(kSmartSendDriveCommand, in) != DriveRequest::kEnable) return false;
  const PassThroughOutcome outcome = SendAta(d.fd, ReadSendCmdInParams(in), nullptr);
  if (outcome == PassThroughOutcome::kFailed) return false;
  std::fill(out.data, out.data + kSendCmdOutHeaderSize, uint8_t{0});
  return true;
}

bool LinuxSmartDevice::ReceiveDriveData(OpenDrive& d, ByteView in, MutableByteView out) {
  if (out.size < kSendCmdOutParamsSize) return false;
  const DriveRequest request = ClassifyRequest(kSmartRcvDriveData, in);
  const SendCmdInParams p = ReadSendCmdInParams(in);
  // Only the reading commands of the SMART interface go to the drive.
  const bool identify_packet =
      p.command == kAtaIdentifyPacketDevice && p.buffer_size == kSectorSize;
  if (request == DriveRequest::kOther && !identify_packet) return false;
  if (request == DriveRequest::kGetVersion || request == DriveRequest::kEnable) return false;
  Bytes sector(kSectorSize, 0);
  switch (SendAta(d.fd, p, sector.data())) {
    case PassThroughOutcome::kDone:
      break;
    case PassThroughOutcome::kFailed:
      return false;
    case PassThroughOutcome::kRefused: {
      if (request != DriveRequest::kIdentify) return false;
      std::optional<Bytes> fallback = IdentifyWithoutPassThrough(d);
      if (!fallback) return false;
      sector = *fallback;
      break;
    }
  }
  std::fill(out.data, out.data + out.size, uint8_t{0});
  WriteU32(out, kOutBufferSizeOffset, static_cast<uint32_t>(kSectorSize));
  std::copy(sector.begin(), sector.end(), out.data + kOutBufferOffset);
  return true;
}

std::optional<Bytes> LinuxSmartDevice::IdentifyWithoutPassThrough(const OpenDrive& d) {
  if (d.fd >= 0) {
    Bytes sector(kSectorSize, 0);
    if (::ioctl(d.fd, HDIO_GET_IDENTITY, sector.data()) == 0) {
      RestoreDriveStringOrder(sector.data());
      return sector;
    }
  }
  return IdentifyFromSysfs(paths_.sys_block + "/" + d.drive.name);
}

}  // namespace corvane
