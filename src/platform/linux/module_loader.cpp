// Loads the program's modules with dlopen. They are never unloaded: FLTK registers exit
// handlers and the single-instance listener may still call into the window.
#include "platform/linux/module_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/linux/system_info.h"

namespace corvane {

std::vector<std::string> ModuleCandidates(const std::string& exe_folder, const std::string& name) {
  const std::string folder = exe_folder == "/" ? "" : exe_folder;
  if (IsInstalledLayout(exe_folder)) return {folder + "/../lib/corvane/" + name};
  return {folder + "/" + name};
}

std::string WhyNotTrusted(const std::string& path) {
  const uid_t me = ::geteuid();
  std::string at = path;
  for (bool file = true;; file = false) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0) return at + ": " + std::strerror(errno);
    if (file && !S_ISREG(st.st_mode)) return at + " is not a regular file";
    if (!file && !S_ISDIR(st.st_mode)) return at + " is not a folder";
    if (st.st_uid != 0 && st.st_uid != me) {
      return at + " belongs to another user (" + std::to_string(st.st_uid) + ")";
    }
    const bool sticky = !file && (st.st_mode & S_ISVTX) != 0;
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && !sticky) {
      return at + " may be written by other users";
    }
    if (at == "/") return "";
    const size_t slash = at.rfind('/');
    at = slash == 0 ? "/" : at.substr(0, slash);
  }
}

void* OpenModule(const std::string& exe_folder, const std::string& name, std::string* path,
                 std::string* error) {
  path->clear();
  for (const std::string& candidate : ModuleCandidates(exe_folder, name)) {
    if (::access(candidate.c_str(), F_OK) == 0) {
      *path = candidate;
      break;
    }
  }
  if (path->empty()) {
    *error = name + " is not installed beside the program";
    return nullptr;
  }
  char* resolved = ::realpath(path->c_str(), nullptr);
  if (!resolved) {
    *error = *path + ": " + std::strerror(errno);
    return nullptr;
  }
  const std::string real = resolved;
  std::free(resolved);
  if (const std::string why = WhyNotTrusted(real); !why.empty()) {
    *error = *path + " is not loaded: " + why;
    return nullptr;
  }
  void* handle = ::dlopen(real.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = ::dlerror();
    *error = why ? why : *path + ": cannot be loaded";
  }
  return handle;
}

}  // namespace corvane
