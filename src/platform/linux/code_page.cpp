// Windows code pages on Linux: glibc's iconv, which knows them as CPnnnn or WINDOWS-nnnn.
// Windows turns each byte of a single-byte code page into one character; glibc's converters
// for 1255 (Hebrew) and 1258 (Vietnamese) join a letter and the mark after it into one, so
// those two are converted a byte at a time, and their records count as Windows counts them.
#include "platform/code_page.h"

#include <cstdio>

#include "platform/linux/iconv_text.h"

namespace corvane {

namespace {

bool JoinsMarks(int code_page) { return code_page == 1255 || code_page == 1258; }

}  // namespace

std::optional<std::string> CodePageToUtf8(const std::string& bytes, int code_page,
                                          std::string* error) {
  const std::string number = std::to_string(code_page);
  iconv_t cd = ::iconv_open("UTF-8", ("CP" + number).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1))
    cd = ::iconv_open("UTF-8", ("WINDOWS-" + number).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    *error = "code page " + number + " is not known to this system's iconv";
    return std::nullopt;
  }
  std::optional<std::string> out;
  size_t failed_at = 0;
  if (JoinsMarks(code_page)) {
    out.emplace();
    for (size_t i = 0; i < bytes.size() && out; ++i) {
      const std::optional<std::string> one =
          ConvertText(cd, bytes.substr(i, 1), Unconvertible::kFail);
      if (one) {
        *out += *one;
      } else {
        out.reset();
        failed_at = i;
      }
    }
  } else {
    out = ConvertText(cd, bytes, Unconvertible::kFail, &failed_at);
  }
  ::iconv_close(cd);
  if (!out) {
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(bytes[failed_at]));
    *error = "byte " + std::string(byte) + " at offset " + std::to_string(failed_at) +
             " is no character of code page " + number;
  }
  return out;
}

}  // namespace corvane
