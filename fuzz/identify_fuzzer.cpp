// IDENTIFY and SMART decoding through a driver answering arbitrary device maps and sectors.
#include <cstdint>

#include "disk/drive_identity.h"
#include "disk/identity_report.h"
#include "fakes/scripted_smart_device.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvane;
  fuzz::Input in(data, size);
  test::ScriptedSmartDevice device;
  device.device_map = in.Byte();
  const uint8_t flags = in.Byte();
  device.platform_id = (flags & 1) ? 1u : 2u;
  device.scribble_on_failure = flags & 2;
  if (flags & 4) device.fail.insert("Enable");
  if (flags & 8) device.fail.insert("ReadData");
  if (flags & 16) device.fail.insert("ReadThresholds");
  if (flags & 32) device.fail.insert("GetVersion");
  const int drives = 1 + (flags >> 6);
  for (int d = 0; d < drives; ++d) {
    test::ScriptedDrive& drive = device.drives[d];
    in.Fill(drive.identify.data(), drive.identify.size());
    in.Fill(drive.smart_data.data(), drive.smart_data.size());
    in.Fill(drive.thresholds.data(), drive.thresholds.size());
  }
  for (int32_t d = 0; d < 4; ++d) {
    const DriveIdentity identity = GetDriveIdentity(device, d);
    FormatIdentityText(identity, d);
    IdentityJson(identity, d).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }
  fuzz::Require(device.open_handles.empty());  // every handle opened is closed
  return 0;
}
