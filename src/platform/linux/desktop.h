// The Linux desktop: message boxes through the face in use, the single instance through
// a lock and a local socket, and the program's title kept in memory.
#pragma once

#include "platform/desktop.h"
#include "platform/face.h"
#include "platform/linux/single_instance.h"

namespace corvane {

// Whether a desktop session is present: DISPLAY or WAYLAND_DISPLAY names a display.
bool DisplayNamed();

class LinuxDesktop : public Desktop {
 public:
  LinuxDesktop(SingleInstance& instance, std::string title)
      : instance_(instance), title_(std::move(title)) {}
  void SetFace(Face* face) { face_ = face; }

  int MessageBox(const std::string& text, const std::string& title, int style) override;
  bool AnotherInstanceRunning() override { return instance_.AnotherRunning(); }
  std::string ProgramTitle() override { return title_; }
  void SetProgramTitle(const std::string& title) override { title_ = title; }
  std::optional<WindowRef> FindRunningCopy(const std::string& title) override;
  void RestoreAndRaise(WindowRef window) override;

 private:
  SingleInstance& instance_;
  std::string title_;
  Face* face_ = nullptr;
};

}  // namespace corvane
