// Loads the window module with dlopen. It is never unloaded: FLTK registers exit
// handlers and the single-instance listener may still call into it.
#include "platform/linux/window_loader.h"

#include <dlfcn.h>
#include <unistd.h>

namespace corvane {

std::vector<std::string> WindowModuleCandidates(const std::string& exe_folder) {
  const std::string folder = exe_folder == "/" ? "" : exe_folder;
  return {folder + "/" + kWindowModuleName, folder + "/../lib/corvane/" + kWindowModuleName};
}

bool LoadWindowModule(const std::string& exe_folder, WindowModule* module, std::string* error) {
  std::string path;
  for (const std::string& candidate : WindowModuleCandidates(exe_folder)) {
    if (::access(candidate.c_str(), F_OK) == 0) {
      path = candidate;
      break;
    }
  }
  if (path.empty()) {
    *error = std::string(kWindowModuleName) + " is not installed beside the program";
    return false;
  }
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = ::dlerror();
    *error = why ? why : path + ": cannot be loaded";
    return false;
  }
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
