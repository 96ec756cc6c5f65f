// The spreadsheet program's automation object model, as far as the mail dispatch uses it.
// Every call either succeeds or throws AutomationError.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

namespace corvane {

class AutomationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class SpreadsheetApplication {
 public:
  virtual ~SpreadsheetApplication() = default;
  virtual void SetScreenUpdating(bool on) = 0;
  // Workbooks.Open: the workbook is afterwards found by the file's name.
  virtual void OpenWorkbook(const std::string& path) = 0;
  // Workbooks(name).SendMail Recipients:=, Subject:=
  virtual void SendMail(const std::string& workbook, const std::string& recipients,
                        const std::string& subject) = 0;
  // Workbooks(name).Close SaveChanges:=
  virtual void CloseWorkbook(const std::string& workbook, bool save_changes) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void Quit() = 0;
};

class SpreadsheetAutomation {
 public:
  virtual ~SpreadsheetAutomation() = default;
  // Creates the automation object of the program id; throws AutomationError when absent.
  virtual std::unique_ptr<SpreadsheetApplication> Create(const std::string& prog_id) = 0;
  // The text of the mail, for a stand-in whose mail carries one (the spreadsheet program's
  // carries none).
  virtual void SetMailText(const std::string& /*text*/) {}
};

}  // namespace corvane
