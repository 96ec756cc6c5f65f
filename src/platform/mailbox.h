// Attachments of the messages in a mailbox: an mbox file or a Maildir folder, as a mail
// client exports an inbox. The reader streams the mailbox, one message at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace corvane {

// Where in a message a report was found.
enum class MailPart {
  kAttachment,  // an attached file
  kText,        // the message's plain text
  kHtml,        // the message's HTML text
};

struct MailAttachment {
  std::string message_path;  // the mbox file, or the message's own file in a Maildir
  std::string message_id;    // without the angle brackets
  std::string from;          // as the header gives it, encoded words decoded
  std::string date;
  std::string file_name;        // encoded words and RFC 2231 parameters decoded
  std::string content;          // the decoded content, at most the reader's limit
  uint64_t size = 0;            // the whole decoded size, which may exceed `content`
  uint64_t message_number = 0;  // the message's position in the mailbox, from 1
  // Not empty for a message that could not be read (then it has no file name): why.
  std::string error;
  // Not empty for what was skipped, no message at all (a device in a Maildir): the note.
  std::string note;
  // A text part is handed over whole (within the limit) and has no file name: the reports
  // in it are found by its reader.
  MailPart part = MailPart::kAttachment;
};

class MailboxReader {
 public:
  virtual ~MailboxReader() = default;
  // Calls `found` for every attachment, at any depth of any message, whose file name
  // `wanted` accepts, and for every text part (plain or HTML) that holds a report's begin
  // line, in mailbox order; keeps at most `limit` bytes of each content. A
  // message that cannot be read is handed over as one entry with its `error`, and what is
  // skipped as one with its `note`.
  // Returns false with `error` when the mailbox cannot be read; attachments found before
  // that have been handed over.
  virtual bool ForEachAttachment(const std::string& path,
                                 const std::function<bool(const std::string&)>& wanted,
                                 size_t limit,
                                 const std::function<void(const MailAttachment&)>& found,
                                 std::string* error) = 0;
  // The messages the last ForEachAttachment read, with a wanted attachment or without.
  virtual uint64_t MessagesRead() const = 0;
};

// Defined once per operating system. Where mailboxes cannot be read, the reader's every
// call fails with the reason.
std::unique_ptr<MailboxReader> CreateMailboxReader();

}  // namespace corvane
