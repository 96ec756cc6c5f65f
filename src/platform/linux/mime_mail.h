// A MIME message carrying one file, for hand-over to a sendmail-compatible program.
// Lines end in LF, as the sendmail interface expects; headers never carry a raw
// control character, whatever the file's name holds.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
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

// "<20260131090500.4242.0123456789abcdef@host>": the time, the process and 64 random bits
// make it unique; a host name that is no domain name gives "localhost".
std::string MessageId(std::time_t when, long pid, uint64_t random, const std::string& host);

// The From header's value for a sender given as "local@domain" or "Name <local@domain>"
// ($EMAIL's forms); nothing for anything else, and the local mail system then supplies it.
std::optional<std::string> FromHeader(const std::string& sender);

struct MailMessage {
  std::string to;
  std::optional<std::string> from;  // FromHeader's value; no From header without it
  std::string subject;
  std::string date;        // MailDate's form
  std::string message_id;  // MessageId's form
  std::string text;        // the plain-text part (UTF-8)
  std::string file_name;   // the attachment's name
  std::string content;     // the attachment's bytes
};

// The headers and a multipart body of the text part and the attached file. Throws
// MailFormatError when `to` is not a plain address.
std::string ComposeMail(const MailMessage& mail);

}  // namespace corvane
