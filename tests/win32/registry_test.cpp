// The registry helpers on Wine's real registry, through the Win32 backend.
#include "platform/win32/registry.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/registry_helpers.h"
#include "registry_contract.h"

namespace corvane::test {
namespace {

// Leaves neither the test keys nor the Run value behind: Wine starts the Run values again
// when a later test asks for a restart.
void RemoveTestEntries() {
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvane Test");
  HKEY run = nullptr;
  if (::RegOpenKeyA(HKEY_LOCAL_MACHINE, kRunKey, &run) == ERROR_SUCCESS) {
    ::RegDeleteValueA(run, kRunValueName);
    ::RegCloseKey(run);
  }
}

struct Win32Backend {
  Win32Backend() { RemoveTestEntries(); }
  ~Win32Backend() { RemoveTestEntries(); }
  Registry& reg() { return registry; }
  Win32Registry registry;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, RegistryContract, Win32Backend);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, GeneralRegistryContract, Win32Backend);

class Win32RegistryTest : public ::testing::Test {
 protected:
  Win32RegistryTest() { RemoveTestEntries(); }
  ~Win32RegistryTest() override { RemoveTestEntries(); }
  RegKey Create(const std::string& path) {
    RegKey key = 0;
    EXPECT_EQ(registry.CreateKey(kHkeyLocalMachine, path, &key), kErrorSuccess);
    return key;
  }
  Win32Registry registry;
};

TEST_F(Win32RegistryTest, SizesFollowTheQueryConventions) {
  const RegKey key = Create("SOFTWARE\\Corvane Test\\Sizes");
  const std::string value("abcdef\0", 7);
  ASSERT_EQ(registry.SetValue(key, "v", kRegSz, reinterpret_cast<const uint8_t*>(value.data()),
                              static_cast<uint32_t>(value.size())),
            kErrorSuccess);
  uint32_t type = 0;
  uint32_t size = 0;
  EXPECT_EQ(registry.QueryValue(key, "v", &type, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 7u);

  uint8_t small[3] = {};
  size = sizeof small;
  EXPECT_EQ(registry.QueryValue(key, "v", &type, small, &size), kErrorMoreData);
  EXPECT_EQ(size, 7u);

  uint8_t whole[16] = {};
  size = sizeof whole;
  EXPECT_EQ(registry.QueryValue(key, "v", &type, whole, &size), kErrorSuccess);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(whole), size), value);
  EXPECT_EQ(registry.QueryValue(key, "absent", &type, nullptr, &size), kErrorFileNotFound);
  EXPECT_EQ(registry.CloseKey(key), kErrorSuccess);
}

TEST_F(Win32RegistryTest, TextIsStoredInTheAnsiCodePage) {
  const RegKey key = Create("SOFTWARE\\Corvane Test\\Ansi");
  const std::string utf8 = "Jos\xC3\xA9";  // "José"
  ASSERT_EQ(registry.SetValue(key, "name", kRegSz, reinterpret_cast<const uint8_t*>(utf8.data()),
                              static_cast<uint32_t>(utf8.size())),
            kErrorSuccess);
  registry.CloseKey(key);

  char raw[16] = {};
  HKEY native = nullptr;
  ASSERT_EQ(::RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvane Test\\Ansi", &native),
            ERROR_SUCCESS);
  DWORD type = 0;
  DWORD bytes = sizeof raw;
  ASSERT_EQ(
      ::RegQueryValueExA(native, "name", nullptr, &type, reinterpret_cast<BYTE*>(raw), &bytes),
      ERROR_SUCCESS);
  ::RegCloseKey(native);
  char expected[8] = {};
  const wchar_t wide[] = L"Jos\u00e9";
  ::WideCharToMultiByte(CP_ACP, 0, wide, -1, expected, sizeof expected, nullptr, nullptr);
  // The "A" query may add the terminating NUL that the stored text lacked.
  ASSERT_GE(bytes, 4u);
  EXPECT_EQ(std::string(raw, 4), std::string(expected, 4));
}

// The Run value names a program folder the ANSI code page cannot hold: it is written and
// read in UTF-16, so the restart starts the real program and the check after writing holds.
TEST_F(Win32RegistryTest, TextOutsideTheAnsiCodePageKeepsItsLetters) {
  const std::string program = "C:\\Users\\\xC5\x82ukasz\\Corvane.exe";  // łukasz
  WriteRegistryString(registry, kHkeyLocalMachine, kRunKey, kRunValueName, program);
  EXPECT_EQ(ReadRegistryString(registry, kHkeyLocalMachine, kRunKey, kRunValueName), program);

  HKEY run = nullptr;
  ASSERT_EQ(::RegOpenKeyA(HKEY_LOCAL_MACHINE, kRunKey, &run), ERROR_SUCCESS);
  wchar_t raw[64] = {};
  DWORD bytes = sizeof raw;
  EXPECT_EQ(
      ::RegQueryValueExW(run, L"Corvane", nullptr, nullptr, reinterpret_cast<BYTE*>(raw), &bytes),
      ERROR_SUCCESS);
  ::RegCloseKey(run);
  EXPECT_EQ(std::wstring(raw), L"C:\\Users\\\u0142ukasz\\Corvane.exe");

  // What the code page holds still goes through the "A" function, as before.
  const std::string ansi_program = "C:\\Jos\xC3\xA9\\Corvane.exe";
  WriteRegistryString(registry, kHkeyLocalMachine, kRunKey, kRunValueName, ansi_program);
  EXPECT_EQ(ReadRegistryString(registry, kHkeyLocalMachine, kRunKey, kRunValueName), ansi_program);
}

TEST_F(Win32RegistryTest, UnknownKeysAreRefused) {
  RegKey key = 0;
  EXPECT_EQ(registry.OpenKey(12345, "SOFTWARE", &key), kErrorInvalidHandle);
  EXPECT_EQ(registry.CloseKey(12345), kErrorInvalidHandle);
  EXPECT_EQ(registry.OpenKey(kHkeyLocalMachine, "SOFTWARE\\Corvane Test\\Nowhere", &key),
            kErrorFileNotFound);
  EXPECT_EQ(key, 0u);
}

}  // namespace
}  // namespace corvane::test
