// The spreadsheet program's mail hand-over on Linux, where no spreadsheet program takes
// mail: the "workbook" is the file itself, and SendMail gives it, as a MIME attachment, to
// the system's mail service through the sendmail interface.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "platform/spreadsheet.h"

namespace corvane {

// The sendmail interface's usual place (msmtp-mta, exim4 and postfix all provide it).
inline constexpr const char* kDefaultSendmail = "/usr/sbin/sendmail";

class SendmailAutomation : public SpreadsheetAutomation {
 public:
  explicit SendmailAutomation(std::string sendmail = kDefaultSendmail)
      : sendmail_(std::move(sendmail)) {}
  // Stands in for whichever program is asked for.
  std::unique_ptr<SpreadsheetApplication> Create(const std::string& prog_id) override;

 private:
  std::string sendmail_;
};

}  // namespace corvane
