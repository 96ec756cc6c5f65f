// Starting programs on Linux. A Windows program file the core names (such as the mail
// client's) is started through the command that stands in for it here.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/shell.h"

namespace corvane {

class LinuxShell : public Shell {
 public:
  // Program file -> the argument vector started in its place.
  using Substitutes = std::map<std::string, std::vector<std::string>>;

  explicit LinuxShell(Substitutes substitutes = {},
                      std::vector<std::string> restart_command = {"systemctl", "reboot"})
      : substitutes_(std::move(substitutes)), restart_command_(std::move(restart_command)) {}
  bool StartProgram(const std::string& path, int window_style) override;
  bool RequestRestart() override;

 private:
  Substitutes substitutes_;
  std::vector<std::string> restart_command_;
};

}  // namespace corvane
