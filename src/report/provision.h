// Putting the SMART driver in place and restarting the machine with an automatic restart.
#pragma once

namespace corvane {

struct App;

// Writes the Run value and asks the system to restart the machine.
void RebootWithAutoStart(App& app);

}  // namespace corvane
