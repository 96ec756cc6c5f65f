// Every wizard path, from the first screen to each ending, run once for every platform call
// on that path failing in turn.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/dispatch.h"
#include "fakes/faulty_platform.h"
#include "platform/registry_helpers.h"
#include "report/record_decode.h"

namespace corvane::test {
namespace {

// What the user does: the language option, a button, closing the window, or starting the
// program again once the machine has restarted.
enum class Act { kEnglish, kOk, kYes, kNo, kClose, kRestart };

struct WizardPath {
  const char* name;
  std::function<void(FakePlatform&)> arrange;
  std::vector<Act> acts;
  Outcome ending;      // of the run without faults
  const char* stages;  // the stages it shows, in order
};

void AtaDrive(FakePlatform& p) {
  p.smart.device_map = 0x01;
  PutAtaString(p.smart.drives[0].identify, 20, 20, "wd-123");
}

const std::vector<WizardPath>& Paths() {
  using A = Act;
  static const std::vector<WizardPath> paths = {
      {"NoLanguage", [](FakePlatform&) {}, {A::kOk}, Outcome::kEnded, "0"},
      {"Declined", [](FakePlatform&) {}, {A::kEnglish, A::kOk, A::kNo}, Outcome::kEnded, "0 1"},
      {"MailSentAndClientStarted",
       [](FakePlatform& p) {
         AtaDrive(p);
         p.spreadsheet.installed = true;
         p.desktop.answers = {kIdYes};
       },
       {A::kEnglish, A::kOk, A::kYes, A::kYes},
       Outcome::kEnded,
       "0 1 2"},
      {"MailFailsSoTheFileGoesByHand",
       [](FakePlatform& p) { AtaDrive(p); },
       {A::kEnglish, A::kOk, A::kYes, A::kYes, A::kOk},
       Outcome::kEnded,
       "0 1 2 7"},
      // The mail hand-over past its time limit fails as a refused SendMail does.
      {"MailHandOverTimesOut",
       [](FakePlatform& p) {
         AtaDrive(p);
         p.spreadsheet.installed = true;
         p.spreadsheet.fail = "SendMail";
       },
       {A::kEnglish, A::kOk, A::kYes, A::kYes, A::kOk},
       Outcome::kEnded,
       "0 1 2 7"},
      // The mail program takes what the mail service could not; the file stays for it.
      {"MailProgramTakesTheFile",
       [](FakePlatform& p) {
         AtaDrive(p);
         p.composer.accepts = true;
       },
       {A::kEnglish, A::kOk, A::kYes, A::kYes},
       Outcome::kEnded,
       "0 1 2"},
      {"NoMailOnThisMachine",
       [](FakePlatform& p) { AtaDrive(p); },
       {A::kEnglish, A::kOk, A::kYes, A::kNo, A::kOk},
       Outcome::kEnded,
       "0 1 2 3"},
      {"WindowClosedAtTheMailQuestion",
       [](FakePlatform& p) { AtaDrive(p); },
       {A::kEnglish, A::kOk, A::kYes, A::kClose},
       Outcome::kEnded,
       "0 1 2"},
      {"DriverMissing",
       [](FakePlatform&) {},
       {A::kEnglish, A::kOk, A::kYes, A::kOk},
       Outcome::kEnded,
       "0 1 6"},
      {"DriverCannotBeCopied",
       [](FakePlatform& p) {
         p.files.files[kDriverSource] = "driver";
         p.files.read_only_folders = {"C:\\WINDOWS\\SYSTEM\\iosubsys"};
       },
       {A::kEnglish, A::kOk, A::kYes, A::kOk},
       Outcome::kEnded,
       "0 1 7"},
      {"RestartThenReportWithoutTheDisk",
       [](FakePlatform& p) { p.files.files[kDriverSource] = "driver"; },
       {A::kEnglish, A::kOk, A::kYes, A::kOk, A::kRestart, A::kOk, A::kNo, A::kOk},
       Outcome::kEnded,
       "0 1 8 9 2 3"},
      // An installed copy: own files per user, the report on the desktop, the default client.
      {"InstalledCopyRestartsAndMails",
       [](FakePlatform& p) {
         p.system.program_folder = "C:\\Program Files\\Corvane";
         p.files.read_only_folders = {p.system.program_folder, "C:"};
         p.files.files["C:\\Program Files\\Corvane\\smartvsd.vxd"] = "driver";
         p.spreadsheet.installed = true;
         p.desktop.answers = {kIdYes};
       },
       {A::kEnglish, A::kOk, A::kYes, A::kOk, A::kRestart, A::kOk, A::kYes},
       Outcome::kEnded,
       "0 1 8 9 2"},
      {"RestartRefused",
       [](FakePlatform& p) {
         p.files.files[kDriverSource] = "driver";
         p.shell.restart_succeeds = false;
       },
       {A::kEnglish, A::kOk, A::kYes, A::kOk},
       Outcome::kEnded,
       "0 1 8"},
      {"NetworkFolder",
       [](FakePlatform& p) { p.system.program_folder = "\\\\srv\\share"; },
       {A::kEnglish, A::kOk, A::kOk},
       Outcome::kEnded,
       "0 4"},
      {"SecondCopy",
       [](FakePlatform& p) {
         p.desktop.another_running = true;
         p.desktop.running_copy = 7;
       },
       {},
       Outcome::kEnded,
       ""},
  };
  return paths;
}

// One run of a path with call `fail_at` failing; checks what must hold after every step.
class PathRun {
 public:
  PathRun(const WizardPath& path, int fail_at) : path_(path), faulty_(fakes_, fail_at) {
    path.arrange(fakes_);
  }

  Outcome Go() {
    app_ = std::make_unique<App>(faulty_.platform);
    Outcome outcome = StartProgram(*app_);
    Check(outcome);
    for (Act act : path_.acts) {
      if (outcome != Outcome::kRunning) break;
      if (act == Act::kRestart) {
        if (!WaitingForRestart()) break;
        app_ = std::make_unique<App>(faulty_.platform);
        outcome = StartProgram(*app_);
      } else {
        outcome = Do(act);
        if (outcome == Outcome::kIgnored) {
          outcome = Outcome::kRunning;  // the path went elsewhere: that screen must hold
          break;
        }
      }
      Check(outcome);
    }
    return outcome;
  }

  FMain& form() { return app_->form; }
  const FaultCounter& counter() const { return faulty_.counter; }
  std::string Stages() const {
    std::string joined;
    for (const std::string& s : stages_) joined += (joined.empty() ? "" : " ") + s;
    return joined;
  }

 private:
  Outcome Do(Act act) {
    switch (act) {
      case Act::kEnglish:
        return SelectOption(*app_, app_->form.OBENG);
      case Act::kOk:
        return DispatchClick(*app_, Click::kOk);
      case Act::kYes:
        return DispatchClick(*app_, Click::kYes);
      case Act::kNo:
        return DispatchClick(*app_, Click::kNo);
      case Act::kClose:
        return CloseWindow(*app_);
      case Act::kRestart:
        break;
    }
    return Outcome::kIgnored;
  }

  // The restart was asked for and the system now ends the program.
  bool WaitingForRestart() {
    return !form().visible && form().LBLSTAGE.caption == "8" && fakes_.shell.restart_requests > 0;
  }

  std::string Context() const {
    return std::string(path_.name) + ", failing " + faulty_.counter.failed();
  }

  void Check(Outcome outcome) {
    const FMain& f = form();
    const std::string& stage = f.LBLSTAGE.caption;
    if (!stage.empty() && (stages_.empty() || stages_.back() != stage)) stages_.push_back(stage);
    switch (outcome) {
      case Outcome::kRunning:
        if (WaitingForRestart()) {
          // Nobody would start the program again after a restart without its Run value.
          EXPECT_TRUE(
              ReadRegistryString(fakes_.registry, kHkeyLocalMachine, kRunKey, kRunValueName))
              << Context();
          break;
        }
        EXPECT_TRUE(f.visible && f.loaded) << Context() << ": stage " << stage << " hidden";
        EXPECT_NE(std::string("0 1 2 3 4 6 7 8 9 ").find(stage + " "), std::string::npos)
            << Context() << ": stage " << stage;
        EXPECT_TRUE(f.LBLOK.visible || (f.LBLYES.visible && f.LBLNO.visible))
            << Context() << ": stage " << stage << " without a button";
        break;
      case Outcome::kFailed:
        ASSERT_FALSE(faulty_.desktop.attempted.empty()) << Context();
        EXPECT_EQ(faulty_.desktop.attempted.back().style & kMbIconError, kMbIconError) << Context();
        [[fallthrough]];
      case Outcome::kEnded:
        EXPECT_FALSE(f.loaded) << Context();
        break;
      case Outcome::kIgnored:
        ADD_FAILURE() << Context() << ": the step was ignored";
    }
    // The file to send by hand is still there.
    if (outcome == Outcome::kRunning && f.visible && stage == "7" && !reported_.empty()) {
      EXPECT_TRUE(fakes_.files.files.count(reported_)) << Context() << ": stage 7 without its file";
    }
    if (outcome == Outcome::kRunning && f.visible && stage == "2") {
      const auto report = fakes_.files.files.find(f.LBLFILENAME.caption);
      ASSERT_NE(report, fakes_.files.files.end()) << Context() << ": stage 2 without its file";
      reported_ = report->first;
    }
    // Whatever the files hold is whole.
    for (const auto& [path, content] : fakes_.files.files) {
      if (path == kLanguageFile) {
        EXPECT_TRUE(content == "1\r\n" || content == "2\r\n" || content == "3\r\n") << Context();
      } else if (path == kMarker) {
        EXPECT_EQ(content, "0\r\n") << Context();
      } else if (path.rfind("C:\\Lumbrook", 0) == 0 || path.rfind("\\Lumbrook", 0) == 0) {
        const DecodedRecord record = DecodeMachineRecord(content);
        EXPECT_TRUE(record.ok()) << Context() << ": " << path << ": " << record.error;
        EXPECT_EQ(content.substr(content.size() - 2), "\r\n") << Context();
      }
    }
    // The report goes only once the mail is on its way.
    if (!reported_.empty() && !fakes_.files.files.count(reported_)) {
      bool sent = false;
      for (const AutomationCall& c : fakes_.spreadsheet.calls) {
        sent |= c.member == "SendMail" && !c.failed;
      }
      EXPECT_TRUE(sent) << Context() << ": the report was deleted without being sent";
      EXPECT_EQ(outcome, Outcome::kEnded) << Context();
    }
  }

  const WizardPath& path_;
  FakePlatform fakes_;
  FaultyPlatform faulty_;
  std::unique_ptr<App> app_;
  std::string reported_;
  std::vector<std::string> stages_;
};

void PrintTo(const WizardPath& path, std::ostream* os) { *os << path.name; }

class FaultInjectionTest : public ::testing::TestWithParam<WizardPath> {};

TEST_P(FaultInjectionTest, EveryFailingCallEndsOnADefinedScreen) {
  const WizardPath& path = GetParam();
  PathRun clean(path, 0);
  ASSERT_EQ(clean.Go(), path.ending);
  ASSERT_EQ(clean.Stages(), path.stages);
  const int calls = static_cast<int>(clean.counter().calls.size());
  ASSERT_GT(calls, 0);
  RecordProperty("platform_calls", calls);
  for (int k = 1; k <= calls; ++k) {
    PathRun run(path, k);
    try {
      run.Go();
    } catch (...) {
      ADD_FAILURE() << path.name << ": call " << k << " (" << run.counter().failed()
                    << ") let an exception out";
    }
    // The calls before the failing one are those of the clean run, so call k is reached.
    EXPECT_GE(run.counter().calls.size(), static_cast<size_t>(k)) << path.name;
  }
}

INSTANTIATE_TEST_SUITE_P(WizardPaths, FaultInjectionTest, ::testing::ValuesIn(Paths()),
                         [](const ::testing::TestParamInfo<WizardPath>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace corvane::test
