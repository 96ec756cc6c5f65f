#include "app/wizard.h"

#include <optional>
#include <stdexcept>
#include <string>

#include "app/language.h"
#include "form/app.h"
#include "form/language_file.h"
#include "form/screens.h"
#include "form/texts.h"
#include "mail/send_report.h"
#include "platform/registry_helpers.h"
#include "report/gather.h"
#include "report/provision.h"

namespace corvane {

namespace {

void ConfirmLanguage(App& app) {
  FMain& f = app.form;
  f.LBLIDIOMA.caption = "0";
  if (f.OBESP.selected) f.LBLIDIOMA.caption = "1";
  if (f.OBPOR.selected) f.LBLIDIOMA.caption = "2";
  if (f.OBENG.selected) f.LBLIDIOMA.caption = "3";
  HideForm(app);
  LoadLanguageTexts(app);
  if (AtStage(f, Stage::kNetworkRefusal)) return;
  // Not guarded: a failed write ends the program with a message naming it.
  app.os.files.WriteAll(NewOwnFile(app, kLanguageFileName), f.LBLIDIOMA.caption + "\r\n");
  ShowConfirmStage(app);
}

void ContinueAfterRestart(App& app) {
  const std::string language_file = FindOwnFile(app, kLanguageFileName);
  const long status =
      DeleteRegistryValue(app.os.registry, kHkeyLocalMachine, kRunKey, kRunValueName);
  // A Run value that stays would start the program at every logon: say so and stop.
  if (ReadRegistryString(app.os.registry, kHkeyLocalMachine, kRunKey, kRunValueName)) {
    throw std::runtime_error(RunValueStaysText(app.form.LBLIDIOMA.caption, status));
  }
  app.os.files.Delete(language_file);
  GatherMachineIdentity(app);
}

void Decline(App& app) {
  app.os.files.Delete(FindOwnFile(app, kLanguageFileName));
  app.os.desktop.MessageBox(kGoodbyeText, kGoodbyeTitle, kMbOk);
  UnloadAndEnd(app);
}

}  // namespace

void LBLOK_Click(App& app) {
  const std::optional<Stage> stage = CurrentStage(app.form);
  if (!stage) return;
  switch (*stage) {
    case Stage::kLanguageChoice:
      ConfirmLanguage(app);
      break;
    case Stage::kSendFile:
    case Stage::kNetworkRefusal:
    case Stage::kDriverMissing:
    case Stage::kClosingInstructions:
      UnloadAndEnd(app);
      break;
    case Stage::kAboutToReboot:
      RebootWithAutoStart(app);
      break;
    case Stage::kRestarted:
      ContinueAfterRestart(app);
      break;
    case Stage::kConfirm:
    case Stage::kMailQuestion:
      break;
  }
}

void LBLYES_Click(App& app) {
  if (AtStage(app.form, Stage::kConfirm)) {
    HideForm(app);
    GatherMachineIdentity(app);
  } else if (AtStage(app.form, Stage::kMailQuestion)) {
    SendReportByMail(app);
  }
}

void LBLNO_Click(App& app) {
  if (AtStage(app.form, Stage::kConfirm)) {
    Decline(app);
  } else if (AtStage(app.form, Stage::kMailQuestion)) {
    ShowSendFileStage(app);
  }
}

void CBCancel_Click(App& app) {
  FMain& f = app.form;
  if (!AtStage(f, Stage::kLanguageChoice)) return;
  f.LBLIDIOMA.caption = "0";
  f.OBESP.selected = f.OBPOR.selected = f.OBENG.selected = false;
}

void Form_Terminate(App& app) { ClearStage(app.form); }

}  // namespace corvane
