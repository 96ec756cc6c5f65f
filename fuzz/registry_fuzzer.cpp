// The Linux registry store's file parser.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "fuzz_input.h"
#include "platform/linux/registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using corvane::LinuxRegistry;
  LinuxRegistry::Store store;
  try {
    store = LinuxRegistry::Parse(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const std::runtime_error&) {
    return 0;
  }
  // Whatever parses is saved and read back to the same file.
  const std::string saved = LinuxRegistry::Serialise(store);
  corvane::fuzz::Require(LinuxRegistry::Serialise(LinuxRegistry::Parse(saved)) == saved);
  return 0;
}
