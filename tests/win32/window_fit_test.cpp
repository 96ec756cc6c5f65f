// The Windows form at stage "3" with a report path of 200 characters: the message stays
// inside LBLMSG's box, so its last line, the support address, shows above the buttons, and
// Ctrl+C copies it.
#include <gtest/gtest.h>
#include <windows.h>
#undef MessageBox

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "faces/win32/window_face.h"
#include "fakes/fake_platform.h"
#include "form/texts.h"
#include "platform/win32/desktop.h"
#include "win32/visible_window.h"

namespace corvane::test {
namespace {

// Clicks the form's button window captioned `caption` once it shows.
bool ClickButton(HWND form, const char* caption) {
  for (int i = 0; i < 100; ++i) {
    const HWND button = ::FindWindowExA(form, nullptr, "Button", caption);
    if (button && ::IsWindowVisible(button)) {
      ::PostMessageA(button, BM_CLICK, 0, 0);
      ::Sleep(300);
      return true;
    }
    ::Sleep(50);
  }
  return false;
}

// The client area's pixels as 0x00RRGGBB, row after row.
std::vector<uint32_t> Capture(HWND form, int& width, int& height) {
  RECT client{};
  ::GetClientRect(form, &client);
  width = client.right;
  height = client.bottom;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  const HDC window_dc = ::GetDC(form);
  const HDC memory = ::CreateCompatibleDC(window_dc);
  const HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, window_dc, 0, 0, SRCCOPY);
  std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits),
                               static_cast<const uint32_t*>(bits) + width * height);
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(form, window_dc);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

TEST(Win32WindowFace, ALongPathStaysInsideTheMessageBox) {
  FakeRun run;
  Win32Desktop desktop("Corvane fit test", "Corvane.Test.Fit");
  if (!desktop.ApplicationWindow()) GTEST_SKIP() << "no window can be made here";
  run.smart.device_map = 0x01;
  PutAtaString(run.smart.drives[0].identify, 20, 20, "WD-WCAV12345678");
  // C:\ refuses the report, so it goes to a desktop folder deep enough for 200 characters.
  const std::string name = "\\Lumbrook20260131PC-7.kik";
  std::string folder = "C:\\Users\\ana";
  while (folder.size() + name.size() < 200) folder += "\\Carpeta de trabajo";
  folder.resize(200 - name.size());
  if (folder.back() == '\\') folder.back() = 'x';
  run.system.desktop_folder = folder;
  run.files.read_only_folders = {"C:"};
  Win32WindowFace face(desktop);
  const DWORD face_thread = ::GetCurrentThreadId();

  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  std::string copied;
  std::thread driver([&] {
    const HWND form = WaitForVisible(kFormWindowClass, "Lumbrook");
    if (!form || !ClickButton(form, "English") || !ClickButton(form, "OK") ||
        !ClickButton(form, "Yes") || !ClickButton(form, "No")) {
      ::PostThreadMessageA(face_thread, WM_QUIT, 0, 0);
      return;
    }
    ::Sleep(500);
    ::RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::Sleep(500);
    pixels = Capture(form, width, height);
    // Ctrl+C on the focused OK: the key state is the face thread's, shared for the press.
    ::AttachThreadInput(::GetCurrentThreadId(), face_thread, TRUE);
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
    ::SetKeyboardState(keys);
    const HWND focus = ::FindWindowExA(form, nullptr, "Button", "OK");
    ::PostMessageA(focus, WM_KEYDOWN, 'C', 1);
    ::Sleep(500);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = 0;
    ::SetKeyboardState(keys);
    ::AttachThreadInput(::GetCurrentThreadId(), face_thread, FALSE);
    if (::OpenClipboard(nullptr)) {
      if (const HANDLE data = ::GetClipboardData(CF_TEXT)) {
        if (const char* text = static_cast<const char*>(::GlobalLock(data))) {
          copied = text;
          ::GlobalUnlock(data);
        }
      }
      ::CloseClipboard();
    }
    ::PostMessageA(form, WM_CLOSE, 0, 0);
  });
  face.Run(run.app);
  driver.join();
  ASSERT_EQ(run.app.form.LBLMSG.caption.find("Please Send File\r\r" + folder + name), 0u);
  ASSERT_FALSE(pixels.empty()) << "stage 3 did not come up";
  // Ctrl+C put the message on the clipboard, its line breaks as CR LF.
  EXPECT_EQ(copied, "Please Send File\r\n\r\n" + folder + name + "\r\n\r\nto: " + kSupportAddress);

  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  auto px = [&](int twips) { return ::MulDiv(twips, dpi, 1440); };
  // Black text in an area given in twips.
  auto black_in = [&](int left, int top, int w, int h) {
    for (int y = px(top); y < std::min(height, px(top + h)); ++y) {
      for (int x = px(left); x < std::min(width, px(left + w)); ++x) {
        if (pixels[y * width + x] == 0) return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(black_in(120, 120, 6850, 2130)) << "the message shows";
  EXPECT_FALSE(black_in(0, 0, 120, 2250)) << "text left of the box";
  EXPECT_FALSE(black_in(6970, 0, 120, 2250)) << "text right of the box";
  EXPECT_FALSE(black_in(0, 2250, 7090, 510)) << "text below the box, above the buttons";
  EXPECT_FALSE(black_in(1000, 2820, 1640, 970)) << "text left of OK";
  EXPECT_FALSE(black_in(4510, 2820, 2580, 970)) << "text right of OK";
}

}  // namespace
}  // namespace corvane::test
