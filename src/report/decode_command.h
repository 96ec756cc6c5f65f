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

// One record as every format shows it: its place, and its values or why it has none.
struct DecodedEntry {
  std::string path;
  const MailAttachment* mail = nullptr;
  std::string error;  // empty when the record was decoded
  std::array<std::string, 5> values;
  uint64_t cuts = 0;

  bool ambiguous() const { return cuts > 1; }
  // Where the record came from, as messages name it.
  std::string where() const {
    return path +
           (mail ? ": message <" + mail->message_id + ">, attachment " + mail->file_name : "");
  }
};

// Decodes one report file as ForEachReportFile hands it over: `content` is its bytes, or
// nothing with `reason` when it could not be read. Text of a single-byte code page is shown as
// Latin-1, so that the values are UTF-8.
DecodedEntry DecodeEntry(const std::string& path, const MailAttachment* mail,
                         const std::optional<std::string>& content, const std::string& reason);

// A CSV cell, quoted as needed; a cell that a spreadsheet would take as a formula starts with
// a quote, which keeps it text.
std::string CsvField(const std::string& value);

// Decodes every record, even after one fails. Exit status: 0 when all decoded, 1 when any
// could not be read or holds no valid record (each named with the reason).
int RunDecodeCommand(const DecodeOptions& options, std::istream& in, MailboxReader& mailboxes,
                     VerbOutput& output);

}  // namespace corvane
