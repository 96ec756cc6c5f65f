// Linux shell services. Window styles have no meaning here: the desktop places the
// started program's window. The restart goes to systemd-logind, which refuses it to a
// user without authorisation; nothing forces it.
#include "platform/linux/shell.h"

#include <sys/wait.h>

#include <system_error>

#include "platform/linux/process.h"

namespace corvane {

// The program is not waited for; when this one ends soon after, init reaps it.
bool LinuxShell::Start(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  try {
    Spawn(argv);
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

bool LinuxShell::StartProgram(const std::string& path, int) { return Start({path}); }

bool LinuxShell::StartMailClient() { return Start(mail_client_); }

bool LinuxShell::RequestRestart() {
  try {
    const int status = WaitForExit(Spawn(restart_command_));
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace corvane
