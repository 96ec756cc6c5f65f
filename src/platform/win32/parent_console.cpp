// The prompt's console for a windowed program: attached when a standard stream has
// nowhere to go. A stream redirected to a file or a pipe, or handed over by Wine from a
// Unix shell, is left as it is.
#include <windows.h>

#include <cstdio>

#include "platform/os_system.h"

namespace corvane {

namespace {

bool Usable(DWORD which) {
  const HANDLE h = ::GetStdHandle(which);
  return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void AttachParentConsole() {
  const bool in = Usable(STD_INPUT_HANDLE);
  const bool out = Usable(STD_OUTPUT_HANDLE);
  const bool err = Usable(STD_ERROR_HANDLE);
  if ((in && out && err) || !::AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!in) std::freopen("CONIN$", "r", stdin);
  if (!out) std::freopen("CONOUT$", "w", stdout);
  if (!err) std::freopen("CONOUT$", "w", stderr);
}

}  // namespace corvane
