// What the program and its window module (libcorvane-window.so) share. The module is
// loaded with dlopen only when the wizard opens a window, so that the verbs never map
// FLTK or X11; it reaches the core only through the four entries it is handed.
#pragma once

#include "app/dispatch.h"
#include "platform/face.h"

namespace corvane {

struct WindowHooks {
  Outcome (*start)(App&);
  Outcome (*click)(App&, Click);
  Outcome (*select)(App&, Control&);
  Outcome (*close)(App&);
};

// Opens the display and returns a new window face, or nullptr when no display can be
// opened. `hooks` must outlive the face.
using OpenWindowFaceFn = Face* (*)(const WindowHooks* hooks);
// Asks the window to come to the front; safe to call from any thread, at any time.
using RaiseWindowFn = void (*)();

// The names carry a version so that a module from another build is refused, not misread.
inline constexpr const char* kOpenWindowFaceSymbol = "corvane_open_window_face_v1";
inline constexpr const char* kRaiseWindowSymbol = "corvane_raise_window_v1";
inline constexpr const char* kWindowModuleName = "libcorvane-window.so";

}  // namespace corvane
