// Whether the machine's sendmail sends mail off this machine, judged before any mail is
// handed to it and without a network connection of our own. A mail system that takes a
// message and can only keep it here (local delivery only, not running, a queue with no
// relay) would otherwise answer as if it had sent it.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace corvane {

struct MailSystemJudgement {
  bool sends_off = false;
  std::string reason;  // why not, in a few words; empty when it sends
};

// msmtp sends before it answers; exim must route `address` to an SMTP transport; postfix
// must deliver off this machine, run, and have a relay host. Anything else is not judged
// able to send. The mail system's own tools are looked up in `tool_folders`, in order; each
// has `limit` to answer.
MailSystemJudgement JudgeMailSystem(const std::string& sendmail, const std::string& address,
                                    const std::vector<std::string>& tool_folders,
                                    std::chrono::milliseconds limit = std::chrono::seconds(15));

// The absolute folders of PATH, then the system's own program folders, which a desktop
// user's PATH often lacks.
std::vector<std::string> MailToolFolders();

}  // namespace corvane
