// Hex digits survive what mail programs do to a text: they have no case to fold, no spaces to
// drop, no characters that HTML or a mailto: link must escape, and lines of 32 stay short of
// every wrapping width even under several levels of "> ". Everything that is not a digit
// between the markers is taken for what a mail program adds (line breaks, quote marks,
// indentation) and passed over; a check over the name and bytes turns a lost line or a changed
// digit into an error instead of a wrong report.
#include "report/report_text.h"

#include <array>
#include <cstdio>

namespace corvane {

namespace {

constexpr size_t kDigitsPerLine = 32;
constexpr size_t kCheckDigits = 8;
constexpr size_t kLongestName = 255;
constexpr char kUpperHex[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsWordCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
         c == '_';
}

// A marker may touch hex digits (lines joined with nothing between them) but no other
// character of a word.
bool ExtendsMarker(char c) { return IsWordCharacter(c) && HexValue(c) < 0; }

bool StartsWith(std::string_view text, size_t at, std::string_view word) {
  return text.compare(at, word.size(), word) == 0;
}

// What a mail program puts between the lines it was given: white space, quote marks, and the
// no-break space of HTML (U+00A0 in UTF-8 or Latin-1). The bytes it takes up; 0 for none.
size_t Separator(std::string_view text, size_t at) {
  const unsigned char c = static_cast<unsigned char>(text[at]);
  if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '>' ||
      c == 0xA0) {
    return 1;
  }
  if (c == 0xC2 && at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) == 0xA0) {
    return 2;
  }
  return 0;
}

size_t SkipSeparators(std::string_view text, size_t at) {
  while (at < text.size()) {
    const size_t n = Separator(text, at);
    if (n == 0) break;
    at += n;
  }
  return at;
}

std::string Damaged(const std::string& why) { return "a report in the text is damaged: " + why; }

std::string Shown(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  char text[8];
  if (u >= 0x21 && u < 0x7F) {
    std::snprintf(text, sizeof text, "'%c'", c);
  } else {
    std::snprintf(text, sizeof text, "0x%02X", u);
  }
  return text;
}

// A report's file name as a report file has it: no folder, nothing that is no text.
bool IsFileName(const std::string& name) {
  if (name.empty() || name.size() > kLongestName || name == "." || name == "..") return false;
  for (char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '/' || c == '\\') return false;
  }
  return true;
}

// The name and bytes of a payload whose digits and check were read.
TextReport Unpack(const std::string& digits, uint32_t check) {
  TextReport report;
  if (digits.size() % 2 != 0) {
    report.error = Damaged("an odd number of hex digits (a digit lost or added)");
    return report;
  }
  std::string payload(digits.size() / 2, '\0');
  for (size_t i = 0; i < payload.size(); ++i) {
    payload[i] = static_cast<char>(HexValue(digits[2 * i]) * 16 + HexValue(digits[2 * i + 1]));
  }
  if (Crc32(payload) != check) {
    report.error = Damaged("its check does not match (a line lost or a character changed)");
    return report;
  }
  const size_t newline = payload.find('\n');
  const std::string name = payload.substr(0, newline);
  if (newline == std::string::npos || !IsFileName(name)) {
    report.error = Damaged("it names no report file");
    return report;
  }
  report.file_name = name;
  report.file_bytes = payload.substr(newline + 1);
  return report;
}

// Reads the block whose begin line ends at `at`; `*next` is where the search for the next
// block goes on.
TextReport ReadBlock(std::string_view text, size_t at, size_t* next) {
  std::string digits;
  while (at < text.size()) {
    const char c = text[at];
    if (c == 'c' && StartsWith(text, at, kReportTextEnd)) {
      at = SkipSeparators(text, at + kReportTextEnd.size());
      uint32_t check = 0;
      size_t n = 0;
      for (; n < kCheckDigits && at + n < text.size() && HexValue(text[at + n]) >= 0; ++n) {
        check = check * 16 + static_cast<uint32_t>(HexValue(text[at + n]));
      }
      const size_t after = at + n;
      if (n < kCheckDigits || (after < text.size() && IsWordCharacter(text[after]) &&
                               !StartsWith(text, after, kReportTextBegin))) {
        *next = at;  // what follows may be the next block
        return {"", "", Damaged("its end line carries no check of 8 hex digits")};
      }
      *next = at + n;
      return Unpack(digits, check);
    }
    if (c == 'c' && StartsWith(text, at, kReportTextBegin)) {
      *next = at;
      return {"", "", Damaged("it has no end line before the next report")};
    }
    if (HexValue(c) >= 0) {
      digits += c;
      ++at;
      continue;
    }
    const size_t skip = Separator(text, at);
    if (skip == 0) {
      *next = at;
      return {"", "", Damaged("it holds " + Shown(c) + ", which is no hex digit")};
    }
    at += skip;
  }
  *next = text.size();
  return {"", "", Damaged("it has no end line (the text ends first)")};
}

// The code point of a character reference's name or number; -1 when it names none known.
long ReferencedCharacter(std::string_view name) {
  if (name.size() > 1 && name[0] == '#') {
    const bool hex = name[1] == 'x' || name[1] == 'X';
    long value = 0;
    const size_t first = hex ? 2 : 1;
    if (first == name.size() || name.size() - first > 7) return -1;
    for (size_t i = first; i < name.size(); ++i) {
      const int digit =
          hex ? HexValue(name[i]) : (name[i] >= '0' && name[i] <= '9' ? name[i] - '0' : -1);
      if (digit < 0) return -1;
      value = value * (hex ? 16 : 10) + digit;
    }
    return value <= 0x10FFFF ? value : -1;
  }
  static const std::array<std::pair<std::string_view, long>, 6> kNamed{
      {{"nbsp", 0xA0}, {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}}};
  for (const auto& [named, value] : kNamed) {
    if (name == named) return value;
  }
  return -1;
}

void AppendUtf8(long code, std::string* out) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (code >> 18));
    *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The tag's name in small letters, without the "/" of an end tag.
std::string TagName(std::string_view tag) {
  size_t i = 1;
  if (i < tag.size() && tag[i] == '/') ++i;
  std::string name;
  while (i < tag.size() && ((tag[i] >= 'a' && tag[i] <= 'z') || (tag[i] >= 'A' && tag[i] <= 'Z') ||
                            (tag[i] >= '0' && tag[i] <= '9'))) {
    name += LowerAscii(tag[i++]);
  }
  return name;
}

bool BreaksLine(const std::string& tag) {
  static const std::array<std::string_view, 16> kBreaking{
      "br", "div", "p",  "li", "tr", "blockquote", "pre", "table",
      "hr", "h1",  "h2", "h3", "h4", "h5",         "h6",  "body"};
  for (std::string_view breaking : kBreaking) {
    if (tag == breaking) return true;
  }
  return false;
}

// Where the element whose content is no text ends: after its end tag; without one, at `at`.
size_t AfterEndTag(std::string_view html, size_t at, const std::string& name) {
  const std::string end = "</" + name;
  for (size_t i = at; i + end.size() <= html.size(); ++i) {
    size_t k = 0;
    while (k < end.size() && LowerAscii(html[i + k]) == end[k]) ++k;
    if (k == end.size()) {
      const size_t close = html.find('>', i);
      return close == std::string_view::npos ? html.size() : close + 1;
    }
  }
  return at;
}

}  // namespace

uint32_t Crc32(std::string_view bytes) {
  static const std::array<uint32_t, 256> kTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    return table;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (char b : bytes) crc = kTable[(crc ^ static_cast<unsigned char>(b)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::string ReportTextBlock(std::string_view file_name, std::string_view file_bytes) {
  std::string payload(file_name);
  payload += '\n';
  payload += file_bytes;
  std::string block(kReportTextBegin);
  block += '\n';
  for (size_t i = 0; i < payload.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(payload[i]);
    block += kUpperHex[b >> 4];
    block += kUpperHex[b & 0x0F];
    if ((2 * i + 2) % kDigitsPerLine == 0 || i + 1 == payload.size()) block += '\n';
  }
  char check[16];
  std::snprintf(check, sizeof check, " %08X\n", static_cast<unsigned>(Crc32(payload)));
  block += kReportTextEnd;
  block += check;
  return block;
}

bool MayHoldReportText(std::string_view text) {
  return text.find(kReportTextBegin) != std::string_view::npos;
}

std::vector<TextReport> FindReportsInText(std::string_view text) {
  std::vector<TextReport> found;
  size_t at = text.find(kReportTextBegin);
  while (at != std::string_view::npos) {
    const size_t after = at + kReportTextBegin.size();
    // Only the marker as a word of its own begins a block.
    if ((at > 0 && ExtendsMarker(text[at - 1])) ||
        (after < text.size() && ExtendsMarker(text[after]))) {
      at = text.find(kReportTextBegin, after);
      continue;
    }
    if (found.size() == kMaxReportsPerText) {
      found.push_back({"", "",
                       "the text holds more than " + std::to_string(kMaxReportsPerText) +
                           " reports; the rest is not read"});
      break;
    }
    size_t next = after;
    found.push_back(ReadBlock(text, after, &next));
    at = text.find(kReportTextBegin, next);
  }
  return found;
}

std::string HtmlToText(std::string_view html) {
  std::string text;
  text.reserve(html.size());
  size_t i = 0;
  while (i < html.size()) {
    const char c = html[i];
    if (c == '<') {
      if (StartsWith(html, i, "<!--")) {
        const size_t end = html.find("-->", i + 4);
        i = end == std::string_view::npos ? html.size() : end + 3;
        continue;
      }
      const size_t close = html.find('>', i);
      if (close == std::string_view::npos) break;
      const std::string name = TagName(html.substr(i, close - i));
      const bool end_tag = i + 1 < html.size() && html[i + 1] == '/';
      i = close + 1;
      if (!end_tag && (name == "style" || name == "script")) {
        i = AfterEndTag(html, i, name);
      } else if (BreaksLine(name)) {
        text += '\n';
      }
      continue;
    }
    if (c == '&') {
      const size_t semicolon = html.find(';', i + 1);
      if (semicolon != std::string_view::npos && semicolon - i <= 10) {
        const long code = ReferencedCharacter(html.substr(i + 1, semicolon - i - 1));
        if (code >= 0) {
          // A no-break space reads as the space it shows.
          AppendUtf8(code == 0xA0 ? ' ' : code, &text);
          i = semicolon + 1;
          continue;
        }
      }
    }
    text += c;
    ++i;
  }
  return text;
}

}  // namespace corvane
