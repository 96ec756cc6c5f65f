// Files on Linux. A folder counts as existing; Delete removes files only, as Kill does.
#include "platform/linux/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace corvane {

namespace {

[[noreturn]] void Fail(const std::string& path, int err) {
  throw FileError(path, std::strerror(err));
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

int WriteFully(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

void ReplaceFileAtomically(const std::string& path, const std::string& content, unsigned mode) {
  std::string tmp = FolderOf(path) + "/.corvane-XXXXXX";
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) Fail(path, errno);
  try {
    if (::fchmod(fd, mode) != 0) Fail(path, errno);
    if (const int err = WriteFully(fd, content)) Fail(path, err);
    if (::fsync(fd) != 0) Fail(path, errno);
    if (::close(fd) != 0) {
      const int err = errno;
      ::unlink(tmp.c_str());
      Fail(path, err);
    }
  } catch (...) {
    ::close(fd);
    ::unlink(tmp.c_str());
    throw;
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    Fail(path, err);
  }
  // The rename itself is made durable by syncing the folder; a failure here loses nothing.
  const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

bool LinuxFiles::Exists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::string LinuxFiles::ReadAll(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail(path, errno);
  std::string content;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      Fail(path, err);
    }
    if (n == 0) break;
    content.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return content;
}

void LinuxFiles::WriteAll(const std::string& path, const std::string& content) {
  ReplaceFileAtomically(path, content, 0644);
}

void LinuxFiles::Delete(const std::string& path) {
  if (::unlink(path.c_str()) != 0) Fail(path, errno);
}

void LinuxFiles::Copy(const std::string& from, const std::string& to) {
  ReplaceFileAtomically(to, ReadAll(from), 0644);
}

// The kernel's own answer for this process's rights, a read-only mount included.
bool LinuxFiles::CanCreateIn(const std::string& folder) {
  struct stat st {};
  return !folder.empty() && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(folder.c_str(), W_OK | X_OK) == 0;
}

void LinuxFiles::MakeFolders(const std::string& folder) {
  for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) Fail(part, errno);
    if (end == std::string::npos) break;
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) Fail(folder, errno);
  if (!S_ISDIR(st.st_mode)) Fail(folder, ENOTDIR);
}

}  // namespace corvane
