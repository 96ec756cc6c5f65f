// The desktop's mail program, reached through xdg-email: only in a desktop session, and
// xdg-email's exit status says whether the mail program took the message.
#pragma once

#include <chrono>
#include <string>
#include <utility>

#include "platform/mail_composer.h"

namespace corvane {

class XdgEmailComposer : public MailComposer {
 public:
  // xdg-email that is still running after `limit` is the mail program itself (some are run
  // in the foreground): it holds the message, and is left running.
  explicit XdgEmailComposer(std::string program = "xdg-email",
                            std::chrono::milliseconds limit = std::chrono::seconds(20))
      : program_(std::move(program)), limit_(limit) {}
  // A refusal names why on standard error, in one line.
  bool Compose(const std::string& address, const std::string& subject,
               const std::string& path) override;

 private:
  std::string program_;
  std::chrono::milliseconds limit_;
};

}  // namespace corvane
