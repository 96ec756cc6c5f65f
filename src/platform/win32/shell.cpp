// The started program runs on its own: its handles are closed at once and never waited on.
#include "platform/win32/shell.h"

#include <windows.h>

#include <string>

#include "platform/win32/ansi.h"

namespace corvane {

namespace {

constexpr const char* kClients = "Software\\Clients\\Mail";

// The default value of a key, environment references expanded; empty when there is none.
std::string DefaultValue(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "";
  DWORD type = 0;
  DWORD size = 0;
  std::string data;
  if (::RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    data.assign(size, '\0');
    if (::RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                           &size) != ERROR_SUCCESS) {
      data.clear();
    }
  }
  ::RegCloseKey(key);
  data = data.substr(0, data.find('\0'));
  if (type == REG_EXPAND_SZ && !data.empty()) {
    std::string expanded(::ExpandEnvironmentStringsA(data.c_str(), nullptr, 0), '\0');
    ::ExpandEnvironmentStringsA(data.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
    data = expanded.substr(0, expanded.find('\0'));
  }
  return data;
}

bool StartCommand(const std::string& application, std::string command_line, int window_style) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(window_style);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(application.empty() ? nullptr : application.c_str(), command_line.data(),
                        nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

}  // namespace

bool Win32Shell::StartProgram(const std::string& path, int window_style) {
  // The program file alone makes the command line, quoted for the spaces in its folder.
  const std::string file = Utf8ToAnsi(path);
  return StartCommand(file, "\"" + file + "\"", window_style);
}

std::string DefaultMailClientName() {
  const std::string name = DefaultValue(HKEY_CURRENT_USER, kClients);
  return name.empty() ? DefaultValue(HKEY_LOCAL_MACHINE, kClients) : name;
}

bool Win32Shell::StartMailClient() {
  const std::string name = DefaultMailClientName();
  if (name.empty()) return false;
  const std::string command = DefaultValue(
      HKEY_LOCAL_MACHINE, std::string(kClients) + "\\" + name + "\\shell\\open\\command");
  return !command.empty() && StartCommand("", command, SW_SHOWNORMAL);
}

bool Win32Shell::RequestRestart() { return ::ExitWindowsEx(EWX_REBOOT, 0) != 0; }

}  // namespace corvane
