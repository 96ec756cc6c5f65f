#include "platform/linux/mail_hand_over.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "form/texts.h"
#include "linux/temp_folder.h"
#include "linux/tool_process.h"

namespace corvane::test {
namespace {

// Every byte value, several times over, so that the attachment spans many base64 lines.
std::string BinaryRecord() {
  std::string bytes;
  for (int round = 0; round < 20; ++round) {
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  }
  return bytes + "\r\n.\r\n";
}

std::string WriteRecord(const TempFolder& folder, const std::string& name,
                        const std::string& content) {
  const std::string path = folder / name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

std::string HostName() {
  char host[256] = {};
  return ::gethostname(host, sizeof host - 1) == 0 ? host : "";
}

// The mail the spreadsheet program would send, as the core asks for it, with the text the
// core writes in the language of `code`.
void SendLikeTheCore(SpreadsheetAutomation& automation, const std::string& path,
                     const std::string& name, bool delete_after_open = false,
                     const std::string& code = "3") {
  automation.SetMailText(MailBodyText(code, name, HostName()));
  auto sheet = automation.Create("excel.application");
  sheet->SetScreenUpdating(false);
  sheet->OpenWorkbook(path);
  if (delete_after_open) ::unlink(path.c_str());
  sheet->SendMail(name, kSupportAddress, name);
  sheet->CloseWorkbook(name, false);
  sheet->SetCaption("Microsoft Excel");
  sheet->Quit();
}

class RealMailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = MissingMailTools();
    if (!missing.empty()) GTEST_SKIP() << missing << "; scripts/test installs it";
    sink = std::make_unique<SmtpSink>(folder);
  }

  TempFolder folder;
  std::unique_ptr<SmtpSink> sink;
};

// The file is deleted right after SendMail, so the hand-over must be complete by then.
TEST_F(RealMailTest, TheServerGetsTheFileByteForByteUnderItsName) {
  const std::string name = "Lumbrook20260131PC-7.kik";
  const std::string content = BinaryRecord();
  const std::string path = WriteRecord(folder, name, content);
  SendmailAutomation automation(sink->sendmail());

  ::unsetenv("EMAIL");
  SendLikeTheCore(automation, path, name, /*delete_after_open=*/true);

  ASSERT_TRUE(sink->HasMessage(1));
  EXPECT_FALSE(sink->HasMessage(2));
  EXPECT_EQ(sink->Kept(1, "rcpt"), std::string(kSupportAddress) + "\n");
  EXPECT_EQ(sink->Kept(1, "to"), kSupportAddress);
  EXPECT_EQ(sink->Kept(1, "subject"), name);
  EXPECT_EQ(sink->Kept(1, "1.name"), name);
  EXPECT_EQ(sink->Kept(1, "1.data"), content);
  EXPECT_EQ(sink->Kept(1, "2.name"), "") << "exactly one attachment";
}

// What a mail reader shows and files it by, as Python's e-mail parser reads it.
TEST_F(RealMailTest, TheMessageIsDatedIdentifiedAndSaysWhatIsAttached) {
  const std::string name = "Lumbrook20260131PC-7.kik";
  const std::string path = WriteRecord(folder, name, "record\r\n");
  SendmailAutomation automation(sink->sendmail());
  ::unsetenv("EMAIL");
  SendLikeTheCore(automation, path, name);
  ::setenv("EMAIL", "Ana Lopez <ana@pc-7.example>", 1);
  SendLikeTheCore(automation, path, name);
  ::unsetenv("EMAIL");

  char host[256] = {};
  ASSERT_EQ(::gethostname(host, sizeof host), 0);
  for (int n : {1, 2}) {
    SCOPED_TRACE(n);
    ASSERT_TRUE(sink->HasMessage(n));
    EXPECT_EQ(sink->Kept(n, "date").size(), 25u) << sink->Kept(n, "date");  // with its offset
    const std::string id = sink->Kept(n, "message_id");
    EXPECT_TRUE(id.front() == '<' && id.back() == '>' && id.find('@') != std::string::npos) << id;
    EXPECT_EQ(sink->Kept(n, "mime_version"), "1.0");
    const std::string text = sink->Kept(n, "text");
    EXPECT_NE(text.find(name), std::string::npos) << text;
    EXPECT_NE(text.find(host), std::string::npos) << text;
    EXPECT_EQ(sink->Kept(n, "1.name"), name);
    EXPECT_EQ(sink->Kept(n, "1.data"), "record\r\n");
  }
  EXPECT_NE(sink->Kept(1, "message_id"), sink->Kept(2, "message_id"));
  // Without $EMAIL the mail system's own sender (msmtp's configured one here) stands.
  EXPECT_EQ(sink->Kept(1, "from"), "corvane-test@localhost");
  EXPECT_EQ(sink->Kept(2, "from"), "Ana Lopez <ana@pc-7.example>");
}

// The mail carries the core's text, in the run's language, the file and the computer named in
// it.
TEST_F(RealMailTest, TheTextIsInTheRunsLanguage) {
  const std::string path = WriteRecord(folder, "r.kik", "record\r\n");
  const struct {
    const char* code;
    const char* words;
  } cases[] = {{"1", "contiene la información de la computadora"},
               {"2", "contém as informações do computador"},
               {"3", "holds the machine information of the computer"}};
  SendmailAutomation automation(sink->sendmail());
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    SendLikeTheCore(automation, path, "r.kik", false, c.code);
    ASSERT_TRUE(sink->HasMessage(++n));
    const std::string text = sink->Kept(n, "text");
    EXPECT_NE(text.find(c.words), std::string::npos) << text;
    EXPECT_NE(text.find("r.kik"), std::string::npos) << text;
  }
}

// Names a file system allows but a mail header must not carry as they are.
TEST_F(RealMailTest, UnusualFileNamesArriveIntactAndInjectNothing) {
  const std::string names[] = {
      "Relatório da máquina de ÁLVARO NUÑEZ em São Paulo, versão final ção.kik",
      "say \"hi\" \\ =?UTF-8?B?eA==?= ; x=y.kik",
      "PC\r\nBcc: intruder@example.com\r\nX-Injected: yes.kik",
  };
  SendmailAutomation automation(sink->sendmail());
  int n = 0;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string content = "0030 " + name + "\r\n";
    SendLikeTheCore(automation, WriteRecord(folder, name, content), name);
    ++n;
    ASSERT_TRUE(sink->HasMessage(n));
    EXPECT_EQ(sink->Kept(n, "rcpt"), std::string(kSupportAddress) + "\n");
    EXPECT_EQ(sink->Kept(n, "1.name"), name);
    EXPECT_EQ(sink->Kept(n, "subject"), name);
    EXPECT_EQ(sink->Kept(n, "1.data"), content);
    const std::string raw = sink->Kept(n, "eml");
    EXPECT_EQ(raw.find("\nX-Injected"), std::string::npos);
    EXPECT_EQ(raw.find("\nBcc"), std::string::npos);
  }
}

TEST_F(RealMailTest, AFailedDeliveryIsAnError) {
  const std::string path = WriteRecord(folder, "r.kik", "x\r\n");
  sink->Stop();
  SendmailAutomation automation(sink->sendmail());
  auto sheet = automation.Create("excel.application");
  sheet->OpenWorkbook(path);
  try {
    sheet->SendMail("r.kik", kSupportAddress, "r.kik");
    FAIL() << "no server took the mail";
  } catch (const AutomationError& e) {
    EXPECT_NE(std::string(e.what()).find("exit status"), std::string::npos) << e.what();
  }
}

// A stand-in sendmail that keeps its arguments and the message it reads.
class SendmailInterfaceTest : public ::testing::Test {
 protected:
  SendmailInterfaceTest() {
    WriteExecutable(folder / "sendmail",
                    "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n"
                    "cat > \"$(dirname \"$0\")/message\"\n");
    path = WriteRecord(folder, "r.kik", "record\r\n");
  }

  TempFolder folder;
  std::string path;
};

TEST_F(SendmailInterfaceTest, RecipientsComeFromTheHeadersAndALoneDotIsData) {
  SendmailAutomation automation(folder / "sendmail");
  SendLikeTheCore(automation, path, "r.kik");
  EXPECT_EQ(ReadFile(folder / "args"), "-t\n-oi\n");
  const std::string message = ReadFile(folder / "message");
  EXPECT_EQ(message.rfind(std::string("To: ") + kSupportAddress + "\n", 0), 0u) << message;
  EXPECT_NE(message.find("\nSubject: r.kik\n"), std::string::npos) << message;
}

TEST_F(SendmailInterfaceTest, ANonZeroExitIsAnErrorThatQuotesSendmail) {
  WriteExecutable(folder / "failing",
                  "#!/bin/sh\ncat >/dev/null\necho 'no route to host' >&2\nexit 75\n");
  SendmailAutomation automation(folder / "failing");
  auto sheet = automation.Create("excel.application");
  sheet->OpenWorkbook(path);
  try {
    sheet->SendMail("r.kik", kSupportAddress, "r.kik");
    FAIL() << "the hand-over failed";
  } catch (const AutomationError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("exit status 75"), std::string::npos) << what;
    EXPECT_NE(what.find("no route to host"), std::string::npos) << what;
  }
}

TEST_F(SendmailInterfaceTest, MissingSendmailIsAnError) {
  SendmailAutomation automation(folder / "no-such-sendmail");
  auto sheet = automation.Create("excel.application");
  sheet->OpenWorkbook(path);
  EXPECT_THROW(sheet->SendMail("r.kik", kSupportAddress, "r.kik"), AutomationError);
}

TEST_F(SendmailInterfaceTest, ARecipientThatIsNotAPlainAddressStartsNothing) {
  SendmailAutomation automation(folder / "sendmail");
  auto sheet = automation.Create("excel.application");
  sheet->OpenWorkbook(path);
  for (const char* to : {"a@b.example\nBcc: c@d.example", "a@b.example, c@d.example",
                         "Support <a@b.example>", "-oQ/tmp@x", ""}) {
    EXPECT_THROW(sheet->SendMail("r.kik", to, "r.kik"), AutomationError) << to;
  }
  EXPECT_EQ(::access((folder / "args").c_str(), F_OK), -1);
}

// The spreadsheet program's own rules: only an open workbook can be mailed or closed,
// and a program that has quit answers nothing.
TEST_F(SendmailInterfaceTest, WorkbooksMustBeOpenAndTheProgramRunning) {
  SendmailAutomation automation(folder / "sendmail");
  auto sheet = automation.Create("excel.application");
  EXPECT_THROW(sheet->OpenWorkbook(folder / "missing.kik"), AutomationError);
  EXPECT_THROW(sheet->OpenWorkbook(folder.path()), AutomationError);
  EXPECT_THROW(sheet->SendMail("r.kik", kSupportAddress, "r.kik"), AutomationError);
  sheet->OpenWorkbook(path);
  sheet->CloseWorkbook("r.kik", false);
  EXPECT_THROW(sheet->CloseWorkbook("r.kik", false), AutomationError);
  EXPECT_THROW(sheet->SendMail("r.kik", kSupportAddress, "r.kik"), AutomationError);
  sheet->OpenWorkbook(path);
  sheet->Quit();
  EXPECT_THROW(sheet->SendMail("r.kik", kSupportAddress, "r.kik"), AutomationError);
  EXPECT_THROW(sheet->SetCaption("Microsoft Excel"), AutomationError);
  EXPECT_THROW(sheet->Quit(), AutomationError);
}

}  // namespace
}  // namespace corvane::test
