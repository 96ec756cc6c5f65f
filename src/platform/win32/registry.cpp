// Registry access with RegOpenKeyA, RegCreateKeyA, RegQueryValueExA, RegSetValueExA,
// RegDeleteValueA and RegCloseKey. Only HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are roots.
// A text the ANSI code page cannot hold (a program folder named in another alphabet) goes
// through RegSetValueExW and RegQueryValueExW, so that it comes back as it was written.
#include "platform/win32/registry.h"

#include <windows.h>

#include <cstring>
#include <optional>
#include <string>

#include "platform/win32/ansi.h"

namespace corvane {

namespace {

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// A text value in UTF-8 from its UTF-16 form; nothing when it cannot be read.
std::optional<std::string> WideText(HKEY key, const std::wstring& name) {
  DWORD size = 0;
  if (::RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  if (::RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                         &got) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  data.resize(got / sizeof(wchar_t));
  return WideToUtf8(data);
}

}  // namespace

Win32Registry::~Win32Registry() {
  for (const auto& [key, native] : open_) ::RegCloseKey(static_cast<HKEY>(native));
}

void* Win32Registry::Native(RegKey key) const {
  if (key == kHkeyCurrentUser) return HKEY_CURRENT_USER;
  if (key == kHkeyLocalMachine) return HKEY_LOCAL_MACHINE;
  const auto it = open_.find(key);
  return it == open_.end() ? nullptr : it->second;
}

RegKey Win32Registry::Keep(void* native) {
  const RegKey key = next_++;
  open_[key] = native;
  return key;
}

long Win32Registry::OpenKey(RegKey root, const std::string& path, RegKey* out) {
  void* parent = Native(root);
  if (!parent) return kErrorInvalidHandle;
  HKEY key = nullptr;
  const LONG rc = ::RegOpenKeyA(static_cast<HKEY>(parent), Utf8ToAnsi(path).c_str(), &key);
  if (rc == ERROR_SUCCESS) *out = Keep(key);
  return rc;
}

long Win32Registry::CreateKey(RegKey root, const std::string& path, RegKey* out) {
  void* parent = Native(root);
  if (!parent) return kErrorInvalidHandle;
  HKEY key = nullptr;
  const LONG rc = ::RegCreateKeyA(static_cast<HKEY>(parent), Utf8ToAnsi(path).c_str(), &key);
  if (rc == ERROR_SUCCESS) *out = Keep(key);
  return rc;
}

long Win32Registry::QueryValue(RegKey key, const std::string& name, uint32_t* type, uint8_t* data,
                               uint32_t* size) {
  void* native = Native(key);
  if (!native) return kErrorInvalidHandle;
  const std::string ansi_name = Utf8ToAnsi(name);
  // The whole value is read first: its UTF-8 form, whose size the caller sees, can differ
  // from the ANSI bytes the system holds.
  DWORD raw_type = 0;
  DWORD raw_size = 0;
  LONG rc = ::RegQueryValueExA(static_cast<HKEY>(native), ansi_name.c_str(), nullptr, &raw_type,
                               nullptr, &raw_size);
  std::string raw;
  while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
    raw.assign(raw_size, '\0');
    DWORD got = raw_size;
    rc = ::RegQueryValueExA(static_cast<HKEY>(native), ansi_name.c_str(), nullptr, &raw_type,
                            reinterpret_cast<BYTE*>(raw.data()), &got);
    if (rc == ERROR_SUCCESS) {
      raw.resize(got);
      break;
    }
    if (rc != ERROR_MORE_DATA) break;
    raw_size = got > raw_size ? got : raw_size * 2 + 16;  // the value grew meanwhile
  }
  if (rc != ERROR_SUCCESS) return rc;

  std::string value = raw;
  if (IsText(raw_type)) {
    value = AnsiToUtf8(raw);
    const std::optional<std::string> wide = WideText(static_cast<HKEY>(native), Utf8ToWide(name));
    if (wide && !AnsiHolds(*wide)) value = *wide;
  }
  if (type) *type = raw_type;
  if (!size) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  const auto needed = static_cast<uint32_t>(value.size());
  if (data && *size < needed) {
    *size = needed;
    return kErrorMoreData;
  }
  if (data && needed > 0) std::memcpy(data, value.data(), needed);
  *size = needed;
  return kErrorSuccess;
}

long Win32Registry::SetValue(RegKey key, const std::string& name, uint32_t type,
                             const uint8_t* data, uint32_t size) {
  void* native = Native(key);
  if (!native) return kErrorInvalidHandle;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (IsText(type) && !AnsiHolds(bytes)) {
    const std::wstring wide = Utf8ToWide(bytes);
    return ::RegSetValueExW(static_cast<HKEY>(native), Utf8ToWide(name).c_str(), 0, type,
                            reinterpret_cast<const BYTE*>(wide.data()),
                            static_cast<DWORD>(wide.size() * sizeof(wchar_t)));
  }
  if (IsText(type)) bytes = Utf8ToAnsi(bytes);
  return ::RegSetValueExA(static_cast<HKEY>(native), Utf8ToAnsi(name).c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size()));
}

long Win32Registry::DeleteValue(RegKey key, const std::string& name) {
  void* native = Native(key);
  if (!native) return kErrorInvalidHandle;
  return ::RegDeleteValueA(static_cast<HKEY>(native), Utf8ToAnsi(name).c_str());
}

long Win32Registry::CloseKey(RegKey key) {
  const auto it = open_.find(key);
  if (it == open_.end()) return kErrorInvalidHandle;
  const LONG rc = ::RegCloseKey(static_cast<HKEY>(it->second));
  open_.erase(it);
  return rc;
}

}  // namespace corvane
