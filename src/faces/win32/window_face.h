// The native window of the form: draws the model with GDI, hands clicks and keys on visible
// controls to the dispatcher and repaints, hides, shows and closes as the model says
// afterwards. The controls that take clicks are owner-drawn BUTTON windows, painted as the
// form is, so that they take the focus and screen readers announce them by their captions.
// Message boxes are owned by the form's window. Only Win32 code includes this header; the
// system's MessageBox macro is undone so that the face's method keeps its name.
#pragma once

#include <windows.h>
#undef MessageBox

#include <string>
#include <vector>

#include "app/dispatch.h"
#include "form/focus.h"
#include "platform/face.h"
#include "platform/win32/desktop.h"

namespace corvane {

class Win32WindowFace : public Face {
 public:
  explicit Win32WindowFace(Win32Desktop& desktop) : desktop_(desktop) {}
  int MessageBox(const std::string& text, const std::string& title, int style) override;
  int Run(App& app) override;

  // For the window procedure.
  LRESULT Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  struct Child {
    Control* control;
    HWND window;
  };
  void Paint(HDC dc);
  void DrawChild(const DRAWITEMSTRUCT* item);
  void MakeChildren();
  void PlaceChildren();
  // A key typed on the form; false when it is not one of the form's keys.
  bool Type(WPARAM virtual_key, LPARAM lparam);
  // What a click on `control` does.
  void Press(const Control* control);
  // Shows, hides, repaints or closes the window after a handler returned `outcome`.
  void Follow(Outcome outcome);
  void PlaceFocus();
  const Control* ControlOf(HWND window) const;
  HWND WindowOf(const Control* control) const;
  int Pixels(int twips, bool horizontal) const;

  Win32Desktop& desktop_;
  App* app_ = nullptr;
  HWND window_ = nullptr;
  std::vector<Child> children_;
  std::string focus_stage_;  // the stage the focus was placed for
  bool ended_ = false;
  bool failed_ = false;
  int dpi_x_ = 96;
  int dpi_y_ = 96;
};

}  // namespace corvane
