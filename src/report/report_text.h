// The report file carried in a mail's text, for mail programs that drop attachments (a
// mailto: link cannot carry one): the file's name and exact bytes as short lines of hex
// digits between two marker lines, written by the program and read back by support.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

inline constexpr std::string_view kReportTextBegin = "corvane-report-begin";
inline constexpr std::string_view kReportTextEnd = "corvane-report-end";

// The report as a mail's text carries it: the file's name and exact bytes in short ASCII lines
// that survive wrapping, reflowing, HTML conversion, "> " quoting, inline forwarding and
// trailing-space loss. Lines end in "\n"; `file_name` holds no line break.
std::string ReportTextBlock(std::string_view file_name, std::string_view file_bytes);

struct TextReport {
  std::string file_name;
  std::string file_bytes;
  std::string error;  // set for a damaged block, whose name and bytes are then empty
};

// A text holds at most this many blocks; one more is an error entry, and the rest is not read.
inline constexpr size_t kMaxReportsPerText = 100;

// Every block in a plain text (quote marks, indentation, blank lines inserted by reflowing are
// tolerated); a damaged block (a line lost, a character changed) yields an entry with `error`
// set, never a wrong report.
std::vector<TextReport> FindReportsInText(std::string_view plain_text);

// Whether a text holds a block's begin line at all: a quick test before a text is converted
// or searched.
bool MayHoldReportText(std::string_view text);

// The text an HTML part shows: tags out, line breaks where <br>, <div>, <p>, <li>, <tr> and
// <blockquote> break lines, character references decoded (&nbsp; as a space), comments, style
// and script left out.
std::string HtmlToText(std::string_view html);

// CRC-32 (IEEE 802.3, as zip and PNG use it).
uint32_t Crc32(std::string_view bytes);

}  // namespace corvane
