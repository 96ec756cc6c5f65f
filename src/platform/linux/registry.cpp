// The registry on Linux: the Run value "Corvane" is the autostart entry
// $XDG_CONFIG_HOME/autostart/Corvane.desktop and ProductId is the machine's
// application-specific id. Nothing else is kept, so no key can be created and no other value
// written.
#include "platform/linux/registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string_view>

#include "common/text.h"
#include "platform/linux/files.h"
#include "platform/linux/machine_app_id.h"
#include "platform/linux/system_info.h"
#include "platform/registry_helpers.h"

namespace corvane {

namespace {

// The registry's status for a failed write, as the Win32 registry reports the same causes;
// anything without an equivalent stays access denied.
long StatusOfWriteError(int err) {
  switch (err) {
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case EROFS:
      return kErrorWriteProtect;
    default:
      return kErrorAccessDenied;
  }
}

// The two keys that exist; their handles are fixed because they carry no state.
constexpr RegKey kRunHandle = 1;
constexpr RegKey kCurrentVersionHandle = 2;

constexpr const char* kEntryGroup = "[Desktop Entry]";
// The program's own copy of the Run value's data, beside the Exec line that runs it.
constexpr const char* kDataKey = "X-Corvane-Run-Value";

enum class Known { kNone, kRunValue, kProductId };

// Key paths and value names compare as the registry compares them, without regard to case.
bool SameName(const std::string& a, const std::string& b) {
  return LowerCaseLatin(a) == LowerCaseLatin(b);
}

RegKey KeyOf(RegKey root, const std::string& path) {
  if (root != kHkeyLocalMachine) return 0;
  if (SameName(path, kRunKey)) return kRunHandle;
  if (SameName(path, kCurrentVersionKey)) return kCurrentVersionHandle;
  return 0;
}

bool IsKey(RegKey key) { return key == kRunHandle || key == kCurrentVersionHandle; }

Known ValueOf(RegKey key, const std::string& name) {
  if (key == kRunHandle && SameName(name, kRunValueName)) return Known::kRunValue;
  if (key == kCurrentVersionHandle && SameName(name, kProductIdValueName)) {
    return Known::kProductId;
  }
  return Known::kNone;
}

// A string value of a desktop entry: a backslash is doubled, and a leading space, which
// readers would drop, is written \s.
std::string EscapeString(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i == 0 && text[i] == ' ') {
      out += "\\s";
      continue;
    }
    if (text[i] == '\\') out += '\\';
    out += text[i];
  }
  return out;
}

std::string UnescapeString(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    const size_t escape = i + 1 < value.size() && value[i] == '\\'
                              ? std::string_view("snrt\\").find(value[i + 1])
                              : std::string_view::npos;
    if (escape == std::string_view::npos) {
      out += value[i];
    } else {
      out += " \n\r\t\\"[escape];
      ++i;
    }
  }
  return out;
}

// The entry that starts `command` as one quoted program path, or nothing when an Exec line
// cannot name it exactly: a % inside quotes is undefined, and the entry must be UTF-8
// without control characters.
std::optional<std::string> AutostartEntry(const std::string& command) {
  if (!IsValidUtf8(command)) return std::nullopt;
  std::string quoted = "\"";
  for (const char c : command) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '%') return std::nullopt;
    if (std::string_view("\"`$\\").find(c) != std::string_view::npos) quoted += '\\';
    quoted += c;
  }
  return std::string(kEntryGroup) + "\nType=Application\nName=Corvane\n" +
         "Comment=Resumes Corvane after the restart\nExec=" + EscapeString(quoted + '"') +
         "\nX-GNOME-Autostart-enabled=true\n" + kDataKey + "=" + EscapeString(command) + "\n";
}

// The program path of an Exec line whose string escapes are already undone.
std::string ProgramOfExec(const std::string& exec) {
  std::string program;
  if (!exec.empty() && exec[0] == '"') {
    for (size_t i = 1; i < exec.size() && exec[i] != '"'; ++i) {
      if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
      program += exec[i];
    }
  } else {
    program = exec.substr(0, exec.find_first_of(" \t"));
  }
  for (size_t p = 0; (p = program.find("%%", p)) != std::string::npos; ++p) program.erase(p, 1);
  return program;
}

// The Run value's data in an entry: the program's own data line, else the program path of
// the Exec line, so that an entry written by hand still counts.
std::string RunValueOfEntry(const std::string& entry) {
  std::istringstream lines(entry);
  bool in_entry = false;
  std::optional<std::string> data;
  std::optional<std::string> exec;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line[0] == '[') in_entry = line == kEntryGroup;
    const size_t equals = line.find('=');
    if (!in_entry || equals == std::string::npos) continue;
    // Spaces around the "=" are not part of the key or the value.
    std::string key = line.substr(0, equals);
    key.erase(key.find_last_not_of(' ') + 1);
    const size_t start = std::min(line.find_first_not_of(' ', equals + 1), line.size());
    const std::string value = UnescapeString(line.substr(start));
    if (key == kDataKey && !data) data = value;
    if (key == "Exec" && !exec) exec = value;
  }
  return data ? *data : ProgramOfExec(exec.value_or(""));
}

}  // namespace

std::optional<std::string> ReadMachineId(const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    const std::optional<std::string> text = ReadFileOrAbsent(file, FileKind::kSystem);
    if (!text) continue;
    const std::string id = Trim(*text, kWhiteSpace);
    if (!id.empty()) return id;
  }
  return std::nullopt;
}

LinuxRegistry::LinuxRegistry(LinuxRegistryOptions options) : options_(std::move(options)) {
  if (!options_.config_folder.empty()) return;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  options_.config_folder = xdg && xdg[0] == '/' ? xdg : HomeFolder() + "/.config";
}

std::string LinuxRegistry::AutostartFile() const {
  return options_.config_folder + "/autostart/Corvane.desktop";
}

long LinuxRegistry::OpenKey(RegKey root, const std::string& path, RegKey* out) {
  const RegKey key = KeyOf(root, path);
  if (!key) return kErrorFileNotFound;
  *out = key;
  return kErrorSuccess;
}

long LinuxRegistry::CreateKey(RegKey root, const std::string& path, RegKey* out) {
  return OpenKey(root, path, out) == kErrorSuccess ? kErrorSuccess : kErrorAccessDenied;
}

long LinuxRegistry::QueryValue(RegKey key, const std::string& name, uint32_t* type, uint8_t* data,
                               uint32_t* size) {
  if (!IsKey(key)) return kErrorInvalidHandle;
  std::optional<std::string> text;
  switch (ValueOf(key, name)) {
    case Known::kRunValue:
      if ((text = ReadFileOrAbsent(AutostartFile(), FileKind::kSettings)))
        text = RunValueOfEntry(*text);
      break;
    case Known::kProductId:
      // The machine's application-specific id: the machine id itself is not to be exposed.
      if ((text = ReadMachineId(options_.machine_id_files))) text = AppSpecificId(*text);
      break;
    case Known::kNone:
      break;
  }
  if (!text || text->size() >= 0xFFFFFFFFu) return kErrorFileNotFound;
  const uint32_t needed = static_cast<uint32_t>(text->size() + 1);  // with its NUL
  if (type) *type = kRegSz;
  if (!data) {
    if (size) *size = needed;
    return kErrorSuccess;
  }
  if (!size) return kErrorInvalidHandle;
  const uint32_t room = *size;
  *size = needed;
  if (room < needed) return kErrorMoreData;
  std::memcpy(data, text->c_str(), needed);
  return kErrorSuccess;
}

long LinuxRegistry::SetValue(RegKey key, const std::string& name, uint32_t type,
                             const uint8_t* data, uint32_t size) {
  if (!IsKey(key)) return kErrorInvalidHandle;
  if (ValueOf(key, name) != Known::kRunValue || type != kRegSz) return kErrorAccessDenied;
  std::string command = data ? std::string(reinterpret_cast<const char*>(data), size) : "";
  command = command.substr(0, command.find('\0'));  // the text before its NUL, as it reads
  const std::optional<std::string> entry = AutostartEntry(command);
  if (!entry) return kErrorAccessDenied;
  try {
    MakeFolders(options_.config_folder + "/autostart", 0700);  // private to the user
    ReplaceFileAtomically(AutostartFile(), *entry, 0600);
    return kErrorSuccess;
  } catch (const FileError& e) {
    return StatusOfWriteError(e.code());
  }
}

long LinuxRegistry::DeleteValue(RegKey key, const std::string& name) {
  if (!IsKey(key)) return kErrorInvalidHandle;
  const Known value = ValueOf(key, name);
  if (value != Known::kRunValue) {
    return value == Known::kProductId ? kErrorAccessDenied : kErrorFileNotFound;
  }
  if (::unlink(AutostartFile().c_str()) == 0) return kErrorSuccess;
  return errno == ENOENT ? kErrorFileNotFound : StatusOfWriteError(errno);
}

long LinuxRegistry::CloseKey(RegKey key) {
  return IsKey(key) || (key & 0x80000000u) ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace corvane
