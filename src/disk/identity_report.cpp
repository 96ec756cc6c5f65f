#include "disk/identity_report.h"

#include <cstdio>
#include <sstream>
#include <utility>

#include "common/text.h"

namespace corvane {

namespace {

const char* TypeWord(uint8_t type) {
  switch (type) {
    case kDriveTypeAta:
      return "ata";
    case kDriveTypeAtapi:
      return "atapi";
    default:
      return "none";
  }
}

std::string DisplayText(const std::string& s) {
  std::string out;
  for (char ch : Trim(s, kDrivePadding)) {
    const unsigned char c = static_cast<unsigned char>(ch);
    out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  }
  return out;
}

const char* TypeName(uint8_t type) {
  switch (type) {
    case kDriveTypeAta:
      return "ATA";
    case kDriveTypeAtapi:
      return "ATAPI";
    default:
      return "none: no usable drive";
  }
}

}  // namespace

std::string FormatIdentityText(const DriveIdentity& d, int32_t drive) {
  std::ostringstream out;
  out << "Drive:            " << drive << "\n"
      << "Device type:      " << TypeName(d.DriveType) << " (" << int{d.DriveType} << ")\n"
      << "Serial number:    " << DisplayText(d.SerialNumber) << "\n"
      << "Model:            " << DisplayText(d.ModelNumber) << "\n"
      << "Firmware:         " << DisplayText(d.FirmwareRevision) << "\n"
      << "Geometry:         " << d.Cylinders << " cylinders, " << d.Heads << " heads, "
      << d.SectorsPerTrack << " sectors per track\n\n";
  if (d.AttributeCount == 0) {
    out << "No SMART attributes.\n";
    return out.str();
  }
  out << "ID# ATTRIBUTE_NAME                 VALUE WORST THRESH FLAGS\n";
  for (size_t i = 0; i < d.AttributeCount && i < d.Attributes.size(); ++i) {
    const SmartAttribute& a = d.Attributes[i];
    char line[128];
    std::snprintf(line, sizeof line, "%3d %-30s %5d %5d %6d 0x%04x\n", a.AttributeId,
                  a.AttributeName.c_str(), a.CurrentValue, a.WorstValue, a.ThresholdValue,
                  static_cast<uint16_t>(a.StatusFlags));
    out << line;
  }
  return out.str();
}

nlohmann::ordered_json IdentityJson(const DriveIdentity& d, int32_t drive) {
  nlohmann::ordered_json doc;
  doc["drive"] = drive;
  doc["device_type"] = {{"value", d.DriveType}, {"string", TypeWord(d.DriveType)}};
  const std::pair<const char*, const std::string*> texts[] = {{"serial_number", &d.SerialNumber},
                                                              {"model", &d.ModelNumber},
                                                              {"firmware", &d.FirmwareRevision}};
  for (const auto& [key, text] : texts) {
    // The drive's bytes as text: each byte one character, 0x80 and above read as Latin-1.
    doc[key] = Latin1ToUtf8(Trim(*text, kDrivePadding));
    doc[std::string(key) + "_padded"] = Latin1ToUtf8(*text);
  }
  doc["geometry"] = {
      {"cylinders", d.Cylinders}, {"heads", d.Heads}, {"sectors_per_track", d.SectorsPerTrack}};
  nlohmann::ordered_json attributes = nlohmann::ordered_json::array();
  for (size_t i = 0; i < d.AttributeCount && i < d.Attributes.size(); ++i) {
    const SmartAttribute& a = d.Attributes[i];
    attributes.push_back({{"id", a.AttributeId},
                          {"name", Latin1ToUtf8(a.AttributeName)},
                          {"value", a.CurrentValue},
                          {"worst", a.WorstValue},
                          {"threshold", a.ThresholdValue},
                          {"flags", static_cast<uint16_t>(a.StatusFlags)}});
  }
  doc["attributes"] = attributes;
  return doc;
}

}  // namespace corvane
