#include "disk/identify_command.h"

#include <fstream>
#include <optional>
#include <ostream>
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

// Exit status: 0 for a usable drive, 1 for DriveType 0 or a file that cannot be used.
int RunIdentifyCommand(SmartDevice& system_device, const IdentifyOptions& options,
                       std::ostream& out, std::ostream& err) {
  std::optional<CaptureSmartDevice> capture_device;
  if (!options.load.empty()) {
    const std::optional<std::string> bytes = ReadWholeFile(options.load);
    if (!bytes) {
      err << "corvane identify: cannot read " << options.load << "\n";
      return 1;
    }
    try {
      capture_device.emplace(ParseCapture(*bytes));
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
    std::ofstream out(options.save, std::ios::binary | std::ios::trunc);
    out << WriteCapture(recorder.capture());
    out.close();
    if (!out) {
      err << "corvane identify: cannot write " << options.save << "\n";
      return 1;
    }
  }
  return identity.DriveType == kDriveTypeNone ? 1 : 0;
}

}  // namespace corvane
