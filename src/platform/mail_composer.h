// The user's own mail program, handed a message to write: the routes a file takes when the
// machine's mail service cannot send it.
#pragma once

#include <string>

namespace corvane {

class MailComposer {
 public:
  virtual ~MailComposer() = default;
  // Opens the user's mail program with a message to `address`, `subject` as its subject and
  // the file at `path` attached, for the user to send. True only when the mail program says
  // it took the message with the file; false when there is none, it refused, the user
  // cancelled, or the system has no way to ask.
  virtual bool Compose(const std::string& address, const std::string& subject,
                       const std::string& path) = 0;
  // Hands the mailto: link (RFC 6068) to the program the system opens such links with. True
  // when one was started with it: whether a message shows, and what it keeps of the link, is
  // not known. The file at `path` is offered as an attachment to the programs that take one;
  // nothing may rely on that.
  virtual bool OpenMailLink(const std::string& link, const std::string& path) = 0;
};

}  // namespace corvane
