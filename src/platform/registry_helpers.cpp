#include "platform/registry_helpers.h"

#include <cstdint>
#include <vector>

namespace corvane {

std::optional<std::string> ReadRegistryString(Registry& reg, RegKey root,
                                              const std::string& key_path,
                                              const std::string& value_name) {
  RegKey key = 0;
  reg.OpenKey(root, key_path, &key);  // a missing key makes the query below fail
  uint32_t type = 0;
  uint32_t size = 0;
  reg.QueryValue(key, value_name, &type, nullptr, &size);
  std::optional<std::string> result;
  if (type == kRegSz) {
    std::vector<uint8_t> buffer(size, ' ');
    type = 0;
    if (reg.QueryValue(key, value_name, &type, buffer.data(), &size) == kErrorSuccess) {
      std::string text(buffer.begin(), buffer.end());
      // Data stored without a terminating NUL is taken whole.
      result = text.substr(0, text.find('\0'));
    }
  }
  reg.CloseKey(key);
  return result;
}

void WriteRegistryString(Registry& reg, RegKey root, const std::string& key_path,
                         const std::string& value_name, const std::string& text) {
  RegKey key = 0;
  reg.CreateKey(root, key_path, &key);
  // The size counts the terminating NUL, which c_str() provides.
  reg.SetValue(key, value_name, kRegSz, reinterpret_cast<const uint8_t*>(text.c_str()),
               static_cast<uint32_t>(text.size() + 1));
  reg.CloseKey(key);
}

long DeleteRegistryValue(Registry& reg, RegKey root, const std::string& key_path,
                         const std::string& value_name) {
  RegKey key = 0;
  reg.OpenKey(root, key_path, &key);
  const long status = reg.DeleteValue(key, value_name);
  reg.CloseKey(key);
  return status;
}

}  // namespace corvane
