// The Windows backends together, and the faces the wizard runs in: the window, or the
// terminal when asked for or when no window can be made.
#include "program/os_system.h"

#include <iostream>
#include <string>

#include "faces/terminal/terminal_face.h"
#include "faces/win32/window_face.h"
#include "form/app.h"
#include "form/layout.h"
#include "platform/standard_streams.h"
#include "platform/win32/desktop.h"
#include "platform/win32/files.h"
#include "platform/win32/mail_composer.h"
#include "platform/win32/registry.h"
#include "platform/win32/shell.h"
#include "platform/win32/smart_device.h"
#include "platform/win32/spreadsheet.h"
#include "platform/win32/system_info.h"

namespace corvane {

namespace {

constexpr const char* kSingleInstanceMutex = "Corvane.SingleInstance";

class Win32OsSystem : public OsSystem {
 public:
  Platform& platform() override { return platform_; }

  // The window needs a desktop to draw on; without one the terminal face runs.
  int RunWizard(bool text_only) override {
    if (!text_only && desktop_.ApplicationWindow()) {
      Win32WindowFace face(desktop_);
      desktop_.SetFace(&face);
      App app(platform_);
      const int status = face.Run(app);
      desktop_.SetFace(nullptr);
      return status;
    }
    AttachParentConsole();
    TerminalFace face(std::cin, std::cout);
    desktop_.SetFace(&face);
    App app(platform_);
    return face.Run(app);
  }

 private:
  Win32Registry registry_;
  Win32SmartDevice smart_;
  Win32SystemInfo system_;
  Win32Files files_;
  Win32Shell shell_;
  ComSpreadsheetAutomation spreadsheet_;
  Win32Desktop desktop_{kProgramTitle, kSingleInstanceMutex};
  MapiComposer composer_;
  Platform platform_{registry_, smart_, system_, files_, shell_, spreadsheet_, desktop_, composer_};
};

}  // namespace

std::unique_ptr<OsSystem> CreateOsSystem() { return std::make_unique<Win32OsSystem>(); }

}  // namespace corvane
