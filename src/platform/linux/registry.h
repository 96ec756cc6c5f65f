// The registry on Linux holds only the two values the program uses: the Run value "Corvane"
// is the XDG autostart entry, and ProductId is the machine's application-specific id, read
// only. Every other key
// and value reads as absent and refuses writes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace corvane {

struct LinuxRegistryOptions {
  std::string config_folder;  // $XDG_CONFIG_HOME or ~/.config when empty
  std::vector<std::string> machine_id_files = {"/etc/machine-id", "/var/lib/dbus/machine-id"};
};

// The machine's id: the first of `files` that holds one, without white space around it.
std::optional<std::string> ReadMachineId(const std::vector<std::string>& files);

class LinuxRegistry : public Registry {
 public:
  explicit LinuxRegistry(LinuxRegistryOptions options = {});

  long OpenKey(RegKey root, const std::string& path, RegKey* out) override;
  long CreateKey(RegKey root, const std::string& path, RegKey* out) override;
  long QueryValue(RegKey key, const std::string& name, uint32_t* type, uint8_t* data,
                  uint32_t* size) override;
  long SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                uint32_t size) override;
  long DeleteValue(RegKey key, const std::string& name) override;
  long CloseKey(RegKey key) override;

  std::string AutostartFile() const;

 private:
  LinuxRegistryOptions options_;
};

}  // namespace corvane
