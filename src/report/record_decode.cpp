#include "report/record_decode.h"

#include <array>

#include "common/text.h"

namespace corvane {

namespace {

constexpr size_t kFields = 5;
constexpr size_t kHeaderSize = 3 * kFields;
constexpr size_t kDiskIdentifierField = 0;
constexpr size_t kComputerNameField = 2;
constexpr size_t kProductIdField = 3;
constexpr size_t kUserNameField = 4;
constexpr const char* kFieldNames[kFields] = {"disk identifier", "volume serial", "computer name",
                                              "product identifier", "user name"};

// Shows a short piece of the file in a message, control characters escaped.
std::string Quoted(const std::string& s) {
  constexpr size_t kShown = 20;
  std::string out = "\"" + EscapeControls(s.substr(0, kShown));
  if (s.size() > kShown) out += "...";
  return out + "\"";
}

// C(m + 3, 3): the ways to share m extra thousands among the four values that may be long,
// saturating far above anything worth counting.
uint64_t CutCount(uint64_t m) {
  if (m > 1000000) return UINT64_MAX;
  return (m + 3) * (m + 2) / 2 * (m + 1) / 3;
}

}  // namespace

DecodedRecord DecodeMachineRecord(const std::string& content) {
  DecodedRecord result;
  std::string text = content;
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
    text.resize(text.size() - 2);
  if (text.size() < kHeaderSize) {
    result.error = content.empty() ? "the file is empty"
                                   : "the file is too short: " + std::to_string(text.size()) +
                                         " bytes, where the five length fields alone take 15";
    return result;
  }
  std::array<size_t, kFields> lengths{};
  size_t sum = 0;
  for (size_t f = 0; f < kFields; ++f) {
    const std::string field = text.substr(3 * f, 3);
    for (char c : field) {
      if (c < '0' || c > '9') {
        result.error = "the length field of the " + std::string(kFieldNames[f]) + " is " +
                       Quoted(field) + ", not three digits";
        return result;
      }
    }
    lengths[f] = static_cast<size_t>(std::stoi(field));
    sum += lengths[f];
  }

  result.unit = IsValidUtf8(text) ? RecordUnit::kCharacters : RecordUnit::kBytes;
  // starts[u] is the byte offset of unit u of the values; one past the end closes it.
  std::vector<size_t> starts;
  for (size_t i = kHeaderSize; i < text.size(); ++i) {
    if (result.unit == RecordUnit::kBytes ||
        !IsUtf8Continuation(static_cast<unsigned char>(text[i]))) {
      starts.push_back(i);
    }
  }
  const size_t units = starts.size();
  starts.push_back(text.size());
  const char* unit_name = result.unit == RecordUnit::kBytes ? "bytes" : "characters";
  if (units < sum) {
    result.error = "the length fields add up to " + std::to_string(sum) + " " + unit_name +
                   " but only " + std::to_string(units) + " follow them";
    return result;
  }
  if ((units - sum) % 1000 != 0) {
    const std::string tail = text.substr(starts[sum]) + content.substr(text.size());
    result.error = "trailing data after the record: " + std::to_string(units - sum) + " " +
                   unit_name + " more than the length fields give, " + Quoted(tail);
    return result;
  }

  const auto cut = [&](const std::array<size_t, kFields>& extra) {
    std::array<std::string, kFields> v;
    size_t u = 0;
    for (size_t f = 0; f < kFields; ++f) {
      const size_t n = lengths[f] + 1000 * extra[f];
      v[f] = text.substr(starts[u], starts[u + n] - starts[u]);
      u += n;
    }
    return MachineValues{v[0], v[1], v[2], v[3], v[4]};
  };
  // A volume serial is a 32-bit number's text and never reaches 1000 characters.
  const size_t m = (units - sum) / 1000;
  result.cuts = CutCount(m);
  std::array<size_t, kFields> preferred{};
  preferred[kProductIdField] = m;
  result.values = cut(preferred);
  for (size_t a = 0; a <= m && result.candidates.size() < kMaxCandidates; ++a) {
    for (size_t b = 0; a + b <= m && result.candidates.size() < kMaxCandidates; ++b) {
      for (size_t c = 0; a + b + c <= m && result.candidates.size() < kMaxCandidates; ++c) {
        std::array<size_t, kFields> extra{};
        extra[kDiskIdentifierField] = a;
        extra[kComputerNameField] = b;
        extra[kProductIdField] = c;
        extra[kUserNameField] = m - a - b - c;
        result.candidates.push_back(cut(extra));
      }
    }
  }
  return result;
}

}  // namespace corvane
