#include "faces/terminal/terminal_face.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "platform/console/converting_stream.h"

namespace corvane::test {
namespace {

// Runs the terminal face on scripted input; the message boxes of the run go to it too.
struct TerminalRun : FakeRun {
  explicit TerminalRun(const std::string& script) : in(script), face(in, out) {}
  int Run() { return face.Run(app); }
  std::istringstream in;
  std::ostringstream out;
  TerminalFace face;
};

class TerminalDesktop : public FakeDesktop {
 public:
  int MessageBox(const std::string& text, const std::string& title, int style) override {
    return face->MessageBox(text, title, style);
  }
  TerminalFace* face = nullptr;
};

TEST(TerminalFace, DrawsTheLanguageChoiceAndTheConfirmation) {
  TerminalRun run("EN\nok\n");
  EXPECT_EQ(run.Run(), 0);
  const std::string expected =
      "Lumbrook\n( ) Español\n( ) Português\n( ) English\n[OK] [Cancel]\n> "
      "Lumbrook\n( ) Español\n( ) Português\n(x) English\n[OK] [Cancel]\n> "
      "Lumbrook\nThis Application Must Run on the Machine Whose Information Is to Be Sent.\n\n"
      "Are You Working on That Machine Now?\n[Yes] [No] [Cancel]\n> ";
  EXPECT_EQ(run.out.str(), expected);
  EXPECT_EQ(run.files.files["C:\\Tools\\idioma.txt"], "3\r\n");
  EXPECT_EQ(run.app.form.LBLSTAGE.caption, "");  // the end of input closed the window
}

TEST(TerminalFace, HintsForHiddenControlsAndUnknownInput) {
  TerminalRun run("yes\nhello\n  Cancel  \nclose\nok\n");
  EXPECT_EQ(run.Run(), 0);
  const std::string out = run.out.str();
  EXPECT_NE(out.find("> That control is not on the screen now.\n> "), std::string::npos);
  EXPECT_NE(out.find("> Unknown command; use es, pt, en, ok, yes, no, cancel or close.\n> "),
            std::string::npos);
  EXPECT_EQ(run.app.form.LBLSTAGE.caption, "");  // closed before the last "ok"
}

TEST(TerminalFace, HintsSpeakTheLanguageOnceOneIsChosen) {
  TerminalRun run("es\nok\nhola\nok\n");
  EXPECT_EQ(run.Run(), 0);
  const std::string out = run.out.str();
  EXPECT_NE(out.find("¿Usted Está Trabajando en Esa Máquina Ahora?\n[Si] [No] [Cancel]\n> "
                     "Comando desconocido; use es, pt, en, ok, si, no, cancel o close.\n> "
                     "Ese control no está en la pantalla ahora.\n> "),
            std::string::npos)
      << out;
}

TEST(TerminalFace, ShownCaptionsAnswerAndTheGoodbyeBoxWaitsForALine) {
  TerminalRun run("português\nOK\nNÃO\n\n");
  TerminalDesktop desktop;
  desktop.face = &run.face;
  Platform platform{run.registry, run.smart,       run.system, run.files,
                    run.shell,    run.spreadsheet, desktop,    run.composer};
  App app(platform);
  EXPECT_EQ(run.face.Run(app), 0);
  const std::string out = run.out.str();
  EXPECT_NE(out.find("[Sim] [Não] [Cancel]\n> "), std::string::npos);
  EXPECT_NE(out.find("-- :) --\nChauuu...\n[OK]\n> "), std::string::npos);
  EXPECT_EQ(run.files.files.count("C:\\Tools\\idioma.txt"), 0u);
}

TEST(TerminalFace, YesNoBoxesReadAnAnswerAndDefaultToNo) {
  std::istringstream in("maybe\nSIM\nn\n");
  std::ostringstream out;
  TerminalFace face(in, out);
  EXPECT_EQ(face.MessageBox("Open?\rNow", "", kMbYesNo | kMbIconQuestion), kIdYes);
  EXPECT_EQ(face.MessageBox("Again?", "T", kMbYesNo), kIdNo);
  EXPECT_EQ(face.MessageBox("Once more?", "T", kMbYesNo), kIdNo);  // end of input
  const std::string first_box = "-- Corvane --\nOpen?\nNow\n[Yes] [No]\n> Answer yes or no.\n> ";
  EXPECT_EQ(out.str().substr(0, first_box.size()), first_box);
}

TEST(TerminalFace, FailureExitsWithStatusOne) {
  TerminalRun run("es\nok\n");
  TerminalDesktop desktop;
  desktop.face = &run.face;
  run.files.read_only_folders = {"C:\\Tools", run.system.user_state_folder};
  Platform platform{run.registry, run.smart,       run.system, run.files,
                    run.shell,    run.spreadsheet, desktop,    run.composer};
  App app(platform);
  EXPECT_EQ(run.face.Run(app), 1);
  EXPECT_NE(run.out.str().find("C:\\Tools\\idioma.txt: Permission denied"), std::string::npos);
}

TEST(NormaliseCommand, TrimsAndLowersAccentedCapitals) {
  EXPECT_EQ(NormaliseCommand("  ESPAÑOL \r"), "español");
  EXPECT_EQ(NormaliseCommand("NÃO"), "não");
  EXPECT_EQ(NormaliseCommand("PORTUGUÊS"), "português");
  EXPECT_EQ(NormaliseCommand("\t"), "");
}

// The streams a terminal in another encoding is given: the writer sees whole characters
// only, however the text is cut, and the reader's pieces come back in order.
TEST(ConvertingStreamBuffer, HandsOnWholeCharactersAndReadsPieces) {
  const struct {
    std::string text;
    size_t complete;
  } cases[] = {{"", 0},          {"abc", 3},           {"Portugu\xC3", 7},  {"\xC3\xAA", 2},
               {"a\xE2\x82", 1}, {"a\xE2\x82\xAC", 4}, {"\xF0\x9F\x98", 0}, {"\x80\x80", 2}};
  for (const auto& c : cases) EXPECT_EQ(CompleteUtf8Length(c.text), c.complete) << c.text;

  std::vector<std::string> written;
  std::vector<std::string> pieces = {"n\xC3\xA3o\n", "s\xC3\xAD\n"};
  ConvertingStreamBuffer buffer(
      [&](const std::string& utf8) {
        written.push_back(utf8);
        return true;
      },
      [&](std::string* utf8) {
        if (pieces.empty()) return false;
        *utf8 = pieces.front();
        pieces.erase(pieces.begin());
        return true;
      });
  std::ostream out(&buffer);
  out << "Portugu\xC3" << std::flush << "\xAAs\n"
      << "[N\xC3" << std::flush;
  EXPECT_EQ(written, (std::vector<std::string>{"Portugu", "\xC3\xAAs\n", "[N"}));
  std::istream in(&buffer);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line, "n\xC3\xA3o");
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line, "s\xC3\xAD");
  EXPECT_FALSE(std::getline(in, line));
}

}  // namespace
}  // namespace corvane::test
