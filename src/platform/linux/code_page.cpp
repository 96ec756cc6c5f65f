// Windows code pages on Linux: glibc's iconv, which knows them as CPnnnn or WINDOWS-nnnn.
#include "platform/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace corvane {

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
  std::vector<char> in(bytes.begin(), bytes.end());
  std::string out;
  char* in_ptr = in.data();
  size_t in_left = in.size();
  char buffer[4096];
  bool ok = true;
  while (in_left > 0) {
    char* out_ptr = buffer;
    size_t out_left = sizeof buffer;
    const size_t rc = ::iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    out.append(buffer, static_cast<size_t>(out_ptr - buffer));
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(*in_ptr));
      *error = "byte " + std::string(byte) + " at offset " + std::to_string(in_ptr - in.data()) +
               " is no character of code page " + number;
      ok = false;
      break;
    }
  }
  ::iconv_close(cd);
  if (!ok) return std::nullopt;
  return out;
}

}  // namespace corvane
