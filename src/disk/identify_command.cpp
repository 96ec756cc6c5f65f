#include "disk/identify_command.h"

#include <optional>
#include <ostream>

#include "disk/capture.h"
#include "disk/drive_identity.h"
#include "disk/identity_report.h"
#include "platform/files.h"

namespace corvane {

// Exit status: 0 for a usable drive, 1 for DriveType 0 or a file that cannot be used.
int RunIdentifyCommand(SmartDevice& system_device, const IdentifyOptions& options,
                       std::ostream& out, std::ostream& err) {
  std::optional<CaptureSmartDevice> capture_device;
  if (!options.load.empty()) {
    try {
      capture_device.emplace(ParseCapture(ReadFileBytes(options.load, FileKind::kCapture)));
    } catch (const FileError& e) {
      err << "corvane identify: cannot read " << e.what() << "\n";
      return 1;
    } catch (const CaptureError& e) {
      err << "corvane identify: " << options.load << " is not a drive capture: " << e.what()
          << "\n";
      return 1;
    }
  }
  SmartDevice& source = capture_device ? static_cast<SmartDevice&>(*capture_device)
                                       : static_cast<SmartDevice&>(system_device);
  RecordingSmartDevice recorder(source);
  const DriveIdentity identity = GetDriveIdentity(recorder, options.drive);
  out << (options.json ? FormatIdentityJson(identity, options.drive)
                       : FormatIdentityText(identity, options.drive));
  if (!options.save.empty()) {
    if (!recorder.capture().identify) {
      err << "corvane identify: drive " << options.drive
          << " gave no IDENTIFY data; nothing saved\n";
      return 1;
    }
    try {
      WriteFileBytes(options.save, WriteCapture(recorder.capture()));
    } catch (const FileError& e) {
      err << "corvane identify: cannot write " << e.what() << "\n";
      return 1;
    }
  }
  return identity.DriveType == kDriveTypeNone ? 1 : 0;
}

}  // namespace corvane
