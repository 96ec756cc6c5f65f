// In-memory registry with Win32 result codes; any operation can be made to fail.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace corvane::test {

class FakeRegistry : public Registry {
 public:
  struct Value {
    uint32_t type = kRegSz;
    std::string data;  // raw bytes, terminating NUL included when stored with one
  };

  long OpenKey(RegKey root, const std::string& path, RegKey* out) override;
  long CreateKey(RegKey root, const std::string& path, RegKey* out) override;
  long QueryValue(RegKey key, const std::string& name, uint32_t* type, uint8_t* data,
                  uint32_t* size) override;
  long SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                uint32_t size) override;
  long DeleteValue(RegKey key, const std::string& name) override;
  long CloseKey(RegKey key) override;

  // Direct access for arranging and checking, by root and key path.
  void PutValue(RegKey root, const std::string& path, const std::string& name, Value v);
  const Value* Find(RegKey root, const std::string& path, const std::string& name) const;
  bool HasKey(RegKey root, const std::string& path) const;

  std::set<std::string> fail;      // names of operations that fail ("OpenKey", ...)
  std::vector<std::string> calls;  // every operation, in order
  size_t open_handles() const { return open_.size(); }

 private:
  static std::string Folded(RegKey root, const std::string& path);
  std::set<std::string> keys_;
  std::map<std::string, std::map<std::string, Value>> values_;
  std::map<RegKey, std::string> open_;
  RegKey next_ = 100;
};

}  // namespace corvane::test
