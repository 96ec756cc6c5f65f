// A mailbox on a mail server, read over IMAP without changing it: opened with EXAMINE and
// fetched with BODY.PEEK, so that no message is marked seen, moved or deleted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/mailbox.h"

namespace corvane {

struct ImapAccount {
  bool tls = true;  // imaps://: TLS from the start; imap://: STARTTLS, required off loopback
  std::string user;
  std::string host;  // a name, an IPv4 address or a bracketed IPv6 one
  uint16_t port = 0;
  std::string mailbox;  // as the server names it, "INBOX" when the URL gives none
  // The password is the first line this prints through the shell; without one, ~/.netrc's.
  std::string password_command;
  std::string cacert;  // a PEM file of the CAs to trust instead of the system's

  // The server as the register keeps its state: "host:port".
  std::string Server() const { return host + ":" + std::to_string(port); }
  // The URL as every message and the register show it; it never holds a password.
  std::string Url() const {
    return std::string(tls ? "imaps://" : "imap://") + user + "@" + Server() + "/" + mailbox;
  }
};

class ImapMailbox {
 public:
  virtual ~ImapMailbox() = default;
  // Connects, logs in and opens the mailbox read-only. false with `error` (naming the URL,
  // never the password) when any of it fails.
  virtual bool Open(const ImapAccount& account, std::string* error) = 0;
  // Of the mailbox opened: UIDs are valid for as long as this does not change.
  virtual uint32_t UidValidity() const = 0;
  // The `most` lowest UIDs above `after`, ascending, and the size the server gives each.
  struct Message {
    uint32_t uid = 0;
    uint64_t size = 0;
  };
  virtual bool MessagesAfter(uint32_t after, size_t most, std::vector<Message>* messages,
                             std::string* error) = 0;
  // Fetches one message, unseen, and hands its attachments over as MailboxReader does, with
  // the URL for its path and the UID for its number. false with `error` when the connection
  // failed; a message that could not be read is handed over with its error instead.
  virtual bool ForEachAttachment(const Message& message,
                                 const std::function<bool(const std::string&)>& wanted,
                                 size_t limit,
                                 const std::function<void(const MailAttachment&)>& found,
                                 std::string* error) = 0;
};

// Defined once per operating system. Where IMAP cannot be read, Open fails with the reason.
std::unique_ptr<ImapMailbox> CreateImapMailbox();

// The largest message fetched: a report's mail is small, a server's largest mails are tens
// of megabytes, and what is fetched is held in a temporary file until it is read.
inline constexpr uint64_t kMaxImapMessageSize = 64ull << 20;

}  // namespace corvane
