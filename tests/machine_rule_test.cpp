// The register's machine rule: which known machines a report joins, under each --match.
#include "register/machine_rule.h"

#include <gtest/gtest.h>

namespace corvane::test {
namespace {

using Ids = std::vector<int64_t>;

TEST(MachineRule, JoinsMachinesAsEachMatchModeSays) {
  // Machine 1 and machine 2 as their latest reports give them.
  const std::vector<KnownMachine> known = {{1, {"WD-1", "1111", "PC-1", "PID-1", "ANA"}},
                                           {2, {"WD-2", "2222", "PC-2", "PID-2", "BEA"}}};
  struct Case {
    const char* what;
    MachineValues report;
    bool product_shared;
    Ids disk, most, all;
  };
  const Case cases[] = {
      {"same machine", {"WD-1", "1111", "PC-1", "PID-1", "ANA"}, false, {1}, {1}, {1}},
      {"disk replaced", {"WD-3", "1111", "PC-1", "PID-1", "ANA"}, false, {}, {1}, {}},
      {"reinstalled", {"WD-1", "3333", "PC-1", "PID-3", "ANA"}, false, {1}, {1}, {}},
      {"renamed", {"WD-1", "1111", "PC-9", "PID-1", "ANA"}, false, {1}, {1}, {}},
      {"renamed, no disk identity",
       {"NOTAVAIL", "1111", "PC-9", "PID-1", "ANA"},
       false,
       {},
       {1},
       {}},
      // A copy of machine 1's disk image on another PC: its own disk and name.
      {"cloned image", {"WD-3", "1111", "PC-7", "PID-1", "ANA"}, false, {}, {}, {}},
      // A volume-licensed product id that several machines carry tells nothing.
      {"shared product id", {"NOTAVAIL", "1111", "PC-9", "PID-1", "ANA"}, true, {}, {}, {}},
      {"conflict", {"WD-1", "2222", "PC-2", "PID-2", "BEA"}, false, {1}, {1, 2}, {}},
      {"new machine", {"WD-9", "9999", "PC-99", "PID-9", "GIL"}, false, {}, {}, {}},
  };
  for (const Case& c : cases) {
    Evidence evidence;
    evidence.product_shared = c.product_shared;
    EXPECT_EQ(MatchingMachines(c.report, known, evidence, MatchMode::kDisk), c.disk) << c.what;
    EXPECT_EQ(MatchingMachines(c.report, known, evidence, MatchMode::kMost), c.most) << c.what;
    EXPECT_EQ(MatchingMachines(c.report, known, evidence, MatchMode::kAll), c.all) << c.what;
  }
}

}  // namespace
}  // namespace corvane::test
