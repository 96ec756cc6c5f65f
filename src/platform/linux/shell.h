// Starting programs on Linux. The default mail client is the command given for it
// (xdg-email in the program).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/shell.h"

namespace corvane {

class LinuxShell : public Shell {
 public:
  explicit LinuxShell(std::vector<std::string> mail_client = {},
                      std::vector<std::string> restart_command = {"systemctl", "reboot"})
      : mail_client_(std::move(mail_client)), restart_command_(std::move(restart_command)) {}
  bool StartProgram(const std::string& path, int window_style) override;
  bool StartMailClient() override;
  bool RequestRestart() override;

 private:
  bool Start(const std::vector<std::string>& argv);

  std::vector<std::string> mail_client_;
  std::vector<std::string> restart_command_;
};

}  // namespace corvane
