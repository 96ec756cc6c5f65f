// GetSystemDirectoryA, GetComputerNameA, GetUserNameA, GetVolumeInformationA, GetLocalTime
// and GetModuleFileNameW (the program may lie in a folder the ANSI code page cannot name).
// Results that the call did not fill come back empty.
#include "platform/win32/system_info.h"

#include <windows.h>
// After windows.h: the known-folder API needs its types.
#include <knownfolders.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/win32/ansi.h"

namespace corvane {

namespace {

constexpr DWORD kSystemFolderBuffer = 256;
constexpr DWORD kComputerNameBuffer = 255;
constexpr DWORD kUserNameBuffer = 25;
constexpr DWORD kVolumeTextBuffer = 256;

std::string BeforeFirstNul(const std::vector<char>& buffer) {
  const std::string text(buffer.data(), buffer.size());
  return text.substr(0, text.find('\0'));
}

// A known folder's path in UTF-8; empty when the system has none for this user.
std::string KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::string folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path))) folder = WideToUtf8(path);
  ::CoTaskMemFree(path);
  return folder;
}

}  // namespace

std::string FolderOfProgramFile(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return "";
  std::string folder = path.substr(0, slash);
  if (folder.size() == 2 && folder[1] == ':') folder += '\\';
  return folder;
}

std::string Win32SystemInfo::UserStateFolder() {
  const std::string local = KnownFolder(FOLDERID_LocalAppData);
  return local.empty() ? "" : local + "\\Corvane";
}

std::string Win32SystemInfo::DesktopFolder() { return KnownFolder(FOLDERID_Desktop); }

std::string Win32SystemInfo::ProgramFolder() {
  std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return "";
    if (n < buffer.size()) return FolderOfProgramFile(WideToUtf8(std::wstring(buffer.data(), n)));
    buffer.assign(buffer.size() * 2, L'\0');  // cut short: a long path
  }
}

std::string Win32SystemInfo::SystemFolder() {
  std::vector<char> buffer(kSystemFolderBuffer, '\0');
  ::GetSystemDirectoryA(buffer.data(), kSystemFolderBuffer);
  return AnsiToUtf8(BeforeFirstNul(buffer));
}

std::string Win32SystemInfo::ComputerName() {
  std::vector<char> buffer(kComputerNameBuffer, ' ');
  DWORD size = kComputerNameBuffer;
  // On failure the size holds the length needed, not the name's: nothing to take then.
  if (!::GetComputerNameA(buffer.data(), &size) || size > kComputerNameBuffer) return "";
  return AnsiToUtf8(std::string(buffer.data(), size));
}

std::string Win32SystemInfo::UserName() {
  std::vector<char> buffer(kUserNameBuffer, '\0');
  DWORD size = kUserNameBuffer;
  ::GetUserNameA(buffer.data(), &size);
  return AnsiToUtf8(BeforeFirstNul(buffer));
}

std::optional<uint32_t> Win32SystemInfo::VolumeSerial(const std::string& root) {
  std::vector<char> volume_name(kVolumeTextBuffer, '\0');
  std::vector<char> file_system(kVolumeTextBuffer, '\0');
  DWORD serial = 0;
  DWORD max_component = 0;
  DWORD flags = 0;
  if (!::GetVolumeInformationA(Utf8ToAnsi(root).c_str(), volume_name.data(), kVolumeTextBuffer,
                               &serial, &max_component, &flags, file_system.data(),
                               kVolumeTextBuffer)) {
    return std::nullopt;
  }
  return static_cast<uint32_t>(serial);
}

std::string Win32SystemInfo::UpperCase(const std::string& text) {
  if (text.empty()) return text;
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return text;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  ::CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  const int m = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(m), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
  return out;
}

// Byte by byte, so that a lead byte of a double-byte code page stays one character too.
std::string Win32SystemInfo::SingleByteText(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) out += AnsiToUtf8(std::string(1, c));
  return out;
}

LocalDate Win32SystemInfo::Today() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay};
}

}  // namespace corvane
