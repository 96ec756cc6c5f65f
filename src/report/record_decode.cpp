#include "report/record_decode.h"

#include <array>
#include <optional>

#include "common/text.h"
#include "platform/code_page.h"

namespace corvane {

namespace {

constexpr size_t kFields = 5;
constexpr size_t kHeaderSize = 3 * kFields;
constexpr size_t kDiskIdentifierField = 0;
constexpr size_t kComputerNameField = 2;
constexpr size_t kProductIdField = 3;
constexpr size_t kUserNameField = 4;
constexpr const char* kFieldNames[kFields] = {"disk identifier", "volume serial", "computer name",
                                              "product identifier", "user name"};
constexpr const char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr const char kUtf16LittleEndianMark[] = "\xFF\xFE";
constexpr const char kUtf16BigEndianMark[] = "\xFE\xFF";
// Longest first: a record followed by CR LF is not one whose last value ends in CR.
constexpr const char* kLineEndings[] = {"\r\n", "\n", "\r", ""};

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// Shows a short piece of the file in a message, control characters escaped.
std::string Quoted(const std::string& s) {
  constexpr size_t kShown = 20;
  size_t shown = std::min(kShown, s.size());
  while (shown < s.size() && shown > 0 && IsUtf8Continuation(static_cast<unsigned char>(s[shown])))
    --shown;
  std::string out = "\"" + EscapeControls(s.substr(0, shown));
  if (s.size() > shown) out += "...";
  return out + "\"";
}

// C(m + 3, 3): the ways to share m extra thousands among the four values that may be long,
// saturating far above anything worth counting.
uint64_t CutCount(uint64_t m) {
  if (m > 1000000) return UINT64_MAX;
  return (m + 3) * (m + 2) / 2 * (m + 1) / 3;
}

// Cuts the values (UTF-8, after the length fields, with the line ending if any) at the
// lengths, counting characters.
DecodedRecord Cut(const std::string& values, const std::array<size_t, kFields>& lengths,
                  const std::string& encoding) {
  DecodedRecord result;
  result.encoding = encoding;
  size_t sum = 0;
  for (size_t n : lengths) sum += n;
  const std::string read_as = encoding == "utf-8" ? "" : " (read as " + encoding + ")";
  // The one line ending taken off is the longest the text ends with: no value the gathering
  // writes ends in CR or LF, so a record one character short is not read as one that is.
  std::string ending;
  for (const char* e : kLineEndings) {
    if (EndsWith(values, e)) {
      ending = e;
      break;
    }
  }
  const std::string text = values.substr(0, values.size() - ending.size());
  // starts[u] is the byte offset of character u; one past the end closes it.
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!IsUtf8Continuation(static_cast<unsigned char>(text[i]))) starts.push_back(i);
  }
  const size_t units = starts.size();
  starts.push_back(text.size());
  if (units < sum) {
    result.error = "the length fields add up to " + std::to_string(sum) + " characters but only " +
                   std::to_string(units) + " follow them" + read_as;
    return result;
  }
  if ((units - sum) % 1000 != 0) {
    result.error = "trailing data after the record: " + std::to_string(units - sum) +
                   " characters more than the length fields give, " +
                   Quoted(text.substr(starts[sum]) + ending) + read_as;
    return result;
  }
  const auto cut = [&](const std::array<size_t, kFields>& extra) {
    std::array<std::string, kFields> v;
    size_t u = 0;
    for (size_t f = 0; f < kFields; ++f) {
      const size_t n = lengths[f] + 1000 * extra[f];
      v[f] = text.substr(starts[u], starts[u + n] - starts[u]);
      u += n;
    }
    return MachineValues{v[0], v[1], v[2], v[3], v[4]};
  };
  // A volume serial is a 32-bit number's text and never reaches 1000 characters.
  const size_t m = (units - sum) / 1000;
  result.cuts = CutCount(m);
  std::array<size_t, kFields> preferred{};
  preferred[kProductIdField] = m;
  result.values = cut(preferred);
  for (size_t a = 0; a <= m && result.candidates.size() < kMaxCandidates; ++a) {
    for (size_t b = 0; a + b <= m && result.candidates.size() < kMaxCandidates; ++b) {
      for (size_t c = 0; a + b + c <= m && result.candidates.size() < kMaxCandidates; ++c) {
        std::array<size_t, kFields> extra{};
        extra[kDiskIdentifierField] = a;
        extra[kComputerNameField] = b;
        extra[kProductIdField] = c;
        extra[kUserNameField] = m - a - b - c;
        result.candidates.push_back(cut(extra));
      }
    }
  }
  return result;
}

bool IsAscii(const std::string& s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

DecodedRecord DecodeMachineRecord(const std::string& content, int code_page) {
  DecodedRecord result;
  std::string text = content;
  // Notepad's "Unicode" (and "Unicode big endian"): the same record as UTF-16.
  std::string utf16;
  const bool little_endian = text.compare(0, 2, kUtf16LittleEndianMark) == 0;
  if (little_endian || text.compare(0, 2, kUtf16BigEndianMark) == 0) {
    utf16 = little_endian ? "utf-16le" : "utf-16be";
    size_t bad_at = 0;
    const std::optional<std::string> utf8 = Utf16ToUtf8(text.substr(2), !little_endian, &bad_at);
    if (!utf8) {
      result.error = "the file begins as " + utf16 + " text but is none: " +
                     (text.size() % 2 ? "an odd number of bytes"
                                      : "a lone surrogate at byte " + std::to_string(bad_at + 2));
      return result;
    }
    text = *utf8;
  } else if (text.compare(0, 3, kByteOrderMark) == 0) {
    text.erase(0, 3);
  }
  size_t without_ending = text.size();
  for (const char* ending : kLineEndings) {
    if (EndsWith(text, ending)) {
      without_ending -= std::string(ending).size();
      break;
    }
  }
  if (without_ending < kHeaderSize) {
    result.error = content.empty() ? "the file is empty"
                                   : "the file is too short: " + std::to_string(without_ending) +
                                         " bytes, where the five length fields alone take 15";
    return result;
  }
  std::array<size_t, kFields> lengths{};
  for (size_t f = 0; f < kFields; ++f) {
    const std::string field = text.substr(3 * f, 3);
    for (char c : field) {
      if (c < '0' || c > '9') {
        result.error = "the length field of the " + std::string(kFieldNames[f]) + " is " +
                       Quoted(field) + ", not three digits";
        return result;
      }
    }
    lengths[f] = static_cast<size_t>(std::stoi(field));
  }

  const std::string values = text.substr(kHeaderSize);
  // Text that was UTF-16 is read as its UTF-8 form would be, and in no code page.
  if (!utf16.empty()) return Cut(values, lengths, utf16);
  std::optional<DecodedRecord> as_utf8;
  if (IsValidUtf8(values)) {
    as_utf8 = Cut(values, lengths, "utf-8");
    if (as_utf8->ok() || IsAscii(values)) return *as_utf8;
  }
  const std::string encoding = "windows-" + std::to_string(code_page);
  std::optional<std::string> converted;
  std::string why;
  if (code_page == kWindowsCodePage) {
    converted = Windows1252ToUtf8(values);
  } else {
    converted = CodePageToUtf8(values, code_page, &why);
  }
  if (!converted) {
    if (as_utf8) return *as_utf8;
    result.error = "the record is neither UTF-8 nor text of " + encoding + ": " + why;
    return result;
  }
  DecodedRecord in_code_page = Cut(*converted, lengths, encoding);
  // Text that is UTF-8 and fits in neither reading is said as UTF-8.
  if (!in_code_page.ok() && as_utf8) return *as_utf8;
  return in_code_page;
}

}  // namespace corvane
