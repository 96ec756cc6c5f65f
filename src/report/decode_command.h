// `corvane decode`: the five values of machine-information files, for the supplier's support:
// files, standard input, folders, and the attachments of a mailbox.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
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

// One report file that the inputs name: where it came from (`mail` for an attachment), and
// its bytes, or nothing with `reason` when they could not be read.
using FoundReportFile =
    std::function<void(const std::string& path, const MailAttachment* mail,
                       const std::optional<std::string>& content, const std::string& reason)>;
// Hands every report file of the inputs to `found`, in order, as decode reads them. Says on
// `output` why a folder or mailbox cannot be read or holds none; false when one could not.
// `mailbox_read`, when given, tells whether the mailbox itself could be read.
bool ForEachReportFile(const DecodeOptions& options, std::istream& in, MailboxReader& mailboxes,
                       VerbOutput& output, const FoundReportFile& found,
                       bool* mailbox_read = nullptr);

// The attachments of a mail that are report files, and the most of one that is kept.
bool IsReportFileName(const std::string& name);
size_t ReportFileLimit();
// One attachment of a mail, handed to `found` as ForEachReportFile hands a mailbox's; a note
// is said on `output` instead. Returns whether it was handed over.
bool HandOverAttachment(const MailAttachment& a, VerbOutput& output, const FoundReportFile& found);

// One record as every format shows it: its place, and its values or why it has none.
struct DecodedEntry {
  std::string path;
  const MailAttachment* mail = nullptr;
  std::string error;                  // empty when the record was decoded
  std::array<std::string, 5> values;  // UTF-8, whatever the record's encoding
  uint64_t cuts = 0;
  std::string encoding;
  std::string report_date;  // ISO 8601, or empty when the file's name gives none
  std::string mail_date;    // the message's date in ISO 8601, or empty

  bool ambiguous() const { return cuts > 1; }
  // Where the record came from, as messages name it; a message that could not be read has
  // no attachment to name.
  std::string where() const {
    if (!mail) return path;
    std::string at =
        path + ": message " + std::to_string(mail->message_number) + " <" + mail->message_id + ">";
    if (!mail->file_name.empty()) at += ", attachment " + mail->file_name;
    return at;
  }
};

// Decodes one report file as ForEachReportFile hands it over: `content` is its bytes, or
// nothing with `reason` when it could not be read; records that are not UTF-8 are read in
// `code_page`.
DecodedEntry DecodeEntry(const std::string& path, const MailAttachment* mail,
                         const std::optional<std::string>& content, const std::string& reason,
                         int code_page = kWindowsCodePage);

// RFC 4180, with control characters escaped as the text output shows them, and a quote
// before a cell that a spreadsheet would take as a formula (and is no plain number), which
// keeps it text.
std::string CsvField(const std::string& value);

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
