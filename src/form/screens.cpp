#include "form/screens.h"

#include "form/app.h"
#include "form/layout.h"
#include "form/texts.h"

namespace corvane {

namespace {

struct StageName {
  Stage stage;
  const char* label;
};

constexpr StageName kStages[] = {
    {Stage::kLanguageChoice, "0"},      {Stage::kConfirm, "1"},
    {Stage::kMailQuestion, "2"},        {Stage::kSendFile, "3"},
    {Stage::kNetworkRefusal, "4"},      {Stage::kDriverMissing, "6"},
    {Stage::kClosingInstructions, "7"}, {Stage::kAboutToReboot, "8"},
    {Stage::kRestarted, "9"},
};

constexpr int kDriverMissingFontSize = 12;

// The file's path between "please send" and the address, a blank line on each side.
std::string SendFileMessage(const FMain& f) {
  return f.Entry(Text::kPleaseSendFile) + kCr + kCr + f.LBLFILENAME.caption + kCr + kCr +
         f.Entry(Text::kToSupportAddress);
}

}  // namespace

const char* StageLabel(Stage stage) {
  for (const StageName& s : kStages) {
    if (s.stage == stage) return s.label;
  }
  return "";
}

bool AtStage(const FMain& f, Stage stage) { return f.LBLSTAGE.caption == StageLabel(stage); }

void ClearStage(FMain& f) { f.LBLSTAGE.caption.clear(); }

bool HasStage(const FMain& f) { return !f.LBLSTAGE.caption.empty(); }

std::optional<Stage> CurrentStage(const FMain& f) {
  for (const StageName& s : kStages) {
    if (f.LBLSTAGE.caption == s.label) return s.stage;
  }
  return std::nullopt;
}

void ShowStage(App& app, Stage stage, Buttons buttons, int font_size, const std::string& message) {
  FMain& f = app.form;
  f.LBLSTAGE.caption = StageLabel(stage);
  f.back_color = kPaleYellow;
  f.LBLMSG.fore_color = kBlack;
  f.LBLMSG.visible = true;
  f.LBLMSG.font.size = font_size;
  f.LBLMSG.font.bold = true;
  const bool ok = buttons == Buttons::kOk;
  f.ShowOkOrYesNo(ok);
  f.Frame1.visible = false;
  if (!ok) {
    f.LBLYES.caption = f.Entry(Text::kYes);
    f.LBLNO.caption = f.Entry(Text::kNo);
  }
  f.LBLMSG.caption = message;
  ShowForm(app);
}

void PrepareLanguageChoiceStage(FMain& f) {
  f.LBLSTAGE.caption = StageLabel(Stage::kLanguageChoice);
  f.LBLMSG.visible = false;
  f.ShowOkOrYesNo(true);
  f.Frame1.visible = true;
  f.OBESP.selected = f.OBPOR.selected = f.OBENG.selected = false;
}

void PrepareRestartStage(FMain& f) {
  f.LBLSTAGE.caption = StageLabel(Stage::kRestarted);
  f.LBLMSG.visible = true;
  f.ShowOkOrYesNo(true);
  f.Frame1.visible = false;
  f.ClearAndHideOptions();
}

void FillRestartMessage(FMain& f) {
  f.LBLMSG.caption = f.Entry(Text::kStartedAgain) + kCr + f.Entry(Text::kLetsContinue);
}

void ShowConfirmStage(App& app) {
  FMain& f = app.form;
  f.OBESP.visible = f.OBPOR.visible = f.OBENG.visible = false;
  ShowStage(
      app, Stage::kConfirm, Buttons::kYesNo, kStageFontSize,
      f.Entry(Text::kMustRunOnThisMachine) + kCr + kCr + f.Entry(Text::kWorkingOnThatMachine));
}

void ShowMailQuestionStage(App& app) {
  ShowStage(app, Stage::kMailQuestion, Buttons::kYesNo, kStageFontSize,
            app.form.Entry(Text::kMailQuestion));
}

void ShowSendFileStage(App& app) {
  FMain& f = app.form;
  ShowStage(app, Stage::kSendFile, Buttons::kOk, kStageFontSize, SendFileMessage(f));
  f.LBLFILENAME.caption.clear();
}

void ShowNetworkRefusalStage(App& app) {
  FMain& f = app.form;
  f.LBLSTAGE.caption = StageLabel(Stage::kNetworkRefusal);
  f.back_color = kRefusalRed;
  f.LBLMSG.fore_color = kWhite;
  f.Frame1.visible = false;
  f.LBLMSG.visible = true;
  f.LBLMSG.caption = f.Entry(Text::kCannotRun) + kCr + f.Entry(Text::kFromTheNetwork);
  ShowForm(app);
}

void ShowDriverMissingStage(App& app, const std::string& program_folder) {
  const FMain& f = app.form;
  ShowStage(app, Stage::kDriverMissing, Buttons::kOk, kDriverMissingFontSize,
            f.Entry(Text::kCopyDriverFile) + kCr + f.Entry(Text::kInTheSameFolder) + kCr + kCr +
                program_folder + app.os.system.PathSeparator() + kCr +
                f.Entry(Text::kRunAgainAfterwards));
}

void ShowDriverCopyFailedStage(App& app) {
  const FMain& f = app.form;
  ShowStage(app, Stage::kClosingInstructions, Buttons::kOk, kStageFontSize,
            f.Entry(Text::kCopyDriverFileIn) + kCr + f.Entry(Text::kDriverFolder) + kCr +
                f.Entry(Text::kRunAgainAfterReboot));
}

void ShowRebootStage(App& app) {
  const FMain& f = app.form;
  ShowStage(app, Stage::kAboutToReboot, Buttons::kOk, kStageFontSize,
            f.Entry(Text::kGoingToReboot) + kCr + kCr + f.Entry(Text::kIfNoAutomaticStart));
}

// Unlike the wizard's own screens this one keeps the colours and font of the screen before.
void ShowManualSendStage(App& app) {
  FMain& f = app.form;
  f.LBLSTAGE.caption = StageLabel(Stage::kClosingInstructions);
  f.LBLMSG.visible = true;
  f.ShowOkOrYesNo(true);
  f.Frame1.visible = false;
  f.ClearAndHideOptions();
  f.LBLMSG.caption = SendFileMessage(f);
  f.LBLFILENAME.caption.clear();
  ShowForm(app);
}

}  // namespace corvane
