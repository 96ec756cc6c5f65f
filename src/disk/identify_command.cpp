#include "disk/identify_command.h"

#include <fstream>
#include <optional>
#include <sstream>

#include "disk/capture.h"
#include "disk/drive_identity.h"
#include "disk/identity_report.h"

namespace corvane {

namespace {

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

}  // namespace

int RunIdentifyCommand(SmartDevice& system_device, const IdentifyOptions& options,
                       VerbOutput& output) {
  std::optional<CaptureSmartDevice> capture_device;
  if (!options.load.empty()) {
    const std::optional<std::string> bytes = ReadWholeFile(options.load);
    if (!bytes) {
      output.Say(Severity::kError, "cannot read " + options.load);
      return output.Finish(1);
    }
    try {
      capture_device.emplace(ParseCapture(*bytes));
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
    std::ofstream out(options.save, std::ios::binary | std::ios::trunc);
    out << WriteCapture(recorder.capture());
    out.close();
    if (!out) {
      output.Say(Severity::kError, "cannot write " + options.save);
      return output.Finish(1);
    }
  }
  return output.Finish(status);
}

}  // namespace corvane
