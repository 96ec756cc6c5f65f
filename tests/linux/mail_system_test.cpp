#include "platform/linux/mail_system.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "form/texts.h"
#include "linux/temp_folder.h"
#include "linux/tool_process.h"

namespace corvane::test {
namespace {

// A stand-in that keeps its arguments in NAME.args, prints OUTPUT and exits with STATUS.
std::string Tool(const std::string& name, const std::string& output, int status) {
  return "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/" + name + ".args\"\nprintf '" +
         output + "'\nexit " + std::to_string(status) + "\n";
}

struct MailSystemCase {
  const char* name;
  // Stand-ins: a file name and its script, or "->" and the name sendmail links to.
  std::vector<std::pair<std::string, std::string>> tools;
  bool sends_off;
  const char* reason;  // a part of it
};

const std::string kPostfixSends = "default_transport = smtp\\nrelayhost = [smtp.example]:587\\n";

const MailSystemCase kCases[] = {
    {"exim local only",
     {{"sendmail", "->exim4"},
      {"exim4", Tool("exim4",
                     "soporte@lumbrook.example is undeliverable: Mailing to remote domains not "
                     "supported\\n",
                     2)}},
     false,
     "the mail system delivers locally only (exim: soporte@lumbrook.example is undeliverable: "
     "Mailing to remote domains not supported)"},
    {"exim smarthost",
     {{"sendmail", "->exim4"},
      {"exim4", Tool("exim4",
                     "soporte@lumbrook.example\\n  router = smarthost, transport = "
                     "remote_smtp_smarthost\\n  host smtp.example [192.0.2.1]\\n",
                     0)}},
     true,
     ""},
    {"exim into a local mailbox",
     {{"sendmail", "->exim4"},
      {"exim4",
       Tool("exim4", "soporte@lumbrook.example\\n  router = local_user, transport = mail_spool\\n",
            0)}},
     false,
     "delivers locally only (exim: soporte@lumbrook.example goes to mail_spool)"},
    {"postfix local only",
     {{"sendmail", Tool("sendmail", "", 0)},
      {"postconf", Tool("postconf", "default_transport = error\\nrelayhost =\\n", 0)},
      {"postqueue", Tool("postqueue", "Mail queue is empty\\n", 0)}},
     false,
     "the mail system delivers locally only (postfix: default_transport = error)"},
    // The usual local-only forms keep the mail here even with a relay host set.
    {"postfix error with a reason",
     {{"sendmail", Tool("sendmail", "", 0)},
      {"postconf", Tool("postconf",
                        "default_transport = error: outbound mail is disabled\\nrelayhost = "
                        "[smtp.example]:587\\n",
                        0)},
      {"postqueue", Tool("postqueue", "Mail queue is empty\\n", 0)}},
     false,
     "the mail system delivers locally only (postfix: default_transport = error: outbound mail "
     "is disabled)"},
    {"postfix discard",
     {{"sendmail", Tool("sendmail", "", 0)},
      {"postconf",
       Tool("postconf", "default_transport = discard\\nrelayhost = [smtp.example]:587\\n", 0)},
      {"postqueue", Tool("postqueue", "Mail queue is empty\\n", 0)}},
     false,
     "(postfix: default_transport = discard)"},
    {"postfix retry",
     {{"sendmail", Tool("sendmail", "", 0)},
      {"postconf", Tool("postconf",
                        "default_transport = retry:no mail out today\\nrelayhost = "
                        "[smtp.example]:587\\n",
                        0)},
      {"postqueue", Tool("postqueue", "Mail queue is empty\\n", 0)}},
     false,
     "(postfix: default_transport = retry:no mail out today)"},
    {"postfix not running",
     {{"sendmail", Tool("sendmail", "", 0)},
      {"postconf", Tool("postconf", kPostfixSends, 0)},
      {"postqueue",
       Tool("postqueue", "postqueue: fatal: Queue report unavailable - mail system is down\\n",
            69)}},
     false,
     "the mail system is not running (postfix: postqueue: fatal: Queue report unavailable - mail "
     "system is down)"},
    {"postfix without relay host",
     {{"sendmail", Tool("sendmail", "", 0)},
      {"postconf", Tool("postconf", "default_transport = smtp\\nrelayhost =\\n", 0)},
      {"postqueue", Tool("postqueue", "Mail queue is empty\\n", 0)}},
     false,
     "the mail system has no relay host"},
    {"postfix with relay host",
     {{"sendmail", Tool("sendmail", "", 0)},
      {"postconf", Tool("postconf", kPostfixSends, 0)},
      {"postqueue", Tool("postqueue", "Mail queue is empty\\n", 0)}},
     true,
     ""},
    {"nullmailer",
     {{"sendmail", Tool("sendmail", "", 0)}, {"nullmailer-queue", Tool("nq", "", 0)}},
     false,
     "is no mail system known to send mail off this machine at once"},
    {"msmtp", {{"sendmail", "->msmtp"}, {"msmtp", Tool("msmtp", "", 0)}}, true, ""},
    {"nothing", {}, false, "no mail system ("},
};

void PrintTo(const MailSystemCase& c, std::ostream* os) { *os << c.name; }

class JudgeMailSystemTest : public ::testing::TestWithParam<MailSystemCase> {};

// Each mail system is asked through its own tools, and only what it says decides; the
// message itself goes nowhere.
TEST_P(JudgeMailSystemTest, OnlyAMailSystemThatSendsOffThisMachineIsUsed) {
  const MailSystemCase& c = GetParam();
  TempFolder folder;
  for (const auto& [name, script] : c.tools) {
    if (script.rfind("->", 0) == 0) {
      ASSERT_EQ(::symlink(script.substr(2).c_str(), (folder / name).c_str()), 0);
    } else {
      WriteExecutable(folder / name, script);
    }
  }
  const MailSystemJudgement judged =
      JudgeMailSystem(folder / "sendmail", kSupportAddress, {folder.path()});
  EXPECT_EQ(judged.sends_off, c.sends_off) << judged.reason;
  EXPECT_NE(judged.reason.find(c.reason), std::string::npos) << judged.reason;
  EXPECT_EQ(judged.reason.find('\n'), std::string::npos) << "one line";
  EXPECT_EQ(::access((folder / "sendmail.args").c_str(), F_OK), -1) << "sendmail was not run";
  if (c.tools.size() > 1 && c.tools[1].first == "exim4") {
    EXPECT_EQ(ReadFile(folder / "exim4.args"), std::string("-bv\n-v\n") + kSupportAddress + "\n");
  }
  if (c.tools.size() > 1 && c.tools[1].first == "postconf") {
    EXPECT_EQ(ReadFile(folder / "postconf.args"), "default_transport\nrelayhost\n");
  }
}

INSTANTIATE_TEST_SUITE_P(EachMailSystem, JudgeMailSystemTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<MailSystemCase>& info) {
                           std::string name = info.param.name;
                           for (char& ch : name) ch = ch == ' ' ? '_' : ch;
                           return name;
                         });

// A tool that never answers is stopped, and the mail system is not judged able to send.
TEST(JudgeMailSystem, AToolWithoutAnAnswerIsStopped) {
  TempFolder folder;
  WriteExecutable(folder / "exim4", "#!/bin/sh\nexec sleep 30\n");
  ASSERT_EQ(::symlink("exim4", (folder / "sendmail").c_str()), 0);
  const MailSystemJudgement judged = JudgeMailSystem(
      folder / "sendmail", kSupportAddress, {folder.path()}, std::chrono::milliseconds(300));
  EXPECT_FALSE(judged.sends_off);
  EXPECT_NE(judged.reason.find("no answer within 1 s"), std::string::npos) << judged.reason;
}

// The peak resident memory of this process since it was last reset, in kB.
long PeakResidentKb() {
  const std::string status = ReadFile("/proc/self/status");
  const size_t at = status.find("VmHWM:");
  return at == std::string::npos ? -1 : std::stol(status.substr(at + 6));
}

// A tool that prints 64 MB where a line was expected: what is kept is the start of it, and
// neither this process nor the channel the tool writes into holds the rest.
TEST(JudgeMailSystem, AToolThatPrintsWithoutEndHoldsNoMemory) {
  TempFolder folder;
  WriteExecutable(folder / "exim4",
                  "#!/bin/sh\n"
                  "echo \"$3 is undeliverable: Mailing to remote domains not supported\"\n"
                  "yes 'more of the same' | head -c 67108864\n"
                  "held=$(stat -L -c %s /proc/$$/fd/1)\n"
                  "echo \"$held\" > \"$(dirname \"$0\")/held\"\n"
                  "exit 2\n");
  ASSERT_EQ(::symlink("exim4", (folder / "sendmail").c_str()), 0);
  std::ofstream reset("/proc/self/clear_refs");
  ASSERT_TRUE(reset << "5" << std::flush) << "the peak cannot start again from here";
  const long before = PeakResidentKb();
  const MailSystemJudgement judged =
      JudgeMailSystem(folder / "sendmail", kSupportAddress, {folder.path()});
  const long growth = PeakResidentKb() - before;
  EXPECT_FALSE(judged.sends_off);
  EXPECT_NE(judged.reason.find("(exim: soporte@lumbrook.example is undeliverable: Mailing to "
                               "remote domains not supported)"),
            std::string::npos)
      << judged.reason;
  EXPECT_LT(std::stol(ReadFile(folder / "held")), 1 << 20) << "bytes held by the output";
  EXPECT_LT(growth, 16 * 1024) << "kB more at the peak";
}

// Only absolute folders of PATH count: an empty or relative entry would be the working folder.
TEST(MailToolFolders, AbsoluteFoldersOfPathThenTheSystemsOwn) {
  const char* saved = std::getenv("PATH");
  const std::string path = saved ? saved : "";
  ::setenv("PATH", "/opt/mail/bin::bin:/usr/local/bin", 1);
  EXPECT_EQ(MailToolFolders(),
            (std::vector<std::string>{"/opt/mail/bin", "/usr/local/bin", "/usr/sbin", "/usr/bin",
                                      "/sbin", "/bin"}));
  ::setenv("PATH", path.c_str(), 1);
}

}  // namespace
}  // namespace corvane::test
