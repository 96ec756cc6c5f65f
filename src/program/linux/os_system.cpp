// The Linux backends together. The mail client is the desktop's default one, reached
// through xdg-email, which also composes the message when sendmail cannot send it;
// CORVANE_SENDMAIL names another sendmail-compatible program. The
// wizard opens the FLTK window when a display is present, else it runs in the terminal.
#include "program/os_system.h"

#include <cstdlib>
#include <iostream>
#include <string>

#include "app/dispatch.h"
#include "faces/fltk/window_loader.h"
#include "faces/terminal/terminal_face.h"
#include "form/app.h"
#include "form/layout.h"
#include "form/texts.h"
#include "platform/linux/desktop.h"
#include "platform/linux/files.h"
#include "platform/linux/locale_terminal.h"
#include "platform/linux/mail_composer.h"
#include "platform/linux/mail_hand_over.h"
#include "platform/linux/registry.h"
#include "platform/linux/shell.h"
#include "platform/linux/single_instance.h"
#include "platform/linux/smart_device.h"
#include "platform/linux/system_info.h"

namespace corvane {

namespace {

// A sendmail-compatible program the user named is trusted as it is; the machine's own is
// judged first.
SendmailAutomation SendmailRoute() {
  const char* program = std::getenv("CORVANE_SENDMAIL");
  if (program && *program) return SendmailAutomation(program);
  return SendmailAutomation(kDefaultSendmail, std::chrono::seconds(60), SendmailTrust::kJudged);
}

class LinuxOsSystem : public OsSystem {
 public:
  Platform& platform() override { return platform_; }

  int RunWizard(bool text_only) override {
    if (!text_only && DisplayNamed()) {
      std::string why;
      if (std::unique_ptr<Face> window = OpenWindow(&why)) return RunIn(*window);
      std::cerr << "corvane: no window (" << why << "); the wizard runs in the terminal\n";
    }
    LocaleTerminal terminal(std::cin, std::cout, LocaleCharset());
    TerminalFace face(terminal.in(), terminal.out());
    return RunIn(face);
  }

 private:
  std::unique_ptr<Face> OpenWindow(std::string* why) {
    WindowModule module;
    if (!LoadWindowModule(ExecutableFolder(), &module, why)) return nullptr;
    static const WindowHooks hooks{&StartProgram, &DispatchClick,     &SelectOption,   &CloseWindow,
                                   &OnKey,        &FocusAfterHandler, &CopyCommandText};
    std::unique_ptr<Face> face(module.open(&hooks));
    if (!face) {
      *why = "the display cannot be opened";
      return nullptr;
    }
    // The listener thread only posts the request; the window's own loop raises it.
    instance_.SetRaiseHandler(module.raise);
    return face;
  }

  int RunIn(Face& face) {
    desktop_.SetFace(&face);
    App app(platform_);
    const int status = face.Run(app);
    desktop_.SetFace(nullptr);
    return status;
  }

  LinuxRegistry registry_;
  LinuxSmartDevice smart_;
  LinuxSystemInfo system_;
  LinuxFiles files_;
  LinuxShell shell_{{"xdg-email", kSupportAddress}};
  SendmailAutomation spreadsheet_{SendmailRoute()};
  SingleInstance instance_{DefaultRuntimeFolder()};
  LinuxDesktop desktop_{instance_, kProgramTitle};
  XdgEmailComposer composer_;
  Platform platform_{registry_, smart_, system_, files_, shell_, spreadsheet_, desktop_, composer_};
};

}  // namespace

std::unique_ptr<OsSystem> CreateOsSystem() { return std::make_unique<LinuxOsSystem>(); }

}  // namespace corvane
