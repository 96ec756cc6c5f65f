// The mail the user's own mail program is handed through a mailto: link: to the support
// address, the file's name as subject, and a text that carries the report, since such a link
// carries no attachment.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace corvane {

// Longer links are cut or refused by some systems and mail programs.
inline constexpr size_t kLongestMailLink = 2000;

// A mailto: link (RFC 6068): every byte of the subject and body outside the unreserved
// characters percent-encoded (a space too, never "+"), line breaks as %0D%0A.
std::string MailtoLink(const std::string& address, const std::string& subject,
                       const std::string& body);

// The link of a mail that carries the report file `file_name` of `file_bytes` to the support
// address: above the report, for the user, what is sent and to whom (the five values) and a
// request to press Send, in the language of the LBLIDIOMA caption `code`. Where the values
// make the link too long they are left out of the words; nothing when even the report alone
// does not fit.
std::optional<std::string> ReportMailLink(const std::string& code, const std::string& file_name,
                                          const std::string& file_bytes);

}  // namespace corvane
