// Loads the program's modules with dlopen. They are never unloaded: FLTK registers exit
// handlers and the single-instance listener may still call into the window.
#include "platform/linux/window_loader.h"

#include <dlfcn.h>
#include <unistd.h>

namespace corvane {

std::vector<std::string> ModuleCandidates(const std::string& exe_folder, const std::string& name) {
  const std::string folder = exe_folder == "/" ? "" : exe_folder;
  return {folder + "/" + name, folder + "/../lib/corvane/" + name};
}

std::vector<std::string> WindowModuleCandidates(const std::string& exe_folder) {
  return ModuleCandidates(exe_folder, kWindowModuleName);
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
  void* handle = ::dlopen(path->c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = ::dlerror();
    *error = why ? why : *path + ": cannot be loaded";
  }
  return handle;
}

bool LoadWindowModule(const std::string& exe_folder, WindowModule* module, std::string* error) {
  std::string path;
  void* handle = OpenModule(exe_folder, kWindowModuleName, &path, error);
  if (!handle) return false;
  module->open = reinterpret_cast<OpenWindowFaceFn>(::dlsym(handle, kOpenWindowFaceSymbol));
  module->raise = reinterpret_cast<RaiseWindowFn>(::dlsym(handle, kRaiseWindowSymbol));
  if (!module->open || !module->raise) {
    ::dlclose(handle);
    *error = path + ": not a window module of this version";
    return false;
  }
  return true;
}

}  // namespace corvane
