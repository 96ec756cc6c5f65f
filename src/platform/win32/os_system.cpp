// The Windows backends together, and the faces the wizard runs in.
#include "platform/os_system.h"

#include <iostream>
#include <string>

#include "app/app.h"
#include "app/layout.h"
#include "platform/console/terminal_face.h"
#include "platform/win32/desktop.h"
#include "platform/win32/files.h"
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

  int RunWizard(bool /*text_only*/) override {
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
  Platform platform_{registry_, smart_, system_, files_, shell_, spreadsheet_, desktop_};
};

}  // namespace

std::unique_ptr<OsSystem> CreateOsSystem() { return std::make_unique<Win32OsSystem>(); }

}  // namespace corvane
