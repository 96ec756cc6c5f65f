// `corvane identify`'s two views of a DriveIdentity: a table for people and JSON for scripts.
#pragma once

#include <cstdint>
#include <string>

#include "disk/drive_identity.h"

namespace corvane {

// Texts trimmed and made printable, then the attribute table.
std::string FormatIdentityText(const DriveIdentity& identity, int32_t drive);
// One JSON object; the texts are given whole (padding included), bytes of 0x80 and above
// read as Latin-1, and only the `AttributeCount` recorded attributes are listed.
std::string FormatIdentityJson(const DriveIdentity& identity, int32_t drive);

}  // namespace corvane
