// System information on Linux. The computer name is the host name and the volume
// serial is the 32-bit filesystem id of the home folder's filesystem.
#include "platform/linux/system_info.h"

#include <limits.h>
#include <pwd.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace corvane {

namespace {

// GetUserNameA is given 25 characters with its terminating NUL; a longer name does not fit.
constexpr size_t kUserNameBuffer = 25;

}  // namespace

std::string ExecutableFolder() {
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return "";
  const std::string exe(buffer.data(), static_cast<size_t>(n));
  const size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

std::string LinuxSystemInfo::ProgramFolder() { return ExecutableFolder(); }

std::string LinuxSystemInfo::ComputerName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

std::string LinuxSystemInfo::UserName() {
  const passwd* pw = ::getpwuid(::geteuid());
  if (!pw || !pw->pw_name) return "";
  const std::string name = pw->pw_name;
  return name.size() < kUserNameBuffer ? name : "";
}

std::optional<uint32_t> LinuxSystemInfo::VolumeSerial(const std::string& root) {
  struct statvfs st {};
  if (::statvfs(root.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint32_t>(st.f_fsid);
}

std::string LinuxSystemInfo::SystemDriveRoot() { return HomeFolder(); }

// XDG base directories: a relative value is invalid and ignored.
std::string LinuxSystemInfo::UserStateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  const std::string base = state && *state == '/' ? state : HomeFolder() + "/.local/state";
  return base + "/corvane";
}

std::string LinuxSystemInfo::DesktopFolder() { return HomeFolder() + "/Desktop"; }

LocalDate LinuxSystemInfo::Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace corvane
