// `corvane decode`: the five values of machine-information files, for the supplier's support:
// files, standard input, folders, and the attachments of a mailbox.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "common/table_writer.h"
#include "common/verb_output.h"
#include "platform/mailbox.h"
#include "report/record_decode.h"
#include "report/report_inputs.h"

namespace corvane {

struct DecodeOptions : ReportInputs {
  bool csv = false;
  bool bom = false;  // CSV: a UTF-8 byte-order mark first, for spreadsheets
  // The code page of records that are not UTF-8.
  int code_page = kWindowsCodePage;
};

// One record as every format shows it: its place, and its values or why it has none.
struct DecodedEntry {
  std::string path;
  const MailAttachment* mail = nullptr;
  std::string error;     // empty when the record was decoded
  MachineValues values;  // UTF-8, whatever the record's encoding
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
    if (mail->part != MailPart::kAttachment) {
      at += ", in its text";
      if (!mail->file_name.empty()) at += ": " + mail->file_name;
    } else if (!mail->file_name.empty()) {
      at += ", attachment " + mail->file_name;
    }
    return at;
  }
};

// Decodes one report file as ForEachReportFile hands it over: `content` is its bytes, or
// nothing with `reason` when it could not be read; records that are not UTF-8 are read in
// `code_page`.
DecodedEntry DecodeEntry(const std::string& path, const MailAttachment* mail,
                         const std::optional<std::string>& content, const std::string& reason,
                         int code_page = kWindowsCodePage);

// The warning of a record whose length fields leave several cuts of its values, as every
// verb that reads records gives it; empty for one that reads one way only.
std::string AmbiguousLengthsWarning(const DecodedEntry& entry);

// The five values as columns of a verb's table, and a row's cells of them; `kind` adds the
// disk identifier's kind after it.
void AddValueColumns(std::vector<Column>* columns, bool kind);
void AddValueCells(TableRow* row, const MachineValues& values, bool kind);

// Decodes every record, even after one fails. Exit status: 0 when all decoded, 1 when any
// could not be read or holds no valid record (each named with the reason).
int RunDecodeCommand(const DecodeOptions& options, std::istream& in, MailboxReader& mailboxes,
                     VerbOutput& output);

}  // namespace corvane
