// Text helpers shared by the core and the backends: trimming, case folding, and the
// Latin-1 and UTF-8 forms of text. Portable; no OS headers.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// What callers trim: the language file's blanks, white space around a line, the padding of
// drive strings (spaces and NULs), and sysfs values (line breaks, VPD padding).
inline constexpr std::string_view kBlanks = " \t";
inline constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
inline constexpr std::string_view kDrivePadding{" \0", 2};
inline constexpr std::string_view kWhiteSpaceOrNul{" \t\r\n\v\f\0", 7};

// `text` without the characters of `pad` at either end.
std::string Trim(const std::string& text, std::string_view pad);

// ASCII letters and the Latin-1 capitals (as UTF-8) in small letters; other text as is.
std::string LowerCaseLatin(const std::string& utf8);

// Each byte taken as one Latin-1 character, written as UTF-8.
std::string Latin1ToUtf8(const std::string& bytes);

// Windows code page 1252 (Western European, the code page of Spanish, Portuguese and
// English Windows) as UTF-8.
std::string Windows1252ToUtf8(const std::string& bytes);

// UTF-16 text (little- or big-endian, no byte-order mark) as UTF-8; nothing when it is not
// UTF-16: an odd number of bytes, or a surrogate without its pair (`bad_at`: the offset of
// the unit that is wrong).
std::optional<std::string> Utf16ToUtf8(const std::string& bytes, bool big_endian, size_t* bad_at);

// The bytes of the UTF-8 character that starts at `i`, or 0 when none does there.
size_t Utf8SequenceLength(const std::string& text, size_t i);
// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& text);
inline bool IsUtf8Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }
// The characters of UTF-8 text: continuation bytes belong to the character before.
size_t Utf8CharacterCount(const std::string& utf8);

// `s` with control characters written as escapes (\r, \n, \x1B, \u009B, and \x9B for a
// byte 0x80 to 0x9F that is no part of a UTF-8 character), so that text from a received
// file cannot drive the terminal it is shown on.
std::string EscapeControls(const std::string& s);

// Every `from` in `text` replaced with `to`, the replacements not searched again.
void ReplaceAll(std::string* text, const std::string& from, const std::string& to);

}  // namespace corvane
