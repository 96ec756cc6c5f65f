// Stand-ins until the machine report lands: the form stays as it is.
#include "report/gather.h"
#include "report/provision.h"

namespace corvane {

void GatherMachineIdentity(App&) {}
void RebootWithAutoStart(App&) {}

}  // namespace corvane
