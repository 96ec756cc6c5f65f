// The core's texts are UTF-8; the "A" functions take and give the ANSI code page. These
// convert at that boundary. A character the code page lacks becomes its default character.
#pragma once

#include <string>

namespace corvane {

std::string Utf8ToAnsi(const std::string& utf8);
std::string AnsiToUtf8(const std::string& ansi);
// Whether the ANSI code page holds the text as it is (no default or nearest characters).
bool AnsiHolds(const std::string& utf8);
// UTF-8 as the UTF-16 of the "W" functions and COM.
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);
// The system's message for a Win32 error code, in UTF-8, without the trailing line break.
std::string Win32ErrorText(unsigned long code);

}  // namespace corvane
