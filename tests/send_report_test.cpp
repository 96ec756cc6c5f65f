#include "mail/send_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/dispatch.h"
#include "app/wizard.h"
#include "common/hex.h"
#include "fakes/fake_platform.h"
#include "form/screens.h"
#include "form/texts.h"
#include "report/report_text.h"

namespace corvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr const char* kName = "Lumbrook20260131PC-7.kik";
constexpr const char* kRecord = "0110080030150030PC-7...\r\n";

// `run` in `language` ("1" to "3") with `record` written as the report file, its texts and
// file name on the form, as the run has them once the file is saved.
void WithReportFile(FakeRun& run, const char* language, const std::string& record) {
  FMain& f = run.app.form;
  const auto& texts = LanguageTexts(LanguageCode(language));
  f.LBLABELS.items.assign(texts.begin(), texts.end());
  f.LBLIDIOMA.caption = language;
  f.LBLFILENAME.caption = kReportFile;
  f.LBLFILENAMEONLY.caption = kName;
  run.files.files[kReportFile] = record;
}

// A run in English at the mail question, with the record file written.
class SendReportByMailTest : public ::testing::Test {
 protected:
  SendReportByMailTest() {
    WithReportFile(run, "3", kRecord);
    run.app.form.OBENG.selected = true;
    run.spreadsheet.installed = true;
    ShowMailQuestionStage(run.app);
  }

  Outcome PressYes() { return DispatchClick(run.app, Click::kYes); }

  void ExpectManualSendScreen(Outcome outcome) {
    const FMain& f = run.app.form;
    EXPECT_EQ(outcome, Outcome::kRunning);
    EXPECT_TRUE(f.loaded && f.visible);
    EXPECT_EQ(f.LBLSTAGE.caption, "7");
    EXPECT_EQ(f.LBLMSG.caption,
              std::string("Please Send File\r\r") + kReportFile + "\r\rto: " + kSupportAddress);
    EXPECT_TRUE(f.LBLMSG.visible);
    EXPECT_TRUE(f.LBLOK.visible && f.SHOK.visible);
    EXPECT_FALSE(f.LBLYES.visible || f.SHYES.visible || f.LBLNO.visible || f.SHNO.visible);
    EXPECT_FALSE(f.Frame1.visible);
    for (const Control* o : {&f.OBESP, &f.OBPOR, &f.OBENG}) {
      EXPECT_FALSE(o->visible) << o->name;
      EXPECT_FALSE(o->selected) << o->name;
    }
    EXPECT_EQ(f.LBLFILENAME.caption, "");
    EXPECT_EQ(run.files.files.count(kReportFile), 1u) << "the file must stay for the manual send";
  }

  FakeRun run;
};

TEST_F(SendReportByMailTest, HandsTheFileOverAndEndsWhenTheClientIsDeclined) {
  run.desktop.answers = {kIdNo};
  bool hidden_while_automating = true;
  size_t boxes_before_release = 99;
  run.spreadsheet.on_call = [&](const AutomationCall& call) {
    hidden_while_automating = hidden_while_automating && !run.app.form.visible;
    if (call.member == "Release") boxes_before_release = run.desktop.boxes.size();
  };

  EXPECT_EQ(PressYes(), Outcome::kEnded);

  const std::vector<AutomationCall>& calls = run.spreadsheet.calls;
  ASSERT_THAT(run.spreadsheet.Members(),
              ElementsAre("Create", "SetScreenUpdating", "OpenWorkbook", "SendMail",
                          "CloseWorkbook", "SetCaption", "Quit", "Release"));
  EXPECT_THAT(calls[0].args, ElementsAre("excel.application"));
  EXPECT_THAT(calls[1].args, ElementsAre("False"));
  EXPECT_THAT(calls[2].args, ElementsAre(kReportFile));
  // Recipients, then the subject: the file's name without its folder.
  EXPECT_THAT(calls[3].args, ElementsAre(kName, kSupportAddress, kName));
  EXPECT_THAT(calls[4].args, ElementsAre(kName, "False"));
  EXPECT_THAT(calls[5].args, ElementsAre("Microsoft Excel"));
  EXPECT_TRUE(hidden_while_automating);
  EXPECT_EQ(boxes_before_release, 0u) << "the program is released before the question";

  ASSERT_EQ(run.desktop.boxes.size(), 1u);
  EXPECT_EQ(run.desktop.boxes[0].text, "Open Outlook Express to Send the E-Mail?");
  EXPECT_EQ(run.desktop.boxes[0].title, "");
  EXPECT_EQ(run.desktop.boxes[0].style, 36);
  EXPECT_THAT(run.shell.started, IsEmpty());
  EXPECT_THAT(run.composer.calls, IsEmpty()) << "the mail went: no mail program is needed";
  EXPECT_EQ(run.files.files.count(kReportFile), 0u);
  EXPECT_FALSE(run.app.form.loaded);
}

TEST_F(SendReportByMailTest, StartsTheMailClientFocusedWhenAskedAndEnds) {
  run.desktop.answers = {kIdYes};
  run.files.files[kMailClientPath] = "";
  EXPECT_EQ(PressYes(), Outcome::kEnded);
  EXPECT_THAT(run.shell.started,
              ElementsAre(std::make_pair(std::string(kMailClientPath), kWindowNormalFocus)));
  EXPECT_EQ(run.files.files.count(kReportFile), 0u);
  EXPECT_EQ(run.spreadsheet.Members().back(), "Release");
}

// Where the fixed path means nothing, the desktop's default client is started, whatever file
// of that name the working folder holds.
TEST_F(SendReportByMailTest, TheFixedClientPathIsOnlyAWindowsPath) {
  run.system.path_separator = '/';
  run.files.files[kMailClientPath] = "";
  run.desktop.answers = {kIdYes};
  EXPECT_EQ(PressYes(), Outcome::kEnded);
  EXPECT_THAT(run.shell.started, IsEmpty());
  EXPECT_EQ(run.shell.mail_client_starts, 1);
  EXPECT_EQ(run.files.files.count(kReportFile), 0u);
}

// The mail service could not take the mail: the user's mail program gets it, with the file,
// which stays, for the mail program reads it when the user sends, if ever. The program is
// already open, so the client question is not asked.
TEST_F(SendReportByMailTest, TheMailProgramGetsWhatTheMailServiceCouldNotTake) {
  const struct {
    const char* language;
    const char* box;
  } cases[] = {
      {"3",
       "Your mail program shows the message to soporte@lumbrook.example with the file "
       "attached.\rIt leaves when you send it there.\r\rThe file stays in:\r"},
      {"1",
       "Su programa de correo muestra el mensaje para soporte@lumbrook.example con el archivo "
       "adjunto.\rSale cuando usted lo envíe desde allí.\r\rEl archivo queda en:\r"},
      {"2",
       "Seu programa de e-mail mostra a mensagem para soporte@lumbrook.example com o arquivo "
       "anexado.\rEla sai quando você a enviar por ele.\r\rO arquivo fica em:\r"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    FakeRun run;
    WithReportFile(run, c.language, kRecord);
    run.spreadsheet.installed = true;
    run.spreadsheet.fail = "SendMail";
    run.composer.accepts = true;
    ShowMailQuestionStage(run.app);

    EXPECT_EQ(DispatchClick(run.app, Click::kYes), Outcome::kEnded);
    ASSERT_EQ(run.composer.calls.size(), 1u);
    EXPECT_EQ(run.composer.calls[0].address, kSupportAddress);
    EXPECT_EQ(run.composer.calls[0].subject, kName);
    EXPECT_EQ(run.composer.calls[0].path, kReportFile);
    EXPECT_EQ(run.spreadsheet.Members().back(), "Release") << "let go before the mail program";
    ASSERT_EQ(run.desktop.boxes.size(), 1u) << "no mail-client question";
    EXPECT_EQ(run.desktop.boxes[0].text, std::string(c.box) + kReportFile);
    EXPECT_EQ(run.desktop.boxes[0].style, kMbOk);
    EXPECT_EQ(run.files.files.at(kReportFile), kRecord);
    EXPECT_EQ(run.shell.mail_client_starts, 0);
    EXPECT_THAT(run.shell.started, IsEmpty());
    EXPECT_FALSE(run.app.form.loaded);
  }
}

// A link's text as the mail program reads it; a broken escape fails the test.
std::string LinkText(const std::string& link) {
  std::string text;
  EXPECT_TRUE(PercentDecoded(link, &text)) << link;
  return text;
}

// Neither the mail service nor a mail program that answers for an attachment: the user's
// mail program gets a mailto: link whose text carries the report. Nothing says the file is
// attached, and the file stays.
TEST_F(SendReportByMailTest, AMailLinkCarriesTheReportInItsText) {
  const std::string record = "007011004006003WD-123 -1673912542PC-7PID-42ANA\r\n";
  const struct {
    const char* language;
    const char* words;
    const char* box;
  } cases[] = {
      {"3", "Computer name: PC-7\r\nProduct ID: PID-42\r\nUser name: ANA\r\n\r\nPlease press Send.",
       "Your mail program shows a message to soporte@lumbrook.example with the report in its "
       "text.\rIt leaves only when you press Send there.\rIf no message came up, send the file "
       "yourself.\r\rThe file stays in:\r"},
      {"1", "Nombre de la computadora: PC-7\r\n",
       "Su programa de correo muestra un mensaje para soporte@lumbrook.example con el informe en "
       "su texto.\rSolo sale cuando usted pulse Enviar allí.\rSi no apareció ningún mensaje, "
       "envíe el archivo usted mismo.\r\rEl archivo queda en:\r"},
      {"2", "Número de série do disco: WD-123 \r\n",
       "Seu programa de e-mail mostra uma mensagem para soporte@lumbrook.example com o relatório "
       "no texto.\rEla só sai quando você clicar em Enviar nele.\rSe nenhuma mensagem apareceu, "
       "envie o arquivo você mesmo.\r\rO arquivo fica em:\r"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    FakeRun run;
    WithReportFile(run, c.language, record);
    run.composer.opens_links = true;
    ShowMailQuestionStage(run.app);

    EXPECT_EQ(DispatchClick(run.app, Click::kYes), Outcome::kEnded);
    ASSERT_EQ(run.composer.calls.size(), 1u) << "the mail program that attaches, asked first";
    ASSERT_EQ(run.composer.links.size(), 1u);
    const std::string& link = run.composer.links[0].link;
    EXPECT_EQ(run.composer.links[0].path, kReportFile);
    const std::string head =
        std::string("mailto:soporte@lumbrook.example?subject=") + kName + "&body=";
    ASSERT_EQ(link.rfind(head, 0), 0u) << link;
    EXPECT_LE(link.size(), 2000u);
    EXPECT_EQ(link.find_first_of(" +\n\\\"<>", head.size()), std::string::npos) << link;
    const std::string body = LinkText(link.substr(head.size()));
    EXPECT_NE(body.find(c.words), std::string::npos) << body;
    const std::vector<TextReport> reports = FindReportsInText(body);
    ASSERT_EQ(reports.size(), 1u) << body;
    EXPECT_EQ(reports[0].file_name, kName);
    EXPECT_EQ(reports[0].file_bytes, record);
    ASSERT_EQ(run.desktop.boxes.size(), 1u) << "no mail-client question";
    EXPECT_EQ(run.desktop.boxes[0].text, std::string(c.box) + kReportFile);
    EXPECT_EQ(run.files.files.at(kReportFile), record);
    EXPECT_FALSE(run.app.form.loaded);
  }
}

// The link stays within 2,000 characters: long values are left out of the words, and a
// report that does not fit even alone goes by hand.
TEST_F(SendReportByMailTest, AMailLinkStaysWithinItsLength) {
  run.spreadsheet.installed = false;
  run.composer.opens_links = true;
  const std::string long_id(500, 'P');
  run.files.files[kReportFile] = "007011004500003WD-123 -1673912542PC-7" + long_id + "ANA\r\n";
  EXPECT_EQ(PressYes(), Outcome::kEnded);
  ASSERT_EQ(run.composer.links.size(), 1u);
  const std::string body = LinkText(run.composer.links[0].link);
  EXPECT_LE(run.composer.links[0].link.size(), 2000u);
  EXPECT_EQ(body.find("Product ID"), std::string::npos) << body;
  ASSERT_EQ(FindReportsInText(body).size(), 1u);
  EXPECT_EQ(FindReportsInText(body)[0].file_bytes, run.files.files.at(kReportFile));

  FakeRun big;
  const auto& english = LanguageTexts(3);
  big.app.form.LBLABELS.items.assign(english.begin(), english.end());
  big.app.form.LBLIDIOMA.caption = "3";
  big.app.form.LBLFILENAME.caption = kReportFile;
  big.app.form.LBLFILENAMEONLY.caption = kName;
  big.files.files[kReportFile] =
      "007011004900003WD-123 -1673912542PC-7" + std::string(900, 'P') + "ANA\r\n";
  big.composer.opens_links = true;
  ShowMailQuestionStage(big.app);
  EXPECT_EQ(DispatchClick(big.app, Click::kYes), Outcome::kRunning);
  EXPECT_THAT(big.composer.links, IsEmpty());
  EXPECT_EQ(big.app.form.LBLSTAGE.caption, "7");
  EXPECT_EQ(big.files.files.count(kReportFile), 1u);
}

TEST_F(SendReportByMailTest, SpreadsheetProgramAbsentLeavesTheManualSendScreen) {
  run.spreadsheet.installed = false;
  ExpectManualSendScreen(PressYes());
  EXPECT_THAT(run.spreadsheet.Members(), ElementsAre("Create"));
  ASSERT_EQ(run.composer.calls.size(), 1u) << "the mail program was asked first, and refused";
  EXPECT_EQ(run.composer.calls[0].path, kReportFile);
  ASSERT_EQ(run.composer.links.size(), 1u) << "then the mailto: link, refused too";
  EXPECT_THAT(run.desktop.boxes, IsEmpty());
  // OK at the manual-send screen ends the program and keeps the file.
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kEnded);
  EXPECT_EQ(run.files.files.count(kReportFile), 1u);
}

struct FailurePoint {
  const char* member;
  std::vector<std::string> expected_calls;
};

void PrintTo(const FailurePoint& point, std::ostream* os) { *os << point.member; }

class SendReportByMailFailure : public SendReportByMailTest,
                                public ::testing::WithParamInterface<FailurePoint> {};

// After any automation failure the program is tidied up and released once, and the
// user neither is asked about the mail client nor loses the file.
TEST_P(SendReportByMailFailure, FallsBackAfterTidyingUp) {
  run.spreadsheet.fail = GetParam().member;
  run.desktop.answers = {kIdYes};
  ExpectManualSendScreen(PressYes());
  EXPECT_THAT(run.spreadsheet.Members(), ElementsAreArray(GetParam().expected_calls));
  EXPECT_THAT(run.desktop.boxes, IsEmpty());
  EXPECT_THAT(run.shell.started, IsEmpty());
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kEnded);
}

INSTANTIATE_TEST_SUITE_P(
    EachCall, SendReportByMailFailure,
    ::testing::Values(FailurePoint{"Create", {"Create"}},
                      FailurePoint{"SetScreenUpdating",
                                   {"Create", "SetScreenUpdating", "CloseWorkbook", "SetCaption",
                                    "Quit", "Release"}},
                      FailurePoint{"OpenWorkbook",
                                   {"Create", "SetScreenUpdating", "OpenWorkbook", "CloseWorkbook",
                                    "SetCaption", "Quit", "Release"}},
                      FailurePoint{"SendMail",
                                   {"Create", "SetScreenUpdating", "OpenWorkbook", "SendMail",
                                    "CloseWorkbook", "SetCaption", "Quit", "Release"}}),
    [](const ::testing::TestParamInfo<FailurePoint>& info) { return info.param.member; });

class SendReportByMailAfterHandOver : public SendReportByMailFailure {};

// The mail has gone: a step of letting the program go that fails is skipped, and the run
// ends as after any send, the file deleted.
TEST_P(SendReportByMailAfterHandOver, FailingStepStillEndsTheRun) {
  run.spreadsheet.fail = GetParam().member;
  EXPECT_EQ(PressYes(), Outcome::kEnded);
  EXPECT_THAT(run.spreadsheet.Members(), ElementsAreArray(GetParam().expected_calls));
  EXPECT_EQ(run.desktop.boxes.size(), 1u) << "the mail-client question";
  EXPECT_EQ(run.files.files.count(kReportFile), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    EachCall, SendReportByMailAfterHandOver,
    ::testing::Values(FailurePoint{"CloseWorkbook",
                                   {"Create", "SetScreenUpdating", "OpenWorkbook", "SendMail",
                                    "CloseWorkbook", "SetCaption", "Quit", "Release"}},
                      FailurePoint{"SetCaption",
                                   {"Create", "SetScreenUpdating", "OpenWorkbook", "SendMail",
                                    "CloseWorkbook", "SetCaption", "Quit", "Release"}},
                      FailurePoint{"Quit",
                                   {"Create", "SetScreenUpdating", "OpenWorkbook", "SendMail",
                                    "CloseWorkbook", "SetCaption", "Quit", "Release"}}),
    [](const ::testing::TestParamInfo<FailurePoint>& info) { return info.param.member; });

// Once the mail has gone, the user is never told to send it by hand.
TEST_F(SendReportByMailTest, NoMailClientToStartEndsWithTheFileGone) {
  run.desktop.answers = {kIdYes};
  run.shell.mail_client_succeeds = false;
  EXPECT_EQ(PressYes(), Outcome::kEnded);
  EXPECT_THAT(run.shell.started, IsEmpty()) << "the fixed client is not installed";
  EXPECT_EQ(run.shell.mail_client_starts, 1);
  EXPECT_EQ(run.files.files.count(kReportFile), 0u);
}

TEST_F(SendReportByMailTest, UndeletableFileStillEndsTheRun) {
  run.files.fail = {"Delete"};
  EXPECT_EQ(PressYes(), Outcome::kEnded);
  EXPECT_EQ(run.desktop.boxes.size(), 1u);
  EXPECT_FALSE(run.app.form.loaded);
}

TEST_F(SendReportByMailTest, ManualSendScreenIsInTheRunsLanguage) {
  FMain& f = run.app.form;
  const auto& portuguese = LanguageTexts(2);
  f.LBLABELS.items.assign(portuguese.begin(), portuguese.end());
  run.spreadsheet.installed = false;
  PressYes();
  EXPECT_EQ(f.LBLMSG.caption, std::string("Favor Enviar o Arquivo\r\r") + kReportFile +
                                  "\r\rpara: " + kSupportAddress);
}

}  // namespace
}  // namespace corvane::test
