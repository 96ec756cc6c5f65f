#include "report/record_command.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "disk/drive_identity.h"
#include "platform/platform.h"
#include "report/machine_record.h"

namespace corvane {

int PrintMachineRecord(Platform& os, bool json, std::ostream& out, std::ostream& err) {
  MachineValues values = ReadSystemValues(os);
  const DriveIdentity drive = GetDriveIdentity(os.smart, 0);
  const bool identified = drive.DriveType == kDriveTypeAta || drive.DriveType == kDriveTypeAtapi;
  if (identified) values.disk_identifier = DiskIdentifier(drive, os.system);

  if (json) {
    nlohmann::ordered_json doc;
    doc["record"] = identified ? nlohmann::ordered_json(MachineRecord(values)) : nullptr;
    doc["disk_identifier"] = identified ? nlohmann::ordered_json(values.disk_identifier) : nullptr;
    doc["volume_serial"] = values.volume_serial;
    doc["computer_name"] = values.computer_name;
    doc["product_id"] = values.product_id;
    doc["user_name"] = values.user_name;
    out << doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  } else {
    if (identified) out << "record:           " << MachineRecord(values) << "\n";
    out << "disk identifier:  " << (identified ? values.disk_identifier : "(none)") << "\n"
        << "volume serial:    " << values.volume_serial << "\n"
        << "computer name:    " << values.computer_name << "\n"
        << "product id:       " << values.product_id << "\n"
        << "user name:        " << values.user_name << "\n";
  }
  if (!identified) {
    err << "corvane record: drive 0 has no usable identity, so there is no record "
           "(the wizard would put the SMART driver in place)\n";
    return 1;
  }
  return 0;
}

}  // namespace corvane
