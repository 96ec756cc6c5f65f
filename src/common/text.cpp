#include "common/text.h"

#include <cstdint>
#include <cstdio>

namespace corvane {

std::string Trim(const std::string& text, std::string_view pad) {
  const size_t first = text.find_first_not_of(pad.data(), 0, pad.size());
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(pad.data(), std::string::npos, pad.size());
  return text.substr(first, last - first + 1);
}

std::string LowerCaseLatin(const std::string& utf8) {
  std::string s = utf8;
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 'A' && c <= 'Z') {
      s[i] = static_cast<char>(c - 'A' + 'a');
    } else if (c == 0xC3 && i + 1 < s.size()) {
      // UTF-8 Latin-1 capitals À..Þ (but ×) have their small letter 0x20 further on.
      const unsigned char d = static_cast<unsigned char>(s[i + 1]);
      if (d >= 0x80 && d <= 0x9E && d != 0x97) s[i + 1] = static_cast<char>(d + 0x20);
      ++i;
    }
  }
  return s;
}

namespace {

void AppendUtf8(std::string* out, uint32_t code) {
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

}  // namespace

std::string Latin1ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Windows1252ToUtf8(const std::string& bytes) {
  // 0x80 to 0x9F, where the code page differs from Latin-1; its five unused bytes map to
  // the C1 controls of the same number, as Windows converts them.
  static const uint16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    AppendUtf8(&out, c >= 0x80 && c <= 0x9F ? kHigh[c - 0x80] : c);
  }
  return out;
}

std::optional<std::string> Utf16ToUtf8(const std::string& bytes, bool big_endian, size_t* bad_at) {
  const auto unit = [&](size_t i) -> uint32_t {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    return big_endian ? (first << 8 | second) : (second << 8 | first);
  };
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    uint32_t code = unit(i);
    if (code >= 0xD800 && code <= 0xDBFF && i + 3 < bytes.size()) {
      const uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (code >= 0xD800 && code <= 0xDFFF) break;
    AppendUtf8(&out, code);
  }
  if (i < bytes.size()) {
    *bad_at = i;
    return std::nullopt;
  }
  return out;
}

size_t Utf8SequenceLength(const std::string& s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  size_t extra = 0;
  uint32_t code = 0;
  if (c < 0x80) {
    return 1;
  } else if (c >= 0xC2 && c <= 0xDF) {
    extra = 1;
    code = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    extra = 2;
    code = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    extra = 3;
    code = c & 0x07;
  } else {
    return 0;
  }
  if (s.size() - i <= extra) return 0;
  for (size_t k = 1; k <= extra; ++k) {
    const unsigned char d = static_cast<unsigned char>(s[i + k]);
    if (!IsUtf8Continuation(d)) return 0;
    code = (code << 6) | (d & 0x3F);
  }
  if ((extra == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
      (extra == 3 && (code < 0x10000 || code > 0x10FFFF))) {
    return 0;
  }
  return extra + 1;
}

bool IsValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const size_t length = Utf8SequenceLength(s, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

size_t Utf8CharacterCount(const std::string& utf8) {
  size_t count = 0;
  for (unsigned char c : utf8) {
    if (!IsUtf8Continuation(c)) ++count;
  }
  return count;
}

std::string EscapeControls(const std::string& s) {
  // Most text is printable ASCII, which stays as it is.
  size_t plain = 0;
  while (plain < s.size() && s[plain] >= 0x20 && s[plain] < 0x7F) ++plain;
  if (plain == s.size()) return s;
  std::string out(s, 0, plain);
  for (size_t i = plain; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t length = Utf8SequenceLength(s, i);
    char hex[8];
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(s[i + 1]) <= 0x9F) {
      // A C1 control in UTF-8: some terminals take U+009B as the start of a sequence.
      std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned char>(s[i + 1]));
      out += hex;
    } else if (length == 0 && c <= 0x9F) {
      // A lone byte 0x80 to 0x9F is a C1 control to an 8-bit terminal.
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out.append(s, i, length == 0 ? 1 : length);
    }
    i += length == 0 ? 1 : length;
  }
  return out;
}

void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
  if (from.empty() || from == to) return;
  for (size_t at = text->find(from); at != std::string::npos; at = text->find(from, at)) {
    text->replace(at, from.size(), to);
    at += to.size();
  }
}

}  // namespace corvane
