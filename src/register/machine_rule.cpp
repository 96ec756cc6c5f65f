#include "register/machine_rule.h"

namespace corvane {

namespace {

constexpr int kMostValues = 3;

const std::string* Field(const MachineValues& v, int i) { return &(v.*kValueFields[i].value); }

bool Evidential(const MachineValues& v, int field, const Evidence& evidence) {
  const std::string& value = *Field(v, field);
  if (value.empty()) return false;
  if (field == 0) return IsRealDiskIdentifier(value);
  if (field == 3) return !evidence.product_shared;
  return true;
}

bool Joins(const MachineValues& v, const MachineValues& known, const Evidence& evidence,
           MatchMode mode) {
  const bool same_disk =
      IsRealDiskIdentifier(v.disk_identifier) && v.disk_identifier == known.disk_identifier;
  if (mode == MatchMode::kDisk) return same_disk;
  if (mode == MatchMode::kAll) {
    for (int f = 0; f < 5; ++f) {
      if (*Field(v, f) != *Field(known, f)) return false;
    }
    return true;
  }
  if (same_disk) return true;
  // Two real serials that differ are two disks: a clone of the image on another PC agrees on
  // everything else, a replaced disk keeps the computer's other four values.
  int score = IsRealDiskIdentifier(v.disk_identifier) && IsRealDiskIdentifier(known.disk_identifier)
                  ? -1
                  : 0;
  for (int f = 1; f < 5; ++f) {
    if (Evidential(v, f, evidence) && *Field(v, f) == *Field(known, f)) ++score;
  }
  return score >= kMostValues;
}

}  // namespace

bool IsRealDiskIdentifier(const std::string& disk_identifier) {
  return KindOfDiskIdentifier(disk_identifier) == DiskIdentifierKind::kSerial;
}

std::vector<int64_t> MatchingMachines(const MachineValues& values,
                                      const std::vector<KnownMachine>& candidates,
                                      const Evidence& evidence, MatchMode mode) {
  std::vector<int64_t> joined;
  for (const KnownMachine& m : candidates) {
    if (Joins(values, m.latest, evidence, mode)) joined.push_back(m.id);
  }
  return joined;
}

std::vector<std::string> Changes(const MachineValues& before, const MachineValues& after) {
  static const char* const kWords[] = {
      "disk replaced", "volume serial changed (reformatted or reinstalled)", "renamed",
      "product id changed (reinstalled)", "another user"};
  std::vector<std::string> changes;
  for (int f = 0; f < 5; ++f) {
    if (*Field(before, f) != *Field(after, f)) changes.push_back(kWords[f]);
  }
  return changes;
}

}  // namespace corvane
