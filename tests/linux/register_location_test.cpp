// The register's location as messages and the JSON's argv show it: never a password.
#include <gtest/gtest.h>

#include "platform/register_database.h"

namespace corvane::test {
namespace {

TEST(RegisterLocation, APasswordAmongTheAddressParametersIsMasked) {
  const struct {
    const char* given;
    const char* shown;
  } cases[] = {
      {"postgresql://corvane@db.example/fleet?sslmode=require&password=Sesame-7f3q",
       "postgresql://corvane@db.example/fleet?sslmode=require&password=***"},
      {"postgres:///fleet?host=/run/pg&password=Sesame-7f3q&port=5433",
       "postgres:///fleet?host=/run/pg&password=***&port=5433"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShownRegisterLocation(c.given), c.shown) << c.given;
}

}  // namespace
}  // namespace corvane::test
