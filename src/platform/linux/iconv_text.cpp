#include "platform/linux/iconv_text.h"

#include <cerrno>

namespace corvane {

std::optional<std::string> ConvertText(iconv_t cd, const std::string& text,
                                       Unconvertible unconvertible, size_t* failed_at) {
  std::string input = text;
  char* in = input.data();
  size_t in_left = input.size();
  std::string out;
  char buffer[1024];
  ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
  // The input, then the flush (no input) that writes what the converter still holds.
  for (bool flushing = false;;) {
    char* put = buffer;
    size_t room = sizeof buffer;
    const size_t result = flushing ? ::iconv(cd, nullptr, nullptr, &put, &room)
                                   : ::iconv(cd, &in, &in_left, &put, &room);
    out.append(buffer, static_cast<size_t>(put - buffer));
    if (result != static_cast<size_t>(-1)) {
      if (flushing) return out;
      flushing = in_left == 0;
      continue;
    }
    if (errno == E2BIG) continue;
    if (flushing) return out;
    // A byte that is no character, or a character cut short by the end of the text.
    if (unconvertible == Unconvertible::kFail) {
      if (failed_at) *failed_at = static_cast<size_t>(in - input.data());
      return std::nullopt;
    }
    out += '?';
    ++in;
    --in_left;
    flushing = in_left == 0;
  }
}

}  // namespace corvane
