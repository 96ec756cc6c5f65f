// One physical drive's identity and SMART attributes, read through the disk driver's
// SMART interface: version record and device map, SMART ENABLE OPERATIONS, IDENTIFY
// DEVICE, SMART READ DATA and SMART READ ATTRIBUTE THRESHOLDS; on the NT family, when
// these leave the disk without a serial, through the storage stack's property query.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/smart_device.h"

namespace corvane {

inline constexpr uint8_t kDriveTypeNone = 0;
inline constexpr uint8_t kDriveTypeAta = 1;
inline constexpr uint8_t kDriveTypeAtapi = 2;

// Device map positions, and so drive numbers, run from 0 to 3.
inline constexpr int32_t kDrivePositions = 4;
// Attribute entries in the attribute and threshold sectors.
inline constexpr int kAttributeSlots = 30;

struct SmartAttribute {
  uint8_t AttributeId = 0;
  std::string AttributeName;
  uint8_t CurrentValue = 0;
  uint8_t ThresholdValue = 0;
  uint8_t WorstValue = 0;
  int16_t StatusFlags = 0;
};

// Texts keep the drive's padding (spaces, or NUL bytes) and their full field length; those
// read through the storage stack are as the driver gave them, the serial in IDENTIFY's form.
// `Attributes` holds the `AttributeCount` recorded attributes and one empty element
// after them, except in the empty record of an early failure, which holds none.
struct DriveIdentity {
  uint8_t DriveType = kDriveTypeNone;
  std::string SerialNumber;
  std::string ModelNumber;
  std::string FirmwareRevision;
  int32_t Cylinders = 0;
  int32_t Heads = 0;
  int32_t SectorsPerTrack = 0;
  uint8_t AttributeCount = 0;
  std::vector<SmartAttribute> Attributes;
};

// Attribute id in decimal ("194") to the attribute's name.
using AttributeNameTable = std::map<std::string, std::string>;

// The answer for drive number `drive`; every failure gives `DriveType` 0.
DriveIdentity GetDriveIdentity(SmartDevice& device, int32_t drive);

bool IsNtPlatform(SmartDevice& device);
// kInvalidHandle when the device cannot be opened.
Handle OpenSmartDevice(SmartDevice& device, int32_t drive);
// Fills the 24-byte GETVERSIONINPARAMS `version`.
bool SmartGetVersion(SmartDevice& device, Handle h, MutableByteView version);
bool SmartEnableOperations(SmartDevice& device, Handle h, int32_t drive);
// On success fills the identify fields of `working`; leaves it unchanged otherwise.
bool IdentifyDrive(SmartDevice& device, Handle h, uint8_t command, int32_t drive,
                   DriveIdentity& working);

AttributeNameTable BuildAttributeNameTable();
// Appends the non-empty entries of the attribute sector to `working`.
bool ReadSmartAttributes(SmartDevice& device, Handle h, int32_t drive,
                         const AttributeNameTable& names, DriveIdentity& working);
// Sets `ThresholdValue` of the attributes in `working` from the threshold sector.
bool ReadSmartThresholds(SmartDevice& device, Handle h, int32_t drive, DriveIdentity& working);

}  // namespace corvane
