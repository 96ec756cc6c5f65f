// `corvane decode`: the five values of machine-information files, for the supplier's support:
// files, standard input, folders, and the attachments of a mailbox.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "common/verb_output.h"
#include "platform/mailbox.h"

namespace corvane {

struct DecodeOptions {
  // Files; "-" reads one record from standard input; a folder gives its files whose
  // names end in .kik (any case), in name order, without its sub-folders.
  std::vector<std::string> files;
  std::string mailbox;  // an mbox file or a Maildir folder; its .kik attachments
  bool csv = false;
};

// Decodes every record, even after one fails. Exit status: 0 when all decoded, 1 when any
// could not be read or holds no valid record (each named with the reason).
int RunDecodeCommand(const DecodeOptions& options, std::istream& in, MailboxReader& mailboxes,
                     VerbOutput& output);

}  // namespace corvane
