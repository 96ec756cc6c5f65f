// Registry on Linux: one text file, rewritten atomically under an exclusive lock; the
// Run value "Corvane" lives in an XDG autostart entry and ProductId is the machine's
// application-specific id.
#include "platform/linux/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "platform/files.h"
#include "platform/linux/files.h"
#include "platform/linux/machine_app_id.h"
#include "platform/linux/system_info.h"

namespace corvane {

namespace {

constexpr const char* kHeader = "corvane-registry 1";
constexpr const char* kRunKeyFolded =
    "hkey_local_machine\\software\\microsoft\\windows\\currentversion\\run";
constexpr const char* kRunValueFolded = "corvane";
constexpr const char* kCurrentVersionFolded =
    "hkey_local_machine\\software\\microsoft\\windows\\currentversion";
constexpr const char* kProductIdFolded = "productid";
constexpr const char* kAutostartValueKey = "X-Corvane-Run-Value=";

std::string Fold(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

const char* RootName(RegKey root) {
  switch (root) {
    case 0x80000000u:
      return "HKEY_CLASSES_ROOT";
    case kHkeyCurrentUser:
      return "HKEY_CURRENT_USER";
    case kHkeyLocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case 0x80000003u:
      return "HKEY_USERS";
    case 0x80000005u:
      return "HKEY_CURRENT_CONFIG";
    default:
      return nullptr;
  }
}

// A path "ROOT\a\b" with every empty component dropped.
std::string JoinPath(const std::string& base, const std::string& sub) {
  std::string out = base;
  size_t start = 0;
  while (start <= sub.size()) {
    size_t end = sub.find('\\', start);
    if (end == std::string::npos) end = sub.size();
    if (end > start) out += "\\" + sub.substr(start, end - start);
    start = end + 1;
  }
  return out;
}

std::string Escape(const std::string& raw) {
  static const char* hex = "0123456789ABCDEF";
  std::string out = ":";
  for (unsigned char c : raw) {
    if (c > 0x20 && c < 0x7F && c != '%') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 0xF];
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Unescape(const std::string& field) {
  if (field.empty() || field[0] != ':') throw std::runtime_error("field without ':'");
  std::string out;
  for (size_t i = 1; i < field.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(field[i]);
    if (c == '%') {
      if (i + 2 >= field.size()) throw std::runtime_error("truncated escape");
      const int hi = HexDigit(field[i + 1]);
      const int lo = HexDigit(field[i + 2]);
      if (hi < 0 || lo < 0) throw std::runtime_error("bad escape");
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else if (c <= 0x20 || c >= 0x7F) {
      throw std::runtime_error("raw byte in field");
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

uint32_t ParseType(const std::string& text) {
  if (text.empty() || text.size() > 10) throw std::runtime_error("bad type");
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') throw std::runtime_error("bad type");
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > 0xFFFFFFFFull) throw std::runtime_error("bad type");
  return static_cast<uint32_t>(v);
}

// Holds an exclusive lock on the store's lock file for one operation.
class StoreLock {
 public:
  explicit StoreLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~StoreLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;

 private:
  int fd_ = -1;
};

// Creates the folder and its parents; false when that is not possible.
bool MakeFolders(const std::string& path, mode_t mode) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

// An Exec line that runs the stored command as one program path, quoted as the
// desktop entry format asks: inside double quotes ", `, $ and \ take a backslash, then
// the string value escapes backslashes again and % is doubled.
std::string ExecLine(const std::string& command) {
  std::string quoted = "\"";
  for (char c : command) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  std::string exec;
  for (char c : quoted) {
    switch (c) {
      case '\\':
        exec += "\\\\";
        break;
      case '%':
        exec += "%%";
        break;
      case '\n':
        exec += "\\n";
        break;
      case '\t':
        exec += "\\t";
        break;
      case '\r':
        exec += "\\r";
        break;
      default:
        exec += c;
    }
  }
  return exec;
}

bool ReadFile(const std::string& path, std::string* content) {
  try {
    *content = LinuxFiles().ReadAll(path);
    return true;
  } catch (const FileError&) {
    return false;
  }
}

}  // namespace

std::string DefaultConfigFolder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return xdg;
  return HomeFolder() + "/.config";
}

LinuxRegistry::LinuxRegistry(RegistryStoreOptions options) : options_(std::move(options)) {
  if (options_.config_folder.empty()) options_.config_folder = DefaultConfigFolder();
}

std::string LinuxRegistry::StoreFile() const {
  return options_.config_folder + "/corvane/registry";
}

std::string LinuxRegistry::AutostartFile() const {
  return options_.config_folder + "/autostart/Corvane.desktop";
}

std::string LinuxRegistry::Serialise(const Store& store) {
  std::string out = std::string(kHeader) + "\n";
  for (const auto& [folded, spelling] : store.keys) out += "key " + Escape(spelling) + "\n";
  for (const auto& [folded_key, values] : store.values) {
    const auto key = store.keys.find(folded_key);
    const std::string& key_spelling = key != store.keys.end() ? key->second : folded_key;
    for (const auto& [folded_name, named] : values) {
      out += "value " + Escape(key_spelling) + " " + Escape(named.first) + " " +
             std::to_string(named.second.type) + " " + Escape(named.second.data) + "\n";
    }
  }
  return out;
}

LinuxRegistry::Store LinuxRegistry::Parse(const std::string& text) {
  Store store;
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kHeader) throw std::runtime_error("missing header");
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::vector<std::string> f;
    for (std::string token; fields >> token;) f.push_back(token);
    if (f.size() == 2 && f[0] == "key") {
      const std::string path = Unescape(f[1]);
      store.keys.emplace(Fold(path), path);
    } else if (f.size() == 5 && f[0] == "value") {
      const std::string path = Unescape(f[1]);
      const std::string name = Unescape(f[2]);
      store.keys.emplace(Fold(path), path);
      store.values[Fold(path)][Fold(name)] = {name, Value{ParseType(f[3]), Unescape(f[4])}};
    } else {
      throw std::runtime_error("unreadable line");
    }
  }
  return store;
}

LinuxRegistry::Store LinuxRegistry::Load() {
  std::string text;
  if (!ReadFile(StoreFile(), &text)) return {};
  try {
    return Parse(text);
  } catch (const std::exception& e) {
    const std::string aside = StoreFile() + ".corrupt-" + std::to_string(std::time(nullptr));
    ::rename(StoreFile().c_str(), aside.c_str());
    std::cerr << "corvane: the registry store " << StoreFile() << " could not be read (" << e.what()
              << "); it was moved to " << aside << " and a new one is started\n";
    return {};
  }
}

template <typename Body>
long LinuxRegistry::Locked(Body body, bool writing) {
  const std::string folder = options_.config_folder + "/corvane";
  if (writing) {
    MakeFolders(folder, 0700);  // a failure shows in Save
  } else if (::access(folder.c_str(), F_OK) != 0) {
    Store empty;  // nothing stored yet, and a read creates nothing
    return body(empty);
  }
  StoreLock lock(StoreFile() + ".lock");
  Store store = Load();
  try {
    return body(store);
  } catch (const FileError&) {
    return kErrorAccessDenied;
  }
}

void LinuxRegistry::Save(const Store& store) {
  ReplaceFileAtomically(StoreFile(), Serialise(store), 0600);
}

bool LinuxRegistry::Resolve(RegKey base, const std::string& sub, std::string* full) const {
  if (const char* root = RootName(base)) {
    *full = JoinPath(root, sub);
    return true;
  }
  const auto it = open_.find(base);
  if (it == open_.end()) return false;
  *full = JoinPath(it->second.path, sub);
  return true;
}

bool LinuxRegistry::KeyExists(const Store& store, const std::string& full) const {
  const std::string folded = Fold(full);
  if (folded.find('\\') == std::string::npos) return true;  // a root
  if (folded == kRunKeyFolded || folded == kCurrentVersionFolded) return true;
  if (store.keys.count(folded)) return true;
  // A key holding deeper keys exists too, as do the ancestors of the well-known keys.
  const std::string prefix = folded + "\\";
  if (std::string(kRunKeyFolded).rfind(prefix, 0) == 0) return true;
  const auto next = store.keys.lower_bound(prefix);
  return next != store.keys.end() && next->first.rfind(prefix, 0) == 0;
}

long LinuxRegistry::OpenKey(RegKey root, const std::string& path, RegKey* out) {
  std::lock_guard<std::mutex> guard(mutex_);
  std::string full;
  if (!Resolve(root, path, &full)) return kErrorInvalidHandle;
  const long found = Locked(
      [&](Store& store) { return KeyExists(store, full) ? kErrorSuccess : kErrorFileNotFound; });
  if (found != kErrorSuccess) return found;
  const RegKey handle = next_handle_++;
  open_[handle] = {full};
  *out = handle;
  return kErrorSuccess;
}

long LinuxRegistry::CreateKey(RegKey root, const std::string& path, RegKey* out) {
  std::lock_guard<std::mutex> guard(mutex_);
  std::string full;
  if (!Resolve(root, path, &full)) return kErrorInvalidHandle;
  const long created = Locked(
      [&](Store& store) {
        if (!KeyExists(store, full)) {
          store.keys.emplace(Fold(full), full);
          Save(store);
        }
        return kErrorSuccess;
      },
      true);
  if (created != kErrorSuccess) return created;
  const RegKey handle = next_handle_++;
  open_[handle] = {full};
  *out = handle;
  return kErrorSuccess;
}

long LinuxRegistry::QueryValue(RegKey key, const std::string& name, uint32_t* type, uint8_t* data,
                               uint32_t* size) {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto it = open_.find(key);
  if (it == open_.end()) return kErrorInvalidHandle;
  const std::string folded_key = Fold(it->second.path);
  const std::string folded_name = Fold(name);

  Value value;
  bool found = false;
  if (folded_key == kRunKeyFolded && folded_name == kRunValueFolded) {
    std::string entry;
    if (ReadFile(AutostartFile(), &entry)) {
      std::istringstream lines(entry);
      for (std::string line; std::getline(lines, line);) {
        if (line.rfind(kAutostartValueKey, 0) != 0) continue;
        std::istringstream fields(line.substr(std::strlen(kAutostartValueKey)));
        std::string type_text;
        std::string data_field;
        fields >> type_text >> data_field;
        try {
          value = {ParseType(type_text), Unescape(data_field)};
          found = true;
        } catch (const std::exception&) {
        }
      }
    }
  } else if (folded_key == kCurrentVersionFolded && folded_name == kProductIdFolded) {
    for (const std::string& file : options_.machine_id_files) {
      std::string id;
      if (!ReadFile(file, &id)) continue;
      while (!id.empty() && (id.back() == '\n' || id.back() == '\r' || id.back() == ' ')) {
        id.pop_back();
      }
      const std::optional<std::string> product_id = AppSpecificId(id);
      if (!product_id) continue;
      value = {kRegSz, *product_id + '\0'};
      found = true;
      break;
    }
  } else {
    Locked([&](Store& store) {
      const auto values = store.values.find(folded_key);
      if (values == store.values.end()) return kErrorFileNotFound;
      const auto v = values->second.find(folded_name);
      if (v == values->second.end()) return kErrorFileNotFound;
      value = v->second.second;
      found = true;
      return kErrorSuccess;
    });
  }
  if (!found) return kErrorFileNotFound;
  if (value.data.size() > 0xFFFFFFFFu) return kErrorFileNotFound;
  const uint32_t needed = static_cast<uint32_t>(value.data.size());
  if (type) *type = value.type;
  if (!data) {
    if (size) *size = needed;
    return kErrorSuccess;
  }
  if (!size) return kErrorInvalidHandle;
  if (*size < needed) {
    *size = needed;
    return kErrorMoreData;
  }
  std::memcpy(data, value.data.data(), needed);
  *size = needed;
  return kErrorSuccess;
}

long LinuxRegistry::SetValue(RegKey key, const std::string& name, uint32_t type,
                             const uint8_t* data, uint32_t size) {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto it = open_.find(key);
  if (it == open_.end()) return kErrorInvalidHandle;
  const std::string folded_key = Fold(it->second.path);
  const std::string folded_name = Fold(name);
  const std::string bytes = data ? std::string(reinterpret_cast<const char*>(data), size) : "";
  try {
    if (folded_key == kRunKeyFolded && folded_name == kRunValueFolded) {
      MakeFolders(options_.config_folder + "/autostart", 0700);  // a failure shows below
      const std::string command = bytes.substr(0, bytes.find('\0'));
      const std::string entry = std::string("[Desktop Entry]\n") +
                                "Type=Application\n"
                                "Name=Corvane\n"
                                "Comment=Resumes Corvane after the restart\n"
                                "Exec=" +
                                ExecLine(command) + "\n" + "X-GNOME-Autostart-enabled=true\n" +
                                kAutostartValueKey + std::to_string(type) + " " + Escape(bytes) +
                                "\n";
      ReplaceFileAtomically(AutostartFile(), entry, 0600);
      return kErrorSuccess;
    }
    if (folded_key == kCurrentVersionFolded && folded_name == kProductIdFolded) {
      return kErrorAccessDenied;  // the machine id belongs to the system
    }
    return Locked(
        [&](Store& store) {
          store.keys.emplace(folded_key, it->second.path);
          store.values[folded_key][folded_name] = {name, Value{type, bytes}};
          Save(store);
          return kErrorSuccess;
        },
        true);
  } catch (const FileError&) {
    return kErrorAccessDenied;
  }
}

long LinuxRegistry::DeleteValue(RegKey key, const std::string& name) {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto it = open_.find(key);
  if (it == open_.end()) return kErrorInvalidHandle;
  const std::string folded_key = Fold(it->second.path);
  const std::string folded_name = Fold(name);
  if (folded_key == kRunKeyFolded && folded_name == kRunValueFolded) {
    if (::unlink(AutostartFile().c_str()) == 0) return kErrorSuccess;
    return errno == ENOENT ? kErrorFileNotFound : kErrorAccessDenied;
  }
  if (folded_key == kCurrentVersionFolded && folded_name == kProductIdFolded) {
    return kErrorAccessDenied;
  }
  return Locked(
      [&](Store& store) {
        const auto values = store.values.find(folded_key);
        if (values == store.values.end() || values->second.erase(folded_name) == 0) {
          return kErrorFileNotFound;
        }
        if (values->second.empty()) store.values.erase(values);
        Save(store);
        return kErrorSuccess;
      },
      true);
}

long LinuxRegistry::CloseKey(RegKey key) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (RootName(key)) return kErrorSuccess;
  return open_.erase(key) ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace corvane
