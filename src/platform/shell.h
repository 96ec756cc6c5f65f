// Starting other programs and asking for a restart of the machine.
#pragma once

#include <string>

namespace corvane {

constexpr int kWindowNormalFocus = 1;  // the window style "normal, with the focus"

class Shell {
 public:
  virtual ~Shell() = default;
  // Starts the program file without waiting for it; false when it cannot be started.
  virtual bool StartProgram(const std::string& path, int window_style) = 0;
  // Starts the system's default mail client without waiting for it; false when there is
  // none or it cannot be started.
  virtual bool StartMailClient() = 0;
  // Asks the system to restart the machine; false when the request is refused.
  virtual bool RequestRestart() = 0;
};

}  // namespace corvane
