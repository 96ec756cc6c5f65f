#include "disk/drive_identity.h"

#include <array>
#include <utility>

#include "platform/smart_records.h"
#include "platform/storage_records.h"

namespace corvane {

namespace {

constexpr char k9xDeviceName[] = "\\\\.\\SMARTVSD";

// Attribute and threshold entries within the 528-byte output buffer.
constexpr size_t kFirstEntryOffset = kOutBufferOffset + 2;
constexpr size_t kEntrySize = 12;
// Within an entry: the id, then the attribute's flags (a word), current and worst value;
// a threshold entry has its threshold after the id.
constexpr size_t kEntryIdOffset = 0;
constexpr size_t kEntryFlagsOffset = 1;
constexpr size_t kEntryCurrentOffset = 3;
constexpr size_t kEntryWorstOffset = 4;
constexpr size_t kEntryThresholdOffset = 1;
static_assert(kFirstEntryOffset + kEntrySize * kAttributeSlots == kOutBufferOffset + 362);

const std::array<std::pair<int, const char*>, 35> kAttributeNames = {{
    {0, "ATTR_INVALID"},
    {1, "READ_ERROR_RATE"},
    {2, "THROUGHPUT_PERF"},
    {3, "SPIN_UP_TIME"},
    {4, "START_STOP_COUNT"},
    {5, "REALLOC_SECTOR_COUNT"},
    {6, "READ_CHANNEL_MARGIN"},
    {7, "SEEK_ERROR_RATE"},
    {8, "SEEK_TIME_PERF"},
    {9, "POWER_ON_HRS_COUNT"},
    {10, "SPIN_RETRY_COUNT"},
    {11, "CALIBRATION_RETRY_COUNT"},
    {12, "POWER_CYCLE_COUNT"},
    {13, "SOFT_READ_ERROR_RATE"},
    {191, "G_SENSE_ERROR_RATE"},
    {192, "POWER_OFF_RETRACT_CYCLE"},
    {193, "LOAD_UNLOAD_CYCLE_COUNT"},
    {194, "TEMPERATURE"},
    {196, "REALLOCATION_EVENTS_COUNT"},
    {197, "CURRENT_PENDING_SECTOR_COUNT"},
    {198, "UNCORRECTABLE_SECTOR_COUNT"},
    {199, "ULTRADMA_CRC_ERROR_RATE"},
    {200, "WRITE_ERROR_RATE"},
    {220, "DISK_SHIFT"},
    {221, "G_SENSE_ERROR_RATEII"},
    {222, "LOADED_HOURS"},
    {223, "LOAD_UNLOAD_RETRY_COUNT"},
    {224, "LOAD_FRICTION"},
    {225, "LOAD_UNLOAD_CYCLE_COUNTII"},
    {226, "LOAD_IN_TIME"},
    {227, "TORQUE_AMPLIFICATION_COUNT"},
    {228, "POWER_OFF_RETRACT_COUNT"},
    {230, "GMR_HEAD_AMPLITUDE"},
    {231, "TEMPERATUREII"},
    {250, "READ_ERROR_RETRY_RATE"},
}};

DriveIdentity WorkingRecord() {
  DriveIdentity working;
  working.Attributes.resize(1);
  return working;
}

// Drive/head for the sector-reading commands: the 9x driver serves both devices of a
// channel through one device, so odd drive numbers select the second one.
uint8_t SectorCommandDriveHead(SmartDevice& device, int32_t drive) {
  uint8_t drive_head = kDriveHeadMaster;
  if (!IsNtPlatform(device) && drive % 2 == 1) drive_head |= kDriveHeadSlaveBit;
  return drive_head;
}

bool ReceiveSector(SmartDevice& device, Handle h, const SendCmdInParams& params, Bytes& out) {
  const SendCmdInBytes in = WriteSendCmdInParams(params);
  out.assign(kSendCmdOutParamsSize, 0);
  return device.Control(h, kSmartRcvDriveData, ByteView(in.data(), in.size()), out);
}

SendCmdInParams SmartSectorParams(SmartDevice& device, uint8_t features, int32_t drive) {
  SendCmdInParams p;
  p.buffer_size = kSectorSize;
  p.features = features;
  p.sector_count = 1;
  p.sector_number = 1;
  p.cyl_low = kSmartCylLow;
  p.cyl_high = kSmartCylHigh;
  p.drive_head = SectorCommandDriveHead(device, drive);
  p.command = kAtaSmart;
  p.drive_number = static_cast<uint8_t>(drive);
  return p;
}

std::string AtaString(const uint8_t* sector, size_t offset, size_t length) {
  return SwapBytePairs(std::string(reinterpret_cast<const char*>(sector + offset), length));
}

std::string NtDeviceName(int32_t drive) { return kNtDevicePrefix + std::to_string(drive); }

bool Identified(const DriveIdentity& d) {
  if (d.DriveType == kDriveTypeAtapi) return true;
  return d.DriveType == kDriveTypeAta &&
         d.SerialNumber.find_first_not_of(std::string(" \0", 2)) != std::string::npos;
}

DriveIdentity ReadSmartIdentity(SmartDevice& device, int32_t drive) {
  DriveIdentity working = WorkingRecord();
  const Handle h = OpenSmartDevice(device, drive);
  if (h == kInvalidHandle) return DriveIdentity{};

  std::array<uint8_t, kGetVersionInParamsSize> version{};
  if (!SmartGetVersion(device, h, MutableByteView(version.data(), version.size()))) {
    device.Close(h);
    return DriveIdentity{};
  }
  const uint8_t device_map = version[kIdeDeviceMapOffset];
  if ((device_map & (1u << drive)) == 0) {
    device.Close(h);
    return DriveIdentity{};
  }
  working.DriveType = (device_map & (1u << (drive + 4))) ? kDriveTypeAtapi : kDriveTypeAta;

  if (!SmartEnableOperations(device, h, drive)) {
    device.Close(h);
    return DriveIdentity{};
  }
  const AttributeNameTable names = BuildAttributeNameTable();
  IdentifyDrive(device, h, kAtaIdentifyDevice, drive, working);
  ReadSmartAttributes(device, h, drive, names, working);
  ReadSmartThresholds(device, h, drive, working);

  DriveIdentity answer = working;
  device.Close(h);
  return answer;
}

// The storage stack answers for a disk opened without access rights, which the SMART
// requests need, and for NVMe disks, which have no SMART requests. On NVMe the serial
// comes from the controller's identify data, the descriptor's being another number there.
std::optional<StorageTexts> AskStorageStack(SmartDevice& device, int32_t drive) {
  const Handle h = device.Open(NtDeviceName(drive), 0, kFileShareReadWrite, kOpenExisting);
  if (h == kInvalidHandle) return std::nullopt;
  size_t returned = 0;
  std::optional<DeviceDescriptor> descriptor;
  Bytes out(kDeviceDescriptorBufferSize, 0);
  if (device.ControlCounted(h, kStorageQueryProperty, WriteDeviceDescriptorQuery(), out,
                            returned)) {
    descriptor = ReadDeviceDescriptor(out, returned);
  }
  std::optional<StorageTexts> texts;
  if (descriptor && descriptor->bus_type == kBusTypeNvme) {
    for (uint32_t property :
         {kStorageAdapterProtocolSpecificProperty, kStorageDeviceProtocolSpecificProperty}) {
      Bytes answer(kNvmeIdentifyQuerySize, 0);
      if (device.ControlCounted(h, kStorageQueryProperty, WriteNvmeIdentifyQuery(property), answer,
                                returned)) {
        texts = ReadNvmeIdentify(answer, returned);
        if (texts && UsableSerial(texts->serial)) break;
        texts.reset();
      }
    }
  }
  device.Close(h);
  if (!texts && descriptor && UsableSerial(descriptor->texts.serial)) texts = descriptor->texts;
  return texts;
}

}  // namespace

DriveIdentity GetDriveIdentity(SmartDevice& device, int32_t drive) {
  // Only four positions exist in the device map; other numbers would read another
  // position's bits (or shift out of the byte).
  if (drive < 0 || drive >= kDrivePositions) return DriveIdentity{};

  // The SMART requests come first, as they always have; the storage stack only fills in
  // a disk they leave without a serial, on the NT family, where it exists.
  DriveIdentity smart = ReadSmartIdentity(device, drive);
  if (Identified(smart) || !IsNtPlatform(device)) return smart;
  const std::optional<StorageTexts> texts = AskStorageStack(device, drive);
  if (!texts) return smart;
  DriveIdentity answer = smart.DriveType == kDriveTypeNone ? WorkingRecord() : smart;
  answer.DriveType = kDriveTypeAta;
  answer.SerialNumber = texts->serial;
  if (!texts->model.empty()) answer.ModelNumber = texts->model;
  if (!texts->firmware.empty()) answer.FirmwareRevision = texts->firmware;
  return answer;
}

bool IsNtPlatform(SmartDevice& device) {
  const std::optional<uint32_t> platform_id = device.PlatformId();
  return platform_id && *platform_id == kVerPlatformWin32Nt;
}

Handle OpenSmartDevice(SmartDevice& device, int32_t drive) {
  if (IsNtPlatform(device)) {
    return device.Open(NtDeviceName(drive), kGenericReadWrite, kFileShareReadWrite, kOpenExisting);
  }
  return device.Open(k9xDeviceName, 0, 0, kCreateNew);
}

bool SmartGetVersion(SmartDevice& device, Handle h, MutableByteView version) {
  return device.Control(h, kSmartGetVersion, ByteView(), version);
}

bool SmartEnableOperations(SmartDevice& device, Handle h, int32_t drive) {
  SendCmdInParams p;
  p.features = kSmartEnableOperations;
  p.sector_count = 1;
  p.sector_number = 1;
  p.cyl_low = kSmartCylLow;
  p.cyl_high = kSmartCylHigh;
  p.drive_head = kDriveHeadMaster;  // on both families, for every drive
  p.command = kAtaSmart;
  p.drive_number = static_cast<uint8_t>(drive);
  const SendCmdInBytes in = WriteSendCmdInParams(p);
  std::array<uint8_t, kSendCmdOutHeaderSize> out{};
  return device.Control(h, kSmartSendDriveCommand, ByteView(in.data(), in.size()),
                        MutableByteView(out.data(), out.size()));
}

bool IdentifyDrive(SmartDevice& device, Handle h, uint8_t command, int32_t drive,
                   DriveIdentity& working) {
  SendCmdInParams p;
  p.buffer_size = kSectorSize;
  p.sector_count = 1;
  p.sector_number = 1;
  p.drive_head = SectorCommandDriveHead(device, drive);
  p.command = command;
  p.drive_number = static_cast<uint8_t>(drive);
  Bytes out;
  if (!ReceiveSector(device, h, p, out)) return false;

  const uint8_t* sector = out.data() + kOutBufferOffset;
  const ByteView id(sector, kIdentifyCopied);
  working.ModelNumber = AtaString(sector, kModelOffset, kModelLength);
  working.FirmwareRevision = AtaString(sector, kFirmwareOffset, kFirmwareLength);
  working.SerialNumber = AtaString(sector, kSerialOffset, kSerialLength);
  working.Cylinders = ReadU16(id, kCylindersOffset);
  working.Heads = ReadU16(id, kHeadsOffset);
  working.SectorsPerTrack = ReadU16(id, kSectorsPerTrackOffset);
  return true;
}

AttributeNameTable BuildAttributeNameTable() {
  AttributeNameTable table;
  for (const auto& [id, name] : kAttributeNames) table.emplace(std::to_string(id), name);
  return table;
}

bool ReadSmartAttributes(SmartDevice& device, Handle h, int32_t drive,
                         const AttributeNameTable& names, DriveIdentity& working) {
  Bytes out;
  // A failed request's buffer holds nothing the drive said: record no attribute from it.
  if (!ReceiveSector(device, h, SmartSectorParams(device, kSmartReadData, drive), out)) {
    return false;
  }
  for (int k = 0; k < kAttributeSlots; ++k) {
    const size_t o = kFirstEntryOffset + kEntrySize * static_cast<size_t>(k);
    const uint8_t id = out[o + kEntryIdOffset];
    if (id == 0) continue;  // empty slots may lie between used ones
    SmartAttribute& a = working.Attributes[working.AttributeCount];
    a.AttributeId = id;
    const auto name = names.find(std::to_string(id));
    a.AttributeName =
        name != names.end() ? name->second : "Unknown value (" + std::to_string(id) + ")";
    a.StatusFlags = static_cast<int16_t>(ReadU16(out, o + kEntryFlagsOffset));
    a.CurrentValue = out[o + kEntryCurrentOffset];
    a.WorstValue = out[o + kEntryWorstOffset];
    ++working.AttributeCount;
    working.Attributes.resize(working.AttributeCount + 1u);
  }
  return true;
}

bool ReadSmartThresholds(SmartDevice& device, Handle h, int32_t drive, DriveIdentity& working) {
  Bytes out;
  if (!ReceiveSector(device, h, SmartSectorParams(device, kSmartReadThresholds, drive), out)) {
    return false;
  }
  // Every entry of an attribute's id sets its threshold in turn, so when a drive lists an
  // id twice the last entry holds, for both elements of that id.
  for (size_t i = 0; i < working.AttributeCount; ++i) {
    SmartAttribute& a = working.Attributes[i];
    for (int k = 0; k < kAttributeSlots; ++k) {
      const size_t o = kFirstEntryOffset + kEntrySize * static_cast<size_t>(k);
      const uint8_t id = out[o + kEntryIdOffset];
      if (id != 0 && id == a.AttributeId) {
        a.ThresholdValue = out[o + kEntryThresholdOffset];
      }
    }
  }
  return true;
}

}  // namespace corvane
