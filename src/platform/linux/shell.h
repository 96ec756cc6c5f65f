// Starting programs on Linux. A Windows program file the core names (such as the mail
// client's) is started through the command that stands in for it here.
#pragma once

#include <chrono>
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

  // A restart request that has no answer within `restart_limit` counts as refused.
  explicit LinuxShell(Substitutes substitutes = {},
                      std::vector<std::string> restart_command = {"systemctl", "reboot"},
                      std::chrono::milliseconds restart_limit = std::chrono::seconds(30))
      : substitutes_(std::move(substitutes)),
        restart_command_(std::move(restart_command)),
        restart_limit_(restart_limit) {}
  bool StartProgram(const std::string& path, int window_style) override;
  bool RequestRestart() override;

 private:
  Substitutes substitutes_;
  std::vector<std::string> restart_command_;
  std::chrono::milliseconds restart_limit_;
};

}  // namespace corvane
