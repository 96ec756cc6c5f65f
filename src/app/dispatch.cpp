#include "app/dispatch.h"

#include <exception>
#include <string>

#include "app/startup.h"
#include "app/wizard.h"
#include "form/app.h"
#include "form/texts.h"

namespace corvane {

namespace {

template <typename Step>
Outcome Guarded(App& app, Step step) {
  try {
    step();
    return Outcome::kRunning;
  } catch (const ProgramEnd&) {
    UnloadForm(app);
    return Outcome::kEnded;
  } catch (const std::exception& e) {
    app.os.desktop.MessageBox(CannotGoOnText(app.form.LBLIDIOMA.caption) + e.what(), "",
                              kMbOk + kMbIconError);
    UnloadForm(app);
    return Outcome::kFailed;
  }
}

bool TakesClicks(const App& app, const Control& c) {
  return app.form.loaded && app.form.visible && c.visible;
}

}  // namespace

Outcome StartProgram(App& app) {
  return Guarded(app, [&] { Main(app); });
}

Outcome DispatchClick(App& app, Click click) {
  FMain& f = app.form;
  switch (click) {
    case Click::kOk:
      if (!TakesClicks(app, f.LBLOK)) return Outcome::kIgnored;
      return Guarded(app, [&] { LBLOK_Click(app); });
    case Click::kYes:
      if (!TakesClicks(app, f.LBLYES)) return Outcome::kIgnored;
      return Guarded(app, [&] { LBLYES_Click(app); });
    case Click::kNo:
      if (!TakesClicks(app, f.LBLNO)) return Outcome::kIgnored;
      return Guarded(app, [&] { LBLNO_Click(app); });
    case Click::kCancel:
      if (!TakesClicks(app, f.CBCancel)) return Outcome::kIgnored;
      return Guarded(app, [&] { CBCancel_Click(app); });
  }
  return Outcome::kIgnored;
}

Outcome SelectOption(App& app, Control& option) {
  if (!TakesClicks(app, option)) return Outcome::kIgnored;
  app.form.SelectOption(option);
  return Outcome::kRunning;
}

Outcome CloseWindow(App& app) {
  if (!app.form.loaded) return Outcome::kEnded;
  return Guarded(app, [&] {
    UnloadForm(app);
    Form_Terminate(app);
    End(app);
  });
}

}  // namespace corvane
