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
  // The program folder is this user's (root's for root), and neither an installed layout
  // nor one of the system's program folders.
  bool ProgramFolderTakesOwnFiles() override;
  std::string UserStateFolder() override;
  std::string DesktopFolder() override;
  LocalDate Today() override;
  // towupper in a UTF-8 locale, character by character; bytes that are not UTF-8 stay.
  std::string UpperCase(const std::string& text) override;
  std::string SingleByteText(const std::string& bytes) override;
  bool IsNetworkFolder(const std::string& folder) override;
};

// Whether a filesystem is reached over the network, from its statfs type and, for FUSE,
// the type the mount table gives it ("fuse.sshfs"): the kernel cannot tell FUSE kinds apart.
bool IsNetworkFilesystem(uint64_t statfs_type, const std::string& mount_type);
// The filesystem type ("ext4", "fuse.sshfs") of the mount whose device is major:minor, from
// the text of /proc/self/mountinfo; empty when no line has that device.
std::string MountTypeOf(const std::string& mountinfo, unsigned major, unsigned minor);

// The folder of the running executable (from /proc/self/exe); "/" for the root.
std::string ExecutableFolder();
// Whether `exe_folder` is the bin/ folder of an installed layout: ../lib/corvane beside it.
bool IsInstalledLayout(const std::string& exe_folder);
// The home folder: $HOME, else the password database's entry.
std::string HomeFolder();

}  // namespace corvane
