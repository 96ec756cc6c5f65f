#include "report/report_name.h"

#include <cstdio>

#include "common/dates.h"
#include "common/text.h"

namespace corvane {

namespace {

constexpr const char kPrefix[] = "Lumbrook";
constexpr const char kExtension[] = ".kik";

}  // namespace

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
  return kPrefix + std::string(stamp) + name + kExtension;
}

std::optional<ReportName> ReadReportName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string prefix = LowerCaseLatin(kPrefix), extension = kExtension;
  constexpr size_t kDigits = 8;
  if (name.size() < prefix.size() + kDigits + extension.size() ||
      LowerCaseLatin(name.substr(0, prefix.size())) != prefix ||
      LowerCaseLatin(name.substr(name.size() - extension.size())) != extension) {
    return std::nullopt;
  }
  int parts[3] = {0, 0, 0};
  for (size_t i = 0; i < kDigits; ++i) {
    const char c = name[prefix.size() + i];
    if (c < '0' || c > '9') return std::nullopt;
    int& part = parts[i < 4 ? 0 : i < 6 ? 1 : 2];
    part = part * 10 + (c - '0');
  }
  ReportName report;
  if (IsCalendarDate(parts[0], parts[1], parts[2]))
    report.date = LocalDate{parts[0], parts[1], parts[2]};
  report.computer_name = name.substr(prefix.size() + kDigits,
                                     name.size() - prefix.size() - kDigits - extension.size());
  return report;
}

std::string ReportDateOf(const std::string& path) {
  const std::optional<ReportName> name = ReadReportName(path);
  if (!name || !name->date) return "";
  return IsoDate(name->date->year, name->date->month, name->date->day);
}

}  // namespace corvane
