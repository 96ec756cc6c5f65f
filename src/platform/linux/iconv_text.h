// Text through one of glibc's iconv converters, for the code pages of records and the
// terminal's character set.
#pragma once

#include <iconv.h>

#include <optional>
#include <string>

namespace corvane {

// What becomes of a byte the converter cannot take: the conversion fails there, or the byte
// is written as "?" and the conversion goes on after it.
enum class Unconvertible { kFail, kReplace };

// `text` through `cd`, from the converter's initial state to its end: what a converter
// holds back (glibc keeps a letter until it knows whether a mark joins it) is written too.
// With kFail, nothing when a byte does not convert, and `failed_at` (when given) its offset.
std::optional<std::string> ConvertText(iconv_t cd, const std::string& text,
                                       Unconvertible unconvertible, size_t* failed_at = nullptr);

}  // namespace corvane
