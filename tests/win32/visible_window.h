// Shared by the tests that drive the form's window from a second thread.
#pragma once

#include <windows.h>

namespace corvane::test {

// The top-level window of `window_class` titled `title` once it shows (up to 10 s), else null.
inline HWND WaitForVisible(const char* window_class, const char* title) {
  for (int i = 0; i < 200; ++i) {
    const HWND w = ::FindWindowA(window_class, title);
    if (w && ::IsWindowVisible(w)) return w;
    ::Sleep(50);
  }
  return nullptr;
}

}  // namespace corvane::test
