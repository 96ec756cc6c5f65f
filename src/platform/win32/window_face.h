// The native window of the form: draws the model with GDI, hands clicks on visible controls
// to the dispatcher and repaints, hides, shows and closes as the model says afterwards.
// Message boxes are owned by the form's window.
#pragma once

#include "platform/face.h"
#include "platform/win32/desktop.h"

namespace corvane {

class Win32WindowFace : public Face {
 public:
  explicit Win32WindowFace(Win32Desktop& desktop) : desktop_(desktop) {}
  int MessageBox(const std::string& text, const std::string& title, int style) override;
  int Run(App& app) override;

  // For the window procedure.
  long long Handle(void* window, unsigned message, unsigned long long wparam, long long lparam);

 private:
  void Paint(void* dc);
  void Click(int x, int y);
  // Shows, hides, repaints or closes the window after a handler returned `outcome`.
  void Follow(int outcome);
  int Pixels(int twips, bool horizontal) const;

  Win32Desktop& desktop_;
  App* app_ = nullptr;
  void* window_ = nullptr;
  bool ended_ = false;
  bool failed_ = false;
  int dpi_x_ = 96;
  int dpi_y_ = 96;
};

}  // namespace corvane
