#include "form/app.h"

namespace corvane {

void End(App&) { throw ProgramEnd{}; }

void ShowForm(App& app) {
  app.form.loaded = true;
  app.form.visible = true;
}

void HideForm(App& app) {
  app.form.loaded = true;
  app.form.visible = false;
}

void UnloadForm(App& app) {
  app.form.visible = false;
  app.form.loaded = false;
}

void UnloadAndEnd(App& app) {
  UnloadForm(app);
  End(app);
}

}  // namespace corvane
