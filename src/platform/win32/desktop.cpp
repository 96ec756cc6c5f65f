// A copy is "running" while it holds the named mutex; its window is looked up by class and
// title, so that a second copy, which renames itself first, never finds its own.
#include "platform/win32/desktop.h"

#include <windows.h>
// The interfaces have a member of this name; the call below names MessageBoxA itself.
#undef MessageBox

#include <string>

#include "platform/win32/ansi.h"

namespace corvane {

namespace {

bool IsFormOf(HWND candidate, HWND application) {
  if (!candidate || ::GetWindow(candidate, GW_OWNER) != application) return false;
  char class_name[64] = {};
  ::GetClassNameA(candidate, class_name, sizeof class_name);
  return std::string(class_name) == kFormWindowClass;
}

struct FormSearch {
  HWND application;
  HWND found;
};

BOOL CALLBACK FindOwnedForm(HWND candidate, LPARAM data) {
  auto* search = reinterpret_cast<FormSearch*>(data);
  if (!IsFormOf(candidate, search->application)) return TRUE;
  search->found = candidate;
  return FALSE;
}

// The system's Yes/No box ignores Escape, having no Cancel; here Escape answers No.
LRESULT CALLBACK EscapeAnswersNo(int code, WPARAM wparam, LPARAM lparam) {
  const MSG* message = reinterpret_cast<const MSG*>(lparam);
  if (code == MSGF_DIALOGBOX && message->message == WM_KEYDOWN && message->wParam == VK_ESCAPE) {
    const HWND box = ::GetAncestor(message->hwnd, GA_ROOT);
    if (const HWND no = ::GetDlgItem(box, IDNO)) {
      ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), reinterpret_cast<LPARAM>(no));
      return TRUE;
    }
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

int OwnedMessageBox(void* owner, const std::string& text, const std::string& title, int style) {
  const bool yes_no = (style & 0xF) == kMbYesNo;
  const HHOOK hook =
      yes_no ? ::SetWindowsHookExA(WH_MSGFILTER, EscapeAnswersNo, nullptr, ::GetCurrentThreadId())
             : nullptr;
  const int answer = ::MessageBoxA(static_cast<HWND>(owner), Utf8ToAnsi(text).c_str(),
                                   Utf8ToAnsi(title).c_str(), static_cast<UINT>(style));
  if (hook) ::UnhookWindowsHookEx(hook);
  // An OK box has one answer however it is closed (Wine answers Escape with IDCANCEL).
  return yes_no ? answer : kIdOk;
}

void* FormOfApplicationWindow(void* application_window) {
  const HWND application = static_cast<HWND>(application_window);
  const HWND above = ::GetWindow(application, GW_HWNDPREV);
  if (IsFormOf(above, application)) return above;
  FormSearch search{application, nullptr};
  ::EnumWindows(FindOwnedForm, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

Win32Desktop::Win32Desktop(std::string title, std::string mutex_name)
    : title_(std::move(title)), mutex_name_(std::move(mutex_name)) {}

Win32Desktop::~Win32Desktop() {
  if (application_window_) ::DestroyWindow(static_cast<HWND>(application_window_));
  if (mutex_) ::CloseHandle(mutex_);
}

void* Win32Desktop::ApplicationWindow() {
  if (application_window_) return application_window_;
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = ::DefWindowProcA;
  window_class.hInstance = instance;
  window_class.lpszClassName = kApplicationWindowClass;
  ::RegisterClassA(&window_class);  // fails harmlessly when already registered
  application_window_ =
      ::CreateWindowExA(0, kApplicationWindowClass, Utf8ToAnsi(title_).c_str(), WS_POPUP, 0, 0, 0,
                        0, nullptr, nullptr, instance, nullptr);
  return application_window_;
}

int Win32Desktop::MessageBox(const std::string& text, const std::string& title, int style) {
  const std::string shown_title = title.empty() ? title_ : title;
  if (face_) return face_->MessageBox(text, shown_title, style);
  return OwnedMessageBox(nullptr, text, shown_title, style);
}

bool Win32Desktop::AnotherInstanceRunning() {
  if (!mutex_) {
    mutex_ = ::CreateMutexA(nullptr, FALSE, mutex_name_.c_str());
    if (mutex_ && ::GetLastError() == ERROR_ALREADY_EXISTS) return true;
    return false;
  }
  // Asked again by the copy that holds it: only another holder counts.
  const HANDLE probe = ::CreateMutexA(nullptr, FALSE, mutex_name_.c_str());
  if (!probe) return false;
  ::CloseHandle(probe);
  return false;
}

void Win32Desktop::SetProgramTitle(const std::string& title) {
  title_ = title;
  if (application_window_) {
    ::SetWindowTextA(static_cast<HWND>(application_window_), Utf8ToAnsi(title).c_str());
  }
}

std::optional<WindowRef> Win32Desktop::FindRunningCopy(const std::string& title) {
  const HWND found = ::FindWindowA(kApplicationWindowClass, Utf8ToAnsi(title).c_str());
  if (!found) return std::nullopt;
  return reinterpret_cast<WindowRef>(found);
}

void Win32Desktop::RestoreAndRaise(WindowRef window) {
  const auto application = reinterpret_cast<HWND>(window);
  HWND form = static_cast<HWND>(FormOfApplicationWindow(application));
  if (!form) form = application;
  ::OpenIcon(form);
  ::SetForegroundWindow(form);
}

}  // namespace corvane
