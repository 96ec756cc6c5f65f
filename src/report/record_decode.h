// Reading a machine record back into its five values, for the supplier's support.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/machine_record.h"

namespace corvane {

// How a record's text is cut. Always by characters now: a record that is not UTF-8 is
// converted from its code page before it is cut, and `values` are UTF-8 either way.
enum class RecordUnit { kCharacters, kBytes };

// The code page of Windows in the program's languages, and so of the records it writes.
inline constexpr int kWindowsCodePage = 1252;

struct DecodedRecord {
  // Empty when the record is well formed; else what is wrong with it.
  std::string error;
  MachineValues values;  // UTF-8, whatever the file's encoding
  RecordUnit unit = RecordUnit::kCharacters;
  // What the record was read as: "utf-8", "utf-16le" or "utf-16be" (a file with the UTF-16
  // byte-order mark), or "windows-N" for code page N.
  std::string encoding;
  // A length field keeps only the last three digits, so when the values hold some
  // thousand characters more than the fields say, several cuts fit. `values` then gives
  // the extra thousands to the product identifier, the one value the gathering does not
  // bound; `cuts` counts every cut that fits (1 for a record that is not ambiguous) and
  // `candidates` lists the first kMaxCandidates of them.
  uint64_t cuts = 0;
  std::vector<MachineValues> candidates;

  bool ok() const { return error.empty(); }
  bool ambiguous() const { return cuts > 1; }
};

inline constexpr size_t kMaxCandidates = 64;

// Decodes the content of a machine-information file: an optional UTF-8 byte-order mark, the
// record, then one line ending (CR LF, LF or CR) or nothing. The record is UTF-8 when it is
// valid UTF-8 and its lengths add up in characters; otherwise text of `code_page`. A file that
// begins with a UTF-16 byte-order mark is UTF-16 throughout.
DecodedRecord DecodeMachineRecord(const std::string& content, int code_page = kWindowsCodePage);

}  // namespace corvane
