// The SMART driver interface's request codes and records, written and read byte by byte
// at the offsets the drivers expect (little-endian).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/bytes.h"

namespace corvane {

// DeviceIoControl request codes.
inline constexpr uint32_t kSmartGetVersion = 0x74080;
inline constexpr uint32_t kSmartSendDriveCommand = 0x7C084;
inline constexpr uint32_t kSmartRcvDriveData = 0x7C088;
static_assert(kSmartGetVersion == 475264);
static_assert(kSmartSendDriveCommand == 508036);
static_assert(kSmartRcvDriveData == 508040);

// The NT family's names of the physical drives: this prefix and the drive's number.
inline constexpr char kNtDevicePrefix[] = "\\\\.\\PhysicalDrive";

// CreateFileA arguments.
inline constexpr uint32_t kGenericReadWrite = 0xC0000000;
inline constexpr uint32_t kFileShareReadWrite = 3;
inline constexpr uint32_t kCreateNew = 1;
inline constexpr uint32_t kOpenExisting = 3;

// The IDENTIFY DEVICE sector: the byte ranges of its texts (each word's first character in
// its high byte) and of the geometry words that are read.
inline constexpr size_t kIdentifyCopied = 256;
inline constexpr size_t kCylindersOffset = 2;
inline constexpr size_t kHeadsOffset = 6;
inline constexpr size_t kSectorsPerTrackOffset = 12;
inline constexpr size_t kSerialOffset = 20;
inline constexpr size_t kSerialLength = 20;
inline constexpr size_t kFirmwareOffset = 46;
inline constexpr size_t kFirmwareLength = 8;
inline constexpr size_t kModelOffset = 54;
inline constexpr size_t kModelLength = 40;
static_assert(kModelOffset + kModelLength <= kIdentifyCopied);

// GETVERSIONINPARAMS.
inline constexpr size_t kGetVersionInParamsSize = 24;
inline constexpr size_t kVersionOffset = 0;
inline constexpr size_t kRevisionOffset = 1;
inline constexpr size_t kIdeDeviceMapOffset = 3;
inline constexpr size_t kCapabilitiesOffset = 4;

// SENDCMDINPARAMS: 33 bytes with its one-byte data area, of which the first 32 are sent.
inline constexpr size_t kSendCmdInParamsRecordSize = 33;
inline constexpr size_t kSendCmdInParamsSize = 32;
inline constexpr size_t kInBufferSizeOffset = 0;
inline constexpr size_t kFeaturesRegOffset = 4;
inline constexpr size_t kSectorCountRegOffset = 5;
inline constexpr size_t kSectorNumberRegOffset = 6;
inline constexpr size_t kCylLowRegOffset = 7;
inline constexpr size_t kCylHighRegOffset = 8;
inline constexpr size_t kDriveHeadRegOffset = 9;
inline constexpr size_t kCommandRegOffset = 10;
inline constexpr size_t kDriveNumberOffset = 12;
static_assert(kSendCmdInParamsSize == kSendCmdInParamsRecordSize - 1);
static_assert(kDriveNumberOffset + 4 + 16 == kSendCmdInParamsSize);

// SENDCMDOUTPARAMS: a 16-byte header (buffer size and DRIVERSTATUS), then the sector.
inline constexpr size_t kSectorSize = 512;
inline constexpr size_t kSendCmdOutHeaderSize = 16;
inline constexpr size_t kSendCmdOutParamsSize = kSendCmdOutHeaderSize + kSectorSize;
inline constexpr size_t kOutBufferSizeOffset = 0;
inline constexpr size_t kOutBufferOffset = 16;
static_assert(kSendCmdOutParamsSize == 528);

// OSVERSIONINFOA.
inline constexpr size_t kOsVersionInfoSize = 148;
inline constexpr size_t kOsVersionInfoSizeOffset = 0;
inline constexpr size_t kPlatformIdOffset = 16;
inline constexpr uint32_t kVerPlatformWin32Nt = 2;
static_assert(kOsVersionInfoSize == 5 * 4 + 128);

// ATA commands and registers of the four drive commands.
inline constexpr uint8_t kAtaIdentifyDevice = 0xEC;
inline constexpr uint8_t kAtaIdentifyPacketDevice = 0xA1;
inline constexpr uint8_t kAtaSmart = 0xB0;
inline constexpr uint8_t kSmartReadData = 0xD0;
inline constexpr uint8_t kSmartReadThresholds = 0xD1;
inline constexpr uint8_t kSmartEnableOperations = 0xD8;
inline constexpr uint8_t kSmartCylLow = 0x4F;
inline constexpr uint8_t kSmartCylHigh = 0xC2;
inline constexpr uint8_t kDriveHeadMaster = 0xA0;
inline constexpr uint8_t kDriveHeadSlaveBit = 0x10;

// The fields of one SENDCMDINPARAMS record.
struct SendCmdInParams {
  uint32_t buffer_size = 0;
  uint8_t features = 0;
  uint8_t sector_count = 0;
  uint8_t sector_number = 0;
  uint8_t cyl_low = 0;
  uint8_t cyl_high = 0;
  uint8_t drive_head = 0;
  uint8_t command = 0;
  uint8_t drive_number = 0;
};

using SendCmdInBytes = std::array<uint8_t, kSendCmdInParamsSize>;

// The 32 bytes sent; every field not in `p` is zero.
SendCmdInBytes WriteSendCmdInParams(const SendCmdInParams& p);
// Reads the fields back from at least 32 bytes.
SendCmdInParams ReadSendCmdInParams(ByteView in);

// Which of the subsystem's driver requests a control request is.
enum class DriveRequest { kGetVersion, kEnable, kIdentify, kReadData, kReadThresholds, kOther };
DriveRequest ClassifyRequest(uint32_t code, ByteView in);

// A zeroed OSVERSIONINFOA with dwOSVersionInfoSize set, ready for GetVersionExA.
Bytes NewOsVersionInfo();
uint32_t ReadPlatformId(ByteView os_version_info);

uint16_t ReadU16(ByteView b, size_t offset);
uint32_t ReadU32(ByteView b, size_t offset);
void WriteU16(MutableByteView b, size_t offset, uint16_t value);
void WriteU32(MutableByteView b, size_t offset, uint32_t value);

// Swaps each pair of characters: the drive stores a word's first character in its high byte.
std::string SwapBytePairs(const std::string& s);

}  // namespace corvane
