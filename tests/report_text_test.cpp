#include "report/report_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace corvane {
namespace test {
namespace {

const std::string kName = "Lumbrook20260212PC-\xC9LI.kik";  // a code page 1252 letter
const std::string kRecord = "007011004006003WD-123 -1673912542PC-7PID-42ANA\r\n";

// Each line of `text` with `prefix` before it.
std::string Prefixed(const std::string& text, const std::string& prefix) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find('\n', pos);
    out += prefix + text.substr(pos, end - pos) + "\n";
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  return out;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

// Lines of 32 hex digits broken after their 16th, as a narrow wrapper would.
std::string SplitDigitLines(const std::string& text) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = std::min(text.find('\n', pos), text.size());
    const std::string line = text.substr(pos, end - pos);
    const bool digits =
        line.size() == 32 && line.find_first_not_of("0123456789ABCDEF") == std::string::npos;
    out += digits ? line.substr(0, 16) + "\n" + line.substr(16) : line;
    out += "\n";
    pos = end + 1;
  }
  return out;
}

TEST(ReportText, TheBlockIsShortAsciiLinesBetweenItsMarkers) {
  const std::string block = ReportTextBlock(kName, kRecord);
  EXPECT_EQ(block.rfind("corvane-report-begin\n", 0), 0u) << block;
  size_t pos = 0, lines = 0;
  while (pos < block.size()) {
    const size_t end = block.find('\n', pos);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - pos, 32u) << block;
    for (size_t i = pos; i < end; ++i) {
      EXPECT_TRUE(block[i] >= 0x20 && block[i] < 0x7F && block[i] != '\\') << block;
    }
    pos = end + 1;
    ++lines;
  }
  EXPECT_EQ(lines, 2 + (2 * (kName.size() + 1 + kRecord.size()) + 31) / 32);
  const size_t end_line = block.rfind("corvane-report-end ");
  ASSERT_NE(end_line, std::string::npos);
  EXPECT_EQ(block.size() - end_line, std::string("corvane-report-end 12345678\n").size());
}

// What mail programs, webmail and readers do to a text; each gives back the exact file.
TEST(ReportText, EveryTransformationReadsBackTheExactFile) {
  const std::string block = ReportTextBlock(kName, kRecord);
  const std::string body = "Hello,\nplease find the report.\n\n" + block + "\nThanks\n";
  struct Case {
    const char* what;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"as written", body},
      {"CR LF line ends", Replaced(body, "\n", "\r\n")},
      {"quoted in a reply", "On Monday you wrote:\n" + Prefixed(body, "> ")},
      {"quoted twice, no space", Prefixed(Prefixed(body, ">"), "> ")},
      {"indented", Prefixed(body, "    ")},
      {"lines joined into one paragraph", Replaced(body, "\n", " ")},
      {"lines joined with no space", Replaced(block, "\n", "")},
      {"blank lines between lines", Replaced(body, "\n", "\n\n")},
      {"every line of digits split in two", SplitDigitLines(body)},
      {"lower case digits", Lower(body)},
      {"no-break spaces (UTF-8)", Replaced(body, "\n", "\xC2\xA0\n")},
      {"no-break spaces (Latin-1)", Replaced(body, "\n", "\xA0\n")},
      {"HTML with <div> and &nbsp;",
       HtmlToText("<html><head><style>p{}</style></head><body><div dir=\"ltr\">" +
                  Replaced(Replaced(body, "\n", "&nbsp;<br>"), "Hello", "<b>Hello</b>") +
                  "</div></body></html>")},
      {"HTML paragraphs, quoted with &gt;",
       HtmlToText("<p>" + Replaced(Prefixed(body, "&gt; "), "\n", "</p><p>") + "</p>")},
  };
  for (const Case& c : cases) {
    const std::vector<TextReport> found = FindReportsInText(c.text);
    ASSERT_EQ(found.size(), 1u) << c.what << "\n" << c.text;
    EXPECT_EQ(found[0].error, "") << c.what << "\n" << c.text;
    EXPECT_EQ(found[0].file_name, kName) << c.what;
    EXPECT_EQ(found[0].file_bytes, kRecord) << c.what;
  }
  const std::vector<TextReport> two = FindReportsInText(Replaced(block + block, "\n", ""));
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].file_bytes + two[1].file_bytes, kRecord + kRecord) << two[0].error;
}

// A damaged block is an error, never a wrong record; a good block beside it still reads.
TEST(ReportText, ADamagedBlockIsAnErrorNeverAWrongReport) {
  const std::string block = ReportTextBlock(kName, kRecord);
  const size_t second_line = block.find('\n') + 1;
  const size_t third_line = block.find('\n', second_line) + 1;
  std::string changed = block;
  changed[second_line + 5] = changed[second_line + 5] == '0' ? '1' : '0';
  std::string swapped = block;
  std::swap(swapped[second_line], swapped[second_line + 2]);
  struct Case {
    const char* what;
    std::string text;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"a line lost", block.substr(0, second_line) + block.substr(third_line), "check does not"},
      {"a digit changed", changed, "check does not match"},
      {"two digits swapped", swapped, "check does not match"},
      {"a digit lost", block.substr(0, second_line) + block.substr(second_line + 1), "odd number"},
      {"a character that is no digit", Replaced(block, "0", "O"), "'O', which is no hex digit"},
      {"the end line lost", block.substr(0, block.rfind("corvane-report-end")), "no end line"},
      {"the check lost", Replaced(block, block.substr(block.rfind(' ')), "\n"), "no check"},
      {"the check cut", block.substr(0, block.size() - 3), "no check of 8"},
      {"a name that is a folder path", ReportTextBlock("../x.kik", kRecord), "names no report"},
      {"no name at all", ReportTextBlock("", kRecord), "names no report file"},
  };
  for (const Case& c : cases) {
    const std::vector<TextReport> found = FindReportsInText(c.text + "\n" + block);
    ASSERT_EQ(found.size(), 2u) << c.what << "\n" << c.text;
    EXPECT_NE(found[0].error.find(c.says), std::string::npos) << c.what << ": " << found[0].error;
    EXPECT_EQ(found[0].file_name, "") << c.what;
    EXPECT_EQ(found[0].file_bytes, "") << c.what;
    EXPECT_EQ(found[1].error, "") << c.what;
    EXPECT_EQ(found[1].file_bytes, kRecord) << c.what;
  }
}

TEST(ReportText, TextWithoutABlockHoldsNone) {
  for (const std::string text :
       {"", "corvane-report-beginning of a word", "see corvane-report-end 12345678",
        "Subject: corvane-report-begins\n"}) {
    EXPECT_TRUE(FindReportsInText(text).empty()) << text;
  }
  EXPECT_FALSE(MayHoldReportText("Hello"));
  EXPECT_TRUE(MayHoldReportText("x " + ReportTextBlock("a.kik", "1")));
}

TEST(ReportText, ATextOfManyBlocksStopsAtItsBound) {
  std::string text;
  for (size_t i = 0; i <= kMaxReportsPerText + 5; ++i) text += ReportTextBlock("a.kik", "1");
  const std::vector<TextReport> found = FindReportsInText(text);
  ASSERT_EQ(found.size(), kMaxReportsPerText + 1);
  EXPECT_EQ(found[kMaxReportsPerText - 1].error, "");
  EXPECT_NE(found.back().error.find("more than 100 reports"), std::string::npos);
}

TEST(ReportText, HtmlShowsItsTextWithLineBreaksAndCharacters) {
  EXPECT_EQ(HtmlToText("<div>a&nbsp;b</div><div>c<br/>d&amp;e &lt;f&gt; &#233;&#xE9; &bogus; "
                       "<!-- x<br> --><script>g<br></script>h</div>"),
            "\na b\n\nc\nd&e <f> \xC3\xA9\xC3\xA9 &bogus; h\n");
  EXPECT_EQ(HtmlToText("<P>x</P><Style>p{}"), "\nx\np{}");
}

TEST(ReportText, TheCheckIsTheUsualCrc32) {
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32(""), 0u);
}

}  // namespace
}  // namespace test
}  // namespace corvane
