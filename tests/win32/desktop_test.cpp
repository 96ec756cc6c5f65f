// The single-instance channel on Wine: the named mutex, and the running copy found by its
// application window's class and title; the message boxes' keys and owner.
#include "platform/win32/desktop.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace corvane::test {
namespace {

// Keys typed into the message box titled kBoxTitle once it is up, and its owner as found.
constexpr const char* kBoxTitle = "Corvane keys test";
std::vector<WPARAM> g_keys;
HWND g_box_owner = nullptr;

void CALLBACK TypeIntoBox(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND box = ::FindWindowA(nullptr, kBoxTitle);
  if (!box) return;
  ::KillTimer(nullptr, timer);
  g_box_owner = ::GetWindow(box, GW_OWNER);
  for (WPARAM key : g_keys) {
    const HWND focus = ::GetFocus() ? ::GetFocus() : box;
    ::PostMessageA(focus, WM_KEYDOWN, key, 1);
    ::PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
  }
}

int Answer(HWND owner, int style, std::vector<WPARAM> keys) {
  g_keys = std::move(keys);
  g_box_owner = nullptr;
  ::SetTimer(nullptr, 0, 100, TypeIntoBox);
  return OwnedMessageBox(owner, "Are you there?", kBoxTitle, style);
}

TEST(Win32Desktop, MessageBoxesAnswerEnterTabAndEscapeAndSitOnTheirOwner) {
  Win32Desktop desktop("Corvane box test", "Corvane.Test.Box");
  const HWND owner = static_cast<HWND>(desktop.ApplicationWindow());
  if (!owner) GTEST_SKIP() << "no window can be made here";
  EXPECT_EQ(Answer(owner, kMbYesNo, {VK_RETURN}), kIdYes);
  EXPECT_EQ(g_box_owner, owner);
  EXPECT_EQ(Answer(owner, kMbYesNo, {VK_TAB, VK_RETURN}), kIdNo);
  EXPECT_EQ(Answer(owner, kMbYesNo, {VK_ESCAPE}), kIdNo);
  EXPECT_EQ(Answer(owner, kMbOk, {VK_ESCAPE}), kIdOk);
  EXPECT_EQ(Answer(owner, kMbOk, {VK_RETURN}), kIdOk);
}

TEST(Win32Desktop, TheSecondHolderOfTheMutexSeesTheFirst) {
  const std::string mutex = "Corvane.Test." + std::to_string(::GetCurrentProcessId());
  Win32Desktop first("Corvane", mutex);
  Win32Desktop second("Corvane", mutex);
  EXPECT_FALSE(first.AnotherInstanceRunning());
  EXPECT_FALSE(first.AnotherInstanceRunning()) << "a copy never counts itself";
  EXPECT_TRUE(second.AnotherInstanceRunning());
}

TEST(Win32Desktop, TheRunningCopyIsFoundByTitleAndTheRenamedOneIsNot) {
  const std::string title = "Corvane test " + std::to_string(::GetCurrentProcessId());
  Win32Desktop running(title, "Corvane.Test.Find." + title);
  if (!running.ApplicationWindow()) GTEST_SKIP() << "no window can be made here";
  Win32Desktop second(title, "Corvane.Test.Find." + title);
  EXPECT_TRUE(second.FindRunningCopy(title).has_value());
  EXPECT_EQ(*second.FindRunningCopy(title),
            reinterpret_cast<WindowRef>(running.ApplicationWindow()));

  running.SetProgramTitle("unwanted instance");
  EXPECT_FALSE(second.FindRunningCopy(title).has_value());
}

TEST(Win32Desktop, TheFormIsTheWindowItsApplicationWindowOwns) {
  Win32Desktop desktop("Corvane form test", "Corvane.Test.Form");
  const HWND application = static_cast<HWND>(desktop.ApplicationWindow());
  if (!application) GTEST_SKIP() << "no window can be made here";
  EXPECT_EQ(FormOfApplicationWindow(application), nullptr);
  WNDCLASSA form_class{};
  form_class.lpfnWndProc = ::DefWindowProcA;
  form_class.hInstance = ::GetModuleHandleA(nullptr);
  form_class.lpszClassName = kFormWindowClass;
  ::RegisterClassA(&form_class);
  const HWND form = ::CreateWindowExA(0, kFormWindowClass, "Lumbrook", WS_OVERLAPPED, 0, 0, 10, 10,
                                      application, nullptr, form_class.hInstance, nullptr);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(FormOfApplicationWindow(application), form);
  ::DestroyWindow(form);
}

}  // namespace
}  // namespace corvane::test
