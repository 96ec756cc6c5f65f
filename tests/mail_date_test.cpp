// A mail's Date header as decode and the register show it: ISO 8601, or nothing for what is
// no date.
#include <gtest/gtest.h>

#include "common/dates.h"

namespace corvane::test {
namespace {

TEST(MailDate, TwoDigitYearsAsRfc5322ReadsThemNoLeapDayInAPlainCenturyYearNoHour24) {
  const struct {
    const char* date;
    const char* iso;
  } cases[] = {
      // 00 to 49 are 2000 to 2049; 50 to 99 are 1950 to 1999.
      {"Wed, 1 Feb 50 10:00:00 +0000", "1950-02-01T10:00:00+00:00"},
      {"1 Feb 49 10:00:00 +0100", "2049-02-01T10:00:00+01:00"},
      {"Tue, 29 Feb 00 08:30 GMT", "2000-02-29T08:30:00+00:00"},
      {"Sat, 31 Dec 99 23:59:59 -0500", "1999-12-31T23:59:59-05:00"},
      // Years divisible by 100 are leap years only when divisible by 400 as well.
      {"Mon, 29 Feb 2100 10:00:00 +0000", ""},
      {"Thu, 29 Feb 1900 10:00:00 +0000", ""},
      {"Tue, 29 Feb 2000 10:00:00 +0000", "2000-02-29T10:00:00+00:00"},
      {"Thu, 29 Feb 2024 10:00:00 +0000", "2024-02-29T10:00:00+00:00"},
      // A time past the day's last minute is no time.
      {"Mon, 7 Dec 2026 23:59:60 +0000", "2026-12-07T23:59:60+00:00"},
      {"Mon, 7 Dec 2026 24:00:00 +0000", ""},
      {"Mon, 7 Dec 2026 10:60:00 +0000", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Rfc2822DateToIso(c.date), c.iso) << c.date;
}

}  // namespace
}  // namespace corvane::test
