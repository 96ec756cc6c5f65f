// The SMART driver interface on Linux, which has none: this backend answers the three
// request codes itself for the devices "\\.\PhysicalDrive0" to "3", sending the ATA
// commands through SG_IO, or falling back to what the kernel shows without pass-through.
// It serves the NT family's device names only; "\\.\SMARTVSD" cannot be opened.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "platform/linux/drive_map.h"
#include "platform/smart_device.h"
#include "platform/smart_records.h"

namespace corvane {

inline constexpr size_t kAtaPassThroughCdbSize = 16;
using AtaPassThroughCdb = std::array<uint8_t, kAtaPassThroughCdbSize>;

// The ATA PASS-THROUGH (16) command block of one request: PIO data-in of one sector when
// `reads_sector`, else a non-data command that returns the ATA registers (ck_cond).
AtaPassThroughCdb BuildAtaPassThroughCdb(const SendCmdInParams& p, bool reads_sector);

enum class PassThroughOutcome { kDone, kRefused, kFailed };

// Judges an ATA PASS-THROUGH (16) answer sent with ck_cond set. Success comes back as a
// check condition (sense key 1, ASC/ASCQ 00/1D), so the sense key and the ATA status's
// error bit decide, not the SCSI status byte. `sense` holds what the kernel wrote.
PassThroughOutcome JudgePassThrough(uint8_t scsi_status, uint16_t host_status, const uint8_t* sense,
                                    size_t sense_length);

// HDIO_GET_IDENTITY hands the three strings back in reading order: this puts them back
// in the drive's order (first character of each word in its high byte).
void RestoreDriveStringOrder(uint8_t* sector);

// The identify sector in the drive's order from the struct hd_driveid that
// HDIO_GET_IDENTITY filled.
Bytes IdentifyFromHdio(const void* hd_driveid);

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
