#include "app/startup.h"

#include <gtest/gtest.h>

#include "app/dispatch.h"
#include "fakes/fake_platform.h"
#include "platform/registry_helpers.h"

namespace corvane::test {
namespace {

class StartupTest : public ::testing::Test {
 protected:
  void SetRunValue(const std::string& data) {
    run.registry.PutValue(kHkeyLocalMachine, kRunKey, kRunValueName,
                          {kRegSz, data + std::string(1, '\0')});
  }
  FakeRun run;
  FMain& f = run.app.form;
};

TEST_F(StartupTest, FreshStartOpensTheLanguageChoiceAndTouchesNothing) {
  f.OBENG.selected = true;  // whatever the form held, nothing is preselected
  EXPECT_EQ(StartProgram(run.app), Outcome::kRunning);
  EXPECT_EQ(f.LBLSTAGE.caption, "0");
  EXPECT_TRUE(f.visible);
  EXPECT_EQ(f.back_color, 0xC0FFFFu);
  EXPECT_FALSE(f.LBLMSG.visible);
  EXPECT_TRUE(f.LBLOK.visible && f.SHOK.visible);
  EXPECT_FALSE(f.LBLYES.visible || f.SHYES.visible || f.LBLNO.visible || f.SHNO.visible);
  EXPECT_TRUE(f.Frame1.visible);
  for (const Control* o : {&f.OBESP, &f.OBPOR, &f.OBENG}) {
    EXPECT_TRUE(o->visible);
    EXPECT_FALSE(o->selected);
  }
  EXPECT_EQ(f.LBLOK.caption, "OK");
  EXPECT_EQ(f.OBPOR.caption, "Português");
  EXPECT_TRUE(f.LBLABELS.items.empty());
  EXPECT_TRUE(run.files.calls.empty());
}

TEST_F(StartupTest, RestartPathWithoutALanguageFileSpeaksSpanish) {
  SetRunValue("C:\\Tools\\Corvane.exe");
  StartProgram(run.app);
  EXPECT_EQ(f.LBLSTAGE.caption, "9");
  EXPECT_EQ(f.LBLIDIOMA.caption, "1");
  EXPECT_EQ(f.LBLMSG.caption, "Corvane Reinicio Automaticamente!\rContinuemos.....");
  EXPECT_TRUE(f.LBLMSG.visible);
  EXPECT_EQ(f.LBLMSG.font.size, 24);  // the designed font: no stage screen has run
  EXPECT_TRUE(f.LBLOK.visible && f.SHOK.visible);
  EXPECT_FALSE(f.LBLYES.visible || f.LBLNO.visible || f.Frame1.visible);
  for (const Control* o : {&f.OBESP, &f.OBPOR, &f.OBENG}) EXPECT_FALSE(o->visible || o->selected);
  EXPECT_EQ(f.LBLABELS.items.size(), 26u);
  EXPECT_TRUE(f.visible);
}

TEST_F(StartupTest, RestartPathReadsTheLanguageFile) {
  struct Case {
    const char* content;
    const char* message;
  };
  for (const Case& c : {Case{"3\r\n", "Corvane Started Succesfully!\rLet's Continue....."},
                        Case{"02\r\n", "Corvane Reinicio Automaticamente!\rContinuemos....."},
                        Case{"", "Corvane Reinicio Automaticamente!\rContinuemos....."}}) {
    FakeRun fresh;
    fresh.registry.PutValue(kHkeyLocalMachine, kRunKey, kRunValueName, {kRegSz, ""});
    fresh.files.files[kLanguageFile] = c.content;
    EXPECT_EQ(StartProgram(fresh.app), Outcome::kRunning);
    EXPECT_EQ(fresh.app.form.LBLSTAGE.caption, "9");
    EXPECT_EQ(fresh.app.form.LBLMSG.caption, c.message) << c.content;
  }
}

TEST_F(StartupTest, RestartPathWithAnInvalidCodeEndsAtOnce) {
  for (const char* content : {"0\r\n", "7\r\n", "xyz\r\n"}) {
    FakeRun fresh;
    fresh.registry.PutValue(kHkeyLocalMachine, kRunKey, kRunValueName, {kRegSz, "x\0"});
    fresh.files.files[kLanguageFile] = content;
    EXPECT_EQ(StartProgram(fresh.app), Outcome::kEnded) << content;
    EXPECT_FALSE(fresh.app.form.visible);
    EXPECT_TRUE(fresh.desktop.boxes.empty());
  }
}

TEST_F(StartupTest, RestartPathSkipsAnUnreadableLanguageFile) {
  SetRunValue("");
  run.files.files[kLanguageFile] = "3\r\n";
  run.files.fail = {"ReadAll"};
  EXPECT_EQ(StartProgram(run.app), Outcome::kRunning);
  EXPECT_EQ(f.LBLIDIOMA.caption, "1");
  EXPECT_EQ(f.LBLSTAGE.caption, "9");
}

TEST_F(StartupTest, RunValueOfAnotherTypeMeansAFreshStart) {
  run.registry.PutValue(kHkeyLocalMachine, kRunKey, kRunValueName, {kRegDword, "\1\0\0\0"});
  StartProgram(run.app);
  EXPECT_EQ(f.LBLSTAGE.caption, "0");
}

TEST_F(StartupTest, RestartFromANetworkFolderShowsTheRefusal) {
  SetRunValue("x");
  run.system.program_folder = "\\\\srv\\share\\corvane";
  run.files.files["\\\\srv\\share\\corvane\\idioma.txt"] = "3\r\n";
  StartProgram(run.app);
  EXPECT_EQ(f.LBLSTAGE.caption, "4");
  EXPECT_EQ(f.back_color, 0x0000FFu);
  EXPECT_EQ(f.LBLMSG.caption, "This Application CANNOT Run\rFrom the Network!!!");
  EXPECT_TRUE(f.visible);
  EXPECT_TRUE(f.LBLOK.visible);
}

TEST_F(StartupTest, SecondCopyRaisesTheFirstAndEndsWithoutTouchingAnything) {
  run.desktop.another_running = true;
  run.desktop.running_copy = 42;
  EXPECT_EQ(StartProgram(run.app), Outcome::kEnded);
  EXPECT_EQ(run.desktop.searched_titles, std::vector<std::string>{"Corvane"});
  EXPECT_EQ(run.desktop.title, "unwanted instance");
  EXPECT_EQ(run.desktop.raised, std::vector<WindowRef>{42});
  EXPECT_FALSE(f.visible);
  EXPECT_TRUE(run.files.calls.empty());
  EXPECT_TRUE(run.registry.calls.empty());
}

TEST_F(StartupTest, SecondCopyThatFindsNoWindowStartsNormally) {
  run.desktop.another_running = true;
  EXPECT_EQ(StartProgram(run.app), Outcome::kRunning);
  EXPECT_EQ(run.desktop.title, "unwanted instance");
  EXPECT_TRUE(run.desktop.raised.empty());
  EXPECT_EQ(f.LBLSTAGE.caption, "0");
}

TEST(FormLayout, DesignedControlsAndColours) {
  FMain f;
  EXPECT_EQ(f.caption, "Lumbrook");
  EXPECT_EQ(f.client_width, 7090);
  EXPECT_EQ(f.client_height, 3790);
  EXPECT_EQ(f.Controls().size(), 20u);
  struct Box {
    const Control& c;
    int left, top, width, height;
  };
  for (const Box& b :
       {Box{f.OBESP, 2100, 720, 3010, 560}, Box{f.OBPOR, 2100, 1320, 3010, 560},
        Box{f.OBENG, 2100, 1920, 3010, 560}, Box{f.LBLOK, 2640, 2880, 1870, 610},
        Box{f.SHOK, 2640, 2820, 1870, 730}, Box{f.LBLYES, 1620, 2880, 1870, 610},
        Box{f.SHNO, 3600, 2820, 1870, 730}, Box{f.LBLMSG, 120, 120, 6850, 2130},
        Box{f.CBCancel, 660, 2820, 130, 190}, Box{f.Frame1, 1860, 420, 3370, 2170}}) {
    EXPECT_EQ(std::vector<int>({b.c.left, b.c.top, b.c.width, b.c.height}),
              std::vector<int>({b.left, b.top, b.width, b.height}))
        << b.c.name;
  }
  EXPECT_EQ(f.SHYES.fill_color, 0x00FF00u);
  EXPECT_EQ(f.SHNO.fill_color, 0x0000FFu);
  EXPECT_EQ(f.SHOK.fill_color, 0x0000C0u);
  EXPECT_EQ(f.OBESP.fore_color, 0xFF0000u);
  EXPECT_EQ(f.OBENG.fore_color, 0x0000FFu);
  EXPECT_EQ(f.OBPOR.fore_color, 0x00C000u);
  EXPECT_EQ(f.LBLOK.font.size, 28);
  EXPECT_EQ(f.LBLYES.font.size, 26);
  EXPECT_TRUE(f.LBLYES.transparent && f.LBLYES.font.bold);
  for (const Control* hidden : {&f.LBLTWP, &f.LBLFILENAMEONLY, &f.LBLFILENAME, &f.LBLSTAGE,
                                &f.LBLIDIOMA, &f.LBLABELS, &f.LBMENSAJES}) {
    EXPECT_FALSE(hidden->visible) << hidden->name;
  }
}

}  // namespace
}  // namespace corvane::test
