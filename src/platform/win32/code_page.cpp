// Windows code pages on Windows: MultiByteToWideChar, refusing bytes the code page lacks.
#include "platform/code_page.h"

#include <windows.h>

#include <cstdio>

#include "platform/win32/ansi.h"

namespace corvane {

std::optional<std::string> CodePageToUtf8(const std::string& bytes, int code_page,
                                          std::string* error) {
  const std::string number = std::to_string(code_page);
  if (code_page <= 0 || !::IsValidCodePage(static_cast<UINT>(code_page))) {
    *error = "code page " + number + " is not installed on this system";
    return std::nullopt;
  }
  if (bytes.empty()) return std::string();
  const int n = static_cast<int>(bytes.size());
  const UINT from = static_cast<UINT>(code_page);
  const int size = ::MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, bytes.data(), n, nullptr, 0);
  if (size <= 0) {
    *error = "the bytes are no text of code page " + number;
    return std::nullopt;
  }
  std::wstring wide(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, bytes.data(), n, wide.data(), size);
  return WideToUtf8(wide);
}

}  // namespace corvane
