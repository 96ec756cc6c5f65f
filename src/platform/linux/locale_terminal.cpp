#include "platform/linux/locale_terminal.h"

#include <langinfo.h>

#include <clocale>

#include "platform/linux/iconv_text.h"

namespace corvane {

namespace {

const iconv_t kNoConversion = reinterpret_cast<iconv_t>(-1);  // iconv_open's failure

}  // namespace

// The environment's locale is set only to read its character set: the rest of the program
// keeps the C locale's behaviour. (newlocale would do without, but loses memory under LOCPATH.)
std::string LocaleCharset() {
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  const std::string previous = current ? current : "C";
  // A locale the system does not have reads as the C locale.
  const std::string charset = std::setlocale(LC_CTYPE, "") ? ::nl_langinfo(CODESET) : "";
  std::setlocale(LC_CTYPE, previous.c_str());
  if (charset.empty() || charset == "UTF-8" || charset == "ANSI_X3.4-1968") return "";
  return charset;
}

LocaleTerminal::LocaleTerminal(std::istream& in, std::ostream& out, const std::string& charset)
    : in_(in), out_(out) {
  if (charset.empty()) return;
  // Letters the character set lacks are written as their nearest form, else as "?".
  to_locale_ = ::iconv_open((charset + "//TRANSLIT").c_str(), "UTF-8");
  from_locale_ = ::iconv_open("UTF-8", charset.c_str());
  if (to_locale_ == kNoConversion || from_locale_ == kNoConversion) return;
  buffer_ = std::make_unique<ConvertingStreamBuffer>(
      [this](const std::string& utf8) {
        out_ << Convert(to_locale_, utf8) << std::flush;
        return static_cast<bool>(out_);
      },
      [this](std::string* utf8) {
        std::string line;
        if (!std::getline(in_, line)) return false;
        *utf8 = Convert(from_locale_, line) + (in_.eof() ? "" : "\n");
        return true;
      });
  converted_in_ = std::make_unique<std::istream>(buffer_.get());
  converted_out_ = std::make_unique<std::ostream>(buffer_.get());
}

LocaleTerminal::~LocaleTerminal() {
  if (converted_out_) converted_out_->flush();
  for (const iconv_t cd : {to_locale_, from_locale_}) {
    if (cd != kNoConversion) ::iconv_close(cd);
  }
}

// A byte that does not convert becomes "?", and the conversion goes on after it.
std::string LocaleTerminal::Convert(iconv_t cd, const std::string& text) {
  return ConvertText(cd, text, Unconvertible::kReplace).value_or("");
}

}  // namespace corvane
