#include "app/startup.h"

#include <exception>
#include <string>

#include "app/language.h"
#include "form/app.h"
#include "form/language_file.h"
#include "form/layout.h"
#include "form/screens.h"
#include "platform/registry_helpers.h"

namespace corvane {

namespace {

void PrepareRestartScreen(App& app) {
  FMain& f = app.form;
  PrepareRestartStage(f);

  // From here on a failing step is skipped; ending the program is not a failure.
  std::string code = "1";
  try {
    const std::string path = FindOwnFile(app, kLanguageFileName);
    if (const auto item = FirstFreeFormatItem(app.os.files.ReadAll(path))) code = *item;
  } catch (const std::exception&) {
  }
  f.LBLIDIOMA.caption = code;
  try {
    LoadLanguageTexts(app);
  } catch (const std::exception&) {
  }
  if (AtStage(f, Stage::kNetworkRefusal)) return;
  FillRestartMessage(f);
}

}  // namespace

void RaisePreviousInstance(App& app) {
  Desktop& desktop = app.os.desktop;
  const std::string title = desktop.ProgramTitle();
  desktop.SetProgramTitle(kUnwantedInstanceTitle);
  const std::optional<WindowRef> window = desktop.FindRunningCopy(title);
  if (!window) return;
  desktop.RestoreAndRaise(*window);
  End(app);
}

void Main(App& app) {
  if (app.os.desktop.AnotherInstanceRunning()) RaisePreviousInstance(app);

  FMain& f = app.form;
  f.LBLABELS.items.clear();
  f.LBMENSAJES.items.clear();
  f.loaded = true;
  f.back_color = kPaleYellow;
  f.LBLMSG.fore_color = kBlack;

  if (ReadRegistryString(app.os.registry, kHkeyLocalMachine, kRunKey, kRunValueName)) {
    PrepareRestartScreen(app);
  } else {
    PrepareLanguageChoiceStage(f);
  }
  ShowForm(app);
}

}  // namespace corvane
