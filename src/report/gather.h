// Gathering the machine identity into the machine-information file.
#pragma once

namespace corvane {

struct App;

// Gathers the five values, writes the record file and puts up the mail question; or
// hands over to the driver provisioning when drive 0 cannot be identified.
void GatherMachineIdentity(App& app);

}  // namespace corvane
