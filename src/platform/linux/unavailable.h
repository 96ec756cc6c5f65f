// Services Linux does not have yet: each reports failure the way its Win32 original does.
#pragma once

#include <memory>
#include <string>

#include "platform/shell.h"
#include "platform/smart_device.h"
#include "platform/spreadsheet.h"

namespace corvane {

class NoSmartDevice : public SmartDevice {
 public:
  Handle Open(const std::string&, uint32_t, uint32_t, uint32_t) override { return kInvalidHandle; }
  bool Control(Handle, uint32_t, ByteView, MutableByteView) override { return false; }
  void Close(Handle) override {}
  std::optional<uint32_t> PlatformId() override { return 2; }  // the NT family
};

class NoShell : public Shell {
 public:
  bool StartProgram(const std::string&, int) override { return false; }
  bool RequestRestart() override { return false; }
};

class NoSpreadsheet : public SpreadsheetAutomation {
 public:
  std::unique_ptr<SpreadsheetApplication> Create(const std::string& prog_id) override {
    throw AutomationError("no automation object for " + prog_id);
  }
};

}  // namespace corvane
