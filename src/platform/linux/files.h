// Linux files: whole-file reads and atomic replacement (temporary file, fsync, rename).
#pragma once

#include "platform/files.h"

namespace corvane {

class LinuxFiles : public Files {
 public:
  bool Exists(const std::string& path) override;
  std::string ReadAll(const std::string& path) override;
  void WriteAll(const std::string& path, const std::string& content) override;
  void Delete(const std::string& path) override;
  void Copy(const std::string& from, const std::string& to) override;
  bool CanCreateIn(const std::string& folder) override;
  void MakeFolders(const std::string& folder) override;
};

// Writes every byte to `fd`, going on after interrupted writes; returns 0, or the errno of
// the write that failed.
int WriteFully(int fd, const std::string& data);

// Writes `content` to a temporary file beside `path`, syncs it and renames it over
// `path`, so that readers see the old file or the new one, never a part. `mode` is
// the new file's permission bits. Throws FileError.
void ReplaceFileAtomically(const std::string& path, const std::string& content, unsigned mode);

}  // namespace corvane
