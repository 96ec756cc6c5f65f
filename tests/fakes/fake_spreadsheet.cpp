#include "fakes/fake_spreadsheet.h"

#include <map>
#include <utility>

namespace corvane::test {

// Keeps the program's own rules: a workbook must be open to be mailed or closed, and
// nothing answers once the program has quit.
class FakeSpreadsheetApplication : public SpreadsheetApplication {
 public:
  explicit FakeSpreadsheetApplication(FakeSpreadsheet& owner) : owner_(owner) {}
  ~FakeSpreadsheetApplication() override { owner_.Record("Release", {}); }

  void SetScreenUpdating(bool on) override {
    owner_.Record("SetScreenUpdating", {on ? "True" : "False"}, !quit_);
  }
  void OpenWorkbook(const std::string& path) override {
    owner_.Record("OpenWorkbook", {path}, !quit_);
    const size_t sep = path.rfind('\\');
    open_.insert(sep == std::string::npos ? path : path.substr(sep + 1));
  }
  void SendMail(const std::string& workbook, const std::string& recipients,
                const std::string& subject) override {
    owner_.Record("SendMail", {workbook, recipients, subject}, !quit_ && open_.count(workbook));
  }
  void CloseWorkbook(const std::string& workbook, bool save_changes) override {
    owner_.Record("CloseWorkbook", {workbook, save_changes ? "True" : "False"},
                  !quit_ && open_.count(workbook));
    open_.erase(workbook);
  }
  void SetCaption(const std::string& caption) override {
    owner_.Record("SetCaption", {caption}, !quit_);
  }
  void Quit() override {
    owner_.Record("Quit", {}, !quit_);
    quit_ = true;
  }

 private:
  FakeSpreadsheet& owner_;
  std::set<std::string> open_;
  bool quit_ = false;
};

std::unique_ptr<SpreadsheetApplication> FakeSpreadsheet::Create(const std::string& prog_id) {
  Record("Create", {prog_id}, installed);
  return std::make_unique<FakeSpreadsheetApplication>(*this);
}

std::vector<std::string> FakeSpreadsheet::Members() const {
  std::vector<std::string> members;
  for (const AutomationCall& c : calls) members.push_back(c.member);
  return members;
}

void FakeSpreadsheet::Record(const std::string& member, std::vector<std::string> args, bool ok) {
  const bool failed = !ok || member == fail;
  calls.push_back({member, std::move(args), failed});
  if (on_call) on_call(calls.back());
  if (failed && member != "Release") throw AutomationError(member + " failed");
}

}  // namespace corvane::test
