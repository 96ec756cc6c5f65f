#include "platform/linux/mime_mail.h"

#include <gtest/gtest.h>

#include <optional>
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
  const std::vector<std::string> ours = {"From:",
                                         "To:",
                                         "Subject:",
                                         "Date:",
                                         "Message-ID:",
                                         "MIME-Version:",
                                         "Content-Type:",
                                         "Content-Transfer-Encoding:",
                                         "Content-Disposition:"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    MailMessage message{"soporte@lumbrook.example",
                        FromHeader("Ana Lopez, Ltd. <ana@pc-7.example>"),
                        name,
                        "Sat, 31 Jan 2026 09:05:00 +0000",
                        "<20260131090500.42.0123456789abcdef@pc-7>",
                        "The attached file " + name + " holds the machine information.\n",
                        name,
                        "data\r\n"};
    const std::string mail = ComposeMail(message);
    EXPECT_EQ(mail.find('\r'), std::string::npos);
    bool in_headers = true;
    int blocks = 0;
    for (const std::string& line : Lines(mail)) {
      if (line.empty()) {
        if (in_headers) ++blocks;
        in_headers = false;
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
    EXPECT_EQ(blocks, 3) << "one blank line after each header block";
  }
}

TEST(ComposeMail, RefusesARecipientThatIsNotAPlainAddress) {
  MailMessage message;
  message.to = "a@b.c\nBcc: d@e.f";
  EXPECT_THROW(ComposeMail(message), MailFormatError);
}

TEST(FromHeader, TakesTheSendersTwoFormsAndNothingElse) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"ana@pc-7.example", "ana@pc-7.example"},
      {"Ana Lopez <ana@pc-7.example>", "Ana Lopez <ana@pc-7.example>"},
      {"<ana@pc-7.example>", "ana@pc-7.example"},
      {"Ana L. <ana@pc-7.example>", "=?UTF-8?B?QW5hIEwu?= <ana@pc-7.example>"},
      {"Jo\xc3\xa3o <joao@pc-7.example>", "=?UTF-8?B?Sm/Do28=?= <joao@pc-7.example>"},
      {"", std::nullopt},
      {"ana", std::nullopt},
      {"Ana <ana@pc-7.example>\nBcc: x@y.example", std::nullopt},
      {"Ana\r\nBcc: x@y.example <ana@pc-7.example>", std::nullopt},
      {"Ana <ana@pc-7.example, x@y.example>", std::nullopt},
      {"a@b.example, c@d.example", std::nullopt},
  };
  for (const auto& [sender, header] : cases) EXPECT_EQ(FromHeader(sender), header) << sender;
}

TEST(MessageId, IsUniqueByTimeProcessAndRandomBitsWithADomainRight) {
  EXPECT_EQ(MessageId(0, 42, 0xabcdef, "pc-7.example"),
            "<19700101000000.42.0000000000abcdef@pc-7.example>");
  EXPECT_NE(MessageId(0, 42, 1, "pc-7"), MessageId(0, 42, 2, "pc-7"));
  for (const char* not_a_domain : {"", "pc 7", "pc>7", "pc-7.", "\xc3\xa1rbol"}) {
    const std::string id = MessageId(0, 1, 1, not_a_domain);
    EXPECT_EQ(id.substr(id.find('@')), "@localhost>") << not_a_domain;
  }
}

}  // namespace
}  // namespace corvane::test
