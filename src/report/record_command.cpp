#include "report/record_command.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "common/text.h"
#include "disk/drive_identity.h"
#include "platform/platform.h"
#include "report/machine_record.h"

namespace corvane {

int PrintMachineRecord(Platform& os, VerbOutput& output) {
  MachineValues values = ReadSystemValues(os);
  const DriveIdentity drive = GetDriveIdentity(os.smart, 0);
  const bool identified = drive.DriveType == kDriveTypeAta || drive.DriveType == kDriveTypeAtapi;
  if (identified) values.disk_identifier = DiskIdentifier(drive, os.system);

  if (output.json()) {
    output.Add("record", identified ? nlohmann::ordered_json(MachineRecord(values)) : nullptr);
    output.Add("disk_identifier",
               identified ? nlohmann::ordered_json(values.disk_identifier) : nullptr);
    output.Add("volume_serial", values.volume_serial);
    output.Add("computer_name", values.computer_name);
    output.Add("product_id", values.product_id);
    output.Add("user_name", values.user_name);
  } else {
    std::ostream& out = output.text();
    if (identified) out << "record:           " << EscapeControls(MachineRecord(values)) << "\n";
    out << "disk identifier:  " << (identified ? EscapeControls(values.disk_identifier) : "(none)")
        << "\n"
        << "volume serial:    " << values.volume_serial << "\n"
        << "computer name:    " << EscapeControls(values.computer_name) << "\n"
        << "product id:       " << EscapeControls(values.product_id) << "\n"
        << "user name:        " << EscapeControls(values.user_name) << "\n";
  }
  if (!identified) {
    output.Say(Severity::kError,
               "drive 0 has no usable identity, so there is no record "
               "(the wizard would put the SMART driver in place)");
    return output.Finish(1);
  }
  return output.Finish(0);
}

}  // namespace corvane
