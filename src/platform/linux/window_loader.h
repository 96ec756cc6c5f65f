// Finds and loads the program's modules (the window, the mailbox reader) beside the binary
// (build tree, or a copy of both) or in ../lib/corvane (the installed layout).
#pragma once

#include <string>
#include <vector>

#include "platform/linux/window_module.h"

namespace corvane {

struct WindowModule {
  OpenWindowFaceFn open = nullptr;
  RaiseWindowFn raise = nullptr;
};

// Where the module `name` is looked for, first match wins.
std::vector<std::string> ModuleCandidates(const std::string& exe_folder, const std::string& name);
std::vector<std::string> WindowModuleCandidates(const std::string& exe_folder);

// The dlopen handle of the module `name` and its `path`, or nullptr with the reason.
void* OpenModule(const std::string& exe_folder, const std::string& name, std::string* path,
                 std::string* error);

// Loads the module once per process and keeps it loaded; on failure returns false and
// says why in `error`.
bool LoadWindowModule(const std::string& exe_folder, WindowModule* module, std::string* error);

}  // namespace corvane
