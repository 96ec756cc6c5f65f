// Conversions between UTF-8 and the ANSI code page through UTF-16, one NUL-free piece at a
// time so that embedded NULs (registry data) come through in place.
#include "platform/win32/ansi.h"

#include <windows.h>

#include <string>

#include "common/text.h"

namespace corvane {

namespace {

std::wstring ToWide(const char* text, int n, UINT from) {
  const int wide_size = ::MultiByteToWideChar(from, 0, text, n, nullptr, 0);
  std::wstring wide(static_cast<size_t>(wide_size), L'\0');
  ::MultiByteToWideChar(from, 0, text, n, wide.data(), wide_size);
  return wide;
}

std::string Convert(const std::string& text, UINT from, UINT to) {
  std::string result;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    const int n = static_cast<int>(end - start);
    if (n > 0) {
      const std::wstring wide = ToWide(text.data() + start, n, from);
      const int wide_size = static_cast<int>(wide.size());
      const int out_size =
          ::WideCharToMultiByte(to, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr);
      std::string out(static_cast<size_t>(out_size), '\0');
      ::WideCharToMultiByte(to, 0, wide.data(), wide_size, out.data(), out_size, nullptr, nullptr);
      result += out;
    }
    if (end == text.size()) break;
    result += '\0';
    start = end + 1;
  }
  return result;
}

}  // namespace

std::string Utf8ToAnsi(const std::string& utf8) { return Convert(utf8, CP_UTF8, CP_ACP); }

std::string AnsiToUtf8(const std::string& ansi) { return Convert(ansi, CP_ACP, CP_UTF8); }

bool AnsiHolds(const std::string& utf8) { return AnsiToUtf8(Utf8ToAnsi(utf8)) == utf8; }

std::wstring Utf8ToWide(const std::string& utf8) {
  return utf8.empty() ? std::wstring()
                      : ToWide(utf8.data(), static_cast<int>(utf8.size()), CP_UTF8);
}

std::string WideToUtf8(const std::wstring& wide) {
  if (wide.empty()) return "";
  const int n = static_cast<int>(wide.size());
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data(), size, nullptr, nullptr);
  return out;
}

std::string Win32ErrorText(unsigned long code) {
  char buffer[512] = {};
  const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, buffer, sizeof buffer, nullptr);
  const std::string text = Trim(std::string(buffer, n), kWhiteSpace);
  if (text.empty()) return "error " + std::to_string(code);
  return AnsiToUtf8(text);
}

}  // namespace corvane
