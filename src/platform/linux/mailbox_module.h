// What the program and its mailbox module (libcorvane-mailbox.so) share. The module links
// GMime and GLib, so it is loaded with dlopen only when a mailbox is decoded: the verbs'
// start-up never maps them. Only C types cross, through one entry point.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane {

// How much MIME structure one message may have: far more than any real mail, and little
// enough that the parsed tree of a message stays small whatever arrives. A message past
// either bound is reported, with the bound, and the next message is read.
inline constexpr int kMaxMimePartsPerMessage = 1000;
inline constexpr int kMaxMimeNestingPerMessage = 64;

struct MailboxModuleAttachment {
  const char* message_path;
  const char* message_id;
  const char* from;
  const char* date;
  const char* file_name;
  const char* content;  // at most the limit given, not NUL-terminated
  size_t content_size;
  uint64_t size;            // the whole decoded size
  uint64_t message_number;  // the message's position in the mailbox, from 1
  // Set for a message that was not read (its file name and content are then empty): why.
  const char* error;
  // Set for what is no message at all, only said (a FIFO in a Maildir): the note.
  const char* note;
  // What `content` is: an attachment, or a message's text that holds a report's begin line.
  int part;
};

// The values of `part`.
inline constexpr int kModuleAttachment = 0;
inline constexpr int kModulePlainText = 1;
inline constexpr int kModuleHtmlText = 2;

// Nonzero when the attachment named `file_name` is wanted. Text parts (text/plain and
// text/html, of any name) are handed over whenever they hold a report's begin line.
// `wanted` may be asked on the module's own threads, or in processes it forks from this one,
// several at once: it only looks at the name. `found` is called on the caller's thread, one
// at a time, in mailbox order.
using MailboxWantedFn = int (*)(void* context, const char* file_name);
using MailboxFoundFn = void (*)(void* context, const MailboxModuleAttachment* attachment);
// Returns 1, or 0 with the reason in `error` (NUL-terminated, cut to `error_size`); either
// way `messages` counts the messages read.
using ReadMailboxFn = int (*)(const char* path, size_t limit, MailboxWantedFn wanted,
                              MailboxFoundFn found, void* context, uint64_t* messages, char* error,
                              size_t error_size);

// The name carries a version so that a module from another build is refused, not misread.
inline constexpr const char* kReadMailboxSymbol = "corvane_read_mailbox_v4";
// One message in the file `fd` (its offset left alone), handed over as a mailbox's message
// `number` at `path`. Returns 1, or 0 with the reason in `error`.
using ReadMessageFn = int (*)(int fd, const char* path, uint64_t number, size_t limit,
                              MailboxWantedFn wanted, MailboxFoundFn found, void* context,
                              char* error, size_t error_size);
inline constexpr const char* kReadMessageSymbol = "corvane_read_message_v1";
inline constexpr const char* kMailboxModuleName = "libcorvane-mailbox.so";

}  // namespace corvane
