#include "platform/smart_records.h"

namespace corvane {

std::string SwapBytePairs(const std::string& s) {
  std::string result(s.size(), ' ');
  for (size_t i = 0; i + 1 < s.size(); i += 2) {
    result[i] = s[i + 1];
    result[i + 1] = s[i];
  }
  return result;
}

uint16_t ReadU16(ByteView b, size_t offset) {
  return static_cast<uint16_t>(b.data[offset] | (b.data[offset + 1] << 8));
}

uint32_t ReadU32(ByteView b, size_t offset) {
  return static_cast<uint32_t>(b.data[offset]) | (static_cast<uint32_t>(b.data[offset + 1]) << 8) |
         (static_cast<uint32_t>(b.data[offset + 2]) << 16) |
         (static_cast<uint32_t>(b.data[offset + 3]) << 24);
}

void WriteU16(MutableByteView b, size_t offset, uint16_t value) {
  b.data[offset] = static_cast<uint8_t>(value);
  b.data[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void WriteU32(MutableByteView b, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) b.data[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

DriveRequest ClassifyRequest(uint32_t code, ByteView in) {
  if (code == kSmartGetVersion) return DriveRequest::kGetVersion;
  if (in.size < kSendCmdInParamsSize) return DriveRequest::kOther;
  const SendCmdInParams p = ReadSendCmdInParams(in);
  const bool smart =
      p.command == kAtaSmart && p.cyl_low == kSmartCylLow && p.cyl_high == kSmartCylHigh;
  if (code == kSmartSendDriveCommand) {
    return smart && p.features == kSmartEnableOperations ? DriveRequest::kEnable
                                                         : DriveRequest::kOther;
  }
  if (code != kSmartRcvDriveData || p.buffer_size != kSectorSize) return DriveRequest::kOther;
  if (p.command == kAtaIdentifyDevice) return DriveRequest::kIdentify;
  if (smart && p.features == kSmartReadData) return DriveRequest::kReadData;
  if (smart && p.features == kSmartReadThresholds) return DriveRequest::kReadThresholds;
  return DriveRequest::kOther;
}

Bytes NewOsVersionInfo() {
  Bytes info(kOsVersionInfoSize, 0);
  WriteU32(info, kOsVersionInfoSizeOffset, static_cast<uint32_t>(kOsVersionInfoSize));
  return info;
}

uint32_t ReadPlatformId(ByteView os_version_info) {
  return ReadU32(os_version_info, kPlatformIdOffset);
}

SendCmdInBytes WriteSendCmdInParams(const SendCmdInParams& p) {
  SendCmdInBytes bytes{};
  MutableByteView out(bytes.data(), bytes.size());
  WriteU32(out, kInBufferSizeOffset, p.buffer_size);
  bytes[kFeaturesRegOffset] = p.features;
  bytes[kSectorCountRegOffset] = p.sector_count;
  bytes[kSectorNumberRegOffset] = p.sector_number;
  bytes[kCylLowRegOffset] = p.cyl_low;
  bytes[kCylHighRegOffset] = p.cyl_high;
  bytes[kDriveHeadRegOffset] = p.drive_head;
  bytes[kCommandRegOffset] = p.command;
  bytes[kDriveNumberOffset] = p.drive_number;
  return bytes;
}

SendCmdInParams ReadSendCmdInParams(ByteView in) {
  SendCmdInParams p;
  p.buffer_size = ReadU32(in, kInBufferSizeOffset);
  p.features = in.data[kFeaturesRegOffset];
  p.sector_count = in.data[kSectorCountRegOffset];
  p.sector_number = in.data[kSectorNumberRegOffset];
  p.cyl_low = in.data[kCylLowRegOffset];
  p.cyl_high = in.data[kCylHighRegOffset];
  p.drive_head = in.data[kDriveHeadRegOffset];
  p.command = in.data[kCommandRegOffset];
  p.drive_number = in.data[kDriveNumberOffset];
  return p;
}

}  // namespace corvane
