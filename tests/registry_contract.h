// The behaviour of the registry helpers that every registry backend must give.
// A backend's test file instantiates RegistryContract with a fixture type that has
// `Registry& reg()`.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/registry_helpers.h"

namespace corvane::test {

template <typename Backend>
class RegistryContract : public ::testing::Test {
 protected:
  // Stores raw bytes through the raw interface, as another program could.
  void PutRaw(const std::string& path, const std::string& name, uint32_t type,
              const std::string& bytes) {
    RegKey key = 0;
    ASSERT_EQ(backend_.reg().CreateKey(kHkeyLocalMachine, path, &key), kErrorSuccess);
    ASSERT_EQ(
        backend_.reg().SetValue(key, name, type, reinterpret_cast<const uint8_t*>(bytes.data()),
                                static_cast<uint32_t>(bytes.size())),
        kErrorSuccess);
    backend_.reg().CloseKey(key);
  }
  std::optional<std::string> Read(const std::string& path, const std::string& name) {
    return ReadRegistryString(backend_.reg(), kHkeyLocalMachine, path, name);
  }
  Backend backend_;
};

TYPED_TEST_SUITE_P(RegistryContract);

constexpr const char* kTestKey = "SOFTWARE\\Corvane Test\\Values";

TYPED_TEST_P(RegistryContract, ValueTypesAndDataShapes) {
  this->PutRaw(kTestKey, "empty", kRegSz, std::string("\0", 1));
  this->PutRaw(kTestKey, "zero bytes", kRegSz, "");
  this->PutRaw(kTestKey, "expand", kRegExpandSz, std::string("%TEMP%\0", 7));
  this->PutRaw(kTestKey, "dword", kRegDword, std::string("\x01\0\0\0", 4));
  this->PutRaw(kTestKey, "nul inside", kRegSz, std::string("abc\0def\0", 8));
  this->PutRaw(kTestKey, "no nul", kRegSz, "whole");

  EXPECT_EQ(this->Read(kTestKey, "empty"), std::optional<std::string>(""));
  EXPECT_EQ(this->Read(kTestKey, "zero bytes"), std::optional<std::string>(""));
  EXPECT_EQ(this->Read(kTestKey, "expand"), std::nullopt);
  EXPECT_EQ(this->Read(kTestKey, "dword"), std::nullopt);
  EXPECT_EQ(this->Read(kTestKey, "nul inside"), std::optional<std::string>("abc"));
  EXPECT_EQ(this->Read(kTestKey, "no nul"), std::optional<std::string>("whole"));
  EXPECT_EQ(this->Read(kTestKey, "missing"), std::nullopt);
}

TYPED_TEST_P(RegistryContract, MissingKeyReadsAbsentAndDeletesNothing) {
  const std::string nowhere = "SOFTWARE\\Corvane Test\\Nowhere\\Deeper";
  EXPECT_EQ(this->Read(nowhere, "x"), std::nullopt);
  DeleteRegistryValue(this->backend_.reg(), kHkeyLocalMachine, nowhere, "x");
  EXPECT_EQ(this->Read(nowhere, "x"), std::nullopt);
}

TYPED_TEST_P(RegistryContract, WriteCreatesKeysAndReadsBackUnchanged) {
  const std::string deep = "SOFTWARE\\Corvane Test\\New\\Deeper\\Still";
  const std::string text = "C:\\Program Files\\Corvane\\Corvane.exe = \xC3\xA9\n next";
  WriteRegistryString(this->backend_.reg(), kHkeyLocalMachine, deep, "Run Me", text);
  EXPECT_EQ(this->Read(deep, "Run Me"), std::optional<std::string>(text));
  WriteRegistryString(this->backend_.reg(), kHkeyLocalMachine, deep, "Run Me", "");
  EXPECT_EQ(this->Read(deep, "Run Me"), std::optional<std::string>(""));

  RegKey key = 0;
  EXPECT_EQ(this->backend_.reg().OpenKey(kHkeyLocalMachine, "SOFTWARE\\Corvane Test\\New", &key),
            kErrorSuccess);
  this->backend_.reg().CloseKey(key);
}

TYPED_TEST_P(RegistryContract, DeleteRemovesOnlyThatValue) {
  WriteRegistryString(this->backend_.reg(), kHkeyLocalMachine, kTestKey, "a", "1");
  WriteRegistryString(this->backend_.reg(), kHkeyLocalMachine, kTestKey, "b", "2");
  DeleteRegistryValue(this->backend_.reg(), kHkeyLocalMachine, kTestKey, "a");
  DeleteRegistryValue(this->backend_.reg(), kHkeyLocalMachine, kTestKey, "a");
  EXPECT_EQ(this->Read(kTestKey, "a"), std::nullopt);
  EXPECT_EQ(this->Read(kTestKey, "b"), std::optional<std::string>("2"));
}

TYPED_TEST_P(RegistryContract, RunValueRoundTrips) {
  const std::string command = "C:\\Tools\\Corvane.exe";
  EXPECT_EQ(this->Read(kRunKey, kRunValueName), std::nullopt);
  WriteRegistryString(this->backend_.reg(), kHkeyLocalMachine, kRunKey, kRunValueName, command);
  EXPECT_EQ(this->Read(kRunKey, kRunValueName), std::optional<std::string>(command));
  DeleteRegistryValue(this->backend_.reg(), kHkeyLocalMachine, kRunKey, kRunValueName);
  EXPECT_EQ(this->Read(kRunKey, kRunValueName), std::nullopt);
}

REGISTER_TYPED_TEST_SUITE_P(RegistryContract, ValueTypesAndDataShapes,
                            MissingKeyReadsAbsentAndDeletesNothing,
                            WriteCreatesKeysAndReadsBackUnchanged, DeleteRemovesOnlyThatValue,
                            RunValueRoundTrips);

}  // namespace corvane::test
