// `corvane identify`: one drive's identity and SMART attributes, from the drive or a capture.
#pragma once

#include <iosfwd>
#include <string>

#include "platform/smart_device.h"

namespace corvane {

struct IdentifyOptions {
  int drive = 0;
  bool json = false;
  std::string save;  // write the drive's answers here as a capture
  std::string load;  // decode this capture instead of `system_device`
};

// Exit status: 0 for a usable drive, 1 for DriveType 0 or a file that cannot be used.
int RunIdentifyCommand(SmartDevice& system_device, const IdentifyOptions& options,
                       std::ostream& out, std::ostream& err);

}  // namespace corvane
