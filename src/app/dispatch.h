// How every face runs the program: start-up and each click inside one guard, so that
// an End leaves the loop and any other failure is shown before the program ends.
#pragma once

namespace corvane {

struct App;
struct Control;

enum class Click { kOk, kYes, kNo, kCancel };

enum class Outcome {
  kRunning,  // the program goes on
  kIgnored,  // the control is hidden or the form takes no clicks: nothing happened
  kEnded,    // the program ended normally
  kFailed,   // a failure was shown in a message box and the program ended
};

Outcome StartProgram(App& app);
Outcome DispatchClick(App& app, Click click);
// Selects a language option button, as a click on it does.
Outcome SelectOption(App& app, Control& option);
// The user closes the window: the form unloads and Form_Terminate runs.
Outcome CloseWindow(App& app);

}  // namespace corvane
