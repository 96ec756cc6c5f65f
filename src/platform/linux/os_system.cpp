// The Linux backends together. The mail client is the desktop's default one, reached
// through xdg-email; CORVANE_SENDMAIL names another sendmail-compatible program.
#include "platform/os_system.h"

#include <cstdlib>
#include <iostream>
#include <string>

#include "app/app.h"
#include "app/layout.h"
#include "app/texts.h"
#include "mail/send_report.h"
#include "platform/console/terminal_face.h"
#include "platform/linux/desktop.h"
#include "platform/linux/files.h"
#include "platform/linux/mail_hand_over.h"
#include "platform/linux/registry_store.h"
#include "platform/linux/shell.h"
#include "platform/linux/single_instance.h"
#include "platform/linux/smart_device.h"
#include "platform/linux/system_info.h"

namespace corvane {

namespace {

std::string SendmailProgram() {
  const char* program = std::getenv("CORVANE_SENDMAIL");
  return program && *program ? program : kDefaultSendmail;
}

class LinuxOsSystem : public OsSystem {
 public:
  Platform& platform() override { return platform_; }

  // The terminal is the only face so far, with or without a display.
  int RunWizard(bool /*text_only*/) override {
    TerminalFace face(std::cin, std::cout);
    desktop_.SetFace(&face);
    App app(platform_);
    return face.Run(app);
  }

 private:
  LinuxRegistry registry_{RegistryStoreOptions{}};
  LinuxSmartDevice smart_;
  LinuxSystemInfo system_;
  LinuxFiles files_;
  LinuxShell shell_{{{kMailClientPath, {"xdg-email", kSupportAddress}}}};
  SendmailAutomation spreadsheet_{SendmailProgram()};
  SingleInstance instance_{DefaultRuntimeFolder()};
  LinuxDesktop desktop_{instance_, kProgramTitle};
  Platform platform_{registry_, smart_, system_, files_, shell_, spreadsheet_, desktop_};
};

}  // namespace

std::unique_ptr<OsSystem> CreateOsSystem() { return std::make_unique<LinuxOsSystem>(); }

}  // namespace corvane
