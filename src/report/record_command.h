// `corvane record`: the machine record and its five values, for support staff's scripts.
// Writes no file and changes neither the registry nor the marker.
#pragma once

#include <iosfwd>

namespace corvane {

struct Platform;

// Prints the record and the values (as JSON with `json`); returns the exit status:
// 0, or 1 when drive 0 has no usable identity and so there is no record.
int PrintMachineRecord(Platform& os, bool json, std::ostream& out, std::ostream& err);

}  // namespace corvane
