// Calendar dates as the verbs read and print them: a day that exists, and a mail's Date
// header as ISO 8601. Portable; no OS headers.
#pragma once

#include <string>

namespace corvane {

// Whether year-month-day is a day of the Gregorian calendar (29 February in leap years only).
bool IsCalendarDate(int year, int month, int day);

// yyyy-mm-dd.
std::string IsoDate(int year, int month, int day);

// A mail's Date header (RFC 5322) as ISO 8601 with its offset; empty when it does not read.
std::string Rfc2822DateToIso(const std::string& date);

}  // namespace corvane
