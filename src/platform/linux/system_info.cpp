// System information on Linux. The computer name is the host name, the volume serial is
// the 32-bit filesystem id of the home folder's filesystem, and a network folder is one on
// a network filesystem (Linux has no UNC paths).
#include "platform/linux/system_info.h"

#include <limits.h>
#include <locale.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "common/text.h"

namespace corvane {

namespace {

// GetUserNameA is given 25 characters with its terminating NUL; a longer name does not fit.
// Characters, not bytes: an accented login takes two bytes a letter.
constexpr size_t kUserNameBuffer = 25;

// A UTF-8 locale for the case conversion, whatever locale the program runs in; null when
// the system has none.
locale_t Utf8Locale() {
  static const locale_t utf8 = [] {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
      if (const locale_t l = ::newlocale(LC_CTYPE_MASK, name, nullptr)) return l;
    }
    return locale_t{};
  }();
  return utf8;
}

constexpr uint64_t kFuseMagic = 0x65735546;

// statfs types of filesystems served by another machine (<linux/magic.h> and the
// out-of-tree ones' own headers).
constexpr uint64_t kNetworkMagics[] = {
    0x6969,      // NFS
    0x517B,      // SMB (smbfs)
    0xFF534D42,  // CIFS
    0xFE534D42,  // SMB2/3 (cifs.ko)
    0x01021997,  // 9P
    0x5346414F,  // AFS (OpenAFS)
    0x6B414653,  // kAFS
    0x00C36400,  // Ceph
    0x73757245,  // Coda
    0x564C,      // NCP (NetWare)
    0x0BD00BD0,  // Lustre
    0x47504653,  // GPFS
    0xAAD7AAEA,  // PanFS
    0x20030528,  // OrangeFS
};

// FUSE filesystems that reach another machine, by the subtype the mount table shows. Local
// ones (AppImage, squashfuse, ntfs-3g's fuseblk, archive mounts) are not listed.
constexpr const char* kNetworkFuseTypes[] = {
    "fuse.sshfs",    "fuse.rclone",    "fuse.s3fs",      "fuse.gcsfuse",    "fuse.goofys",
    "fuse.blobfuse", "fuse.blobfuse2", "fuse.curlftpfs", "fuse.glusterfs",  "fuse.ceph-fuse",
    "fuse.mfs",      "fuse.lizardfs",  "fuse.juicefs",   "fuse.gvfsd-fuse", "fuse.smbnetfs",
    "fuse.davfs",    "fuse.httpfs2",   "fuse.afpfs",
};

}  // namespace

bool IsNetworkFilesystem(uint64_t statfs_type, const std::string& mount_type) {
  if (std::find(std::begin(kNetworkMagics), std::end(kNetworkMagics), statfs_type) !=
      std::end(kNetworkMagics)) {
    return true;
  }
  if (statfs_type != kFuseMagic) return false;
  return std::find(std::begin(kNetworkFuseTypes), std::end(kNetworkFuseTypes), mount_type) !=
         std::end(kNetworkFuseTypes);
}

// A line: "36 35 0:52 / /mnt/x rw,nosuid shared:5 - fuse.sshfs ana@host:/ rw,...", with any
// number of optional fields before the lone "-".
std::string MountTypeOf(const std::string& mountinfo, unsigned major, unsigned minor) {
  const std::string device = std::to_string(major) + ":" + std::to_string(minor);
  std::istringstream lines(mountinfo);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
    if (f.size() < 3 || f[2] != device) continue;
    const auto dash = std::find(f.begin() + std::min<size_t>(6, f.size()), f.end(), "-");
    if (dash != f.end() && dash + 1 != f.end()) return *(dash + 1);
  }
  return "";
}

std::string ExecutableFolder() {
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return "";
  const std::string exe(buffer.data(), static_cast<size_t>(n));
  const size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : exe.substr(0, slash);
}

bool IsInstalledLayout(const std::string& exe_folder) {
  const std::string folder = exe_folder == "/" ? "" : exe_folder;
  struct stat st {};
  return folder.size() >= 4 && folder.compare(folder.size() - 4, 4, "/bin") == 0 &&
         ::stat((folder + "/../lib/corvane").c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool LinuxSystemInfo::ProgramFolderTakesOwnFiles() {
  static const char* const kSystemProgramFolders[] = {
      "/bin", "/sbin", "/usr/bin", "/usr/sbin", "/usr/local/bin", "/usr/local/sbin", "/usr/games"};
  const std::string folder = ExecutableFolder();
  struct stat st {};
  if (folder.empty() || ::stat(folder.c_str(), &st) != 0 || st.st_uid != ::geteuid()) return false;
  for (const char* system : kSystemProgramFolders) {
    if (folder == system) return false;
  }
  return !IsInstalledLayout(folder);
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

std::string LinuxSystemInfo::ProgramFolder() { return ExecutableFolder(); }

std::string LinuxSystemInfo::ComputerName() {
  // The whole buffer: a name of HOST_NAME_MAX characters and its NUL just fit.
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name) != 0) return "";
  name[HOST_NAME_MAX] = '\0';
  return name;
}

std::string LinuxSystemInfo::UserName() {
  const passwd* pw = ::getpwuid(::geteuid());
  if (!pw || !pw->pw_name) return "";
  const std::string name = pw->pw_name;
  return Utf8CharacterCount(name) < kUserNameBuffer ? name : "";
}

std::optional<uint32_t> LinuxSystemInfo::VolumeSerial(const std::string& root) {
  struct statvfs st {};
  if (::statvfs(root.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint32_t>(st.f_fsid);
}

std::string LinuxSystemInfo::SystemDriveRoot() { return HomeFolder(); }

bool LinuxSystemInfo::IsNetworkFolder(const std::string& folder) {
  const std::string path = folder.empty() ? "/" : folder;
  struct statfs fs {};
  struct stat st {};
  if (::statfs(path.c_str(), &fs) != 0 || ::stat(path.c_str(), &st) != 0) return false;
  const uint64_t type = static_cast<uint64_t>(static_cast<unsigned long>(fs.f_type));
  std::string mount_type;
  if (type == kFuseMagic) {
    std::ifstream in("/proc/self/mountinfo");
    const std::string mountinfo{std::istreambuf_iterator<char>(in), {}};
    mount_type = MountTypeOf(mountinfo, major(st.st_dev), minor(st.st_dev));
  }
  return IsNetworkFilesystem(type, mount_type);
}

// XDG base directories: a relative value is invalid and ignored.
std::string LinuxSystemInfo::UserStateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  const std::string base = state && *state == '/' ? state : HomeFolder() + "/.local/state";
  return base + "/corvane";
}

std::string LinuxSystemInfo::DesktopFolder() { return HomeFolder() + "/Desktop"; }

std::string LinuxSystemInfo::UpperCase(const std::string& text) {
  const locale_t utf8 = Utf8Locale();
  if (!utf8) {
    std::string out = text;
    for (char& c : out) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
  }
  const locale_t previous = ::uselocale(utf8);
  std::string out;
  std::mbstate_t in_state{};
  std::mbstate_t out_state{};
  size_t i = 0;
  while (i < text.size()) {
    wchar_t wide = 0;
    const size_t n = std::mbrtowc(&wide, text.data() + i, text.size() - i, &in_state);
    if (n == 0 || n > text.size() - i) {
      // A NUL, or a byte that starts no character: kept as it is.
      out += text[i++];
      in_state = std::mbstate_t{};
      continue;
    }
    char encoded[MB_LEN_MAX];
    const size_t m = std::wcrtomb(encoded, static_cast<wchar_t>(std::towupper(wide)), &out_state);
    if (m == static_cast<size_t>(-1)) {
      out.append(text, i, n);
    } else {
      out.append(encoded, m);
    }
    i += n;
  }
  ::uselocale(previous);
  return out;
}

std::string LinuxSystemInfo::SingleByteText(const std::string& bytes) {
  return Latin1ToUtf8(bytes);
}

LocalDate LinuxSystemInfo::Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace corvane
