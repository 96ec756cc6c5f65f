#include "faces/fltk/window_loader.h"

#include <dlfcn.h>

#include "platform/linux/module_loader.h"

namespace corvane {

std::vector<std::string> WindowModuleCandidates(const std::string& exe_folder) {
  return ModuleCandidates(exe_folder, kWindowModuleName);
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
