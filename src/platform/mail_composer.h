// The user's own mail program, handed a message to write: the route a file takes when the
// machine's mail service cannot send it.
#pragma once

#include <string>

namespace corvane {

class MailComposer {
 public:
  virtual ~MailComposer() = default;
  // Opens the user's mail program with a message to `address`, `subject` as its subject and
  // the file at `path` attached, for the user to send. True when the mail program took it;
  // false when there is none, it refused or the user cancelled.
  virtual bool Compose(const std::string& address, const std::string& subject,
                       const std::string& path) = 0;
};

}  // namespace corvane
