// String values in the registry: absent and empty stay distinct, failures are silent.
#pragma once

#include <optional>
#include <string>

#include "platform/registry.h"

namespace corvane {

inline constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValueName = "Corvane";
inline constexpr const char* kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
inline constexpr const char* kProductIdValueName = "ProductId";

std::optional<std::string> ReadRegistryString(Registry& reg, RegKey root,
                                              const std::string& key_path,
                                              const std::string& value_name);
void WriteRegistryString(Registry& reg, RegKey root, const std::string& key_path,
                         const std::string& value_name, const std::string& text);
// The delete's own status, for a caller that checks; nothing else happens on failure.
long DeleteRegistryValue(Registry& reg, RegKey root, const std::string& key_path,
                         const std::string& value_name);

}  // namespace corvane
