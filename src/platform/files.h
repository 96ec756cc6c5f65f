// Small files of one line: existence, whole reads and writes, copy, delete.
#pragma once

#include <stdexcept>
#include <string>

namespace corvane {

// A failed file operation; the message names the path and the system's reason.
class FileError : public std::runtime_error {
 public:
  FileError(const std::string& path, const std::string& reason)
      : std::runtime_error(path + ": " + reason), path_(path), reason_(reason) {}
  const std::string& path() const { return path_; }
  const std::string& reason() const { return reason_; }

 private:
  std::string path_;
  std::string reason_;
};

class Files {
 public:
  virtual ~Files() = default;
  // True for a file or a folder of that name.
  virtual bool Exists(const std::string& path) = 0;
  // The whole content; throws FileError when it cannot be read.
  virtual std::string ReadAll(const std::string& path) = 0;
  // Replaces the file with exactly `content`, never leaving it half-written;
  // throws FileError on failure.
  virtual void WriteAll(const std::string& path, const std::string& content) = 0;
  // Throws FileError when the file cannot be deleted (a missing one included).
  virtual void Delete(const std::string& path) = 0;
  // Replaces `to`; throws FileError on failure.
  virtual void Copy(const std::string& from, const std::string& to) = 0;
  // True when this user can create a file in the folder (tried, not guessed from bits:
  // the root of C: takes folders but no files from a standard user).
  virtual bool CanCreateIn(const std::string& folder) = 0;
  // Creates the folder and any missing parents, for this user only; throws FileError.
  virtual void MakeFolders(const std::string& folder) = 0;
};

}  // namespace corvane
