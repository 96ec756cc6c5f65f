// The spreadsheet program driven by late-bound COM automation (IDispatch), as a macro
// language would: names are looked up with GetIDsOfNames and called with Invoke. Every
// failed HRESULT throws AutomationError.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/spreadsheet.h"

struct IDispatch;

namespace corvane {

// One argument of an automation call: a text or a truth value, optionally named.
struct AutomationArg {
  std::string name;  // empty for a positional argument
  bool is_text = true;
  std::string text;
  bool truth = false;
};

enum class InvokeKind { kMethod, kGet, kPut };

// A reference-counted IDispatch pointer.
class DispatchRef {
 public:
  DispatchRef() = default;
  explicit DispatchRef(IDispatch* owned) : p_(owned) {}
  DispatchRef(const DispatchRef& other);
  DispatchRef& operator=(const DispatchRef& other);
  ~DispatchRef();
  IDispatch* get() const { return p_; }

 private:
  IDispatch* p_ = nullptr;
};

// Calls `member` on `object` with the arguments in reading order; returns the object the
// call answers with when `want_object`, else an empty reference.
DispatchRef InvokeMember(const DispatchRef& object, const std::string& member, InvokeKind kind,
                         const std::vector<AutomationArg>& args, bool want_object = false);

class ComSpreadsheetAutomation : public SpreadsheetAutomation {
 public:
  ComSpreadsheetAutomation();
  ~ComSpreadsheetAutomation() override;
  ComSpreadsheetAutomation(const ComSpreadsheetAutomation&) = delete;
  ComSpreadsheetAutomation& operator=(const ComSpreadsheetAutomation&) = delete;
  std::unique_ptr<SpreadsheetApplication> Create(const std::string& prog_id) override;

 private:
  bool initialised_ = false;
};

// The application object's calls, on any IDispatch that has the spreadsheet's object model.
std::unique_ptr<SpreadsheetApplication> WrapSpreadsheetApplication(DispatchRef application);

}  // namespace corvane
