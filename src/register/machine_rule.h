// Which known machine a report comes from, and what changed between two reports of one
// machine. The one place of the rule; the verbs and the register's storage only ask it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/machine_record.h"

namespace corvane {

// disk: an equal real disk serial alone; most: an equal real disk serial, or at least three
// of the five values equal (a different real disk serial counting against); all: all five.
enum class MatchMode { kDisk, kMost, kAll };

struct KnownMachine {
  int64_t id = 0;
  MachineValues latest;
};

// What tells machines apart. A product id that the latest reports of several machines carry
// (a volume-licensed image) does not, nor does an empty value or a placeholder disk id.
struct Evidence {
  bool product_shared = false;
};

bool IsRealDiskIdentifier(const std::string& disk_identifier);

// The machines `values` joins: none (a new machine), one, or several (a conflict).
std::vector<int64_t> MatchingMachines(const MachineValues& values,
                                      const std::vector<KnownMachine>& candidates,
                                      const Evidence& evidence, MatchMode mode);

// What changed from `before` to `after`, in words: "disk replaced", "volume serial changed
// (reformatted or reinstalled)", "renamed", "product id changed (reinstalled)", "another user".
std::vector<std::string> Changes(const MachineValues& before, const MachineValues& after);

}  // namespace corvane
