// xdg-email hands the link to whichever program the desktop names for mailto: (a mail
// program, a browser, a webmail's page). It exits 0 when that program was started, 3 when
// it found none, other values for other failures.
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

bool XdgEmailComposer::Compose(const std::string&, const std::string&, const std::string&) {
  return false;
}

bool XdgEmailComposer::OpenMailLink(const std::string& link, const std::string& path) {
  if (!DisplayNamed()) return Refused("no desktop session, so no mail program to open");
  std::optional<int> status;
  try {
    SpawnOptions options;
    // Its own group: a Ctrl-C meant for this program does not reach the mail program.
    options.own_group = true;
    status = PollForExit(Spawn({program_, "--attach", path, link}, options), limit_);
  } catch (const std::system_error& e) {
    return Refused(e.what());
  }
  if (!status) return true;
  if (WIFEXITED(*status) && WEXITSTATUS(*status) == 0) return true;
  return Refused(program_ + ": " + DescribeExit(*status));
}

}  // namespace corvane
