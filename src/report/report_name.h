// The report file's name, written by the wizard and read back by decode and the register:
// "Lumbrook" + yyyymmdd + the computer name + ".kik".
#pragma once

#include <optional>
#include <string>

#include "platform/system_info.h"

namespace corvane {

// "Lumbrook" + yyyymmdd + the (upper-case) computer name + ".kik", with characters that
// cannot stand in a file name replaced by "_".
std::string ReportFileName(const LocalDate& date, const std::string& computer_name);

struct ReportName {
  // Nothing when the eight digits are no day of the calendar (30 February, 99999999).
  std::optional<LocalDate> date;
  std::string computer_name;
};

// Reads the name after the last separator of either system ("/" or "\"), prefix and ".kik" in
// any case; nothing when the name is not so made. Received names are read here as text, never
// handed to the file system library, whose cuts differ between systems.
std::optional<ReportName> ReadReportName(const std::string& path);

// The report's date as yyyy-mm-dd; empty when the name gives none.
std::string ReportDateOf(const std::string& path);

}  // namespace corvane
