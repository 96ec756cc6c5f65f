#include "app/startup.h"

#include <exception>
#include <string>

#include "app/app.h"
#include "app/language_file.h"
#include "app/layout.h"
#include "app/texts.h"
#include "platform/registry_helpers.h"

namespace corvane {

namespace {

void PrepareLanguageChoice(FMain& f) {
  f.LBLSTAGE.caption = "0";
  f.LBLMSG.visible = false;
  f.ShowOkOrYesNo(true);
  f.Frame1.visible = true;
  f.OBESP.selected = f.OBPOR.selected = f.OBENG.selected = false;
}

void PrepareRestartScreen(App& app) {
  FMain& f = app.form;
  f.LBLSTAGE.caption = "9";
  f.LBLMSG.visible = true;
  f.ShowOkOrYesNo(true);
  f.Frame1.visible = false;
  f.ClearAndHideOptions();

  // From here on a failing step is skipped; ending the program is not a failure.
  std::string code = "1";
  try {
    const std::string path = ProgramFile(app, kLanguageFileName);
    if (const auto item = FirstFreeFormatItem(app.os.files.ReadAll(path, FileKind::kLanguage)))
      code = *item;
  } catch (const std::exception&) {
  }
  f.LBLIDIOMA.caption = code;
  try {
    LoadLanguageTexts(app);
  } catch (const std::exception&) {
  }
  if (f.LBLSTAGE.caption == "4") return;
  f.LBLMSG.caption = f.Entry(20) + kCr + f.Entry(21);
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
    PrepareLanguageChoice(f);
  }
  ShowForm(app);
}

}  // namespace corvane
