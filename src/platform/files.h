// Small files of one line: existence, whole reads and writes, copy, delete.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>

namespace corvane {

// A failed file operation; the message names the path and the system's reason, and
// `code` keeps the system's error number (errno, or GetLastError's) where there is one.
class FileError : public std::runtime_error {
 public:
  FileError(const std::string& path, const std::string& reason, int code = 0)
      : std::runtime_error(path + ": " + reason), path_(path), reason_(reason), code_(code) {}
  const std::string& path() const { return path_; }
  const std::string& reason() const { return reason_; }
  int code() const { return code_; }

 private:
  std::string path_;
  std::string reason_;
  int code_;
};

// What a file read holds, and so how much of it a read may take: a file that names a
// device, a pipe or gigabytes where a line was expected is refused, not read.
enum class FileKind {
  kLanguage,  // the language file and the restart marker: one short line
  kCapture,   // a drive capture: four sectors and their headers
  kRecord,    // a machine-information file
  kDriver,    // the SMART driver file
  kSettings,  // what the platform keeps for itself (the autostart entry)
  kSystem,    // a value the system publishes in a file (the machine id, a drive attribute)
};

inline constexpr size_t SizeLimit(FileKind kind) {
  switch (kind) {
    case FileKind::kLanguage:
      return 4 << 10;
    case FileKind::kCapture:
      return 16 << 10;
    case FileKind::kRecord:
    case FileKind::kSettings:
      return 1 << 20;
    case FileKind::kDriver:
      return 16 << 20;
    case FileKind::kSystem:
      break;
  }
  return 64 << 10;
}

class Files {
 public:
  virtual ~Files() = default;
  // True for a file or a folder of that name.
  virtual bool Exists(const std::string& path) = 0;
  // The whole content of a regular file of that kind; throws FileError when it cannot be
  // read ("is a folder", "not a regular file", "too large" included).
  virtual std::string ReadAll(const std::string& path, FileKind kind) = 0;
  // Replaces the file with exactly `content`, never leaving it half-written;
  // throws FileError on failure.
  virtual void WriteAll(const std::string& path, const std::string& content) = 0;
  // Throws FileError when the file cannot be deleted (a missing one included).
  virtual void Delete(const std::string& path) = 0;
  // Replaces `to` with the driver file `from`; throws FileError on failure.
  virtual void Copy(const std::string& from, const std::string& to) = 0;
  // True when this user can create a file in the folder (tried, not guessed from bits:
  // the root of C: takes folders but no files from a standard user).
  virtual bool CanCreateIn(const std::string& folder) = 0;
  // Creates the folder and any missing parents, for this user only; throws FileError.
  virtual void MakeFolders(const std::string& folder) = 0;
};

// The one way this program reads a file, for the readers that have no Files at hand (the
// command-line verbs, the backends): byte for byte, never waiting on a pipe or a device,
// within the kind's size. Throws FileError as Files::ReadAll does. Defined once per
// operating system.
std::string ReadFileBytes(const std::string& path, FileKind kind);
// ReadFileBytes, or nothing for a file that cannot be read; `reason`, when given, says why.
inline std::optional<std::string> ReadFileOrAbsent(const std::string& path, FileKind kind,
                                                   std::string* reason = nullptr) {
  try {
    return ReadFileBytes(path, kind);
  } catch (const FileError& e) {
    if (reason) *reason = e.reason();
    return std::nullopt;
  }
}
// Replaces the file with exactly `bytes` as Files::WriteAll does (a link at the path is
// replaced, never followed), without any change of code page.
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace corvane
