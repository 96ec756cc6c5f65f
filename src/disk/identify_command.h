// `corvane identify`: one drive's identity and SMART attributes, from the drive or a capture.
#pragma once

#include <string>

#include "common/verb_output.h"
#include "platform/smart_device.h"

namespace corvane {

struct IdentifyOptions {
  int drive = 0;
  bool json = false;
  std::string save;  // write the drive's answers here as a capture
  std::string load;  // decode this capture instead of `system_device`
};

// Exit status: 0 for a usable drive, 1 for DriveType 0 or a file that cannot be used.
// With --json the identity's keys and any failure go into one object.
int RunIdentifyCommand(SmartDevice& system_device, const IdentifyOptions& options,
                       VerbOutput& output);

}  // namespace corvane
