#include <gtest/gtest.h>

#include "fakes/fake_registry.h"
#include "registry_contract.h"

namespace corvane::test {
namespace {

struct FakeBackend {
  Registry& reg() { return fake; }
  FakeRegistry fake;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Fake, RegistryContract, FakeBackend);
INSTANTIATE_TYPED_TEST_SUITE_P(Fake, GeneralRegistryContract, FakeBackend);

TEST(RegistryHelpers, EveryHelperClosesTheKeyItOpened) {
  FakeRegistry reg;
  WriteRegistryString(reg, kHkeyLocalMachine, kRunKey, kRunValueName, "x");
  ReadRegistryString(reg, kHkeyLocalMachine, kRunKey, kRunValueName);
  DeleteRegistryValue(reg, kHkeyLocalMachine, kRunKey, kRunValueName);
  EXPECT_EQ(reg.open_handles(), 0u);
}

TEST(RegistryHelpers, FailuresAreSilent) {
  FakeRegistry reg;
  reg.PutValue(kHkeyLocalMachine, kRunKey, kRunValueName, {kRegSz, std::string("x\0", 2)});
  reg.fail = {"QueryValue", "SetValue", "DeleteValue"};
  EXPECT_EQ(ReadRegistryString(reg, kHkeyLocalMachine, kRunKey, kRunValueName), std::nullopt);
  WriteRegistryString(reg, kHkeyLocalMachine, kRunKey, "other", "y");
  DeleteRegistryValue(reg, kHkeyLocalMachine, kRunKey, kRunValueName);
  reg.fail.clear();
  EXPECT_EQ(ReadRegistryString(reg, kHkeyLocalMachine, kRunKey, kRunValueName),
            std::optional<std::string>("x"));
  EXPECT_EQ(reg.Find(kHkeyLocalMachine, kRunKey, "other"), nullptr);
}

TEST(RegistryHelpers, WriteStoresTheTerminatingNul) {
  FakeRegistry reg;
  WriteRegistryString(reg, kHkeyLocalMachine, kRunKey, kRunValueName, "ab");
  const FakeRegistry::Value* v = reg.Find(kHkeyLocalMachine, kRunKey, kRunValueName);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->type, kRegSz);
  EXPECT_EQ(v->data, std::string("ab\0", 3));
}

}  // namespace
}  // namespace corvane::test
