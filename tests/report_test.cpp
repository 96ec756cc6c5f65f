#include <gtest/gtest.h>

#include "app/dispatch.h"
#include "app/wizard.h"
#include "fakes/fake_platform.h"
#include "platform/registry_helpers.h"
#include "report/gather.h"
#include "report/machine_record.h"
#include "report/provision.h"
#include "report/report_name.h"

namespace corvane::test {
namespace {

class ReportTest : public ::testing::Test {
 protected:
  ReportTest() {
    run.registry.PutValue(kHkeyLocalMachine, kCurrentVersionKey, kProductIdValueName,
                          {kRegSz, std::string("pid-42\0", 7)});
  }
  // Drive 0 as an ATA disk with the given serial field.
  void AtaDrive(const std::string& serial) {
    run.smart.device_map = 0x01;
    PutAtaString(run.smart.drives[0].identify, 20, 20, serial);
  }
  // Stage "1" in English, as the user reaches it.
  void Confirm() {
    StartProgram(run.app);
    SelectOption(run.app, f.OBENG);
    DispatchClick(run.app, Click::kOk);
  }
  Outcome ConfirmAndGather() {
    Confirm();
    return DispatchClick(run.app, Click::kYes);
  }
  FakeRun run;
  FMain& f = run.app.form;
};

TEST_F(ReportTest, RecordOfTheWorkedExample) {
  AtaDrive(std::string("  wd-123 \0", 10));
  EXPECT_EQ(ConfirmAndGather(), Outcome::kRunning);
  EXPECT_EQ(run.files.files[kReportFile], "007011004006003WD-123 -1673912542PC-7PID-42ANA\r\n");
  EXPECT_EQ(f.LBLFILENAME.caption, kReportFile);
  EXPECT_EQ(f.LBLFILENAMEONLY.caption, "Lumbrook20260131PC-7.kik");
  EXPECT_EQ(f.LBLTWP.caption, "C:\\Tools");
  EXPECT_EQ(f.LBLSTAGE.caption, "2");
  EXPECT_TRUE(f.visible);
  EXPECT_EQ(run.files.files.count("C:\\Tools\\idioma.txt"), 0u);  // deleted by the gathering
  EXPECT_EQ(run.system.volume_roots, std::vector<std::string>{"C:\\"});
}

TEST_F(ReportTest, AtapiDriveZeroIsReportedAsACdDrive) {
  run.smart.device_map = 0x11;
  run.smart.drives[0];  // answers whatever it is asked
  EXPECT_EQ(ConfirmAndGather(), Outcome::kRunning);
  EXPECT_EQ(run.files.files[kReportFile].substr(0, 23), "008011004006003ATAPI-CD");
}

TEST_F(ReportTest, FailedSystemCallsGiveEmptyOrZeroValues) {
  AtaDrive("S1");
  run.system.volume_serial.reset();
  run.system.user_name = "";
  run.system.computer_name = "";
  run.registry = FakeRegistry();
  ConfirmAndGather();
  EXPECT_EQ(run.files.files["C:\\Lumbrook20260131.kik"], "002001000000000S10\r\n");
}

TEST_F(ReportTest, LengthFieldsCountCharactersAndKeepTheLastThreeDigits) {
  struct Case {
    size_t n;
    const char* field;
  };
  for (const Case& c : {Case{0, "000"}, Case{7, "007"}, Case{10, "010"}, Case{99, "099"},
                        Case{100, "100"}, Case{255, "255"}, Case{1000, "000"}, Case{1234, "234"}}) {
    EXPECT_EQ(LengthField(c.n), c.field) << c.n;
  }
  MachineValues v;
  v.computer_name = std::string(100, 'X');
  v.user_name = "JOSÉ";  // four characters in five bytes
  EXPECT_EQ(MachineRecord(v), "000000100000004" + v.computer_name + "JOSÉ");
}

TEST_F(ReportTest, ComputerNameCannotSteerTheFileElsewhere) {
  EXPECT_EQ(ReportFileName({2026, 12, 8}, "..\\EVIL/X:Y*\n"), "Lumbrook20261208.._EVIL_X_Y__.kik");
  AtaDrive("S");
  run.system.computer_name = "a\\b";
  ConfirmAndGather();
  EXPECT_EQ(f.LBLFILENAME.caption, "C:\\Lumbrook20260131A_B.kik");
  EXPECT_EQ(run.files.files[f.LBLFILENAME.caption].substr(15, 5), "S-167");  // name kept in record
  EXPECT_NE(run.files.files[f.LBLFILENAME.caption].find("A\\B"), std::string::npos);
}

TEST_F(ReportTest, SecondRunReplacesTodaysFileAndTomorrowAddsOne) {
  AtaDrive("OLD");
  run.files.files[kReportFile] = "earlier\r\n";
  ConfirmAndGather();
  EXPECT_EQ(run.files.files[kReportFile].substr(0, 18), "003011004006003OLD");
  FakeRun tomorrow;
  tomorrow.files = run.files;
  tomorrow.system.today = {2026, 2, 1};
  tomorrow.smart.device_map = 1;
  PutAtaString(tomorrow.smart.drives[0].identify, 20, 20, "NEW");
  tomorrow.app.form.LBLSTAGE.caption = "1";
  GatherMachineIdentity(tomorrow.app);
  EXPECT_EQ(tomorrow.files.files.count(kReportFile), 1u);
  EXPECT_EQ(tomorrow.files.files.count("C:\\Lumbrook20260201PC-7.kik"), 1u);
}

TEST_F(ReportTest, FailedWriteShowsNoMailQuestionAndKeepsTheEarlierFile) {
  AtaDrive("S");
  run.files.files[kReportFile] = "earlier\r\n";
  run.files.read_only_folders = {"C:", run.system.desktop_folder};
  EXPECT_EQ(ConfirmAndGather(), Outcome::kFailed);
  EXPECT_EQ(run.files.files[kReportFile], "earlier\r\n");
  ASSERT_EQ(run.desktop.boxes.size(), 1u);
  EXPECT_NE(run.desktop.boxes[0].text.find(kReportFile), std::string::npos);
  EXPECT_NE(run.desktop.boxes[0].text.find("Permission denied"), std::string::npos);
  EXPECT_NE(f.LBLSTAGE.caption, "2");
  EXPECT_EQ(f.LBLFILENAME.caption, "");
}

TEST_F(ReportTest, NoDriveWithTheMarkerReportsNotAvailableAndDeletesTheMarker) {
  run.files.files[kMarker] = "0\r\n";
  ConfirmAndGather();
  EXPECT_EQ(run.files.files.count(kMarker), 0u);
  EXPECT_EQ(run.files.files[kReportFile].substr(0, 23), "008011004006003NOTAVAIL");
  EXPECT_EQ(f.LBLSTAGE.caption, "2");
}

TEST_F(ReportTest, NoDriveWithoutTheDriverFileAsksForIt) {
  run.system.program_folder = "C:\\";
  ConfirmAndGather();
  EXPECT_EQ(f.LBLSTAGE.caption, "6");
  EXPECT_EQ(f.LBLMSG.font.size, 12);
  EXPECT_EQ(f.LBLMSG.caption,
            "Copy ''smartvsd.vxd'' File\rIn The SAME Folder Where We Are Running This "
            "Application: \r\rC:\\\rAfterwards, Run this Application Again.");
  EXPECT_TRUE(f.LBLOK.visible && !f.LBLYES.visible && f.visible);
  EXPECT_EQ(run.files.files.count(kReportFile), 0u);
  EXPECT_EQ(run.files.files.count("C:\\hd.txt"), 0u);
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kEnded);
}

TEST_F(ReportTest, NoDriveCopiesTheDriverLeavesTheMarkerAndAnnouncesTheRestart) {
  run.files.files[kDriverSource] = "driver";
  run.files.files[kDriverTarget] = "old driver";
  run.files.folders = {"C:\\WINDOWS\\SYSTEM\\iosubsys"};
  ConfirmAndGather();
  EXPECT_EQ(run.files.files[kDriverTarget], "driver");
  EXPECT_EQ(run.files.files[kMarker], "0\r\n");
  EXPECT_EQ(f.LBLSTAGE.caption, "8");
  EXPECT_EQ(f.LBLMSG.font.size, 16);
  EXPECT_EQ(f.LBLMSG.caption,
            "The Computer is Going to Reboot and This Application Should Run Automatically.\r\r"
            "If This Does NOT Happen, Reboot the Machine and Run This Application Again!!!");
  EXPECT_EQ(run.files.files.count(kReportFile), 0u);
}

TEST_F(ReportTest, FailedCopyLeavesNoMarkerAndAsksForAManualCopy) {
  run.files.files[kDriverSource] = "driver";
  run.files.read_only_folders = {"C:\\WINDOWS\\SYSTEM\\iosubsys"};
  ConfirmAndGather();
  EXPECT_EQ(f.LBLSTAGE.caption, "7");
  EXPECT_EQ(f.LBLMSG.caption,
            "Copy ''smartvsd.vxd'' File in:\r\\iosubsys.\rAfter the Machine Reboots, Run This "
            "Application Again!!!");
  EXPECT_EQ(run.files.files.count(kMarker), 0u);
}

TEST_F(ReportTest, FailedMarkerAlsoGivesStageSeven) {
  run.files.files[kDriverSource] = "driver";
  Confirm();
  run.files.fail = {"WriteAll"};
  DispatchClick(run.app, Click::kYes);
  EXPECT_EQ(f.LBLSTAGE.caption, "7");
}

TEST_F(ReportTest, DriverFolderBesideTheProgramCountsAsPresentAndTheCopyFails) {
  run.files.folders = {kDriverSource};
  ConfirmAndGather();
  EXPECT_EQ(f.LBLSTAGE.caption, "7");
}

TEST_F(ReportTest, StageEightOkWritesTheRunValueAndRequestsTheRestart) {
  run.system.program_folder = "C:\\";
  f.LBLSTAGE.caption = "8";
  ShowForm(run.app);
  f.LBLOK.visible = true;
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kRunning);
  EXPECT_EQ(run.shell.restart_requests, 1);
  EXPECT_FALSE(f.visible);
  EXPECT_EQ(ReadRegistryString(run.registry, kHkeyLocalMachine, kRunKey, kRunValueName),
            std::optional<std::string>("C:\\Corvane.exe"));
  EXPECT_TRUE(run.desktop.boxes.empty());
}

TEST_F(ReportTest, RefusedRestartTellsTheUserAndKeepsTheRunValue) {
  run.shell.restart_succeeds = false;
  StartProgram(run.app);
  f.LBLIDIOMA.caption = "3";
  f.LBLSTAGE.caption = "8";
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kEnded);
  ASSERT_EQ(run.desktop.boxes.size(), 1u);
  EXPECT_EQ(run.desktop.boxes[0].text,
            "The Computer Could Not Reboot by Itself.\rReboot the Machine and Run This "
            "Application Again!!!");
  EXPECT_EQ(ReadRegistryString(run.registry, kHkeyLocalMachine, kRunKey, kRunValueName),
            std::optional<std::string>("C:\\Tools\\Corvane.exe"));
}

TEST_F(ReportTest, RunValueThatCannotBeWrittenAsksForARestartByHand) {
  run.registry.fail = {"SetValue"};
  StartProgram(run.app);
  f.LBLIDIOMA.caption = "3";
  f.LBLSTAGE.caption = "8";
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kEnded);
  EXPECT_EQ(run.shell.restart_requests, 0);  // nothing would start the program again
  ASSERT_EQ(run.desktop.boxes.size(), 1u);
  EXPECT_EQ(run.desktop.boxes[0].text.substr(0, 40), "The Computer Could Not Reboot by Itself.");
}

TEST_F(ReportTest, AfterTheRestartASecondFailureReportsWithoutProvisioningAgain) {
  // State after OK at stage "8": Run value, marker and language file present.
  run.registry.PutValue(kHkeyLocalMachine, kRunKey, kRunValueName,
                        {kRegSz, std::string("C:\\Tools\\Corvane.exe\0", 21)});
  run.files.files[kMarker] = "0\r\n";
  run.files.files["C:\\Tools\\idioma.txt"] = "2\r\n";
  run.files.files[kDriverSource] = "driver";
  StartProgram(run.app);
  ASSERT_EQ(f.LBLSTAGE.caption, "9");
  EXPECT_EQ(DispatchClick(run.app, Click::kOk), Outcome::kRunning);
  EXPECT_EQ(f.LBLSTAGE.caption, "2");
  EXPECT_EQ(f.LBLYES.caption, "Sim");
  EXPECT_EQ(run.files.files[kReportFile].substr(0, 23), "008011004006003NOTAVAIL");
  EXPECT_EQ(run.files.files.count(kMarker), 0u);
  EXPECT_EQ(run.files.files.count(kDriverTarget), 0u);
  EXPECT_EQ(ReadRegistryString(run.registry, kHkeyLocalMachine, kRunKey, kRunValueName),
            std::nullopt);
}

}  // namespace
}  // namespace corvane::test
