// Text of a Windows code page other than 1252 (which the core converts itself), through the
// system's converter: iconv on Linux, MultiByteToWideChar on Windows.
#pragma once

#include <optional>
#include <string>

namespace corvane {

// `bytes` in Windows code page `code_page` as UTF-8; nothing with `error` when the system
// does not know the code page or a byte is no character of it. Defined once per operating
// system.
std::optional<std::string> CodePageToUtf8(const std::string& bytes, int code_page,
                                          std::string* error);

}  // namespace corvane
