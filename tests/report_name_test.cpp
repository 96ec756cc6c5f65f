// The report file's name read back as decode and the register read it.
#include "report/report_name.h"

#include <gtest/gtest.h>

namespace corvane::test {
namespace {

TEST(ReportName, ReadsTheCalendarDateAndTheComputerName) {
  struct Case {
    const char* path;
    bool report;       // a report file's name at all
    const char* date;  // yyyy-mm-dd, or "" for none
    const char* computer;
  };
  const Case cases[] = {
      {"Lumbrook20261209PC-7.kik", true, "2026-12-09", "PC-7"},
      {"Lumbrook20230230PC-Q.kik", true, "", "PC-Q"},  // 30 February
      {"Lumbrook20230231PC-Q.kik", true, "", "PC-Q"},
      {"Lumbrook19000229PC.kik", true, "", "PC"},  // no leap year, nor 2100
      {"Lumbrook21000229PC.kik", true, "", "PC"},
      {"Lumbrook20000229PC.kik", true, "2000-02-29", "PC"},
      {"Lumbrook20240229PC.kik", true, "2024-02-29", "PC"},
      {"Lumbrook99999999PCD.kik", true, "", "PCD"},
      {"Lumbrook20261300PC.kik", true, "", "PC"},
      {"LUMBROOK20261209PC-7.KIK", true, "2026-12-09", "PC-7"},
      {"lumbrook20261209pc-7.Kik", true, "2026-12-09", "pc-7"},
      {"Lumbrook20261209.kik", true, "2026-12-09", ""},
      {"/home/ana/inbox/Lumbrook20261209PC-7.kik", true, "2026-12-09", "PC-7"},
      {"C:\\inbox\\Lumbrook20261209PC-7.kik", true, "2026-12-09", "PC-7"},
      {"C:\\inbox/sub\\Lumbrook20261209PC-7.kik", true, "2026-12-09", "PC-7"},
      {"Lumbrook20261209PC-7.kik/other.kik", false, "", ""},
      {"Lumbrook2026129PC-7.kik", false, "", ""},
      {"Lumbrook2026120xPC-7.kik", false, "", ""},
      {"Lumbrook20261209PC-7.txt", false, "", ""},
      {"Report20261209PC-7.kik", false, "", ""},
      {"-", false, "", ""},
  };
  for (const Case& c : cases) {
    const std::optional<ReportName> name = ReadReportName(c.path);
    ASSERT_EQ(name.has_value(), c.report) << c.path;
    EXPECT_EQ(ReportDateOf(c.path), c.date) << c.path;
    if (!name) continue;
    EXPECT_EQ(name->date.has_value(), *c.date != '\0') << c.path;
    EXPECT_EQ(name->computer_name, c.computer) << c.path;
  }
}

TEST(ReportName, ReadsBackWhatTheWizardWrites) {
  const std::string written = ReportFileName({2026, 1, 31}, "PC-7");
  const std::optional<ReportName> name = ReadReportName("C:\\Users\\ana\\" + written);
  ASSERT_TRUE(name && name->date);
  EXPECT_EQ(name->date->year * 10000 + name->date->month * 100 + name->date->day, 20260131);
  EXPECT_EQ(name->computer_name, "PC-7");
}

}  // namespace
}  // namespace corvane::test
