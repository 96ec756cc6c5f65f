// The Windows desktop: message boxes through the face in use, the single instance through a
// named mutex, and the running copy found by its hidden application window, whose caption
// is the program's title.
#pragma once

#include <string>

#include "platform/desktop.h"
#include "platform/face.h"

namespace corvane {

// The class of the hidden application window every copy owns; its form is owned by it.
inline constexpr const char* kApplicationWindowClass = "CorvaneApplication";
// The class of the form's window.
inline constexpr const char* kFormWindowClass = "CorvaneForm";

class Win32Desktop : public Desktop {
 public:
  Win32Desktop(std::string title, std::string mutex_name);
  ~Win32Desktop() override;
  Win32Desktop(const Win32Desktop&) = delete;
  Win32Desktop& operator=(const Win32Desktop&) = delete;

  void SetFace(Face* face) { face_ = face; }
  // Creates the hidden application window; the form's window is made its owned window.
  // Returns it, or nullptr when no window can be made (no display).
  void* ApplicationWindow();

  int MessageBox(const std::string& text, const std::string& title, int style) override;
  bool AnotherInstanceRunning() override;
  std::string ProgramTitle() override { return title_; }
  void SetProgramTitle(const std::string& title) override;
  std::optional<WindowRef> FindRunningCopy(const std::string& title) override;
  void RestoreAndRaise(WindowRef window) override;

 private:
  std::string title_;
  std::string mutex_name_;
  void* mutex_ = nullptr;
  void* application_window_ = nullptr;
  Face* face_ = nullptr;
};

// A modal message box owned by `owner` (none when nullptr). Enter presses the focused
// button, Tab moves between them, and Escape answers OK in an OK box and No in a Yes/No box.
int OwnedMessageBox(void* owner, const std::string& text, const std::string& title, int style);

// The form window of the copy whose application window is given: the window just above it
// in the z-order when that one is its form, else any window of the form class it owns.
void* FormOfApplicationWindow(void* application_window);

}  // namespace corvane
