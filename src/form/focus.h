// The form without a mouse: which controls take the keyboard focus, where it starts on each
// screen and what each key does. Both window faces follow it, so the keys act alike on every
// platform, and a key only ever presses what a click could.
#pragma once

#include <string>
#include <vector>

#include "form/fmain.h"

namespace corvane {

// The visible language options from top to bottom, then the visible button faces from left
// to right, then Cancel. The options count only while their frame is shown, as their clicks
// do; a hidden control never takes the focus.
std::vector<const Control*> FocusOrder(const FMain& f);

// The first option at stage "0", Yes on a Yes/No screen, OK on an OK screen; nullptr when
// nothing on the form takes the focus.
const Control* InitialFocus(const FMain& f);

// Where the focus goes once a handler has run. `focus_stage` is the stage the focus was
// placed for: a new screen starts at its initial focus; on the same screen the focus stays,
// unless its control no longer takes it.
const Control* FocusAfterHandler(const FMain& f, const Control* focus,
                                 const std::string& focus_stage);

enum class Key { kTab, kBackTab, kUp, kDown, kSpace, kEnter, kEscape };

struct KeyAction {
  const Control* focus = nullptr;  // where the focus is after the key
  const Control* press = nullptr;  // the option the key selects or the button it clicks
};

// Tab and Shift+Tab go round the focus order; Up and Down go round the options when one has
// the focus; Space and Enter press the focused control; Esc presses Cancel at stage "0".
KeyAction OnKey(const FMain& f, const Control* focus, Key key);

}  // namespace corvane
