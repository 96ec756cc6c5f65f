// The form's window on Wine, told that the monitor's DPI changed: it takes the size the
// system suggests and places the controls at the new DPI.
#include <gtest/gtest.h>
#include <windows.h>
#undef MessageBox

#include <string>
#include <thread>

#include "faces/win32/window_face.h"
#include "fakes/fake_platform.h"
#include "platform/win32/desktop.h"
#include "win32/visible_window.h"

namespace corvane::test {
namespace {

bool WaitGone(HWND w) {
  for (int i = 0; i < 100; ++i) {
    if (!::IsWindow(w) || !::IsWindowVisible(w)) return true;
    ::Sleep(50);
  }
  return false;
}

TEST(Win32WindowFace, FollowsADpiChange) {
  FakeRun run;
  Win32Desktop desktop("Corvane DPI test", "Corvane.Test.Dpi");
  if (!desktop.ApplicationWindow()) GTEST_SKIP() << "no window can be made here";
  Win32WindowFace face(desktop);
  const DWORD face_thread = ::GetCurrentThreadId();

  RECT suggested{};
  RECT taken{};
  bool ended_by_click = false;
  std::thread driver([&] {
    const HWND form = WaitForVisible(kFormWindowClass, "Lumbrook");
    if (!form) {
      ::PostThreadMessageA(face_thread, WM_QUIT, 0, 0);
      return;
    }
    const Control ok = run.app.form.LBLOK;  // where OK lies at stage "0", in twips
    const HDC screen = ::GetDC(nullptr);
    const int dpi = 2 * ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    RECT window{};
    ::GetWindowRect(form, &window);
    suggested = {window.left + 10, window.top + 10,
                 window.left + 10 + 2 * (window.right - window.left),
                 window.top + 10 + 2 * (window.bottom - window.top)};
    ::SendMessageA(form, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    ::GetWindowRect(form, &taken);
    // OK with no language chosen ends the program: hit only where the new DPI puts it.
    const int x = ::MulDiv(ok.left + ok.width / 2, dpi, 1440);
    const int y = ::MulDiv(ok.top + ok.height / 2, dpi, 1440);
    // OK is a button window: the one at that point, when it moved with the DPI.
    const HWND button = ::ChildWindowFromPointEx(form, POINT{x, y}, CWP_SKIPINVISIBLE);
    if (button && button != form) ::PostMessageA(button, BM_CLICK, 0, 0);
    ended_by_click = WaitGone(form);
    if (!ended_by_click) ::PostMessageA(form, WM_CLOSE, 0, 0);
  });
  const int status = face.Run(run.app);
  driver.join();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(taken.left, suggested.left);
  EXPECT_EQ(taken.top, suggested.top);
  EXPECT_EQ(taken.right, suggested.right);
  EXPECT_EQ(taken.bottom, suggested.bottom);
  EXPECT_TRUE(ended_by_click) << "a click on OK at the new DPI missed it";
}

}  // namespace
}  // namespace corvane::test
