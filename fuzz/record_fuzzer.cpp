// The record decoder of `corvane decode`.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "report/machine_record.h"
#include "report/record_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvane;
  const std::string content(reinterpret_cast<const char*>(data), size);
  const DecodedRecord r = DecodeMachineRecord(content);
  if (!r.ok()) {
    fuzz::Require(r.candidates.empty());
    return 0;
  }
  fuzz::Require(!r.candidates.empty() && r.candidates.size() <= kMaxCandidates);
  // A clean decode of UTF-8 text is exactly what this program would write for the values.
  if (!r.ambiguous() && r.unit == RecordUnit::kCharacters) {
    std::string record = MachineRecord(r.values);
    fuzz::Require(content == record || content == record + "\r\n");
  }
  return 0;
}
