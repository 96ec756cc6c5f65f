// Message boxes and the single-instance channel: what a face and the desktop provide.
#pragma once

#include <optional>
#include <string>

namespace corvane {

// Message-box styles and answers, with their Win32 values.
constexpr int kMbOk = 0;
constexpr int kMbYesNo = 4;
constexpr int kMbIconError = 16;
constexpr int kMbIconQuestion = 32;
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

using WindowRef = long long;

class Desktop {
 public:
  virtual ~Desktop() = default;
  // A modal message box; an empty title means the program's own title. Returns kIdOk,
  // kIdYes or kIdNo.
  virtual int MessageBox(const std::string& text, const std::string& title, int style) = 0;

  // Whether another copy of this program is already running.
  virtual bool AnotherInstanceRunning() = 0;
  virtual std::string ProgramTitle() = 0;
  virtual void SetProgramTitle(const std::string& title) = 0;
  // The running copy's main window, looked up by the title it carries.
  virtual std::optional<WindowRef> FindRunningCopy(const std::string& title) = 0;
  // Restores the window if it is minimised and brings it to the front.
  virtual void RestoreAndRaise(WindowRef window) = 0;
};

}  // namespace corvane
