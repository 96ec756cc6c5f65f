#include "app/wizard.h"

#include <string>

#include "app/app.h"
#include "app/language_file.h"
#include "app/layout.h"
#include "app/texts.h"
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
  if (f.LBLSTAGE.caption == "4") return;
  // Not guarded: a failed write ends the program with a message naming it.
  app.os.files.WriteAll(ProgramFile(app, kLanguageFileName), f.LBLIDIOMA.caption + "\r\n");
  ShowConfirmStage(app);
}

void ContinueAfterRestart(App& app) {
  const std::string language_file = ProgramFile(app, kLanguageFileName);
  DeleteRegistryValue(app.os.registry, kHkeyLocalMachine, kRunKey, kRunValueName);
  app.os.files.Delete(language_file);
  GatherMachineIdentity(app);
}

void Decline(App& app) {
  app.os.files.Delete(ProgramFile(app, kLanguageFileName));
  app.os.desktop.MessageBox("Chauuu...", ":)", kMbOk);
  UnloadAndEnd(app);
}

}  // namespace

void ShowStage(App& app, const char* stage, Buttons buttons, int font_size,
               const std::string& message) {
  FMain& f = app.form;
  f.LBLSTAGE.caption = stage;
  f.back_color = kPaleYellow;
  f.LBLMSG.fore_color = kBlack;
  f.LBLMSG.visible = true;
  f.LBLMSG.font.size = font_size;
  f.LBLMSG.font.bold = true;
  const bool ok = buttons == Buttons::kOk;
  f.ShowOkOrYesNo(ok);
  f.Frame1.visible = false;
  if (!ok) {
    f.LBLYES.caption = f.Entry(0);
    f.LBLNO.caption = f.Entry(1);
  }
  f.LBLMSG.caption = message;
  ShowForm(app);
}

void ShowConfirmStage(App& app) {
  FMain& f = app.form;
  f.OBESP.visible = f.OBPOR.visible = f.OBENG.visible = false;
  ShowStage(app, "1", Buttons::kYesNo, kStageFontSize, f.Entry(2) + kCr + kCr + f.Entry(3));
}

void ShowMailQuestionStage(App& app) {
  ShowStage(app, "2", Buttons::kYesNo, kStageFontSize, app.form.Entry(7));
}

void ShowSendFileStage(App& app) {
  FMain& f = app.form;
  ShowStage(app, "3", Buttons::kOk, kStageFontSize,
            f.Entry(8) + kCr + kCr + f.LBLFILENAME.caption + kCr + kCr + f.Entry(9));
  f.LBLFILENAME.caption.clear();
}

void LBLOK_Click(App& app) {
  const std::string stage = app.form.LBLSTAGE.caption;
  if (stage == "0") {
    ConfirmLanguage(app);
  } else if (stage == "3" || stage == "4" || stage == "6" || stage == "7") {
    UnloadAndEnd(app);
  } else if (stage == "8") {
    RebootWithAutoStart(app);
  } else if (stage == "9") {
    ContinueAfterRestart(app);
  }
}

void LBLYES_Click(App& app) {
  const std::string stage = app.form.LBLSTAGE.caption;
  if (stage == "1") {
    HideForm(app);
    GatherMachineIdentity(app);
  } else if (stage == "2") {
    SendReportByMail(app);
  }
}

void LBLNO_Click(App& app) {
  const std::string stage = app.form.LBLSTAGE.caption;
  if (stage == "1") {
    Decline(app);
  } else if (stage == "2") {
    ShowSendFileStage(app);
  }
}

void CBCancel_Click(App& app) {
  FMain& f = app.form;
  if (f.LBLSTAGE.caption != "0") return;
  f.LBLIDIOMA.caption = "0";
  f.OBESP.selected = f.OBPOR.selected = f.OBENG.selected = false;
}

void Form_Terminate(App& app) { app.form.LBLSTAGE.caption.clear(); }

}  // namespace corvane
