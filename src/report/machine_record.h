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

// "00n" for 0 to 9, "0nn" for 10 to 99, the last three digits from 100 on.
std::string LengthField(size_t characters);
std::string MachineRecord(const MachineValues& values);

// Upper case of ASCII and the Latin letters of the single-byte code pages.
std::string UpperCase(const std::string& utf8);

// The five values as the platform gives them, in the gathering's order; the disk
// identifier is left empty for the caller, who alone knows what to do without a drive.
MachineValues ReadSystemValues(Platform& os);
// The disk identifier of an ATA or ATAPI drive; empty for a drive without a usable identity.
std::string DiskIdentifier(const DriveIdentity& drive);

// "Lumbrook" + yyyymmdd + the upper-case computer name + ".kik", with characters that
// cannot stand in a file name replaced by "_".
std::string ReportFileName(const LocalDate& date, const std::string& computer_name);

}  // namespace corvane
