// `corvane decode`: the five values of machine-information files, for the supplier's support:
// files, standard input, folders, and the attachments of a mailbox.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "platform/mailbox.h"
#include "platform/verb_output.h"

namespace corvane {

struct DecodeOptions {
  // Files; "-" reads one record from standard input; a folder gives its files whose
  // names end in .kik (any case), in name order, without its sub-folders.
  std::vector<std::string> files;
  std::string mailbox;  // an mbox file or a Maildir folder; its .kik attachments
  bool csv = false;
};

// One report file that the inputs name: where it came from (`mail` for an attachment), and
// its bytes, or nothing with `reason` when they could not be read.
using FoundReportFile =
    std::function<void(const std::string& path, const MailAttachment* mail,
                       const std::optional<std::string>& content, const std::string& reason)>;
// Hands every report file of the inputs to `found`, in order, as decode reads them. Says on
// `output` why a folder or mailbox cannot be read or holds none; false when one could not.
bool ForEachReportFile(const DecodeOptions& options, std::istream& in, MailboxReader& mailboxes,
                       VerbOutput& output, const FoundReportFile& found);

// A CSV cell, quoted as needed; a cell that a spreadsheet would take as a formula starts with
// a quote, which keeps it text.
std::string CsvField(const std::string& value);

// Decodes every record, even after one fails. Exit status: 0 when all decoded, 1 when any
// could not be read or holds no valid record (each named with the reason).
int RunDecodeCommand(const DecodeOptions& options, std::istream& in, MailboxReader& mailboxes,
                     VerbOutput& output);

}  // namespace corvane
