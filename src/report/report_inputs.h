// The report files that decode's and the register's inputs name: files, standard input,
// folders, and the attachments of a mailbox.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/verb_output.h"
#include "platform/mailbox.h"

namespace corvane {

struct ReportInputs {
  // Files; "-" reads one record from standard input; a folder gives its files whose
  // names end in .kik (any case), in name order, without its sub-folders.
  std::vector<std::string> files;
  std::string mailbox;  // an mbox file or a Maildir folder; its .kik attachments
};

// One report file that the inputs name: where it came from (`mail` for an attachment), and
// its bytes, or nothing with `reason` when they could not be read.
using FoundReportFile =
    std::function<void(const std::string& path, const MailAttachment* mail,
                       const std::optional<std::string>& content, const std::string& reason)>;
// Hands every report file of the inputs to `found`, in order, as decode reads them. Says on
// `output` why a folder or mailbox cannot be read or holds none; false when one could not.
// `mailbox_read`, when given, tells whether the mailbox itself could be read.
bool ForEachReportFile(const ReportInputs& inputs, std::istream& in, MailboxReader& mailboxes,
                       VerbOutput& output, const FoundReportFile& found,
                       bool* mailbox_read = nullptr);

// The attachments of a mail that are report files, and the most of one that is kept.
bool IsReportFileName(const std::string& name);
size_t ReportFileLimit();

// Hands the reports of mail messages to `found` as ForEachReportFile hands a mailbox's:
// every part a mailbox reader hands over goes to Add, in its order (a note is said on
// `output` instead); a message's reports from its text follow once its last part is in, or
// at Flush, which is due after the last message.
class MailReportFiles {
 public:
  MailReportFiles(VerbOutput& output, const FoundReportFile& found);
  ~MailReportFiles();
  void Add(const MailAttachment& a);
  void Flush();
  uint64_t handed() const { return handed_; }  // the reports handed over so far

 private:
  class MessageReports;
  VerbOutput& output_;
  uint64_t handed_ = 0;
  std::unique_ptr<MessageReports> reports_;
};

// Where in its message a report was: "attachment", or "text" for one in the message's
// text (plain or HTML).
const char* MailSource(const MailAttachment& mail);

}  // namespace corvane
