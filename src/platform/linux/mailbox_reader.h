// One mail message held in a file of its own (as the IMAP intake fetches it), read by the
// mailbox module exactly as a message of a mailbox is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/mailbox.h"

namespace corvane {

// Hands over the attachments of the message in `fd` (from its start) that `wanted` accepts,
// as MailboxReader does for message `number` of the mailbox `path`. false with `error` when
// the module cannot be loaded or the message cannot be read.
bool ReadMailMessage(int fd, const std::string& path, uint64_t number,
                     const std::function<bool(const std::string&)>& wanted, size_t limit,
                     const std::function<void(const MailAttachment&)>& found, std::string* error);

}  // namespace corvane
