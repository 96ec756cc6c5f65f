#include "app/wizard.h"

#include <gtest/gtest.h>

#include "app/dispatch.h"
#include "fakes/fake_platform.h"
#include "form/screens.h"
#include "platform/registry_helpers.h"

namespace corvane::test {
namespace {

class WizardTest : public ::testing::Test {
 protected:
  // Starts fresh and confirms a language, which leaves stage "1" showing.
  void ConfirmLanguage(Control& option) {
    ASSERT_EQ(StartProgram(run.app), Outcome::kRunning);
    ASSERT_EQ(SelectOption(run.app, option), Outcome::kRunning);
    ASSERT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kRunning);
  }
  // Puts up the mail question as the report does once its file is written.
  void ReachMailQuestion() {
    ConfirmLanguage(f.OBENG);
    f.LBLFILENAME.caption = kReportFile;
    run.files.files[kReportFile] = "record\r\n";
    ShowMailQuestionStage(run.app);
  }
  void ExpectStageLook(bool ok, bool yes_no) {
    EXPECT_EQ(f.back_color, 0xC0FFFFu);
    EXPECT_EQ(f.LBLMSG.fore_color, 0u);
    EXPECT_TRUE(f.LBLMSG.visible);
    EXPECT_EQ(f.LBLMSG.font.size, 16);
    EXPECT_TRUE(f.LBLMSG.font.bold);
    EXPECT_EQ(f.LBLOK.visible, ok);
    EXPECT_EQ(f.SHOK.visible, ok);
    EXPECT_EQ(f.LBLYES.visible && f.SHYES.visible && f.LBLNO.visible && f.SHNO.visible, yes_no);
    EXPECT_EQ(f.LBLYES.visible || f.SHYES.visible || f.LBLNO.visible || f.SHNO.visible, yes_no);
    EXPECT_FALSE(f.Frame1.visible);
    EXPECT_TRUE(f.visible);
  }
  void SetRunValue() {
    run.registry.PutValue(kHkeyLocalMachine, kRunKey, kRunValueName, {kRegSz, std::string(1, 0)});
  }
  FakeRun run;
  FMain& f = run.app.form;
};

TEST_F(WizardTest, PortugueseConfirmedShowsStageOneAndWritesTheLanguageFile) {
  ConfirmLanguage(f.OBPOR);
  EXPECT_EQ(f.LBLIDIOMA.caption, "2");
  EXPECT_EQ(run.files.files[kLanguageFile], "2\r\n");
  EXPECT_EQ(f.LBLSTAGE.caption, "1");
  ExpectStageLook(false, true);
  EXPECT_EQ(f.LBLYES.caption, "Sim");
  EXPECT_EQ(f.LBLNO.caption, "Não");
  EXPECT_EQ(f.LBLMSG.caption, f.Entry(2) + "\r\r" + f.Entry(3));
  for (const Control* o : {&f.OBESP, &f.OBPOR, &f.OBENG}) EXPECT_FALSE(o->visible);
}

TEST_F(WizardTest, LaterOptionWinsWhenSeveralAreSelected) {
  StartProgram(run.app);
  f.OBESP.selected = f.OBENG.selected = true;  // cannot happen by clicks, only by data
  DispatchClick(run.app, Click::kOk);
  EXPECT_EQ(f.LBLIDIOMA.caption, "3");
}

TEST_F(WizardTest, OkWithoutALanguageEndsAndWritesNothing) {
  StartProgram(run.app);
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kEnded);
  EXPECT_TRUE(run.files.files.empty());
  EXPECT_TRUE(run.desktop.boxes.empty());
}

TEST_F(WizardTest, CancelClearsTheChoiceThenOkEnds) {
  StartProgram(run.app);
  SelectOption(run.app, f.OBESP);
  EXPECT_EQ(DispatchClick(run.app, Click::kCancel), Outcome::kRunning);
  EXPECT_EQ(f.LBLSTAGE.caption, "0");
  EXPECT_EQ(f.LBLIDIOMA.caption, "0");
  EXPECT_FALSE(f.OBESP.selected || f.OBPOR.selected || f.OBENG.selected);
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kEnded);
  EXPECT_TRUE(run.files.files.empty());
}

TEST_F(WizardTest, NetworkFolderRefusesAtStageFourAndOkEnds) {
  run.system.program_folder = "\\\\srv\\share";
  ConfirmLanguage(f.OBENG);
  EXPECT_EQ(f.LBLSTAGE.caption, "4");
  EXPECT_TRUE(run.files.files.empty());
  EXPECT_TRUE(f.visible);
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kEnded);
  EXPECT_TRUE(run.files.files.empty());
}

TEST_F(WizardTest, ReadOnlyProgramFolderEndsWithAMessageNamingTheFailure) {
  run.files.read_only_folders = {"C:\\Tools", run.system.user_state_folder};
  StartProgram(run.app);
  SelectOption(run.app, f.OBESP);
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kFailed);
  ASSERT_EQ(run.desktop.boxes.size(), 1u);
  EXPECT_NE(run.desktop.boxes[0].text.find(kLanguageFile), std::string::npos);
  EXPECT_NE(run.desktop.boxes[0].text.find("Permission denied"), std::string::npos);
  EXPECT_FALSE(f.visible);
  EXPECT_TRUE(run.files.files.empty());
}

TEST_F(WizardTest, StageOneYesHidesTheFormForTheGathering) {
  ConfirmLanguage(f.OBENG);
  // The gathering cannot write its file: its failure box shows what the user sees then.
  run.files.read_only_folders = {"C:", run.system.desktop_folder};
  run.smart.device_map = 1;
  run.smart.drives[0];
  bool visible_at_box = true;
  run.desktop.on_box = [&] { visible_at_box = f.visible; };
  EXPECT_EQ(DispatchClick(run.app, Click::kYes), Outcome::kFailed);
  EXPECT_FALSE(visible_at_box);
}

TEST_F(WizardTest, StageOneNoSaysGoodbyeDeletesTheLanguageFileAndEnds) {
  ConfirmLanguage(f.OBENG);
  EXPECT_EQ(DispatchClick(run.app, Click::kNo), Outcome::kEnded);
  EXPECT_EQ(run.files.files.count(kLanguageFile), 0u);
  ASSERT_EQ(run.desktop.boxes.size(), 1u);
  EXPECT_EQ(run.desktop.boxes[0].text, "Chauuu...");
  EXPECT_EQ(run.desktop.boxes[0].title, ":)");
  EXPECT_EQ(run.desktop.boxes[0].style, kMbOk);
}

TEST_F(WizardTest, StageOneNoWithTheLanguageFileGoneFailsBeforeTheGoodbye) {
  ConfirmLanguage(f.OBENG);
  run.files.files.erase(kLanguageFile);
  EXPECT_EQ(DispatchClick(run.app, Click::kNo), Outcome::kFailed);
  ASSERT_EQ(run.desktop.boxes.size(), 1u);
  EXPECT_NE(run.desktop.boxes[0].text.find(kLanguageFile), std::string::npos);
}

TEST_F(WizardTest, MailQuestionThenNoShowsTheFileToSendByHand) {
  ReachMailQuestion();
  EXPECT_EQ(f.LBLSTAGE.caption, "2");
  ExpectStageLook(false, true);
  EXPECT_EQ(f.LBLMSG.caption, "Is This Machine Used to Send E-Mails?");
  EXPECT_EQ(f.LBLYES.caption, "Yes");

  EXPECT_EQ(DispatchClick(run.app, Click::kNo), Outcome::kRunning);
  EXPECT_EQ(f.LBLSTAGE.caption, "3");
  ExpectStageLook(true, false);
  EXPECT_EQ(f.LBLMSG.caption,
            std::string("Please Send File\r\r") + kReportFile + "\r\rto: soporte@lumbrook.example");
  EXPECT_EQ(f.LBLFILENAME.caption, "");

  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kEnded);
  EXPECT_EQ(run.files.files.count(kReportFile), 1u);
  EXPECT_EQ(run.files.files.count(kLanguageFile), 1u);
}

TEST_F(WizardTest, OkEndsAtEveryFinalStage) {
  for (const char* stage : {"3", "4", "6", "7"}) {
    FakeRun fresh;
    StartProgram(fresh.app);
    fresh.app.form.LBLSTAGE.caption = stage;
    EXPECT_EQ(DispatchClick(fresh.app, Click::kOk), Outcome::kEnded) << stage;
    EXPECT_FALSE(fresh.app.form.loaded);
  }
}

TEST_F(WizardTest, ClicksWithNoRowInTheTableDoNothing) {
  struct Case {
    const char* stage;
    Click click;
  };
  for (const Case& c :
       {Case{"5", Click::kOk}, Case{"", Click::kOk}, Case{"01", Click::kOk}, Case{"1", Click::kOk},
        Case{"2", Click::kOk}, Case{"0", Click::kYes}, Case{"3", Click::kYes},
        Case{"9", Click::kNo}, Case{"1", Click::kCancel}, Case{"9", Click::kCancel}}) {
    FakeRun fresh;
    StartProgram(fresh.app);
    FMain& g = fresh.app.form;
    for (Control* b : {&g.LBLOK, &g.LBLYES, &g.LBLNO}) b->visible = true;
    g.LBLSTAGE.caption = c.stage;
    SelectOption(fresh.app, g.OBPOR);
    EXPECT_EQ(DispatchClick(fresh.app, c.click), Outcome::kRunning) << c.stage;
    EXPECT_EQ(g.LBLSTAGE.caption, c.stage);
    EXPECT_TRUE(g.OBPOR.selected);
    EXPECT_TRUE(g.visible);
    EXPECT_TRUE(fresh.files.files.empty());
  }
}

TEST_F(WizardTest, HiddenControlsTakeNoClicks) {
  StartProgram(run.app);
  EXPECT_EQ(DispatchClick(run.app, Click::kYes), Outcome::kIgnored);
  EXPECT_EQ(DispatchClick(run.app, Click::kNo), Outcome::kIgnored);
  f.visible = false;
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kIgnored);
  EXPECT_EQ(SelectOption(run.app, f.OBENG), Outcome::kIgnored);
  EXPECT_EQ(f.LBLSTAGE.caption, "0");
}

TEST_F(WizardTest, StageNineOkDeletesTheRunValueAndTheLanguageFile) {
  SetRunValue();
  run.files.files[kLanguageFile] = "3\r\n";
  StartProgram(run.app);
  ASSERT_EQ(f.LBLSTAGE.caption, "9");
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kRunning);
  EXPECT_EQ(run.registry.Find(kHkeyLocalMachine, kRunKey, kRunValueName), nullptr);
  EXPECT_EQ(run.files.files.count(kLanguageFile), 0u);
  EXPECT_TRUE(f.visible);  // the gathering runs with the form showing
}

TEST_F(WizardTest, StageNineWithTheLanguageFileGoneEndsAfterDeletingTheRunValue) {
  SetRunValue();
  StartProgram(run.app);
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kFailed);
  EXPECT_EQ(run.registry.Find(kHkeyLocalMachine, kRunKey, kRunValueName), nullptr);
  ASSERT_EQ(run.desktop.boxes.size(), 1u);
  EXPECT_NE(run.desktop.boxes[0].text.find(kLanguageFile), std::string::npos);
  EXPECT_NE(run.desktop.boxes[0].text.find("No such file"), std::string::npos);
}

// An installed copy run by a user who may write its folder (root): its files still go to the
// per-user folder, and a language file beside it is not taken for the user's.
TEST_F(WizardTest, AnInstalledCopyNeverKeepsItsFilesBesideItself) {
  run.system.program_folder_is_own = false;
  run.files.files[kLanguageFile] = "2\r\n";  // left there by someone else
  const std::string language_file = run.system.user_state_folder + "\\idioma.txt";
  ConfirmLanguage(f.OBENG);
  EXPECT_EQ(run.files.files[language_file], "3\r\n");
  EXPECT_EQ(run.files.files[kLanguageFile], "2\r\n");
  ASSERT_EQ(DispatchClick(run.app, Click::kNo), Outcome::kEnded);  // deletes its own file
  EXPECT_EQ(run.files.files.count(language_file), 0u);
  EXPECT_EQ(run.files.files[kLanguageFile], "2\r\n");
}

// When the per-user folder cannot be had, that folder is the failure named.
TEST_F(WizardTest, AnInstalledCopyNamesThePerUserFolderThatCannotBeHad) {
  for (const bool make_fails : {true, false}) {
    FakeRun fresh;
    fresh.system.program_folder_is_own = false;
    if (make_fails) fresh.files.fail.insert("MakeFolders");
    if (!make_fails) fresh.files.read_only_folders = {fresh.system.user_state_folder};
    ASSERT_EQ(StartProgram(fresh.app), Outcome::kRunning);
    ASSERT_EQ(SelectOption(fresh.app, fresh.app.form.OBENG), Outcome::kRunning);
    EXPECT_EQ(DispatchClick(fresh.app, Click::kOk), Outcome::kFailed);
    ASSERT_EQ(fresh.desktop.boxes.size(), 1u);
    const std::string& text = fresh.desktop.boxes[0].text;
    EXPECT_NE(text.find(fresh.system.user_state_folder + ": "), std::string::npos) << text;
    EXPECT_EQ(text.find(kLanguageFile), std::string::npos) << text;
    EXPECT_TRUE(fresh.files.files.empty());
  }
}

// An installed copy: the user can write neither beside the program nor in the root of C:.
// The own files go to the per-user folder, the report to the desktop, and the restart
// path finds the language file where the first run left it.
TEST_F(WizardTest, InstalledCopyKeepsItsFilesPerUserAndTheReportOnTheDesktop) {
  run.system.program_folder = "C:\\Program Files\\Corvane";
  run.files.read_only_folders = {run.system.program_folder, "C:"};
  const std::string language_file = run.system.user_state_folder + "\\idioma.txt";
  ConfirmLanguage(f.OBENG);
  EXPECT_EQ(run.files.files[language_file], "3\r\n");
  EXPECT_EQ(run.files.folders.count(run.system.user_state_folder), 1u);

  // The driver restart: the next run opens at stage "9" in English.
  SetRunValue();
  FakeRun next;
  next.system.program_folder = run.system.program_folder;
  next.files.read_only_folders = run.files.read_only_folders;
  next.files.files = run.files.files;
  next.registry.PutValue(kHkeyLocalMachine, kRunKey, kRunValueName, {kRegSz, std::string(1, 0)});
  next.smart.device_map = 0x01;
  PutAtaString(next.smart.drives[0].identify, 20, 20, "WD-WCAV12345678");
  ASSERT_EQ(StartProgram(next.app), Outcome::kRunning);
  ASSERT_EQ(next.app.form.LBLSTAGE.caption, "9");
  EXPECT_EQ(next.app.form.LBLMSG.caption, "Corvane Started Succesfully!\rLet's Continue.....");
  EXPECT_EQ(DispatchClick(next.app, Click::kOk), Outcome::kRunning);
  EXPECT_EQ(next.files.files.count(language_file), 0u);
  const std::string report = next.system.desktop_folder + "\\Lumbrook20260131PC-7.kik";
  EXPECT_EQ(next.app.form.LBLFILENAME.caption, report);
  EXPECT_EQ(next.files.files.count(report), 1u);
  EXPECT_EQ(next.app.form.LBLSTAGE.caption, "2");
}

TEST_F(WizardTest, StageNineRunValueThatStaysEndsWithAMessageNamingIt) {
  SetRunValue();
  run.files.files[kLanguageFile] = "3\r\n";
  run.registry.fail = {"DeleteValue"};
  StartProgram(run.app);
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kFailed);
  ASSERT_EQ(run.desktop.boxes.size(), 1u);
  EXPECT_NE(run.desktop.boxes[0].text.find(std::string(kRunKey)), std::string::npos);
  EXPECT_NE(run.desktop.boxes[0].text.find("cannot be removed"), std::string::npos);
  EXPECT_TRUE(run.files.files.count(kLanguageFile)) << "nothing after the failed delete runs";
  EXPECT_FALSE(run.files.files.count(kReportFile));
}

TEST_F(WizardTest, ClosingTheWindowEndsAndKeepsTheRestartState) {
  SetRunValue();
  run.files.files[kLanguageFile] = "1\r\n";
  StartProgram(run.app);
  EXPECT_EQ(CloseWindow(run.app), Outcome::kEnded);
  EXPECT_EQ(f.LBLSTAGE.caption, "");
  EXPECT_FALSE(f.loaded);
  EXPECT_NE(run.registry.Find(kHkeyLocalMachine, kRunKey, kRunValueName), nullptr);
  EXPECT_EQ(run.files.files.count(kLanguageFile), 1u);
}

TEST_F(WizardTest, ScreensRestoreThePaleLookAfterTheRefusal) {
  ConfirmLanguage(f.OBENG);
  f.back_color = 0x0000FF;
  f.LBLMSG.fore_color = 0xFFFFFF;
  f.LBLMSG.font.size = 24;
  f.LBLFILENAME.caption = kReportFile;
  ShowSendFileStage(run.app);
  ExpectStageLook(true, false);
  EXPECT_EQ(f.LBLYES.caption, "Yes");  // unchanged by an OK screen
}

}  // namespace
}  // namespace corvane::test
