#include "form/focus.h"

#include <algorithm>

#include "form/screens.h"

namespace corvane {

namespace {

bool IsOption(const FMain& f, const Control* c) {
  return c == &f.OBESP || c == &f.OBENG || c == &f.OBPOR;
}

// The control `step` places after `focus` in `ring`, going round; the first (or last) one
// when `focus` is not in it.
const Control* Step(const std::vector<const Control*>& ring, const Control* focus, int step) {
  if (ring.empty()) return nullptr;
  const auto at = std::find(ring.begin(), ring.end(), focus);
  const int n = static_cast<int>(ring.size());
  if (at == ring.end()) return step > 0 ? ring.front() : ring.back();
  return ring[((at - ring.begin()) + step + n) % n];
}

}  // namespace

std::vector<const Control*> FocusOrder(const FMain& f) {
  std::vector<const Control*> order;
  if (!f.loaded || !f.visible) return order;
  std::vector<const Control*> options;
  if (f.Frame1.visible) {
    for (const Control* o : {&f.OBESP, &f.OBENG, &f.OBPOR}) {
      if (o->visible) options.push_back(o);
    }
  }
  std::stable_sort(options.begin(), options.end(),
                   [](const Control* a, const Control* b) { return a->top < b->top; });
  std::vector<const Control*> buttons;
  for (const Control* b : {&f.LBLOK, &f.LBLYES, &f.LBLNO}) {
    if (b->visible) buttons.push_back(b);
  }
  std::stable_sort(buttons.begin(), buttons.end(),
                   [](const Control* a, const Control* b) { return a->left < b->left; });
  order = options;
  order.insert(order.end(), buttons.begin(), buttons.end());
  if (f.CBCancel.visible) order.push_back(&f.CBCancel);
  return order;
}

const Control* InitialFocus(const FMain& f) {
  const std::vector<const Control*> order = FocusOrder(f);
  auto first = [&](auto wanted) -> const Control* {
    const auto it = std::find_if(order.begin(), order.end(), wanted);
    return it == order.end() ? nullptr : *it;
  };
  const Control* start = nullptr;
  if (AtStage(f, Stage::kLanguageChoice))
    start = first([&](const Control* c) { return IsOption(f, c); });
  if (!start) start = first([&](const Control* c) { return c == &f.LBLYES; });
  if (!start) start = first([&](const Control* c) { return c == &f.LBLOK; });
  if (!start && !order.empty()) start = order.front();
  return start;
}

const Control* FocusAfterHandler(const FMain& f, const Control* focus,
                                 const std::string& focus_stage) {
  const std::vector<const Control*> order = FocusOrder(f);
  const bool kept = std::find(order.begin(), order.end(), focus) != order.end();
  if (kept && focus_stage == f.LBLSTAGE.caption) return focus;
  return InitialFocus(f);
}

KeyAction OnKey(const FMain& f, const Control* focus, Key key) {
  const std::vector<const Control*> order = FocusOrder(f);
  const bool focusable = std::find(order.begin(), order.end(), focus) != order.end();
  KeyAction action;
  action.focus = focusable ? focus : nullptr;
  switch (key) {
    case Key::kTab:
    case Key::kBackTab:
      action.focus = Step(order, action.focus, key == Key::kTab ? 1 : -1);
      break;
    case Key::kUp:
    case Key::kDown:
      if (focusable && IsOption(f, focus)) {
        std::vector<const Control*> options;
        for (const Control* c : order) {
          if (IsOption(f, c)) options.push_back(c);
        }
        action.focus = Step(options, focus, key == Key::kDown ? 1 : -1);
      }
      break;
    case Key::kSpace:
    case Key::kEnter:
      action.press = action.focus;
      break;
    case Key::kEscape:
      if (AtStage(f, Stage::kLanguageChoice) &&
          std::find(order.begin(), order.end(), &f.CBCancel) != order.end()) {
        action.press = &f.CBCancel;
      }
      break;
  }
  return action;
}

}  // namespace corvane
