#include "fakes/fake_registry.h"

#include <cstring>

namespace corvane::test {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

}  // namespace

std::string FakeRegistry::Folded(RegKey root, const std::string& path) {
  return std::to_string(root) + "\\" + Lower(path);
}

long FakeRegistry::OpenKey(RegKey root, const std::string& path, RegKey* out) {
  calls.push_back("OpenKey " + path);
  if (fail.count("OpenKey")) return kErrorAccessDenied;
  const std::string k = Folded(root, path);
  if (!keys_.count(k)) return kErrorFileNotFound;
  open_[next_] = k;
  *out = next_++;
  return kErrorSuccess;
}

long FakeRegistry::CreateKey(RegKey root, const std::string& path, RegKey* out) {
  calls.push_back("CreateKey " + path);
  if (fail.count("CreateKey")) return kErrorAccessDenied;
  // Every key along the path comes into being.
  for (size_t pos = path.find('\\'); pos != std::string::npos; pos = path.find('\\', pos + 1)) {
    keys_.insert(Folded(root, path.substr(0, pos)));
  }
  const std::string k = Folded(root, path);
  keys_.insert(k);
  open_[next_] = k;
  *out = next_++;
  return kErrorSuccess;
}

long FakeRegistry::QueryValue(RegKey key, const std::string& name, uint32_t* type, uint8_t* data,
                              uint32_t* size) {
  calls.push_back(std::string("QueryValue ") + name + (data ? " data" : " size"));
  if (fail.count("QueryValue")) return kErrorAccessDenied;
  const auto h = open_.find(key);
  if (h == open_.end()) return kErrorInvalidHandle;
  const auto vals = values_.find(h->second);
  if (vals == values_.end()) return kErrorFileNotFound;
  const auto v = vals->second.find(Lower(name));
  if (v == vals->second.end()) return kErrorFileNotFound;
  const uint32_t needed = static_cast<uint32_t>(v->second.data.size());
  if (type) *type = v->second.type;
  if (!data) {
    *size = needed;
    return kErrorSuccess;
  }
  if (*size < needed) {
    *size = needed;
    return kErrorMoreData;
  }
  std::memcpy(data, v->second.data.data(), needed);
  *size = needed;
  return kErrorSuccess;
}

long FakeRegistry::SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                            uint32_t size) {
  calls.push_back("SetValue " + name);
  if (fail.count("SetValue")) return kErrorAccessDenied;
  const auto h = open_.find(key);
  if (h == open_.end()) return kErrorInvalidHandle;
  values_[h->second][Lower(name)] = {type, std::string(reinterpret_cast<const char*>(data), size)};
  return kErrorSuccess;
}

long FakeRegistry::DeleteValue(RegKey key, const std::string& name) {
  calls.push_back("DeleteValue " + name);
  if (fail.count("DeleteValue")) return kErrorAccessDenied;
  const auto h = open_.find(key);
  if (h == open_.end()) return kErrorInvalidHandle;
  return values_[h->second].erase(Lower(name)) ? kErrorSuccess : kErrorFileNotFound;
}

long FakeRegistry::CloseKey(RegKey key) {
  calls.push_back("CloseKey");
  return open_.erase(key) ? kErrorSuccess : kErrorInvalidHandle;
}

void FakeRegistry::PutValue(RegKey root, const std::string& path, const std::string& name,
                            Value v) {
  RegKey k = 0;
  CreateKey(root, path, &k);
  CloseKey(k);
  values_[Folded(root, path)][Lower(name)] = std::move(v);
}

const FakeRegistry::Value* FakeRegistry::Find(RegKey root, const std::string& path,
                                              const std::string& name) const {
  const auto vals = values_.find(Folded(root, path));
  if (vals == values_.end()) return nullptr;
  const auto v = vals->second.find(Lower(name));
  return v == vals->second.end() ? nullptr : &v->second;
}

bool FakeRegistry::HasKey(RegKey root, const std::string& path) const {
  return keys_.count(Folded(root, path)) > 0;
}

}  // namespace corvane::test
