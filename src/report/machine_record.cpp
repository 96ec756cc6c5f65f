#include "report/machine_record.h"

#include <cstdio>

#include "disk/drive_identity.h"
#include "platform/platform.h"
#include "platform/registry_helpers.h"
#include "platform/text.h"

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

std::string UpperCase(const std::string& utf8) {
  std::string out = utf8;
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    } else if (c == 0xC3 && i + 1 < out.size()) {
      // à..þ (U+00E0..U+00FE, but ÷) are 0x20 above their capitals.
      const unsigned char d = static_cast<unsigned char>(out[i + 1]);
      if (d >= 0xA0 && d <= 0xBE && d != 0xB7) out[i + 1] = static_cast<char>(d - 0x20);
      ++i;
    } else if (c >= 0xC4 && c <= 0xC5 && i + 1 < out.size()) {
      // Latin Extended-A pairs a capital (even) with its small letter (odd), mostly.
      const unsigned char d = static_cast<unsigned char>(out[i + 1]);
      const unsigned code = ((c & 0x1Fu) << 6) | (d & 0x3Fu);
      const bool odd_small = (code >= 0x100 && code <= 0x137) || (code >= 0x14A && code <= 0x177);
      const bool even_small = (code >= 0x139 && code <= 0x148) || (code >= 0x179 && code <= 0x17E);
      if ((odd_small && code % 2 == 1) || (even_small && code % 2 == 0)) {
        const unsigned upper = code - 1;
        out[i] = static_cast<char>(0xC0 | (upper >> 6));
        out[i + 1] = static_cast<char>(0x80 | (upper & 0x3F));
      }
      ++i;
    }
  }
  return out;
}

MachineValues ReadSystemValues(Platform& os) {
  MachineValues v;
  v.computer_name = UpperCase(os.system.ComputerName());
  v.product_id = UpperCase(
      ReadRegistryString(os.registry, kHkeyLocalMachine, kCurrentVersionKey, kProductIdValueName)
          .value_or(""));
  // A volume that cannot be read leaves the serial at 0.
  const uint32_t serial = os.system.VolumeSerial(os.system.SystemDriveRoot()).value_or(0);
  v.volume_serial = std::to_string(static_cast<int32_t>(serial));
  v.user_name = UpperCase(os.system.UserName());
  return v;
}

std::string DiskIdentifier(const DriveIdentity& drive) {
  if (drive.DriveType == kDriveTypeAtapi) return kAtapiIdentifier;
  if (drive.DriveType != kDriveTypeAta) return "";
  // Spaces are trimmed before the NULs go, so a space before a NUL survives.
  const std::string& serial = drive.SerialNumber;
  std::string identifier;
  for (char c : Trim(serial, " ")) {
    if (c != '\0') identifier += c;
  }
  return UpperCase(identifier);
}

std::string ReportFileName(const LocalDate& date, const std::string& computer_name) {
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d", date.year % 10000, date.month % 100,
                date.day % 100);
  std::string name;
  for (char c : UpperCase(computer_name)) {
    const unsigned char u = static_cast<unsigned char>(c);
    const bool unsafe =
        u < 0x20 || u == 0x7F || std::string("<>:\"/\\|?*").find(c) != std::string::npos;
    name += unsafe ? '_' : c;
  }
  return "Lumbrook" + std::string(stamp) + name + ".kik";
}

}  // namespace corvane
