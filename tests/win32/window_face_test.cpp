// The Windows form's controls that take clicks are BUTTON windows: focusable, named by their
// captions for screen readers, shown exactly while they take clicks, the focus on the first
// language option at the language choice.
#include "faces/win32/window_face.h"

#include <gtest/gtest.h>
#include <windows.h>
#undef MessageBox

#include <map>
#include <string>

#include "fakes/fake_platform.h"
#include "platform/win32/ansi.h"

namespace corvane::test {
namespace {

struct Seen {
  std::map<std::string, bool> buttons;  // caption: shown
  std::string focus;
  bool tab_stops = true;
  bool owner_drawn = true;
};
Seen g_seen;

BOOL CALLBACK NoteButton(HWND child, LPARAM) {
  char class_name[16] = {}, text[64] = {};
  ::GetClassNameA(child, class_name, sizeof class_name);
  if (std::string(class_name) != "Button") return TRUE;
  ::GetWindowTextA(child, text, sizeof text);
  g_seen.buttons[text] = ::IsWindowVisible(child) != 0;
  const LONG style = ::GetWindowLongA(child, GWL_STYLE);
  g_seen.tab_stops = g_seen.tab_stops && (style & WS_TABSTOP);
  g_seen.owner_drawn = g_seen.owner_drawn && (style & BS_TYPEMASK) == BS_OWNERDRAW;
  return TRUE;
}

void CALLBACK LookAndClose(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND form = ::FindWindowA(kFormWindowClass, "Lumbrook");
  if (!form || !::IsWindowVisible(form)) return;
  ::KillTimer(nullptr, timer);
  ::EnumChildWindows(form, NoteButton, 0);
  char text[64] = {};
  ::GetWindowTextA(::GetFocus(), text, sizeof text);
  g_seen.focus = text;
  ::PostMessageA(form, WM_CLOSE, 0, 0);
}

TEST(Win32WindowFace, ClickableControlsAreFocusableButtonsNamedByTheirCaptions) {
  Win32Desktop desktop("Corvane face test", "Corvane.Test.Face");
  if (!desktop.ApplicationWindow()) GTEST_SKIP() << "no window can be made here";
  FakeRun run;
  Win32WindowFace face(desktop);
  g_seen = {};
  ::SetTimer(nullptr, 0, 100, LookAndClose);
  EXPECT_EQ(face.Run(run.app), 0);
  // Window texts are in the ANSI code page, as the form's captions go to Windows.
  const std::map<std::string, bool> expected{{Utf8ToAnsi("Español"), true},
                                             {"English", true},
                                             {Utf8ToAnsi("Português"), true},
                                             {"OK", true},
                                             {"Cancel", true},
                                             {"YES", false},
                                             {"NO", false}};
  EXPECT_EQ(g_seen.buttons, expected);
  EXPECT_TRUE(g_seen.tab_stops);
  EXPECT_TRUE(g_seen.owner_drawn);
  EXPECT_EQ(g_seen.focus, Utf8ToAnsi("Español"));
}

}  // namespace
}  // namespace corvane::test
