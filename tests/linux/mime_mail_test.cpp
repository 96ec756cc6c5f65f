#include "platform/linux/mime_mail.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace corvane::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(Base64, EncodesTheStandardVectors) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\0\xff\xfe", 3), "AP/+"},
  };
  for (const auto& [in, out] : vectors) EXPECT_EQ(Base64(in, 0), out) << in;
}

TEST(Base64, BreaksLinesAtTheGivenLength) {
  const std::vector<std::string> lines = Lines(Base64(std::string(100, 'a'), 76));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), 76u);
  EXPECT_EQ(lines[1].size(), 136u - 76u);
  EXPECT_EQ(Base64(std::string(57, 'a'), 76).back(), '\n');
  EXPECT_EQ(Lines(Base64(std::string(57, 'a'), 76)).size(), 1u);
}

TEST(IsPlainAddress, AcceptsOnlyABareAddress) {
  EXPECT_TRUE(IsPlainAddress("soporte@lumbrook.example"));
  EXPECT_TRUE(IsPlainAddress("first.last+tag@sub.example.org"));
  for (const char* bad :
       {"", "no-at.example", "@example.org", "a@", "a@b@c", "a b@c.d", "a@b.c\r\nBcc: x@y.z",
        "<a@b.c>", "a@b.c,d@e.f", "-f@b.c", "\"q\"@b.c", "a@b.c;d@e.f", "\xc3\xa1@b.c"}) {
    EXPECT_FALSE(IsPlainAddress(bad)) << bad;
  }
}

TEST(MailDate, IsInTheHeaderFormat) {
  const std::string date = MailDate(0);
  // "Thu, 1 Jan 1970 00:00:00 +0000", shifted by the local zone.
  EXPECT_TRUE(date.size() >= 30 && date.size() <= 31) << date;
  EXPECT_EQ(date[3], ',') << date;
  EXPECT_TRUE(date.back() >= '0' && date.back() <= '9') << date;
}

// Whatever the name holds, the header block stays well formed: every line is a header of
// ours or the continuation of one, printable, and short.
TEST(ComposeMail, HeadersStayWellFormedForAnyName) {
  const std::string names[] = {
      "Lumbrook20260131PC-7.kik",
      "PC\r\nBcc: intruder@example.com.kik",
      "PC\nContent-Type: text/html\n\n<b>x</b>.kik",
      "\xc3\xa1\xc3\xa9\xc3\xad" + std::string(90, 'x') + "\xe2\x82\xac.kik",
      std::string("nul\0tab\tdel\x7f.kik", 17),
      "\"quoted\" \\back\\ =?x?q?y?=.kik",
  };
  const std::vector<std::string> ours = {"To:",
                                         "Subject:",
                                         "Date:",
                                         "MIME-Version:",
                                         "Content-Type:",
                                         "Content-Transfer-Encoding:",
                                         "Content-Disposition:"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string mail = ComposeMail("soporte@lumbrook.example", name, name, "data\r\n",
                                         "Sat, 31 Jan 2026 09:05:00 +0000");
    EXPECT_EQ(mail.find('\r'), std::string::npos);
    bool in_headers = true;
    int blocks = 0;
    for (const std::string& line : Lines(mail)) {
      if (line.empty()) {
        in_headers = false;
        ++blocks;
        continue;
      }
      if (line.rfind("--=_corvane_attachment", 0) == 0) {
        in_headers = true;
        continue;
      }
      if (!in_headers) continue;
      EXPECT_LE(line.size(), 78u) << line;
      for (unsigned char c : line) EXPECT_TRUE(c >= 0x20 && c < 0x7f) << line;
      bool known = line[0] == ' ';
      for (const std::string& h : ours) known = known || line.rfind(h, 0) == 0;
      EXPECT_TRUE(known) << line;
    }
    EXPECT_EQ(blocks, 2) << "one blank line after each header block";
  }
}

TEST(ComposeMail, RefusesARecipientThatIsNotAPlainAddress) {
  EXPECT_THROW(ComposeMail("a@b.c\nBcc: d@e.f", "s", "n", "", "d"), MailFormatError);
}

}  // namespace
}  // namespace corvane::test
