// A register's connection string (postgresql://...) as messages, the JSON's argv and the
// client library's own errors may show it: every password the library would take from it
// left out, however it is written. Portable; no OS headers.
#pragma once

#include <string>
#include <vector>

namespace corvane {

// A postgresql:// or postgres:// connection string.
bool IsConnectionString(const std::string& location);

struct ConnectionStringParts {
  std::string shown;  // the string without its passwords
  // The passwords as written and percent-decoded, for finding them in other text.
  std::vector<std::string> secrets;
  // Why the string is refused before it reaches the library: a user info that the library
  // would split elsewhere than its writer meant (and then echo a piece of the password).
  std::string error;
};
ConnectionStringParts ExamineConnectionString(const std::string& conninfo);

// `text` (a message of ours or of the library) with `parts`' connection string shown without
// its passwords, and every password or piece of one that the text quotes masked.
std::string MaskPasswords(const std::string& text, const ConnectionStringParts& parts);

// An argument of the command line as shown: a connection string in it (--db=postgresql://...
// too) without its passwords; anything else as it is.
std::string ShownArgument(const std::string& argument);
// A message that may quote the command line's arguments, with their passwords masked.
std::string MaskArgumentPasswords(const std::string& text, const std::vector<std::string>& argv);

}  // namespace corvane
