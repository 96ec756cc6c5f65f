// System information on Linux. The computer name is the host name and the volume
// serial is the 32-bit filesystem id of the home folder's filesystem.
#include "platform/linux/system_info.h"

#include <limits.h>
#include <locale.h>
#include <pwd.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "platform/text.h"

namespace corvane {

namespace {

// GetUserNameA is given 25 characters with its terminating NUL; a longer name does not fit.
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
