// The raw registry operations the registry helpers are written on, with the
// Win32 advapi32 meaning of every argument and result code.
#pragma once

#include <cstdint>
#include <string>

namespace corvane {

using RegKey = uint32_t;  // an open key; 0 is never a valid key

constexpr RegKey kHkeyCurrentUser = 0x80000001u;
constexpr RegKey kHkeyLocalMachine = 0x80000002u;

constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorWriteProtect = 19;
constexpr long kErrorDiskFull = 112;
constexpr long kErrorMoreData = 234;

class Registry {
 public:
  virtual ~Registry() = default;
  // RegOpenKeyA: fails when the key does not exist; *out is left alone then.
  virtual long OpenKey(RegKey root, const std::string& path, RegKey* out) = 0;
  // RegCreateKeyA: opens the key, creating every missing key along the path.
  virtual long CreateKey(RegKey root, const std::string& path, RegKey* out) = 0;
  // RegQueryValueExA: with data == nullptr only *type and *size are set; with a
  // buffer smaller than the value, kErrorMoreData and *size = the value's size.
  virtual long QueryValue(RegKey key, const std::string& name, uint32_t* type, uint8_t* data,
                          uint32_t* size) = 0;
  // RegSetValueExA: stores exactly `size` bytes of `data`, replacing any value of that name.
  virtual long SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                        uint32_t size) = 0;
  virtual long DeleteValue(RegKey key, const std::string& name) = 0;
  virtual long CloseKey(RegKey key) = 0;
};

}  // namespace corvane
