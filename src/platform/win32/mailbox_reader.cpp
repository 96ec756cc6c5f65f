// Mailboxes on Windows: not read. The MIME parser the Linux program loads is not part of
// the Windows program; support staff decode mailboxes with the Linux program.
#include "platform/mailbox.h"

namespace corvane {

namespace {

class Win32MailboxReader : public MailboxReader {
 public:
  bool ForEachAttachment(const std::string&, const std::function<bool(const std::string&)>&, size_t,
                         const std::function<void(const MailAttachment&)>&,
                         std::string* error) override {
    *error = "the Windows program does not read mailboxes; save the attachments and decode them";
    return false;
  }
  uint64_t MessagesRead() const override { return 0; }
};

}  // namespace

std::unique_ptr<MailboxReader> CreateMailboxReader() {
  return std::make_unique<Win32MailboxReader>();
}

}  // namespace corvane
