// Linux files: whole-file reads and atomic replacement (temporary file, fsync, rename).
#pragma once

#include <string>

#include "platform/files.h"

namespace corvane {

class LinuxFiles : public Files {
 public:
  bool Exists(const std::string& path) override;
  std::string ReadAll(const std::string& path, FileKind kind) override;
  void WriteAll(const std::string& path, const std::string& content) override;
  void Delete(const std::string& path) override;
  void Copy(const std::string& from, const std::string& to) override;
  bool CanCreateIn(const std::string& folder) override;
  void MakeFolders(const std::string& folder) override;
};

// Writes every byte to `fd`, going on after interrupted writes; returns 0, or the errno of
// the write that failed. A `socket` is written without SIGPIPE when the peer has gone.
int WriteFully(int fd, const std::string& data, bool socket = false);

// Writes `content` to a temporary file in `path`'s folder, syncs it and renames it over
// `path`, so that readers see the old file or the new one, never a part, and a link to a
// regular file at `path` is replaced rather than followed; anything else there that is not a
// regular file (a device, a FIFO, a socket, a folder, a link to one of them or to nothing) is
// refused. A file replaced keeps its mode; a new one gets
// `new_mode` less the umask. Run as root in a folder that another user owns, the file
// becomes that user's. The temporary has no name while it is written where the
// filesystem allows it; otherwise what an earlier killed write left in that folder is
// removed first. Throws FileError.
void ReplaceFileAtomically(const std::string& path, const std::string& content,
                           unsigned new_mode = 0666);

// Creates the folder and its missing parents with `mode` less the umask; as root, a
// folder made inside another user's folder becomes that user's. Throws FileError when one
// cannot be made or the path names something other than a folder.
void MakeFolders(const std::string& path, unsigned mode);

// Opens `path` with `flags` | O_CREAT; as root, a file so made inside another user's
// folder becomes that user's. -1 with errno on failure.
int OpenOrCreate(const std::string& path, int flags, unsigned mode);

}  // namespace corvane
