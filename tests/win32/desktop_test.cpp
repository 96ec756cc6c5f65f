// The single-instance channel on Wine: the named mutex, and the running copy found by its
// application window's class and title.
#include "platform/win32/desktop.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace corvane::test {
namespace {

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
