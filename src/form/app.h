// One run of the program: the form and the platform it runs on.
#pragma once

#include <string>

#include "form/fmain.h"
#include "platform/platform.h"

namespace corvane {

// Thrown by End and caught where a face dispatches, so that nothing after an End runs.
struct ProgramEnd {};

struct App {
  explicit App(Platform& platform) : os(platform) {}
  Platform& os;
  FMain form;
};

[[noreturn]] void End(App& app);
void ShowForm(App& app);
void HideForm(App& app);
// Unloads the form: it is hidden and takes no more clicks.
void UnloadForm(App& app);
[[noreturn]] void UnloadAndEnd(App& app);

}  // namespace corvane
