// What the operating system tells about the machine, the user and the program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace corvane {

struct LocalDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  // The folder that holds the program file, as the platform reports it: no
  // trailing separator except at a root ("C:\" on Windows, "/" on Linux).
  virtual std::string ProgramFolder() = 0;
  // The separator the platform puts between a folder and a file name.
  virtual char PathSeparator() = 0;
  // The fixed name of the program file that the automatic restart starts, whatever the
  // running file is called ("Corvane.exe" on Windows).
  virtual std::string ProgramFileName() = 0;
  virtual std::string SystemFolder() = 0;
  // The computer name; empty when the platform cannot tell it.
  virtual std::string ComputerName() = 0;
  // The logged-on user's name; empty when it does not fit or cannot be read.
  virtual std::string UserName() = 0;
  // The 32-bit serial number of the volume whose root is given; empty on failure.
  virtual std::optional<uint32_t> VolumeSerial(const std::string& root) = 0;
  // The root of the system drive ("C:\" on Windows, the home folder on Linux).
  virtual std::string SystemDriveRoot() = 0;
  // Whether the program's own files may lie beside it: the program folder is this user's
  // own (a build or a copy run from a download folder), not an installed copy's.
  virtual bool ProgramFolderTakesOwnFiles() = 0;
  // This user's folder for the program's own files when the program folder takes none:
  // %LOCALAPPDATA%\Corvane on Windows, $XDG_STATE_HOME/corvane on Linux. It may not exist.
  virtual std::string UserStateFolder() = 0;
  // This user's desktop folder, where the report goes when the system drive's root takes
  // no files.
  virtual std::string DesktopFolder() = 0;
  virtual LocalDate Today() = 0;
  // The system's upper-case conversion of the whole text (UTF-8 in and out).
  virtual std::string UpperCase(const std::string& text) = 0;
  // Text a drive gives as bytes, each byte one character of the system's single-byte
  // code page (the ANSI code page on Windows, Latin-1 on Linux), as UTF-8.
  virtual std::string SingleByteText(const std::string& bytes) = 0;
  // Whether `folder` is reached over the network, where the program refuses to run.
  virtual bool IsNetworkFolder(const std::string& folder) = 0;
};

// Windows' sign of a network folder: a UNC path ("\\server\share") holds two backslashes in a
// row. A share mapped to a drive letter does not show it.
inline bool HoldsDoubledBackslash(const std::string& path) {
  return path.find("\\\\") != std::string::npos;
}

}  // namespace corvane
