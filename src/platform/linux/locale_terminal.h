// The terminal face's streams in the locale's character set (nl_langinfo(CODESET)),
// converted with iconv. A UTF-8 locale, and the C locale, which names no character set,
// leave the streams as they are.
#pragma once

#include <iconv.h>

#include <istream>
#include <memory>
#include <ostream>
#include <string>

#include "platform/console/converting_stream.h"

namespace corvane {

// The character set the environment's locale (LC_ALL, LC_CTYPE, LANG; LOCPATH) names for
// text, or "" when text goes out as UTF-8.
std::string LocaleCharset();

class LocaleTerminal {
 public:
  LocaleTerminal(std::istream& in, std::ostream& out, const std::string& charset);
  ~LocaleTerminal();
  std::istream& in() { return converted_in_ ? *converted_in_ : in_; }
  std::ostream& out() { return converted_out_ ? *converted_out_ : out_; }

 private:
  std::string Convert(iconv_t cd, const std::string& text);
  std::istream& in_;
  std::ostream& out_;
  iconv_t to_locale_ = reinterpret_cast<iconv_t>(-1);
  iconv_t from_locale_ = reinterpret_cast<iconv_t>(-1);
  std::unique_ptr<ConvertingStreamBuffer> buffer_;
  std::unique_ptr<std::istream> converted_in_;
  std::unique_ptr<std::ostream> converted_out_;
};

}  // namespace corvane
