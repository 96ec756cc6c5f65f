// The record decoder of `corvane decode`.
#include <cstdint>
#include <string>

#include "common/text.h"
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
  fuzz::Require(IsValidUtf8(r.values.user_name) && IsValidUtf8(r.values.computer_name));
  // A clean decode of UTF-8 text is what this program would write for the values, with at
  // most a byte-order mark before and one line ending after.
  if (!r.ambiguous() && r.encoding == "utf-8") {
    const std::string record = MachineRecord(r.values);
    const std::string text =
        content.compare(0, 3, "\xEF\xBB\xBF") == 0 ? content.substr(3) : content;
    fuzz::Require(text == record || text == record + "\r\n" || text == record + "\n" ||
                  text == record + "\r");
  }
  return 0;
}
