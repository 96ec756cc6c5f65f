// The started program runs on its own: its handles are closed at once and never waited on.
#include "platform/win32/shell.h"

#include <windows.h>

#include <string>

#include "platform/win32/ansi.h"

namespace corvane {

bool Win32Shell::StartProgram(const std::string& path, int window_style) {
  // The program file alone makes the command line, quoted for the spaces in its folder.
  std::string command = "\"" + Utf8ToAnsi(path) + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(window_style);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(Utf8ToAnsi(path).c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

bool Win32Shell::RequestRestart() { return ::ExitWindowsEx(EWX_REBOOT, 0) != 0; }

}  // namespace corvane
