// `corvane identify`'s two views of a DriveIdentity: a table for people and JSON for scripts.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "disk/drive_identity.h"

namespace corvane {

// Texts trimmed and made printable, then the attribute table.
std::string FormatIdentityText(const DriveIdentity& identity, int32_t drive);
// The JSON keys of `corvane identify`: each text trimmed and beside it whole (padding
// included), bytes of 0x80 and above read as Latin-1; only the `AttributeCount` recorded
// attributes are listed.
nlohmann::ordered_json IdentityJson(const DriveIdentity& identity, int32_t drive);

}  // namespace corvane
