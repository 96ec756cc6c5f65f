// A recording spreadsheet automation object. Absent unless `installed`; any one member
// can be made to fail, and every call is logged with its arguments, the release included.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/spreadsheet.h"

namespace corvane::test {

struct AutomationCall {
  std::string member;  // "Create", "SetScreenUpdating", ..., "Quit", "Release"
  std::vector<std::string> args;
  bool failed = false;
};

class FakeSpreadsheet : public SpreadsheetAutomation {
 public:
  std::unique_ptr<SpreadsheetApplication> Create(const std::string& prog_id) override;

  // The member names of the calls made so far, in order.
  std::vector<std::string> Members() const;

  bool installed = false;
  std::string fail;  // the member whose every call throws AutomationError
  std::vector<AutomationCall> calls;
  std::function<void(const AutomationCall&)> on_call;  // runs after each call is logged

 private:
  friend class FakeSpreadsheetApplication;
  // Logs the call; throws when it is the failing member or `ok` is false.
  void Record(const std::string& member, std::vector<std::string> args, bool ok = true);
};

}  // namespace corvane::test
