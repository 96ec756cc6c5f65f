// The product id on Linux: the machine's application-specific id, derived from the machine
// id as systemd's sd_id128_get_machine_app_specific() derives it, so the raw machine id
// (which machine-id(5) asks not to expose) never leaves the machine. Computed here rather
// than through libsystemd, whose libraries would take every verb above its memory budget.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace corvane {

// Corvane's own application id, fixed for good: changing it changes every product id.
inline constexpr const char* kCorvaneAppId = "b343d27a682e4cf3b7ac0cb8e78fd7d9";

using Sha256Digest = std::array<uint8_t, 32>;
Sha256Digest Sha256(const std::string& bytes);
Sha256Digest HmacSha256(const std::string& key, const std::string& message);

// The application-specific id of the machine id given as 32 hexadecimal digits (a machine-id
// file's content, its line break included), as 32 lower-case hexadecimal digits; nothing for
// a text that is no machine id, or the all-zero one.
std::optional<std::string> AppSpecificId(const std::string& machine_id_text,
                                         const std::string& app_id = kCorvaneAppId);

}  // namespace corvane
