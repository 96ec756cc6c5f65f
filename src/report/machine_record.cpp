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
  std::string record;
  for (const std::string* value :
       {&v.disk_identifier, &v.volume_serial, &v.computer_name, &v.product_id, &v.user_name}) {
    record += LengthField(Utf8CharacterCount(*value));
  }
  return record + v.disk_identifier + v.volume_serial + v.computer_name + v.product_id +
         v.user_name;
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

std::string ReportFileName(const LocalDate& date, const std::string& computer_name) {
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d", date.year % 10000, date.month % 100,
                date.day % 100);
  std::string name;
  for (char c : computer_name) {
    const unsigned char u = static_cast<unsigned char>(c);
    const bool unsafe =
        u < 0x20 || u == 0x7F || std::string("<>:\"/\\|?*").find(c) != std::string::npos;
    name += unsafe ? '_' : c;
  }
  return "Lumbrook" + std::string(stamp) + name + ".kik";
}

}  // namespace corvane
