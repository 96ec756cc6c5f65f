// Linux system information: the host name, the user, the home folder as the system drive.
#pragma once

#include "platform/system_info.h"

namespace corvane {

// Where the Linux backend keeps what Windows keeps in its system folder.
inline constexpr const char* kLinuxSystemFolder = "/var/lib/corvane/system";

class LinuxSystemInfo : public SystemInfo {
 public:
  std::string ProgramFolder() override;
  char PathSeparator() override { return '/'; }
  std::string ProgramFileName() override { return "corvane"; }
  std::string SystemFolder() override { return kLinuxSystemFolder; }
  std::string ComputerName() override;
  std::string UserName() override;
  std::optional<uint32_t> VolumeSerial(const std::string& root) override;
  std::string SystemDriveRoot() override;
  std::string UserStateFolder() override;
  std::string DesktopFolder() override;
  LocalDate Today() override;
  // towupper in a UTF-8 locale, character by character; bytes that are not UTF-8 stay.
  std::string UpperCase(const std::string& text) override;
  std::string SingleByteText(const std::string& bytes) override;
};

// The folder of the running executable (from /proc/self/exe); "/" for the root.
std::string ExecutableFolder();
// The home folder: $HOME, else the password database's entry.
std::string HomeFolder();

}  // namespace corvane
