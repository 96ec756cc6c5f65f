#include "common/connection_string.h"

#include <algorithm>

#include "common/hex.h"
#include "common/text.h"

namespace corvane {

namespace {

constexpr const char* kSchemes[] = {"postgresql://", "postgres://"};
constexpr const char* kMask = "***";
// A password this long is masked wherever it shows; a shorter one only as a quoted token,
// so that a password "on" does not take the words of a message with it.
constexpr size_t kMaskedAnywhere = 4;

size_t SchemeAt(const std::string& s) {
  size_t first = std::string::npos;
  for (const char* scheme : kSchemes) first = std::min(first, s.find(scheme));
  return first;
}

void AddSecret(const std::string& raw, std::vector<std::string>* secrets) {
  if (raw.empty()) return;
  secrets->push_back(raw);
  std::string decoded;
  if (PercentDecoded(raw, &decoded) && !decoded.empty() && decoded != raw) {
    secrets->push_back(decoded);
  }
}

bool Overlaps(const std::string& token, const std::vector<std::string>& secrets) {
  for (const std::string& secret : secrets) {
    if (secret.find(token) != std::string::npos || token.find(secret) != std::string::npos) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool IsConnectionString(const std::string& location) { return SchemeAt(location) == 0; }

ConnectionStringParts ExamineConnectionString(const std::string& s) {
  ConnectionStringParts parts;
  parts.shown = s;
  if (!IsConnectionString(s)) return parts;
  const size_t start = s.find("://") + 3;
  // The library's reading: a user info up to the first '@' met before any '/' (a '?' does
  // not end it), a password after its first ':'.
  size_t at = start;
  while (at < s.size() && s[at] != '@' && s[at] != '/') ++at;
  const size_t info_end = at < s.size() && s[at] == '@' ? at : std::string::npos;
  const size_t rest = info_end == std::string::npos ? start : info_end + 1;
  const size_t query = s.find('?', rest);
  const size_t rest_end = query == std::string::npos ? s.size() : query;
  // Another '@' before the parameters: a '/' or '@' in the password (or the user name)
  // written as it is, which the library would read as the host or the database, and echo.
  // The whole of what was meant as the user info is then taken for the password's.
  const size_t stray = s.find('@', rest);
  const bool split = stray != std::string::npos && stray < rest_end;
  if (split) {
    parts.error =
        "a '@' after the host's place: write a '/' or '@' of the user name, the password or "
        "the database name as %2F or %40";
  }
  const size_t password_end = split ? s.rfind('@', rest_end - 1) : info_end;
  std::string head = s.substr(0, rest_end);
  if (password_end != std::string::npos) {
    const size_t colon = s.find(':', start);
    if (colon != std::string::npos && colon < password_end) {
      AddSecret(s.substr(colon + 1, password_end - colon - 1), &parts.secrets);
      head = s.substr(0, colon) + s.substr(password_end, rest_end - password_end);
    }
  }
  std::string tail;
  if (query != std::string::npos) {
    size_t from = query + 1;
    for (;;) {
      const size_t end = std::min(s.find('&', from), s.size());
      std::string parameter = s.substr(from, end - from);
      const size_t equals = parameter.find('=');
      if (equals != std::string::npos) {
        // The library decodes the keyword too: ?%70assword= is a password.
        std::string keyword;
        if (!PercentDecoded(parameter.substr(0, equals), &keyword)) {
          keyword = parameter.substr(0, equals);
        }
        if (keyword == "password" || keyword == "sslpassword") {
          AddSecret(parameter.substr(equals + 1), &parts.secrets);
          parameter = parameter.substr(0, equals + 1) + kMask;
        }
      }
      tail += (from == query + 1 ? "?" : "&") + parameter;
      if (end == s.size()) break;
      from = end + 1;
    }
  }
  parts.shown = head + tail;
  if (!parts.secrets.empty()) parts.secrets.insert(parts.secrets.begin(), s);
  return parts;
}

std::string MaskPasswords(const std::string& text, const ConnectionStringParts& parts) {
  if (parts.secrets.empty()) return text;
  // The first "secret" is the whole string, shown as `shown`.
  std::string out = text;
  ReplaceAll(&out, parts.secrets[0], parts.shown);
  const std::vector<std::string> secrets(parts.secrets.begin() + 1, parts.secrets.end());
  // The library quotes the token it could not take ("p%zzSECRET"): any that is a password,
  // part of one, or holds one goes.
  std::string masked;
  size_t at = 0;
  for (;;) {
    const size_t open = out.find('"', at);
    const size_t close = open == std::string::npos ? open : out.find('"', open + 1);
    if (close == std::string::npos) break;
    const std::string token = out.substr(open + 1, close - open - 1);
    masked += out.substr(at, open + 1 - at);
    masked += !token.empty() && Overlaps(token, secrets) ? std::string(kMask) : token;
    masked += '"';
    at = close + 1;
  }
  out = masked + out.substr(at);
  for (const std::string& secret : secrets) {
    if (secret.size() >= kMaskedAnywhere) ReplaceAll(&out, secret, kMask);
  }
  return out;
}

std::string ShownArgument(const std::string& argument) {
  const size_t at = SchemeAt(argument);
  if (at == std::string::npos) return argument;
  return argument.substr(0, at) + ExamineConnectionString(argument.substr(at)).shown;
}

std::string MaskArgumentPasswords(const std::string& text, const std::vector<std::string>& argv) {
  std::string out = text;
  for (const std::string& argument : argv) {
    const size_t at = SchemeAt(argument);
    if (at != std::string::npos)
      out = MaskPasswords(out, ExamineConnectionString(argument.substr(at)));
  }
  return out;
}

}  // namespace corvane
