#include "platform/linux/shell.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "linux/temp_folder.h"
#include "linux/tool_process.h"
#include "platform/linux/mail_composer.h"
#include "platform/linux/mail_hand_over.h"

namespace corvane::test {
namespace {

class LinuxShellTest : public ::testing::Test {
 protected:
  LinuxShellTest() {
    // Keeps its arguments, one a line, and what it reads.
    WriteExecutable(folder / "client",
                    "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n"
                    "cat > \"$(dirname \"$0\")/stdin\"\n");
  }
  TempFolder folder;
};

// No shell sees the arguments: quotes, $( ), ; and blanks arrive as they were given.
TEST_F(LinuxShellTest, StartsTheMailClientWithItsArgumentsAsGiven) {
  LinuxShell shell({folder / "client", "support@example.org", "$(touch pwned)", "a b;c", "'"});
  EXPECT_TRUE(shell.StartMailClient());
  WaitForChildren();
  EXPECT_EQ(ReadFile(folder / "args"), "support@example.org\n$(touch pwned)\na b;c\n'\n");
  EXPECT_EQ(ReadFile(folder / "stdin"), "") << "the program must not read our input";
  EXPECT_FALSE(std::filesystem::exists("pwned"));
}

TEST_F(LinuxShellTest, StartsOtherProgramsByTheirPath) {
  LinuxShell shell;
  EXPECT_TRUE(shell.StartProgram(folder / "client", kWindowNormalFocus));
  WaitForChildren();
  EXPECT_EQ(ReadFile(folder / "args"), "\n") << "printf's one line for no arguments";
}

TEST_F(LinuxShellTest, AProgramThatCannotBeStartedIsReported) {
  EXPECT_FALSE(LinuxShell({folder / "no-such-client", "x@y.z"}).StartMailClient());
  EXPECT_FALSE(LinuxShell().StartMailClient()) << "no mail client";
  LinuxShell shell;
  EXPECT_FALSE(shell.StartProgram(folder / "missing", kWindowNormalFocus));
  EXPECT_FALSE(shell.StartProgram(folder.path(), kWindowNormalFocus)) << "a folder";
}

// Never the real restart: the command is a stand-in that answers as logind would.
TEST_F(LinuxShellTest, RestartIsGrantedOnlyWhenTheCommandSucceeds) {
  WriteExecutable(folder / "granted",
                  "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n");
  WriteExecutable(folder / "refused", "#!/bin/sh\necho 'Access denied' >&2\nexit 1\n");
  EXPECT_TRUE(LinuxShell({}, {folder / "granted", "reboot"}).RequestRestart());
  EXPECT_EQ(ReadFile(folder / "args"), "reboot\n");
  EXPECT_FALSE(LinuxShell({}, {folder / "refused", "reboot"}).RequestRestart());
  EXPECT_FALSE(LinuxShell({}, {folder / "missing", "reboot"}).RequestRestart());
}

// True once the process has ended (a zombie that nobody reaps yet counts as ended).
bool Ended(const std::string& pid) {
  std::ifstream stat("/proc/" + pid + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const size_t paren = line.rfind(')');
  return paren != std::string::npos && line.compare(paren + 2, 1, "Z") == 0;
}

// A child that never answers, and what it started, are stopped at the time limit; the
// wizard then takes its failure path (restart refused, or the file sent by hand).
TEST_F(LinuxShellTest, HungChildrenAreStoppedWithWhatTheyStarted) {
  // Starts a helper of its own, then hangs with it.
  WriteExecutable(folder / "hangs",
                  "#!/bin/sh\nsleep 600 & echo $! > \"$(dirname \"$0\")/helper.$$\"\n"
                  "echo $$ > \"$(dirname \"$0\")/pid\"\ncat >/dev/null\nsleep 600\n");
  const auto limit = std::chrono::milliseconds(500);
  const auto stopped_in_time = [&](auto&& wait) {
    const auto start = std::chrono::steady_clock::now();
    wait();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, limit);
    // Stopping and reaping takes far less than the limit itself.
    EXPECT_LT(took, 4 * limit);
    const std::string pid = ReadFile(folder / "pid").substr(0, ReadFile(folder / "pid").find('\n'));
    std::string helper = ReadFile(folder / ("helper." + pid));
    helper = helper.substr(0, helper.find('\n'));
    ASSERT_FALSE(helper.empty());
    for (int i = 0; i < 100 && !Ended(helper); ++i) ::usleep(10000);
    EXPECT_TRUE(Ended(pid));
    EXPECT_TRUE(Ended(helper)) << "the child's helper outlived it";
  };

  stopped_in_time(
      [&] { EXPECT_FALSE(LinuxShell({}, {folder / "hangs"}, limit).RequestRestart()); });
  stopped_in_time([&] {
    std::ofstream(folder / "report.kik") << "record\r\n";
    SendmailAutomation automation(folder / "hangs", limit);
    auto sheet = automation.Create("excel.application");
    sheet->OpenWorkbook(folder / "report.kik");
    try {
      sheet->SendMail("report.kik", "support@example.org", "report.kik");
      ADD_FAILURE() << "a hung sendmail counted as sent";
    } catch (const AutomationError& e) {
      EXPECT_NE(std::string(e.what()).find("no answer within 500 ms"), std::string::npos)
          << e.what();
    }
  });
}

// An xdg-email still running at the limit is the mail program holding the message: it is
// left to run, and counts as taken. One that ends says yes or no by its exit status. No
// desktop mail program answers for an attachment, so none is asked to take one alone.
TEST_F(LinuxShellTest, TheMailComposerIsTheDesktopsMailProgram) {
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  ::setenv("DISPLAY", ":97", 1);
  WriteExecutable(folder / "stays", "#!/bin/sh\nsleep 1\ntouch \"$(dirname \"$0\")/still\"\n");
  WriteExecutable(folder / "none", "#!/bin/sh\nexit 3\n");
  const auto limit = std::chrono::milliseconds(200);
  const std::string link = "mailto:a@b.example?subject=r.kik&body=x%0D%0Ay";
  EXPECT_FALSE(XdgEmailComposer(folder / "client", limit).Compose("a@b.example", "r.kik", "/r"));
  EXPECT_FALSE(std::filesystem::exists(folder / "args"));
  EXPECT_TRUE(XdgEmailComposer(folder / "client", limit).OpenMailLink(link, "/r"));
  EXPECT_EQ(ReadFile(folder / "args"), "--attach\n/r\n" + link + "\n");
  EXPECT_FALSE(XdgEmailComposer(folder / "none", limit).OpenMailLink(link, "/r"));
  EXPECT_FALSE(XdgEmailComposer(folder / "missing", limit).OpenMailLink(link, "/r"));
  EXPECT_TRUE(XdgEmailComposer(folder / "stays", limit).OpenMailLink(link, "/r"));
  WaitForChildren();
  EXPECT_TRUE(std::filesystem::exists(folder / "still")) << "the mail program was stopped";
  ::unsetenv("DISPLAY");
  EXPECT_FALSE(XdgEmailComposer(folder / "client", limit).OpenMailLink(link, "/r"))
      << "no desktop session";
  if (display) ::setenv("DISPLAY", saved.c_str(), 1);
}

// The mail service gets a minute to take the message before it counts as not sent.
TEST(SendmailAutomation, WaitsAMinuteByDefault) {
  EXPECT_EQ(SendmailAutomation().limit(), std::chrono::seconds(60));
  EXPECT_EQ(SendmailAutomation("/usr/sbin/sendmail", std::chrono::seconds(5)).limit(),
            std::chrono::seconds(5));
}

}  // namespace
}  // namespace corvane::test
