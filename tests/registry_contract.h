// The behaviour of the registry helpers that registry backends must give. Every backend
// gives RegistryContract, on the values the program uses; a backend that stores any key
// (Windows, the fake) also gives GeneralRegistryContract. A backend's test file
// instantiates them with a fixture type that has `Registry& reg()`.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include "platform/registry_helpers.h"

namespace corvane::test {

template <typename Backend>
class RegistryFixture : public ::testing::Test {
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

template <typename Backend>
class RegistryContract : public RegistryFixture<Backend> {};
template <typename Backend>
class GeneralRegistryContract : public RegistryFixture<Backend> {};

TYPED_TEST_SUITE_P(RegistryContract);
TYPED_TEST_SUITE_P(GeneralRegistryContract);

constexpr const char* kTestKey = "SOFTWARE\\Corvane Test\\Values";

TYPED_TEST_P(GeneralRegistryContract, ValueTypesAndDataShapes) {
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

TYPED_TEST_P(GeneralRegistryContract, WriteCreatesKeysAndReadsBackUnchanged) {
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

TYPED_TEST_P(GeneralRegistryContract, DeleteRemovesOnlyThatValue) {
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

// The data shapes of a string value, on the Run value: every backend keeps it.
TYPED_TEST_P(RegistryContract, RunValueDataShapes) {
  for (const auto& [bytes, text] : std::initializer_list<std::pair<std::string, std::string>>{
           {std::string("\0", 1), ""},
           {"", ""},
           {std::string("C:\\Tools\\Corvane.exe\0more\0", 26), "C:\\Tools\\Corvane.exe"},
           {"/opt/whole", "/opt/whole"}}) {
    this->PutRaw(kRunKey, kRunValueName, kRegSz, bytes);
    EXPECT_EQ(this->Read(kRunKey, kRunValueName), std::optional<std::string>(text));
  }
  DeleteRegistryValue(this->backend_.reg(), kHkeyLocalMachine, kRunKey, kRunValueName);
}

REGISTER_TYPED_TEST_SUITE_P(RegistryContract, MissingKeyReadsAbsentAndDeletesNothing,
                            RunValueRoundTrips, RunValueDataShapes);
REGISTER_TYPED_TEST_SUITE_P(GeneralRegistryContract, ValueTypesAndDataShapes,
                            WriteCreatesKeysAndReadsBackUnchanged, DeleteRemovesOnlyThatValue);

}  // namespace corvane::test
