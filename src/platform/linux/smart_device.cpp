#include "platform/linux/smart_device.h"

#include <fcntl.h>
#include <linux/hdreg.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/smart_records.h"

namespace corvane {

namespace {

constexpr uint32_t kCapabilities = 7;  // CAP_ATA_ID_CMD | CAP_ATAPI_ID_CMD | CAP_SMART_CMD

// ATA PASS-THROUGH (16).
constexpr uint8_t kAtaPassThrough16 = 0x85;
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

// One ATA command through SG_IO; `sector` is null for a command without data.
PassThroughOutcome SendAta(int fd, const SendCmdInParams& p, uint8_t* sector) {
  if (fd < 0) return PassThroughOutcome::kRefused;
  AtaPassThroughCdb cdb = BuildAtaPassThroughCdb(p, sector != nullptr);
  uint8_t sense[kSenseSize] = {};
  sg_io_hdr_t io{};
  io.interface_id = 'S';
  io.cmd_len = kAtaPassThroughCdbSize;
  io.cmdp = cdb.data();
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

AtaPassThroughCdb BuildAtaPassThroughCdb(const SendCmdInParams& p, bool reads_sector) {
  AtaPassThroughCdb cdb{};
  cdb[0] = kAtaPassThrough16;
  cdb[1] = reads_sector ? kProtocolPioDataIn : kProtocolNonData;
  // Reading commands go without ck_cond: libata over AHCI aborts PIO data-in with it, and
  // their success needs no registers (it comes back as GOOD status).
  cdb[2] =
      reads_sector ? kTransferFromDevice | kTransferBlocks | kLengthInSectorCount : kCheckCondition;
  cdb[4] = p.features;
  cdb[6] = p.sector_count;
  cdb[8] = p.sector_number;
  cdb[10] = p.cyl_low;
  cdb[12] = p.cyl_high;
  cdb[13] = p.drive_head;
  cdb[14] = p.command;
  return cdb;
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

Bytes IdentifyFromHdio(const void* hd_driveid) {
  const auto* begin = static_cast<const uint8_t*>(hd_driveid);
  Bytes sector(begin, begin + kSectorSize);
  RestoreDriveStringOrder(sector.data());
  return sector;
}

LinuxSmartDevice::LinuxSmartDevice(LinuxSmartPaths paths) : paths_(std::move(paths)) {}

LinuxSmartDevice::~LinuxSmartDevice() {
  for (auto& [h, d] : open_) {
    if (d.fd >= 0) ::close(d.fd);
  }
}

std::optional<uint32_t> LinuxSmartDevice::PlatformId() { return kVerPlatformWin32Nt; }

std::vector<LinuxDrive> LinuxSmartDevice::Drives() const { return ListDrives(paths_); }

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
    struct hd_driveid id {};
    static_assert(sizeof id == kSectorSize);
    if (::ioctl(d.fd, HDIO_GET_IDENTITY, &id) == 0) return IdentifyFromHdio(&id);
  }
  return IdentifyFromSysfs(paths_.sys_block + "/" + d.drive.name);
}

}  // namespace corvane
