// The form without a mouse: the focus order on each screen, where the focus starts and what
// each key presses, driven through the dispatcher as a window face drives it.
#include "form/focus.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/dispatch.h"
#include "fakes/fake_platform.h"
#include "form/screens.h"

namespace corvane::test {
namespace {

class FocusTest : public ::testing::Test {
 protected:
  // What a face does with a key: move the focus, then press what the key presses, with the
  // click or the selection a mouse would make there.
  Outcome Type(Key key) {
    const KeyAction action = OnKey(f, focus, key);
    focus = action.focus;
    if (!action.press) return Outcome::kIgnored;
    const std::string stage = f.LBLSTAGE.caption;
    Outcome outcome = Outcome::kIgnored;
    if (action.press == &f.LBLOK) outcome = DispatchClick(run.app, Click::kOk);
    if (action.press == &f.LBLYES) outcome = DispatchClick(run.app, Click::kYes);
    if (action.press == &f.LBLNO) outcome = DispatchClick(run.app, Click::kNo);
    if (action.press == &f.CBCancel) outcome = DispatchClick(run.app, Click::kCancel);
    for (Control* option : {&f.OBESP, &f.OBENG, &f.OBPOR}) {
      if (action.press == option) outcome = SelectOption(run.app, *option);
    }
    focus = FocusAfterHandler(f, focus, stage);
    return outcome;
  }
  void Start() {
    ASSERT_EQ(StartProgram(run.app), Outcome::kRunning);
    focus = InitialFocus(f);
  }
  FakeRun run;
  FMain& f = run.app.form;
  const Control* focus = nullptr;
};

using Order = std::vector<const Control*>;

TEST_F(FocusTest, EachScreenHasItsOrderAndStartsWhereItsAnswerIs) {
  Start();
  EXPECT_EQ(FocusOrder(f), (Order{&f.OBESP, &f.OBPOR, &f.OBENG, &f.LBLOK, &f.CBCancel}));
  EXPECT_EQ(focus, &f.OBESP);

  SelectOption(run.app, f.OBENG);
  DispatchClick(run.app, Click::kOk);
  EXPECT_EQ(FocusOrder(f), (Order{&f.LBLYES, &f.LBLNO, &f.CBCancel}));
  EXPECT_EQ(InitialFocus(f), &f.LBLYES);

  f.LBLFILENAME.caption = "C:\\Lumbrook.kik";
  ShowSendFileStage(run.app);
  EXPECT_EQ(FocusOrder(f), (Order{&f.LBLOK, &f.CBCancel}));
  EXPECT_EQ(InitialFocus(f), &f.LBLOK);

  f.visible = false;  // while the form is hidden nothing takes the focus
  EXPECT_TRUE(FocusOrder(f).empty());
  EXPECT_EQ(InitialFocus(f), nullptr);
}

TEST_F(FocusTest, TheRefusalScreenLeavesTheOptionsOutAndStartsAtOk) {
  run.system.program_folder = "\\\\srv\\share";
  Start();
  SelectOption(run.app, f.OBESP);
  DispatchClick(run.app, Click::kOk);
  ASSERT_EQ(f.LBLSTAGE.caption, "4");
  ASSERT_TRUE(f.OBESP.visible);  // still set, but their frame is gone
  EXPECT_EQ(FocusOrder(f), (Order{&f.LBLOK, &f.CBCancel}));
  EXPECT_EQ(FocusAfterHandler(f, &f.OBESP, "0"), &f.LBLOK);
}

TEST_F(FocusTest, KeysMoveTheFocusAndPressOnlyTheFocusedControlThroughTheWizard) {
  Start();
  Type(Key::kDown);
  Type(Key::kDown);
  EXPECT_EQ(focus, &f.OBENG);
  EXPECT_FALSE(f.OBENG.selected) << "moving the focus selects nothing";
  EXPECT_EQ(Type(Key::kSpace), Outcome::kRunning);
  EXPECT_TRUE(f.OBENG.selected);
  Type(Key::kUp);
  EXPECT_EQ(Type(Key::kEnter), Outcome::kRunning);  // Enter on an option selects it
  EXPECT_TRUE(f.OBPOR.selected);
  Type(Key::kUp);
  Type(Key::kUp);
  EXPECT_EQ(focus, &f.OBENG) << "Up goes round the options";
  Type(Key::kTab);
  Type(Key::kTab);
  Type(Key::kUp);
  EXPECT_EQ(focus, &f.CBCancel) << "Up and Down move only among the options";
  Type(Key::kTab);
  EXPECT_EQ(focus, &f.OBESP) << "Tab goes round the whole form";
  EXPECT_EQ(Type(Key::kEscape), Outcome::kRunning);  // Cancel, the focus staying put
  EXPECT_FALSE(f.OBESP.selected || f.OBENG.selected || f.OBPOR.selected);
  EXPECT_EQ(focus, &f.OBESP);

  Type(Key::kBackTab);
  Type(Key::kBackTab);
  Type(Key::kBackTab);
  Type(Key::kSpace);  // English
  Type(Key::kTab);
  EXPECT_EQ(Type(Key::kEnter), Outcome::kRunning);  // OK
  ASSERT_EQ(f.LBLSTAGE.caption, "1");
  EXPECT_EQ(run.files.files[kLanguageFile], "3\r\n");
  EXPECT_EQ(focus, &f.LBLYES) << "a new screen starts at Yes";
  EXPECT_EQ(Type(Key::kEscape), Outcome::kIgnored);
  Type(Key::kTab);
  EXPECT_EQ(Type(Key::kEnter), Outcome::kEnded);  // No
  EXPECT_EQ(run.desktop.boxes.at(0).text, "Chauuu...");
  EXPECT_EQ(run.files.files.count(kLanguageFile), 0u);
  EXPECT_EQ(focus, nullptr) << "an unloaded form holds no focus";
}

}  // namespace
}  // namespace corvane::test
