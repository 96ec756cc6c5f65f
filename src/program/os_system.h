// The backends of the operating system this program is built for, and the face its wizard
// runs in.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace corvane {

class OsSystem {
 public:
  virtual ~OsSystem() = default;
  virtual Platform& platform() = 0;
  // Runs the wizard in the window when one can be shown and `text_only` is false, else
  // in the terminal; returns the process exit status.
  virtual int RunWizard(bool text_only) = 0;
};

// Defined once per operating system, in its folder under program/.
std::unique_ptr<OsSystem> CreateOsSystem();

}  // namespace corvane
