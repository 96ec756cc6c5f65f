#include "common/dates.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "common/text.h"

namespace corvane {

namespace {

bool Digits(const std::string& s, size_t from, size_t count) {
  if (s.size() < from + count) return false;
  for (size_t i = from; i < from + count; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
  }
  return true;
}

}  // namespace

bool IsCalendarDate(int year, int month, int day) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month != 2 || day < 29 || leap;
}

std::string IsoDate(int year, int month, int day) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

std::string Rfc2822DateToIso(const std::string& date) {
  // The words between spaces and tabs (a stream would build a locale for each date).
  std::vector<std::string> words;
  for (size_t at = 0; at < date.size();) {
    const size_t end = std::min(date.find_first_of(" \t\r\n\v\f", at), date.size());
    if (end > at) words.emplace_back(date, at, end - at);
    at = end + 1;
  }
  size_t w = 0;
  if (w < words.size() && words[w].back() == ',') ++w;  // the day of the week
  if (words.size() < w + 4) return "";
  const std::string day = words[w], month_name = LowerCaseLatin(words[w + 1]), year = words[w + 2],
                    time = words[w + 3];
  static const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                  "jul", "aug", "sep", "oct", "nov", "dec"};
  int month = 0;
  for (int m = 0; m < 12; ++m) {
    if (month_name.substr(0, 3) == kMonths[m] && month_name.size() == 3) month = m + 1;
  }
  if (month == 0 || day.empty() || day.size() > 2 || !Digits(day, 0, day.size()) ||
      (year.size() != 4 && year.size() != 2) || !Digits(year, 0, year.size())) {
    return "";
  }
  // Two-digit years as RFC 5322 reads them: 00 to 49 are 2000 to 2049.
  int y = std::stoi(year);
  if (year.size() == 2) y += y < 50 ? 2000 : 1900;
  const int d = std::stoi(day);
  if (!IsCalendarDate(y, month, d)) return "";
  if (!((time.size() == 5 || time.size() == 8) && Digits(time, 0, 2) && time[2] == ':' &&
        Digits(time, 3, 2) && (time.size() == 5 || (time[5] == ':' && Digits(time, 6, 2))))) {
    return "";
  }
  if (std::stoi(time.substr(0, 2)) > 23 || std::stoi(time.substr(3, 2)) > 59 ||
      (time.size() == 8 && std::stoi(time.substr(6, 2)) > 60)) {
    return "";
  }
  std::string zone = words.size() > w + 4 ? words[w + 4] : "";
  std::string offset;
  static const std::pair<const char*, const char*> kZones[] = {
      {"ut", "+00:00"},  {"gmt", "+00:00"}, {"z", "+00:00"},   {"edt", "-04:00"},
      {"est", "-05:00"}, {"cdt", "-05:00"}, {"cst", "-06:00"}, {"mdt", "-06:00"},
      {"mst", "-07:00"}, {"pdt", "-07:00"}, {"pst", "-08:00"}};
  if (zone.size() == 5 && (zone[0] == '+' || zone[0] == '-') && Digits(zone, 1, 4)) {
    offset = zone.substr(0, 3) + ":" + zone.substr(3, 2);
  } else {
    for (const auto& [name, value] : kZones) {
      if (LowerCaseLatin(zone) == name) offset = value;
    }
  }
  // Without a zone the time's offset is unknown; ISO 8601 says so by giving none.
  if (offset.empty() && !zone.empty() && zone[0] != '(') return "";
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%s%s", y, month, d,
                (time.size() == 5 ? time + ":00" : time).c_str(), offset.c_str());
  return text;
}

}  // namespace corvane
