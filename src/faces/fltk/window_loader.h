// Loads the window module (libcorvane-window.so) the way every module is loaded, from the
// one place beside the program that no other user could have written.
#pragma once

#include <string>
#include <vector>

#include "faces/fltk/window_module.h"

namespace corvane {

struct WindowModule {
  OpenWindowFaceFn open = nullptr;
  RaiseWindowFn raise = nullptr;
};

std::vector<std::string> WindowModuleCandidates(const std::string& exe_folder);

// Loads the module once per process and keeps it loaded; on failure returns false and
// says why in `error`.
bool LoadWindowModule(const std::string& exe_folder, WindowModule* module, std::string* error);

}  // namespace corvane
