// The storage stack's property query (IOCTL_STORAGE_QUERY_PROPERTY), which Windows answers
// for a disk opened without access rights: its records written and read byte by byte at
// the offsets the stack uses (little-endian), every offset checked against the answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/bytes.h"

namespace corvane {

// CTL_CODE(IOCTL_STORAGE_BASE 0x2D, function 0x500, METHOD_BUFFERED, FILE_ANY_ACCESS).
inline constexpr uint32_t kStorageQueryProperty = 0x2D1400;
static_assert(kStorageQueryProperty == ((0x2Du << 16) | (0x500u << 2)));

// STORAGE_PROPERTY_QUERY: the property, the kind of query, then the property's parameters.
inline constexpr size_t kPropertyIdOffset = 0;
inline constexpr size_t kQueryTypeOffset = 4;
inline constexpr size_t kAdditionalParametersOffset = 8;
inline constexpr size_t kPropertyQuerySize = 12;  // one parameter byte, padded
static_assert(kPropertyQuerySize == kAdditionalParametersOffset + 4);
inline constexpr uint32_t kStorageDeviceProperty = 0;
inline constexpr uint32_t kStorageAdapterProtocolSpecificProperty = 49;
inline constexpr uint32_t kStorageDeviceProtocolSpecificProperty = 50;
inline constexpr uint32_t kPropertyStandardQuery = 0;

// STORAGE_DEVICE_DESCRIPTOR: a fixed part, then NUL-terminated texts at the offsets it
// gives, 0 for a text it does not have.
inline constexpr size_t kDescriptorVersionOffset = 0;
inline constexpr size_t kDescriptorSizeOffset = 4;
inline constexpr size_t kVendorIdOffsetField = 12;
inline constexpr size_t kProductIdOffsetField = 16;
inline constexpr size_t kProductRevisionOffsetField = 20;
inline constexpr size_t kSerialNumberOffsetField = 24;
inline constexpr size_t kBusTypeOffset = 28;
inline constexpr size_t kRawPropertiesLengthOffset = 32;
inline constexpr size_t kDeviceDescriptorFixedSize = 36;  // up to RawDeviceProperties
static_assert(kDeviceDescriptorFixedSize == kRawPropertiesLengthOffset + 4);
static_assert(kBusTypeOffset == kSerialNumberOffsetField + 4);
inline constexpr size_t kDeviceDescriptorBufferSize = 1024;
inline constexpr uint32_t kBusTypeNvme = 0x11;

// STORAGE_PROTOCOL_SPECIFIC_DATA: sent after the query's property and kind, answered
// after the STORAGE_PROTOCOL_DATA_DESCRIPTOR's version and size. The data offset counts
// from this record's first byte.
inline constexpr size_t kProtocolTypeOffset = 0;
inline constexpr size_t kDataTypeOffset = 4;
inline constexpr size_t kDataRequestValueOffset = 8;
inline constexpr size_t kDataRequestSubValueOffset = 12;
inline constexpr size_t kProtocolDataOffsetField = 16;
inline constexpr size_t kProtocolDataLengthField = 20;
inline constexpr size_t kProtocolSpecificDataSize = 40;  // four more words follow the length
static_assert(kProtocolSpecificDataSize == kProtocolDataLengthField + 4 + 4 * 4);
inline constexpr size_t kProtocolDataDescriptorHeader = 8;
inline constexpr uint32_t kProtocolTypeNvme = 3;
inline constexpr uint32_t kNvmeDataTypeIdentify = 1;
inline constexpr uint32_t kNvmeIdentifyCnsController = 1;
inline constexpr size_t kNvmeIdentifySize = 4096;
inline constexpr size_t kNvmeIdentifyQuerySize =
    kAdditionalParametersOffset + kProtocolSpecificDataSize + kNvmeIdentifySize;
static_assert(kNvmeIdentifyQuerySize == 4144);

// The NVMe identify controller data's texts: ASCII in reading order, padded with spaces.
inline constexpr size_t kNvmeSerialOffset = 4;
inline constexpr size_t kNvmeSerialLength = 20;
inline constexpr size_t kNvmeModelOffset = 24;
inline constexpr size_t kNvmeModelLength = 40;
inline constexpr size_t kNvmeFirmwareOffset = 64;
inline constexpr size_t kNvmeFirmwareLength = 8;
static_assert(kNvmeModelOffset == kNvmeSerialOffset + kNvmeSerialLength);
static_assert(kNvmeFirmwareOffset == kNvmeModelOffset + kNvmeModelLength);

// A disk's texts as the storage stack gives them; empty where it gives none.
struct StorageTexts {
  std::string serial;
  std::string model;
  std::string firmware;
};

struct DeviceDescriptor {
  uint32_t bus_type = 0;
  StorageTexts texts;
};

// The standard query of the device descriptor.
Bytes WriteDeviceDescriptorQuery();
// The query of the NVMe controller's identify data; `property` is the adapter's or the
// device's protocol-specific property.
Bytes WriteNvmeIdentifyQuery(uint32_t property);

// Read from the first `returned` bytes of `answer`; nothing when they do not hold the
// record. A text whose offset or end falls outside them is left empty.
std::optional<DeviceDescriptor> ReadDeviceDescriptor(ByteView answer, size_t returned);
std::optional<StorageTexts> ReadNvmeIdentify(ByteView answer, size_t returned);

// A serial number as a driver gave it, in the text form IDENTIFY DEVICE gives: decoded
// when it came hex-encoded, and its byte pairs put back when the driver swapped them.
std::string IdentifyTextForm(const std::string& serial);
// Printable ASCII that is more than padding (spaces and NULs).
bool UsableSerial(const std::string& serial);

}  // namespace corvane
