// The user's mail program through Simple MAPI: MAPI32.DLL of the system folder hands the
// message to the default mail program (Outlook, Thunderbird...), which shows it ready to
// send. Without a default mail program nothing is asked of MAPI32, whose stub would then
// answer with a dialog of its own or a message without the attachment. Else through a
// mailto: link, which webmail and the Mail app take too.
#pragma once

#include <string>

#include "platform/mail_composer.h"

namespace corvane {

class MapiComposer : public MailComposer {
 public:
  // MAPISendMailW, else MAPISendMail where the system's MAPI32 lacks it, with MAPI_DIALOG
  // and MAPI_LOGON_UI; true on SUCCESS_SUCCESS only.
  bool Compose(const std::string& address, const std::string& subject,
               const std::string& path) override;
  // ShellExecuteW of the link when a program is registered for mailto:, else false. The
  // file is not attached: a link cannot carry it.
  bool OpenMailLink(const std::string& link, const std::string& path) override;
};

}  // namespace corvane
