// Starting program files with CreateProcessA and the restart with ExitWindowsEx.
#pragma once

#include <string>

#include "platform/shell.h"

namespace corvane {

// The mail program named under Software\Clients\Mail: the user's choice, else the
// machine's; empty when there is none.
std::string DefaultMailClientName();

class Win32Shell : public Shell {
 public:
  bool StartProgram(const std::string& path, int window_style) override;
  // The client named under Software\Clients\Mail (the user's choice, else the machine's),
  // started by its shell\open\command.
  bool StartMailClient() override;
  // ExitWindowsEx(EWX_REBOOT, 0); the shutdown privilege is not asked for, so on the NT
  // family the request is refused unless the process already holds it.
  bool RequestRestart() override;
};

}  // namespace corvane
