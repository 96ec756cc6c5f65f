#include "report/decode_command.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

#include "common/dates.h"
#include "common/text.h"
#include "report/record_decode.h"
#include "report/report_name.h"

namespace corvane {

void AddValueColumns(std::vector<Column>* columns, bool kind) {
  for (const ValueField& field : kValueFields) {
    columns->push_back({field.key, field.label});
    if (kind && &field == &kValueFields[0]) {
      columns->push_back({"disk_identifier_kind", "identifier kind"});
    }
  }
}

void AddValueCells(TableRow* row, const MachineValues& values, bool kind) {
  for (const ValueField& field : kValueFields) {
    row->cells.push_back(values.*field.value);
    if (kind && &field == &kValueFields[0]) {
      row->cells.push_back(DiskIdentifierKindName(KindOfDiskIdentifier(values.*field.value)));
    }
  }
}

DecodedEntry DecodeEntry(const std::string& path, const MailAttachment* mail,
                         const std::optional<std::string>& content, const std::string& reason,
                         int code_page) {
  DecodedEntry entry;
  entry.path = path;
  entry.mail = mail;
  entry.report_date = ReportDateOf(mail ? mail->file_name : path);
  if (mail) entry.mail_date = Rfc2822DateToIso(mail->date);
  if (!content) {
    entry.error = "cannot read it: " + reason;
    return entry;
  }
  const DecodedRecord record = DecodeMachineRecord(*content, code_page);
  entry.error = record.error;
  if (!record.ok()) return entry;
  entry.values = record.values;
  entry.cuts = record.cuts;
  entry.encoding = record.encoding;
  return entry;
}

std::string AmbiguousLengthsWarning(const DecodedEntry& entry) {
  if (!entry.ambiguous()) return "";
  return EscapeControls(entry.where()) + ": the lengths are ambiguous (a value of 1000 " +
         "characters or more): " + std::to_string(entry.cuts) +
         " cuts fit; the long value is taken to be the product identifier";
}

namespace {

nlohmann::ordered_json OrNull(const std::string& s) {
  return s.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(s);
}

// The columns of decode's table; an attachment's message in mailbox mode. Text shows the
// message first and the dates last.
Table DecodeTable(bool mail) {
  Table table;
  std::vector<Column>& c = table.columns;
  c.push_back({"path", "", kInAll, "file"});
  if (mail) {
    c.insert(c.end(), {{"message_number", "message number"},
                       {"message_id", "message id"},
                       {"from", "from"},
                       {"date", "date"},
                       {"date_iso", "date, ISO 8601"},
                       // Text names the report's place in its message by its own label.
                       {"attachment", "", kInCsv | kInJson},
                       {"source", "", kInCsv | kInJson},
                       {"attached", "attachment", kInText},
                       {"in_text", "in its text", kInText}});
  }
  c.push_back({"report_date", "report date"});
  c.push_back({"encoding", "encoding"});
  const size_t values = c.size();
  AddValueColumns(&c, true);
  c.push_back({"ambiguous_cuts", "", kInJson});
  c.push_back({"error", "error"});
  const auto at = [&](const std::string& key) {
    for (size_t i = 0; i < c.size(); ++i) {
      if (c[i].key == key) return i;
    }
    return c.size();
  };
  for (const char* key :
       {"message_number", "message_id", "from", "date", "attached", "in_text", "error"}) {
    if (at(key) < c.size()) table.text_order.push_back(at(key));
  }
  for (size_t i = values; i < values + 6; ++i) {
    if (c[i].key != "disk_identifier_kind") table.text_order.push_back(i);
  }
  for (const char* key : {"disk_identifier_kind", "encoding", "report_date", "date_iso"}) {
    if (at(key) < c.size()) table.text_order.push_back(at(key));
  }
  return table;
}

TableRow DecodeRow(const DecodedEntry& e) {
  TableRow row;
  row.text = e.path;
  row.cells.push_back(e.path);
  if (e.mail) {
    const bool attached = e.mail->part == MailPart::kAttachment;
    row.cells.insert(row.cells.end(),
                     {e.mail->message_number, e.mail->message_id, e.mail->from, e.mail->date,
                      OrNull(e.mail_date), e.mail->file_name, MailSource(*e.mail),
                      attached ? nlohmann::ordered_json(e.mail->file_name) : Absent(),
                      attached ? Absent() : nlohmann::ordered_json(e.mail->file_name)});
  }
  row.cells.push_back(OrNull(e.report_date));
  const bool decoded = e.error.empty();
  row.cells.push_back(decoded ? nlohmann::ordered_json(e.encoding) : Absent());
  AddValueCells(&row, e.values, true);
  if (!decoded) {
    for (size_t i = row.cells.size() - 6; i < row.cells.size(); ++i) row.cells[i] = Absent();
  }
  row.cells.push_back(e.ambiguous() ? nlohmann::ordered_json(e.cuts) : Absent());
  row.cells.push_back(decoded ? Absent() : nlohmann::ordered_json(e.error));
  return row;
}

// Prints each record as it is decoded, so that a long mailbox holds none of the output.
class RecordPrinter {
 public:
  RecordPrinter(VerbOutput& output, const DecodeOptions& options, bool mail)
      : output_(output),
        writer_(output, DecodeTable(mail), options.csv, options.bom, "files"),
        code_page_(options.code_page) {}

  void Print(const std::string& path, const MailAttachment* mail,
             const std::optional<std::string>& content, const std::string& reason) {
    ++count_;
    const DecodedEntry entry = DecodeEntry(path, mail, content, reason, code_page_);
    if (!entry.error.empty()) ++failed_;
    if (entry.ambiguous()) ++ambiguous_;
    if (mail) {
      // Attachments come in mailbox order: a message's are together.
      if (mail->message_number != last_message_) {
        last_message_ = mail->message_number;
        ++messages_with_reports_;
        message_failed_ = false;
      }
      if (!entry.error.empty() && !message_failed_) {
        message_failed_ = true;
        ++messages_failed_;
      }
    }
    // JSON sums these up in `messages` at the end; each entry says its own.
    if (!output_.json() && !entry.error.empty()) {
      output_.Say(Severity::kError, EscapeControls(entry.where()) + ": " + entry.error);
    }
    if (!output_.json() && entry.ambiguous()) {
      output_.Say(Severity::kWarning, AmbiguousLengthsWarning(entry));
    }
    TableRow row = DecodeRow(entry);
    // A file is named on stderr alone; an attachment is an entry as well, with its message.
    if (!entry.error.empty() && !mail) row.formats = kInCsv | kInJson;
    writer_.Row(row);
  }

  // A mailbox was read: its messages are summed up at the end.
  void MessagesRead(uint64_t read) { messages_read_ = read; }

  // The JSON list closes here; its summary goes into `messages`. How the mailbox's messages
  // fared comes last, in every format (text and CSV on stderr).
  int Finish(int status) {
    writer_.Finish();
    if (failed_ > 0) {
      output_.SayInJson(Severity::kError, std::to_string(failed_) + " of " +
                                              std::to_string(count_) +
                                              " could not be decoded; each entry says why");
    }
    if (ambiguous_ > 0) {
      output_.SayInJson(Severity::kWarning,
                        std::to_string(ambiguous_) +
                            " with ambiguous lengths (a value of 1000 characters or more): the "
                            "long value is taken to be the product identifier");
    }
    if (messages_read_) SumUpMessages(*messages_read_);
    return status;
  }

  bool any_failed() const { return failed_ > 0; }

 private:
  void SumUpMessages(uint64_t read) {
    const uint64_t failed = messages_failed_;
    const uint64_t with = messages_with_reports_ - failed;
    const uint64_t without = read > messages_with_reports_ ? read - messages_with_reports_ : 0;
    output_.Say(Severity::kInformation, std::to_string(read) +
                                            " messages read: " + std::to_string(with) +
                                            " with a report, " + std::to_string(without) +
                                            " without one, " + std::to_string(failed) + " failed");
  }

  VerbOutput& output_;
  TableWriter writer_;
  int code_page_;
  uint64_t count_ = 0;
  uint64_t failed_ = 0;
  uint64_t ambiguous_ = 0;
  uint64_t last_message_ = 0;
  bool message_failed_ = false;
  uint64_t messages_with_reports_ = 0;
  uint64_t messages_failed_ = 0;
  std::optional<uint64_t> messages_read_;
};

}  // namespace

int RunDecodeCommand(const DecodeOptions& options, std::istream& in, MailboxReader& mailboxes,
                     VerbOutput& output) {
  const bool mail = !options.mailbox.empty();
  RecordPrinter printer(output, options, mail);
  bool mailbox_read = false;
  const bool read = ForEachReportFile(
      options, in, mailboxes, output,
      [&](const std::string& path, const MailAttachment* attachment,
          const std::optional<std::string>& content,
          const std::string& reason) { printer.Print(path, attachment, content, reason); },
      &mailbox_read);
  if (mail && (mailbox_read || mailboxes.MessagesRead() > 0)) {
    printer.MessagesRead(mailboxes.MessagesRead());
  }
  const int status = !read || printer.any_failed() ? 1 : 0;
  return output.Finish(printer.Finish(status));
}

}  // namespace corvane
