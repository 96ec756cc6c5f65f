// xdg-email hands the message to whichever mail program the desktop names. It exits 0 when
// the program took it, 3 when it found none, other values for other failures.
#include "platform/linux/mail_composer.h"

#include <sys/wait.h>

#include <iostream>
#include <optional>
#include <system_error>

#include "platform/linux/desktop.h"
#include "platform/linux/process.h"

namespace corvane {

namespace {

bool Refused(const std::string& why) {
  std::cerr << "corvane: " << why << "; the file stays for sending by hand\n";
  return false;
}

}  // namespace

bool XdgEmailComposer::Compose(const std::string& address, const std::string& subject,
                               const std::string& path) {
  if (!DisplayNamed()) return Refused("no desktop session, so no mail program to open");
  std::optional<int> status;
  try {
    SpawnOptions options;
    // Its own group: a Ctrl-C meant for this program does not reach the mail program.
    options.own_group = true;
    status = PollForExit(
        Spawn({program_, "--subject", subject, "--attach", path, address}, options), limit_);
  } catch (const std::system_error& e) {
    return Refused(e.what());
  }
  if (!status) return true;
  if (WIFEXITED(*status) && WEXITSTATUS(*status) == 0) return true;
  return Refused(program_ + ": " + DescribeExit(*status));
}

}  // namespace corvane
