// Every platform service the core uses, gathered for one run of the program.
#pragma once

#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/mail_composer.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/smart_device.h"
#include "platform/spreadsheet.h"
#include "platform/system_info.h"

namespace corvane {

struct Platform {
  Registry& registry;
  SmartDevice& smart;
  SystemInfo& system;
  Files& files;
  Shell& shell;
  SpreadsheetAutomation& spreadsheet;
  Desktop& desktop;
  MailComposer& composer;
};

}  // namespace corvane
