// Files on Linux. A folder counts as existing; Delete removes files only, as Kill does.
#include "platform/linux/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

namespace {

// Temporaries are named ".corvane-<pid>-<random>", so that a later write can tell the
// ones whose writer is gone.
constexpr char kTemporaryPrefix[] = ".corvane-";
constexpr size_t kTemporaryPrefixSize = sizeof kTemporaryPrefix - 1;

[[noreturn]] void Fail(const std::string& path, int err) {
  throw FileError(path, std::strerror(err), err);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  // Closes now; the errno of a failed close, else 0.
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

struct Owner {
  uid_t uid;
  gid_t gid;
};

// Root making something inside a folder that another user owns (their home, their
// configuration) makes it theirs, so that it never blocks their own copy of the program.
std::optional<Owner> OwnerForEntriesOf(const struct stat& folder) {
  if (::geteuid() != 0 || folder.st_uid == 0) return std::nullopt;
  return Owner{folder.st_uid, folder.st_gid};
}

std::optional<Owner> OwnerForEntriesOf(const std::string& folder) {
  struct stat st {};
  if (::geteuid() != 0 || ::stat(folder.c_str(), &st) != 0) return std::nullopt;
  return OwnerForEntriesOf(st);
}

std::string OwnerFailure(const Owner& owner, int err) {
  return "cannot be given to the folder's owner (user " + std::to_string(owner.uid) +
         "): " + std::strerror(err);
}

std::string TemporaryName() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char random[6] = {};
  if (::getrandom(random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
    static unsigned counter = 0;
    const unsigned long seed = static_cast<unsigned long>(std::time(nullptr)) ^ (++counter * 7919u);
    for (size_t i = 0; i < sizeof random; ++i) random[i] = static_cast<unsigned char>(seed >> i);
  }
  std::string name = kTemporaryPrefix + std::to_string(::getpid()) + "-";
  for (unsigned char r : random) name += kLetters[r % (sizeof kLetters - 1)];
  return name;
}

// A temporary that a write of this program left when it was killed: its name says so,
// its writer is no longer running, and it is ours (root may clear any).
bool IsStaleTemporary(int dir, const char* name) {
  if (std::strncmp(name, kTemporaryPrefix, kTemporaryPrefixSize) != 0) return false;
  const char* digits = name + kTemporaryPrefixSize;
  char* end = nullptr;
  const long pid = std::strtol(digits, &end, 10);
  if (end == digits || *end != '-' || pid <= 0 || pid == ::getpid()) return false;
  struct stat st {};
  if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) return false;
  if (st.st_uid != ::geteuid() && ::geteuid() != 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void RemoveStaleTemporaries(int dir) {
  const int listing = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return;
  DIR* d = ::fdopendir(listing);
  if (!d) {
    ::close(listing);
    return;
  }
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(d)) {
    if (IsStaleTemporary(dir, entry->d_name)) stale.push_back(entry->d_name);
  }
  ::closedir(d);
  for (const std::string& name : stale) ::unlinkat(dir, name.c_str(), 0);
}

int CreateNamedTemporary(int dir, unsigned mode, std::string* name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = TemporaryName();
    const int fd =
        ::openat(dir, name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Gives the unnamed file `fd` a temporary name in `dir`; false when it cannot be named.
bool NameTemporary(int fd, int dir, std::string* name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = TemporaryName();
    if (::linkat(AT_FDCWD, self.c_str(), dir, name->c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno == EEXIST) continue;
    // Without /proc, only a process allowed to search every folder may name it directly.
    if (::linkat(fd, "", dir, name->c_str(), AT_EMPTY_PATH) == 0) return true;
    if (errno != EEXIST) break;
  }
  name->clear();
  return false;
}

// The /proc path where the links from `name` in `dir` lead to a file some process has
// open (/dev/stdout leads to /proc/self/fd/1), if they do.
std::optional<std::string> OpenFileLinkedTo(int dir, const std::string& name) {
  std::string at = name;
  for (int step = 0; step < 40; ++step) {  // the kernel's own limit on links followed
    char text[PATH_MAX];
    const ssize_t n = ::readlinkat(dir, at.c_str(), text, sizeof text);
    if (n < 0 || static_cast<size_t>(n) == sizeof text) return std::nullopt;
    const std::string target(text, static_cast<size_t>(n));
    if (target.rfind("/proc/", 0) == 0) return target;
    at = target[0] == '/' ? target : FolderOf(at) + "/" + target;
  }
  return std::nullopt;
}

struct NewFile {
  unsigned mode;                 // for a new file, before the umask
  std::optional<unsigned> keep;  // the mode of the file replaced
  std::optional<Owner> owner;
};

// Writes and syncs the content in a temporary file of `dir` and returns its name. The
// file has no name until it is whole when the filesystem allows it (O_TMPFILE).
std::string WriteTemporary(int dir, const std::string& path, const std::string& content,
                           const NewFile& how, bool unnamed) {
  std::string name;
  int fd = unnamed ? ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, how.mode) : -1;
  if (fd < 0) {
    unnamed = false;
    fd = CreateNamedTemporary(dir, how.mode, &name);
    if (fd < 0) Fail(path, errno);
  }
  Descriptor file(fd);
  try {
    if (how.owner && ::fchown(fd, how.owner->uid, how.owner->gid) != 0) {
      throw FileError(path, OwnerFailure(*how.owner, errno), errno);
    }
    if (how.keep && ::fchmod(fd, *how.keep) != 0) Fail(path, errno);
    if (const int err = WriteFully(fd, content)) Fail(path, err);
    if (::fsync(fd) != 0) Fail(path, errno);
    if (unnamed && !NameTemporary(fd, dir, &name)) {
      return WriteTemporary(dir, path, content, how, false);
    }
    if (const int err = file.Close()) Fail(path, err);
  } catch (...) {
    if (!name.empty()) ::unlinkat(dir, name.c_str(), 0);
    throw;
  }
  return name;
}

}  // namespace

int WriteFully(int fd, const std::string& data, bool socket) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = socket ? ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL)
                             : ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

void ReplaceFileAtomically(const std::string& path, const std::string& content, unsigned new_mode) {
  const std::string name = NameOf(path);
  if (name.empty() || name == "." || name == "..") Fail(path, EISDIR);
  // Writing needs no right to list the folder, so it is held by path only.
  const int dir = ::open(FolderOf(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) Fail(path, errno);
  const Descriptor folder_closer(dir);
  struct stat folder {};
  if (::fstat(dir, &folder) != 0) Fail(path, errno);
  RemoveStaleTemporaries(dir);

  NewFile how{new_mode, std::nullopt, OwnerForEntriesOf(folder)};
  struct stat old {};
  if (::fstatat(dir, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0) {
    // A device, a FIFO, a socket or a folder stands for something else than a file: the
    // rename would put a plain file in its place (/dev/null for everyone, when root).
    if (!S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode)) {
      throw FileError(path, S_ISDIR(old.st_mode) ? "is a folder; nothing is written"
                                                 : "not a regular file; it is not replaced");
    }
    if (S_ISREG(old.st_mode)) how.keep = old.st_mode & 07777;
    // A link stands for its target just the same: /dev/stdout leads to a terminal, a pipe or
    // the file the output goes to, and replacing it would take it from everyone.
    struct stat target {};
    if (S_ISLNK(old.st_mode)) {
      if (::fstatat(dir, name.c_str(), &target, 0) != 0) {
        throw FileError(path, std::string("a link that leads nowhere (") + std::strerror(errno) +
                                  "); it is not replaced");
      }
      if (!S_ISREG(target.st_mode)) {
        throw FileError(path, "a link to what is not a regular file; it is not replaced");
      }
      if (const std::optional<std::string> opened = OpenFileLinkedTo(dir, name)) {
        throw FileError(
            path, "a link to a file a program has open (" + *opened + "); it is not replaced");
      }
    }
  }
  const std::string temporary = WriteTemporary(dir, path, content, how, true);
  if (::renameat(dir, temporary.c_str(), dir, name.c_str()) != 0) {
    const int err = errno;
    ::unlinkat(dir, temporary.c_str(), 0);
    Fail(path, err);
  }
  // The rename itself is made durable by syncing the folder; a failure here loses nothing.
  const int sync = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (sync >= 0) {
    ::fsync(sync);
    ::close(sync);
  }
}

void MakeFolders(const std::string& path, unsigned mode) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), mode) == 0) {
      if (const std::optional<Owner> owner = OwnerForEntriesOf(FolderOf(part))) {
        if (::lchown(part.c_str(), owner->uid, owner->gid) != 0) {
          const int err = errno;
          ::rmdir(part.c_str());
          throw FileError(part, OwnerFailure(*owner, err), err);
        }
      }
    } else if (errno != EEXIST) {
      Fail(part, errno);
    }
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) Fail(path, errno);
  if (!S_ISDIR(st.st_mode)) Fail(path, ENOTDIR);
}

int OpenOrCreate(const std::string& path, int flags, unsigned mode) {
  const int fd = ::open(path.c_str(), flags | O_CREAT | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) return fd;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_uid == 0) {
    if (const std::optional<Owner> owner = OwnerForEntriesOf(FolderOf(path))) {
      if (::fchown(fd, owner->uid, owner->gid) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return -1;
      }
    }
  }
  return fd;
}

std::string ReadFileBytes(const std::string& path, FileKind kind) {
  // Opening a pipe without a writer would wait for one; a device is never read at all.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) Fail(path, errno);
  const Descriptor closer(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) Fail(path, errno);
  if (S_ISDIR(st.st_mode)) throw FileError(path, "is a folder");
  if (!S_ISREG(st.st_mode)) throw FileError(path, "not a regular file");
  const size_t limit = SizeLimit(kind);
  const std::string too_large = "too large (more than " + std::to_string(limit) + " bytes)";
  if (static_cast<unsigned long long>(st.st_size) > limit) throw FileError(path, too_large);
  std::string content;
  char buffer[4096];
  for (;;) {
    // One byte past the limit tells a file that grew, or reports no size, from one that fits.
    const size_t room = limit + 1 - content.size();
    const ssize_t n = ::read(fd, buffer, room < sizeof buffer ? room : sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(path, errno);
    }
    if (n == 0) break;
    content.append(buffer, static_cast<size_t>(n));
    if (content.size() > limit) throw FileError(path, too_large);
  }
  return content;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  ReplaceFileAtomically(path, bytes);
}

bool LinuxFiles::Exists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::string LinuxFiles::ReadAll(const std::string& path, FileKind kind) {
  return ReadFileBytes(path, kind);
}

void LinuxFiles::WriteAll(const std::string& path, const std::string& content) {
  ReplaceFileAtomically(path, content);
}

void LinuxFiles::Delete(const std::string& path) {
  if (::unlink(path.c_str()) != 0) Fail(path, errno);
}

void LinuxFiles::Copy(const std::string& from, const std::string& to) {
  ReplaceFileAtomically(to, ReadFileBytes(from, FileKind::kDriver));
}

// The kernel's own answer for this process's rights, a read-only mount included.
bool LinuxFiles::CanCreateIn(const std::string& folder) {
  struct stat st {};
  return !folder.empty() && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(folder.c_str(), W_OK | X_OK) == 0;
}

void LinuxFiles::MakeFolders(const std::string& folder) { corvane::MakeFolders(folder, 0700); }

}  // namespace corvane
