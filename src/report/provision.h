// Putting the SMART driver in place and restarting the machine with an automatic restart.
#pragma once

#include <string>

namespace corvane {

struct App;

inline constexpr const char* kDriverFileName = "smartvsd.vxd";
inline constexpr const char* kDriverFolderName = "iosubsys";

// Copies the driver beside the program into the system folder's iosubsys folder and
// leaves the marker, then puts up stage "8"; stage "6" when there is no driver to copy,
// stage "7" when the copy or the marker fails.
void ProvisionSmartDriver(App& app, const std::string& program_folder,
                          const std::string& system_folder);

// Writes the Run value and asks the system to restart the machine. When the system
// refuses, tells the user to restart by hand and ends the program; the Run value stays.
void RebootWithAutoStart(App& app);

}  // namespace corvane
