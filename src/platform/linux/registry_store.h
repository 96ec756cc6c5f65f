// The registry on Linux: typed values kept in one text file under the user's config
// folder, with the Run value "Corvane" as an XDG autostart entry and ProductId read
// as the machine's application-specific id. Security and other per-key attributes are not
// kept.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace corvane {

struct RegistryStoreOptions {
  std::string config_folder;  // $XDG_CONFIG_HOME or ~/.config
  std::vector<std::string> machine_id_files = {"/etc/machine-id", "/var/lib/dbus/machine-id"};
};

// The config folder of the user: $XDG_CONFIG_HOME, else $HOME/.config.
std::string DefaultConfigFolder();

class LinuxRegistry : public Registry {
 public:
  explicit LinuxRegistry(RegistryStoreOptions options);

  long OpenKey(RegKey root, const std::string& path, RegKey* out) override;
  long CreateKey(RegKey root, const std::string& path, RegKey* out) override;
  long QueryValue(RegKey key, const std::string& name, uint32_t* type, uint8_t* data,
                  uint32_t* size) override;
  long SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                uint32_t size) override;
  long DeleteValue(RegKey key, const std::string& name) override;
  long CloseKey(RegKey key) override;

  std::string StoreFile() const;
  std::string AutostartFile() const;

  // One stored value; also the unit of the file format.
  struct Value {
    uint32_t type = kRegNone;
    std::string data;
  };
  // Key paths are "ROOT\path" in their first spelling; lookups ignore ASCII case.
  struct Store {
    std::map<std::string, std::string> keys;  // folded -> spelling
    std::map<std::string, std::map<std::string, std::pair<std::string, Value>>> values;
  };
  // The file format, exposed for the tests: Parse throws std::runtime_error on bad input.
  static std::string Serialise(const Store& store);
  static Store Parse(const std::string& text);

 private:
  struct OpenedKey {
    std::string path;  // "ROOT\path", as opened
  };
  bool Resolve(RegKey base, const std::string& sub, std::string* full) const;
  Store Load();
  // Runs `body` on the store loaded under the store's lock; a failed save is access denied.
  // Only `writing` creates the store's folder.
  template <typename Body>
  long Locked(Body body, bool writing = false);
  void Save(const Store& store);
  bool KeyExists(const Store& store, const std::string& full) const;

  RegistryStoreOptions options_;
  std::mutex mutex_;
  std::map<RegKey, OpenedKey> open_;
  RegKey next_handle_ = 1;
};

}  // namespace corvane
