#include "register/imap_url.h"

#include "common/hex.h"

namespace corvane {

namespace {

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// %XX decoded; false for a broken escape or a control character, which no user name or
// mailbox name holds and which would end an IMAP command early.
bool ReadableDecoded(const std::string& in, std::string* out) {
  if (!PercentDecoded(in, out)) return false;
  for (const char c : *out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  }
  return true;
}

}  // namespace

ImapUrlVerdict ParseImapUrl(const std::string& url, ImapAccount* account, std::string* error) {
  const auto invalid = [&](const std::string& why) {
    *error =
        why + "; the URL is imaps://USER@HOST[:PORT]/MAILBOX or imap://USER@HOST[:PORT]/MAILBOX";
    return ImapUrlVerdict::kInvalid;
  };
  std::string rest;
  if (StartsWith(url, "imaps://")) {
    account->tls = true;
    rest = url.substr(8);
  } else if (StartsWith(url, "imap://")) {
    account->tls = false;
    rest = url.substr(7);
  } else {
    return invalid("not an IMAP URL");
  }
  const size_t slash = rest.find('/');
  const std::string authority = rest.substr(0, slash);
  const std::string path = slash == std::string::npos ? "" : rest.substr(slash + 1);
  const size_t at = authority.rfind('@');
  if (at == std::string::npos || at == 0) return invalid("the URL names no user");
  const std::string userinfo = authority.substr(0, at);
  if (userinfo.find(':') != std::string::npos) {
    *error =
        "the URL carries a password, which a command line shows to every user of the machine; "
        "give it with --password-command or in ~/.netrc";
    return ImapUrlVerdict::kPassword;
  }
  if (userinfo.find(';') != std::string::npos) return invalid("the URL names a login option");
  if (!ReadableDecoded(userinfo, &account->user)) return invalid("the user name is not readable");
  std::string host_port = authority.substr(at + 1);
  std::string port;
  if (StartsWith(host_port, "[")) {
    const size_t close = host_port.find(']');
    if (close == std::string::npos) return invalid("the IPv6 address has no closing ]");
    account->host = host_port.substr(0, close + 1);
    const std::string after = host_port.substr(close + 1);
    if (!after.empty() && after[0] != ':') return invalid("the host is not readable");
    if (!after.empty()) port = after.substr(1);
  } else {
    const size_t colon = host_port.find(':');
    account->host = host_port.substr(0, colon);
    if (colon != std::string::npos) port = host_port.substr(colon + 1);
  }
  if (account->host.empty() || account->host == "[]") return invalid("the URL names no host");
  for (char c : account->host) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '-' || c == '_' || c == '[' || c == ']' || c == ':';
    if (!ok) return invalid("the host is not readable");
  }
  account->port = account->tls ? 993 : 143;
  if (slash == std::string::npos && port.empty() && host_port.back() == ':') {
    return invalid("the port is empty");
  }
  if (!port.empty()) {
    unsigned long n = 0;
    for (char c : port) {
      if (c < '0' || c > '9' || n > 65535)
        return invalid("the port is not a number from 1 to 65535");
      n = n * 10 + static_cast<unsigned long>(c - '0');
    }
    if (n == 0 || n > 65535) return invalid("the port is not a number from 1 to 65535");
    account->port = static_cast<uint16_t>(n);
  }
  std::string mailbox = path;
  if (!mailbox.empty() && mailbox.back() == '/') mailbox.pop_back();
  if (mailbox.find_first_of("?;#") != std::string::npos) {
    return invalid("the mailbox carries a query or options");
  }
  if (!ReadableDecoded(mailbox, &account->mailbox)) return invalid("the mailbox is not readable");
  if (account->mailbox.empty()) account->mailbox = "INBOX";
  return ImapUrlVerdict::kValid;
}

std::string ShownImapArgument(const std::string& argument) {
  // The address alone, or after an option's "=" (--imap=imaps://...).
  size_t scheme = argument.find("imap://");
  if (scheme == std::string::npos) scheme = argument.find("imaps://");
  if (scheme == std::string::npos || (scheme != 0 && argument[scheme - 1] != '=')) {
    return argument;
  }
  const size_t start = argument.find("://", scheme) + 3;
  const size_t end = argument.find('/', start);
  const size_t at = argument.rfind('@', end == std::string::npos ? std::string::npos : end);
  if (at == std::string::npos || at < start) return argument;
  const size_t colon = argument.find(':', start);
  if (colon == std::string::npos || colon > at) return argument;
  return argument.substr(0, colon) + argument.substr(at);
}

}  // namespace corvane
