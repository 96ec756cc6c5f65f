// A MIME message carrying one file, for hand-over to a sendmail-compatible program.
// Lines end in LF, as the sendmail interface expects; headers never carry a raw
// control character, whatever the file's name holds.
#pragma once

#include <ctime>
#include <stdexcept>
#include <string>

namespace corvane {

class MailFormatError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// A bare address (local@domain) with nothing a header or a command could misread.
bool IsPlainAddress(const std::string& address);

// Base64 with lines of at most `line_length` characters (0: one line), each ended by LF.
std::string Base64(const std::string& bytes, size_t line_length = 76);

// The date as a mail header gives it, in local time: "Sat, 31 Jan 2026 09:05:00 -0300".
std::string MailDate(std::time_t when);

// To, Subject, Date and a multipart body whose one part is the file, attached under
// `file_name`. Throws MailFormatError when `to` is not a plain address.
std::string ComposeMail(const std::string& to, const std::string& subject,
                        const std::string& file_name, const std::string& content,
                        const std::string& date);

}  // namespace corvane
