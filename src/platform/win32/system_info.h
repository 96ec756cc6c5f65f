// System information from kernel32 and advapi32, with the buffers the core's record was
// designed around (a 255-character computer name, a 25-character user name).
#pragma once

#include "platform/system_info.h"

namespace corvane {

class Win32SystemInfo : public SystemInfo {
 public:
  std::string ProgramFolder() override;
  char PathSeparator() override { return '\\'; }
  std::string ProgramFileName() override { return "Corvane.exe"; }
  std::string SystemFolder() override;
  std::string ComputerName() override;
  std::string UserName() override;
  std::optional<uint32_t> VolumeSerial(const std::string& root) override;
  std::string SystemDriveRoot() override { return "C:\\"; }
  // Whether the folder can be written decides alone, as it always has on Windows.
  bool ProgramFolderTakesOwnFiles() override { return true; }
  std::string UserStateFolder() override;
  std::string DesktopFolder() override;
  LocalDate Today() override;
  // CharUpperBuffW over the text's UTF-16 form.
  std::string UpperCase(const std::string& text) override;
  std::string SingleByteText(const std::string& bytes) override;
  bool IsNetworkFolder(const std::string& folder) override { return HoldsDoubledBackslash(folder); }
};

// The folder part of a program file's full path: no trailing backslash except at a drive
// root ("C:\Corvane.exe" gives "C:\").
std::string FolderOfProgramFile(const std::string& path);

}  // namespace corvane
