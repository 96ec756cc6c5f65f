// Hexadecimal digits, as drivers and system files write bytes, and URIs' %XX escapes.
#pragma once

#include <string>

namespace corvane {

// The value of one hexadecimal digit (either case), or -1 for any other character.
inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// `s` with each %XX decoded, as URIs and libpq's connection strings escape bytes; false for
// a '%' without two hex digits.
inline bool PercentDecoded(const std::string& s, std::string* out) {
  out->clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      *out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) return false;
    const int high = HexDigit(s[i + 1]);
    const int low = HexDigit(s[i + 2]);
    if (high < 0 || low < 0) return false;
    *out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

}  // namespace corvane
