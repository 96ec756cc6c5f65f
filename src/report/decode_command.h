// `corvane decode`: the five values of machine-information files, for the supplier's support:
// files, standard input, folders, and the attachments of a mailbox.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "common/verb_output.h"
#include "platform/mailbox.h"
#include "report/record_decode.h"

namespace corvane {

struct DecodeOptions {
  // Files; "-" reads one record from standard input; a folder gives its files whose
  // names end in .kik (any case), in name order, without its sub-folders.
  std::vector<std::string> files;
  std::string mailbox;  // an mbox file or a Maildir folder; its .kik attachments
  bool csv = false;
  bool bom = false;  // CSV: a UTF-8 byte-order mark first, for spreadsheets
  // The code page of records that are not UTF-8.
  int code_page = kWindowsCodePage;
};

// The report's date in a file name "Lumbrook" + yyyymmdd + ... (any case) as ISO 8601
// (yyyy-mm-dd); empty when the name carries no such date.
std::string ReportDate(const std::string& file_name);
// A mail's Date header (RFC 5322) as ISO 8601 with its offset; empty when it does not read.
std::string Rfc2822DateToIso(const std::string& date);

// Decodes every record, even after one fails. Exit status: 0 when all decoded, 1 when any
// could not be read or holds no valid record (each named with the reason).
int RunDecodeCommand(const DecodeOptions& options, std::istream& in, MailboxReader& mailboxes,
                     VerbOutput& output);

}  // namespace corvane
