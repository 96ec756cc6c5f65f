// The mailbox that `register add --imap` reads, as a URL: imaps://USER@HOST[:PORT]/MAILBOX
// (TLS from the start) or imap://USER@HOST[:PORT]/MAILBOX (STARTTLS).
#pragma once

#include <string>

#include "platform/imap.h"

namespace corvane {

enum class ImapUrlVerdict { kValid, kInvalid, kPassword };

// Fills the account's address from `url` (user and mailbox percent-decoded). kInvalid with
// the reason in `error`; kPassword when the URL carries a password, which `error` then says
// without repeating the URL.
ImapUrlVerdict ParseImapUrl(const std::string& url, ImapAccount* account, std::string* error);

// `argument` as messages and the JSON's argv may show it: an imap:// or imaps:// URL without
// the password it should not carry; anything else as it is.
std::string ShownImapArgument(const std::string& argument);

}  // namespace corvane
