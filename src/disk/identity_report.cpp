#include "disk/identity_report.h"

#include <cstdio>
#include <sstream>

#include "platform/text.h"

namespace corvane {

namespace {

std::string DisplayText(const std::string& s) {
  std::string out;
  for (char ch : Trim(s, kDrivePadding)) {
    const unsigned char c = static_cast<unsigned char>(ch);
    out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  }
  return out;
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += ch;
    }
  }
  return out + "\"";
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

std::string FormatIdentityJson(const DriveIdentity& d, int32_t drive) {
  std::ostringstream out;
  out << "{\"drive\": " << drive << ", \"DriveType\": " << int{d.DriveType}
      << ", \"SerialNumber\": " << JsonString(d.SerialNumber)
      << ", \"ModelNumber\": " << JsonString(d.ModelNumber)
      << ", \"FirmwareRevision\": " << JsonString(d.FirmwareRevision)
      << ", \"Cylinders\": " << d.Cylinders << ", \"Heads\": " << d.Heads
      << ", \"SectorsPerTrack\": " << d.SectorsPerTrack
      << ", \"AttributeCount\": " << int{d.AttributeCount} << ", \"Attributes\": [";
  for (size_t i = 0; i < d.AttributeCount && i < d.Attributes.size(); ++i) {
    const SmartAttribute& a = d.Attributes[i];
    out << (i ? ", " : "") << "{\"AttributeId\": " << int{a.AttributeId}
        << ", \"AttributeName\": " << JsonString(a.AttributeName)
        << ", \"CurrentValue\": " << int{a.CurrentValue}
        << ", \"WorstValue\": " << int{a.WorstValue}
        << ", \"ThresholdValue\": " << int{a.ThresholdValue}
        << ", \"StatusFlags\": " << a.StatusFlags << "}";
  }
  out << "]}\n";
  return out.str();
}

}  // namespace corvane
