// The spreadsheet program's mail hand-over on Linux, where no spreadsheet program takes
// mail: the "workbook" is the file itself, and SendMail gives it, as a MIME attachment, to
// the system's mail service through the sendmail interface.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <utility>

#include "platform/spreadsheet.h"

namespace corvane {

// The sendmail interface's usual place (msmtp-mta, exim4 and postfix all provide it).
inline constexpr const char* kDefaultSendmail = "/usr/sbin/sendmail";

// A program the user named is trusted to answer for the mail as it is; the machine's own
// sendmail is used only when JudgeMailSystem finds that it sends mail off this machine.
enum class SendmailTrust { kNamed, kJudged };

class SendmailAutomation : public SpreadsheetAutomation {
 public:
  // A sendmail that has not taken the message within `limit` is stopped, and the mail
  // counts as not sent.
  explicit SendmailAutomation(std::string sendmail = kDefaultSendmail,
                              std::chrono::milliseconds limit = std::chrono::seconds(60),
                              SendmailTrust trust = SendmailTrust::kNamed)
      : sendmail_(std::move(sendmail)), limit_(limit), trust_(trust) {}
  // Stands in for whichever program is asked for. A mail that does not go names why on
  // standard error, in one line.
  std::unique_ptr<SpreadsheetApplication> Create(const std::string& prog_id) override;
  void SetMailText(const std::string& text) override { text_ = text; }
  std::chrono::milliseconds limit() const { return limit_; }

 private:
  std::string sendmail_;
  std::chrono::milliseconds limit_;
  SendmailTrust trust_;
  std::string text_;
};

}  // namespace corvane
