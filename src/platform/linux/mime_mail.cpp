// Written by hand: the MIME libraries at hand pass a line break in a file name through
// into the part's headers, and a single attachment needs little.
#include "platform/linux/mime_mail.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace corvane {

namespace {

// base64 never holds "_", and no header line we write starts with "--", so this
// boundary cannot occur inside the message.
constexpr const char* kBoundary = "=_corvane_attachment";
// Keeps an encoded header line within the recommended 78 characters.
constexpr size_t kEncodedChunk = 42;

bool IsPrintableAscii(const std::string& s) {
  for (unsigned char c : s) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

// Splits text into pieces of at most `limit` bytes without cutting a UTF-8 sequence.
std::string NextPiece(const std::string& text, size_t& pos, size_t limit) {
  size_t end = pos + limit;
  if (end >= text.size()) {
    end = text.size();
  } else {
    while (end > pos + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  }
  std::string piece = text.substr(pos, end - pos);
  pos = end;
  return piece;
}

// RFC 2047 encoded words, one per folded line.
std::string EncodeHeaderText(const std::string& name, const std::string& text) {
  if (IsPrintableAscii(text) && text.find("=?") == std::string::npos &&
      name.size() + 2 + text.size() <= 78) {
    return text;
  }
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    if (!out.empty()) out += "\n ";
    out += "=?UTF-8?B?" + Base64(NextPiece(text, pos, kEncodedChunk), 0) + "?=";
  }
  return out;
}

// Text that can go as 7bit: printable ASCII in lines within the 998 characters mail allows,
// none of them starting with the boundary's dashes.
bool IsPlainText(const std::string& text) {
  size_t line = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      line = 0;
      continue;
    }
    if (c < 0x20 || c > 0x7E || ++line > 998) return false;
    if (line == 1 && text.compare(i, 2, "--") == 0) return false;
  }
  return true;
}

bool IsAttributeChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::strchr("!#$&+-.^_`|~", c) != nullptr;
}

// A parameter of a structured header, after its "; ": quoted when that is safe, else in
// RFC 2231 sections of percent-encoded UTF-8, one per folded line.
std::string Parameter(const std::string& attribute, const std::string& value) {
  if (IsPrintableAscii(value) && value.find_first_of("\"\\") == std::string::npos &&
      value.size() <= 60) {
    return "\n " + attribute + "=\"" + value + "\"";
  }
  std::string out;
  std::string section = "UTF-8''";
  int index = 0;
  auto flush = [&](bool last) {
    if (section.empty() && !last) return;
    out += (index == 0 ? "\n " : ";\n ") + attribute + "*" + std::to_string(index) + "*=" + section;
    ++index;
    section.clear();
  };
  for (unsigned char c : value) {
    char token[4];
    if (IsAttributeChar(c)) {
      token[0] = static_cast<char>(c);
      token[1] = '\0';
    } else {
      std::snprintf(token, sizeof token, "%%%02X", c);
    }
    if (section.size() + std::strlen(token) > 60) flush(false);
    section += token;
  }
  flush(true);
  return out;
}

}  // namespace

bool IsPlainAddress(const std::string& address) {
  const size_t at = address.find('@');
  if (at == std::string::npos || at == 0 || at + 1 == address.size()) return false;
  if (address.find('@', at + 1) != std::string::npos || address.size() > 254) return false;
  for (unsigned char c : address) {
    if (c <= 0x20 || c >= 0x7F || std::strchr("()<>[]:;,\\\"", c) != nullptr) return false;
  }
  return address[0] != '-';
}

std::string Base64(const std::string& bytes, size_t line_length) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t line = 0;
  auto put = [&](char c) {
    out += c;
    if (line_length != 0 && ++line == line_length) {
      out += '\n';
      line = 0;
    }
  };
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t n = static_cast<unsigned char>(bytes[i]) << 16 |
                       static_cast<unsigned char>(bytes[i + 1]) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    put(kAlphabet[n >> 18]);
    put(kAlphabet[(n >> 12) & 63]);
    put(kAlphabet[(n >> 6) & 63]);
    put(kAlphabet[n & 63]);
  }
  const size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    put(kAlphabet[n >> 18]);
    put(kAlphabet[(n >> 12) & 63]);
    put(rest == 2 ? kAlphabet[(n >> 6) & 63] : '=');
    put('=');
  }
  if (line_length != 0 && line != 0) out += '\n';
  return out;
}

std::string MailDate(std::time_t when) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm t{};
  localtime_r(&when, &t);
  char zone[8] = "+0000";
  std::strftime(zone, sizeof zone, "%z", &t);
  char out[64];
  std::snprintf(out, sizeof out, "%s, %d %s %d %02d:%02d:%02d %s", kDays[t.tm_wday], t.tm_mday,
                kMonths[t.tm_mon], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec, zone);
  return out;
}

std::string MessageId(std::time_t when, long pid, uint64_t random, const std::string& host) {
  bool domain = !host.empty() && host.front() != '.' && host.back() != '.';
  for (unsigned char c : host) {
    domain = domain && (std::isalnum(c) || c == '-' || c == '.');
  }
  std::tm t{};
  gmtime_r(&when, &t);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &t);
  char id[96];
  std::snprintf(id, sizeof id, "<%s.%ld.%016llx@", stamp, pid,
                static_cast<unsigned long long>(random));
  return id + (domain ? host : std::string("localhost")) + ">";
}

std::optional<std::string> FromHeader(const std::string& sender) {
  if (IsPlainAddress(sender)) return sender;
  const size_t open = sender.rfind('<');
  if (open == std::string::npos || sender.back() != '>') return std::nullopt;
  const std::string address = sender.substr(open + 1, sender.size() - open - 2);
  std::string name = sender.substr(0, open);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  if (!IsPlainAddress(address)) return std::nullopt;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return std::nullopt;
  }
  if (name.empty()) return address;
  bool atoms = true;
  for (unsigned char c : name) {
    atoms = atoms && (std::isalnum(c) || std::strchr(" !#$%&'*+-/=?^_`{|}~", c) != nullptr);
  }
  // Anything else in a display name (a dot, a comma, a non-ASCII letter) goes as encoded
  // words, which a phrase may hold.
  if (!atoms || name.find("=?") != std::string::npos) {
    std::string encoded;
    size_t pos = 0;
    while (pos < name.size()) {
      if (!encoded.empty()) encoded += "\n ";
      encoded += "=?UTF-8?B?" + Base64(NextPiece(name, pos, kEncodedChunk), 0) + "?=";
    }
    name = encoded;
  }
  return name + " <" + address + ">";
}

std::string ComposeMail(const MailMessage& mail) {
  if (!IsPlainAddress(mail.to)) throw MailFormatError("not a plain e-mail address: " + mail.to);
  std::string m;
  if (mail.from) m += "From: " + *mail.from + "\n";
  m += "To: " + mail.to + "\n";
  m += "Subject: " + EncodeHeaderText("Subject", mail.subject) + "\n";
  m += "Date: " + mail.date + "\n";
  m += "Message-ID: " + mail.message_id + "\n";
  m += "MIME-Version: 1.0\n";
  m += std::string("Content-Type: multipart/mixed; boundary=\"") + kBoundary + "\"\n";
  m += "\n";
  m += std::string("--") + kBoundary + "\n";
  m += "Content-Type: text/plain; charset=UTF-8\n";
  if (IsPlainText(mail.text)) {
    m += "Content-Transfer-Encoding: 7bit\n\n" + mail.text;
    if (!mail.text.empty() && mail.text.back() != '\n') m += "\n";
  } else {
    m += "Content-Transfer-Encoding: base64\n\n" + Base64(mail.text);
  }
  m += std::string("--") + kBoundary + "\n";
  m += "Content-Type: application/octet-stream;" + Parameter("name", mail.file_name) + "\n";
  m += "Content-Transfer-Encoding: base64\n";
  m += "Content-Disposition: attachment;" + Parameter("filename", mail.file_name) + "\n";
  m += "\n";
  m += Base64(mail.content);
  m += std::string("--") + kBoundary + "--\n";
  return m;
}

}  // namespace corvane
