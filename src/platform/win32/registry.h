// The registry through advapi32's "A" functions. Keys are handed to the core as small
// numbers; string data is converted between UTF-8 and the ANSI code page.
#pragma once

#include <map>

#include "platform/registry.h"

namespace corvane {

class Win32Registry : public Registry {
 public:
  Win32Registry() = default;
  ~Win32Registry() override;
  Win32Registry(const Win32Registry&) = delete;
  Win32Registry& operator=(const Win32Registry&) = delete;

  long OpenKey(RegKey root, const std::string& path, RegKey* out) override;
  long CreateKey(RegKey root, const std::string& path, RegKey* out) override;
  long QueryValue(RegKey key, const std::string& name, uint32_t* type, uint8_t* data,
                  uint32_t* size) override;
  long SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                uint32_t size) override;
  long DeleteValue(RegKey key, const std::string& name) override;
  long CloseKey(RegKey key) override;

 private:
  // The native key of a core key (a predefined root or one this object opened).
  void* Native(RegKey key) const;
  RegKey Keep(void* native);

  std::map<RegKey, void*> open_;
  RegKey next_ = 1;
};

}  // namespace corvane
