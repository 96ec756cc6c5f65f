// The free-format reading of the language file's first item.
#include <cstdint>
#include <string>

#include "form/language_file.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvane;
  const std::string content(reinterpret_cast<const char*>(data), size);
  const std::optional<std::string> item = FirstFreeFormatItem(content);
  // A number's plain decimal text reads back as itself.
  if (item && ParseNumber(content.substr(0, content.find_first_of(",\r\n")))) {
    fuzz::Require(FirstFreeFormatItem(*item) == item);
  }
  ParseNumber(content);
  return 0;
}
