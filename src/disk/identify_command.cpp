#include "disk/identify_command.h"

#include <optional>
#include <string>

#include "disk/capture.h"
#include "disk/drive_identity.h"
#include "disk/identity_report.h"
#include "platform/files.h"

namespace corvane {

int RunIdentifyCommand(SmartDevice& system_device, const IdentifyOptions& options,
                       VerbOutput& output) {
  std::optional<CaptureSmartDevice> capture_device;
  if (!options.load.empty()) {
    try {
      capture_device.emplace(ParseCapture(ReadFileBytes(options.load, FileKind::kCapture)));
    } catch (const FileError& e) {
      output.Say(Severity::kError, std::string("cannot read ") + e.what());
      return output.Finish(1);
    } catch (const CaptureError& e) {
      output.Say(Severity::kError,
                 options.load + " is not a drive capture: " + std::string(e.what()));
      return output.Finish(1);
    }
  }
  SmartDevice& source = capture_device ? static_cast<SmartDevice&>(*capture_device)
                                       : static_cast<SmartDevice&>(system_device);
  RecordingSmartDevice recorder(source);
  const DriveIdentity identity = GetDriveIdentity(recorder, options.drive);
  if (output.json()) {
    const nlohmann::ordered_json doc = IdentityJson(identity, options.drive);
    for (auto it = doc.begin(); it != doc.end(); ++it) output.Add(it.key(), it.value());
  } else {
    output.text() << FormatIdentityText(identity, options.drive);
  }
  const int status = identity.DriveType == kDriveTypeNone ? 1 : 0;
  if (status != 0) {
    output.SayInJson(Severity::kError,
                     "drive " + std::to_string(options.drive) + " has no usable identity");
  }
  if (!options.save.empty()) {
    if (!recorder.capture().identify) {
      output.Say(Severity::kError, "drive " + std::to_string(options.drive) +
                                       " gave no IDENTIFY data; nothing saved");
      return output.Finish(1);
    }
    try {
      WriteFileBytes(options.save, WriteCapture(recorder.capture()));
    } catch (const FileError& e) {
      output.Say(Severity::kError, std::string("cannot write ") + e.what());
      return output.Finish(1);
    }
  }
  return output.Finish(status);
}

}  // namespace corvane
