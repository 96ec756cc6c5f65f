// The capture reader, and the decoding of whatever it accepts.
#include <cstdint>
#include <string>

#include "disk/capture.h"
#include "disk/drive_identity.h"
#include "disk/identity_report.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvane;
  DriveCapture capture;
  try {
    capture = ParseCapture(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const CaptureError&) {
    return 0;
  }
  // What was read is written back and read again unchanged.
  const std::string written = WriteCapture(capture);
  const DriveCapture again = ParseCapture(written);
  fuzz::Require(again.identify == capture.identify && again.status == capture.status &&
                again.smart_data == capture.smart_data && again.thresholds == capture.thresholds);
  CaptureSmartDevice device(capture);
  const DriveIdentity identity = GetDriveIdentity(device, 0);
  FormatIdentityText(identity, 0);
  IdentityJson(identity, 0).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return 0;
}
