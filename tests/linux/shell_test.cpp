#include "platform/linux/shell.h"

#include <gtest/gtest.h>

#include <string>

#include "linux/temp_folder.h"
#include "linux/tool_process.h"

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

}  // namespace
}  // namespace corvane::test
