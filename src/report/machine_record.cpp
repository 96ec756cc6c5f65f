#include "report/machine_record.h"

#include <cstdio>

#include "common/text.h"
#include "disk/drive_identity.h"
#include "platform/platform.h"
#include "platform/registry_helpers.h"

namespace corvane {

std::string LengthField(size_t characters) {
  char field[8];
  std::snprintf(field, sizeof field, "%03zu", characters % 1000);
  return field;
}

std::string MachineRecord(const MachineValues& v) {
  std::string lengths, values;
  for (const ValueField& field : kValueFields) {
    lengths += LengthField(Utf8CharacterCount(v.*field.value));
    values += v.*field.value;
  }
  return lengths + values;
}

DiskIdentifierKind KindOfDiskIdentifier(const std::string& identifier) {
  if (identifier.empty()) return DiskIdentifierKind::kEmpty;
  if (identifier == kNotAvailableIdentifier) return DiskIdentifierKind::kNotAvailable;
  if (identifier == kAtapiIdentifier) return DiskIdentifierKind::kOptical;
  return DiskIdentifierKind::kSerial;
}

const char* DiskIdentifierKindName(DiskIdentifierKind kind) {
  switch (kind) {
    case DiskIdentifierKind::kEmpty:
      return "empty";
    case DiskIdentifierKind::kNotAvailable:
      return "not_available";
    case DiskIdentifierKind::kOptical:
      return "optical";
    default:
      return "serial";
  }
}

MachineValues ReadSystemValues(Platform& os) {
  MachineValues v;
  v.computer_name = os.system.UpperCase(os.system.ComputerName());
  v.product_id = os.system.UpperCase(
      ReadRegistryString(os.registry, kHkeyLocalMachine, kCurrentVersionKey, kProductIdValueName)
          .value_or(""));
  // A volume that cannot be read leaves the serial at 0.
  const uint32_t serial = os.system.VolumeSerial(os.system.SystemDriveRoot()).value_or(0);
  v.volume_serial = std::to_string(static_cast<int32_t>(serial));
  v.user_name = os.system.UpperCase(os.system.UserName());
  return v;
}

std::string DiskIdentifier(const DriveIdentity& drive, SystemInfo& system) {
  if (drive.DriveType == kDriveTypeAtapi) return kAtapiIdentifier;
  if (drive.DriveType != kDriveTypeAta) return "";
  // Spaces are trimmed before the NULs go, so a space before a NUL survives.
  const std::string& serial = drive.SerialNumber;
  std::string identifier;
  for (char c : Trim(serial, " ")) {
    if (c != '\0') identifier += c;
  }
  return system.UpperCase(system.SingleByteText(identifier));
}

}  // namespace corvane
