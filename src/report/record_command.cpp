#include "report/record_command.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "common/table_writer.h"
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

  // Without an identified drive there is no disk identifier, which is not an empty one.
  const auto shown = [&](const ValueField& field) { return identified || &field != kValueFields; };
  if (output.json()) {
    output.Add("record", identified ? nlohmann::ordered_json(MachineRecord(values)) : nullptr);
    for (const ValueField& field : kValueFields) {
      output.Add(field.key, shown(field) ? nlohmann::ordered_json(values.*field.value) : nullptr);
    }
  } else {
    std::ostream& out = output.text();
    if (identified) out << PaddedLabel("record") << EscapeControls(MachineRecord(values)) << "\n";
    for (const ValueField& field : kValueFields) {
      out << PaddedLabel(field.label)
          << (shown(field) ? EscapeControls(values.*field.value) : "(none)") << "\n";
    }
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
