// Reading a machine record back into its five values, for the supplier's support.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/machine_record.h"

namespace corvane {

// How a record's text is cut: by UTF-8 characters as this program counts them, or by
// bytes for text that is not UTF-8 (a single-byte code page, as Windows writes it).
enum class RecordUnit { kCharacters, kBytes };

struct DecodedRecord {
  // Empty when the record is well formed; else what is wrong with it.
  std::string error;
  MachineValues values;
  RecordUnit unit = RecordUnit::kCharacters;
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

// Decodes the content of a machine-information file: the record, then CR LF or nothing.
DecodedRecord DecodeMachineRecord(const std::string& content);

}  // namespace corvane
