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

bool IsValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t extra = 0;
    uint32_t code = 0;
    if (c < 0x80) {
      ++i;
      continue;
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
      return false;
    }
    if (s.size() - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const unsigned char d = static_cast<unsigned char>(s[i + k]);
      if (!IsUtf8Continuation(d)) return false;
      code = (code << 6) | (d & 0x3F);
    }
    if ((extra == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (extra == 3 && (code < 0x10000 || code > 0x10FFFF))) {
      return false;
    }
    i += extra + 1;
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
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const unsigned char next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
    char hex[8];
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      // A C1 control in UTF-8: some terminals take U+009B as the start of a sequence.
      std::snprintf(hex, sizeof hex, "\\u%04X", next);
      out += hex;
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace corvane
