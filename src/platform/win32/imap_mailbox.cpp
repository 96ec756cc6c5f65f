// IMAP on Windows: not read. Like mailbox files, a mailbox on a server is the support side's
// work, which the Linux program does.
#include "platform/imap.h"

namespace corvane {

namespace {

class Win32ImapMailbox : public ImapMailbox {
 public:
  bool Open(const ImapAccount& account, std::string* error) override {
    *error = account.Url() +
             ": the Windows program does not read mailboxes on a server; use the Linux program";
    return false;
  }
  uint32_t UidValidity() const override { return 0; }
  bool MessagesAfter(uint32_t, size_t, std::vector<Message>*, std::string* error) override {
    *error = "not connected";
    return false;
  }
  bool ForEachAttachment(const Message&, const std::function<bool(const std::string&)>&, size_t,
                         const std::function<void(const MailAttachment&)>&,
                         std::string* error) override {
    *error = "not connected";
    return false;
  }
};

}  // namespace

std::unique_ptr<ImapMailbox> CreateImapMailbox() { return std::make_unique<Win32ImapMailbox>(); }

}  // namespace corvane
