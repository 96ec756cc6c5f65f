// The desktop's mail program, reached through xdg-email with a mailto: link: only in a
// desktop session. No desktop mail program answers for an attachment (xdg-email exits 0
// whether the handler is a browser that drops it or a mail program that keeps it), so the
// route that attaches the file and says so does not exist here.
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
  // Always false: see above.
  bool Compose(const std::string& address, const std::string& subject,
               const std::string& path) override;
  // xdg-email with the link as it is (its own encoder would pass the text through the
  // shell's echo) and the file to attach where the handler takes one. A refusal names why
  // on standard error, in one line.
  bool OpenMailLink(const std::string& link, const std::string& path) override;

 private:
  std::string program_;
  std::chrono::milliseconds limit_;
};

}  // namespace corvane
