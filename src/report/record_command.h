// `corvane record`: the machine record and its five values, for support staff's scripts.
// Writes no file and changes neither the registry nor the marker.
#pragma once

#include "common/verb_output.h"

namespace corvane {

struct Platform;

// Prints the record and the values (as JSON in JSON mode); returns the exit status:
// 0, or 1 when drive 0 has no usable identity and so there is no record.
int PrintMachineRecord(Platform& os, VerbOutput& output);

}  // namespace corvane
