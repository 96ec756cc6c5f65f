// The machine record: five three-digit length fields, then the five values.
#pragma once

#include <cstddef>
#include <string>

#include "platform/system_info.h"

namespace corvane {

struct Platform;
struct DriveIdentity;

inline constexpr const char* kAtapiIdentifier = "ATAPI-CD";
inline constexpr const char* kNotAvailableIdentifier = "NOTAVAIL";

struct MachineValues {
  std::string disk_identifier;
  std::string volume_serial;
  std::string computer_name;
  std::string product_id;
  std::string user_name;
};

// The five values in the record's order, with the key scripts read (JSON, CSV) and the label
// people read: the one list every output takes them from.
struct ValueField {
  const char* key;
  const char* label;
  std::string MachineValues::*value;
};
inline constexpr ValueField kValueFields[] = {
    {"disk_identifier", "disk identifier", &MachineValues::disk_identifier},
    {"volume_serial", "volume serial", &MachineValues::volume_serial},
    {"computer_name", "computer name", &MachineValues::computer_name},
    {"product_id", "product id", &MachineValues::product_id},
    {"user_name", "user name", &MachineValues::user_name}};

// What a disk identifier is: a drive's serial, or one of the gathering's fixed words. Only a
// serial tells one disk from another.
enum class DiskIdentifierKind { kEmpty, kNotAvailable, kOptical, kSerial };
DiskIdentifierKind KindOfDiskIdentifier(const std::string& disk_identifier);
// "serial", "not_available", "optical", "empty".
const char* DiskIdentifierKindName(DiskIdentifierKind kind);

// "00n" for 0 to 9, "0nn" for 10 to 99, the last three digits from 100 on.
std::string LengthField(size_t characters);
std::string MachineRecord(const MachineValues& values);

// The five values as the platform gives them, in the gathering's order; the disk
// identifier is left empty for the caller, who alone knows what to do without a drive.
MachineValues ReadSystemValues(Platform& os);
// The disk identifier of an ATA or ATAPI drive, each byte of the drive's serial one
// character, in upper case; empty for a drive without a usable identity.
std::string DiskIdentifier(const DriveIdentity& drive, SystemInfo& system);

}  // namespace corvane
