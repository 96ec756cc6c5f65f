// What the program and its window module (libcorvane-window.so) share. The module is
// loaded with dlopen only when the wizard opens a window, so that the verbs never map
// FLTK or X11; it reaches the core only through the entries it is handed.
#pragma once

#include <string>

#include "app/dispatch.h"
#include "form/focus.h"
#include "platform/face.h"

namespace corvane {

struct WindowHooks {
  Outcome (*start)(App&);
  Outcome (*click)(App&, Click);
  Outcome (*select)(App&, Control&);
  Outcome (*close)(App&);
  // The form's keyboard rules (form/focus.h).
  KeyAction (*key)(const FMain&, const Control* focus, Key);
  const Control* (*focus_after)(const FMain&, const Control* focus, const std::string& stage);
  // The caption of the command that copies the message, in the language of a LBLIDIOMA
  // caption.
  std::string (*copy_command)(const std::string& language);
};

// Opens the display and returns a new window face, or nullptr when no display can be
// opened. `hooks` must outlive the face.
using OpenWindowFaceFn = Face* (*)(const WindowHooks* hooks);
// Asks the window to come to the front; safe to call from any thread, at any time.
using RaiseWindowFn = void (*)();

// The names carry a version so that a module from another build is refused, not misread.
inline constexpr const char* kOpenWindowFaceSymbol = "corvane_open_window_face_v3";
inline constexpr const char* kRaiseWindowSymbol = "corvane_raise_window_v3";
inline constexpr const char* kWindowModuleName = "libcorvane-window.so";

}  // namespace corvane
