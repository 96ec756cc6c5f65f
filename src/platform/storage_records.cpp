#include "platform/storage_records.h"

#include <algorithm>

#include "common/hex.h"
#include "platform/smart_records.h"

namespace corvane {

namespace {

bool IsPad(char c) { return c == ' ' || c == '\0'; }

std::string Trimmed(const std::string& s) {
  size_t begin = 0;
  size_t end = s.size();
  while (begin < end && IsPad(s[begin])) ++begin;
  while (end > begin && IsPad(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

// Serials are one run of characters, padded at either end: the one clue to their order.
bool OneRun(const std::string& s) {
  const std::string t = Trimmed(s);
  return !t.empty() && std::none_of(t.begin(), t.end(), IsPad);
}

// The 20 bytes of the IDENTIFY serial field written as 40 hex digits, as older drivers
// give it; a serial of its own is never that long.
std::optional<std::string> DecodeHexField(const std::string& serial) {
  const std::string digits = Trimmed(serial);
  if (digits.size() != 2 * kSerialLength) return std::nullopt;
  std::string bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    const int high = HexDigit(digits[i]);
    const int low = HexDigit(digits[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    const int c = high * 16 + low;
    if (c != 0 && (c < 0x20 || c > 0x7E)) return std::nullopt;
    bytes += static_cast<char>(c);
  }
  return bytes;
}

// A NUL-terminated text of the descriptor lying wholly after the fixed part and before
// `limit`; empty otherwise.
std::string DescriptorText(ByteView d, size_t limit, size_t offset_field) {
  const size_t offset = ReadU32(d, offset_field);
  if (offset < kDeviceDescriptorFixedSize || offset >= limit) return "";
  const uint8_t* begin = d.data + offset;
  const uint8_t* end = std::find(begin, d.data + limit, uint8_t{0});
  if (end == d.data + limit) return "";
  return std::string(begin, end);
}

}  // namespace

Bytes WriteDeviceDescriptorQuery() {
  Bytes query(kPropertyQuerySize, 0);
  WriteU32(query, kPropertyIdOffset, kStorageDeviceProperty);
  WriteU32(query, kQueryTypeOffset, kPropertyStandardQuery);
  return query;
}

Bytes WriteNvmeIdentifyQuery(uint32_t property) {
  Bytes query(kNvmeIdentifyQuerySize, 0);
  WriteU32(query, kPropertyIdOffset, property);
  WriteU32(query, kQueryTypeOffset, kPropertyStandardQuery);
  const MutableByteView data(query.data() + kAdditionalParametersOffset, kProtocolSpecificDataSize);
  WriteU32(data, kProtocolTypeOffset, kProtocolTypeNvme);
  WriteU32(data, kDataTypeOffset, kNvmeDataTypeIdentify);
  WriteU32(data, kDataRequestValueOffset, kNvmeIdentifyCnsController);
  WriteU32(data, kProtocolDataOffsetField, static_cast<uint32_t>(kProtocolSpecificDataSize));
  WriteU32(data, kProtocolDataLengthField, static_cast<uint32_t>(kNvmeIdentifySize));
  return query;
}

std::optional<DeviceDescriptor> ReadDeviceDescriptor(ByteView answer, size_t returned) {
  size_t limit = std::min(returned, answer.size);
  if (limit < kDeviceDescriptorFixedSize) return std::nullopt;
  // A descriptor larger than the buffer says so in its size; one smaller owns no more.
  limit = std::min<size_t>(limit, ReadU32(answer, kDescriptorSizeOffset));
  if (limit < kDeviceDescriptorFixedSize) return std::nullopt;
  DeviceDescriptor d;
  d.bus_type = ReadU32(answer, kBusTypeOffset);
  const std::string vendor = Trimmed(DescriptorText(answer, limit, kVendorIdOffsetField));
  const std::string product = Trimmed(DescriptorText(answer, limit, kProductIdOffsetField));
  // A disk behind a SCSI translation has "ATA" for its vendor: no part of the model.
  if (vendor.empty() || vendor == "ATA") {
    d.texts.model = product;
  } else {
    d.texts.model = product.empty() ? vendor : vendor + " " + product;
  }
  d.texts.firmware = Trimmed(DescriptorText(answer, limit, kProductRevisionOffsetField));
  d.texts.serial = IdentifyTextForm(DescriptorText(answer, limit, kSerialNumberOffsetField));
  return d;
}

std::optional<StorageTexts> ReadNvmeIdentify(ByteView answer, size_t returned) {
  const size_t limit = std::min(returned, answer.size);
  if (limit < kProtocolDataDescriptorHeader + kProtocolSpecificDataSize) return std::nullopt;
  const ByteView data(answer.data + kProtocolDataDescriptorHeader,
                      limit - kProtocolDataDescriptorHeader);
  if (ReadU32(data, kProtocolTypeOffset) != kProtocolTypeNvme ||
      ReadU32(data, kDataTypeOffset) != kNvmeDataTypeIdentify) {
    return std::nullopt;
  }
  const size_t offset = ReadU32(data, kProtocolDataOffsetField);
  const size_t length = ReadU32(data, kProtocolDataLengthField);
  constexpr size_t kTextsEnd = kNvmeFirmwareOffset + kNvmeFirmwareLength;
  if (offset < kProtocolSpecificDataSize || offset > data.size || length > data.size - offset ||
      length < kTextsEnd) {
    return std::nullopt;
  }
  const char* id = reinterpret_cast<const char*>(data.data + offset);
  StorageTexts texts;
  texts.serial = std::string(id + kNvmeSerialOffset, kNvmeSerialLength);
  texts.model = std::string(id + kNvmeModelOffset, kNvmeModelLength);
  texts.firmware = std::string(id + kNvmeFirmwareOffset, kNvmeFirmwareLength);
  return texts;
}

std::string IdentifyTextForm(const std::string& serial) {
  const std::optional<std::string> decoded = DecodeHexField(serial);
  std::string text = decoded.value_or(serial);
  if (text.size() % 2 == 1) text += ' ';
  const std::string swapped = SwapBytePairs(text);
  const bool given_runs = OneRun(text);
  const bool swapped_runs = OneRun(swapped);
  // Where the padding cannot tell, hex holds the field in the drive's word order and text
  // is in reading order.
  const bool swap = decoded ? !(given_runs && !swapped_runs) : (!given_runs && swapped_runs);
  return swap ? swapped : decoded.value_or(serial);
}

bool UsableSerial(const std::string& serial) {
  const bool printable = std::all_of(serial.begin(), serial.end(), [](char c) {
    return IsPad(c) ||
           (static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F);
  });
  return printable && !Trimmed(serial).empty();
}

}  // namespace corvane
