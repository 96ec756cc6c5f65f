// `corvane register` as a command, on a SQLite register in a scratch folder: the machine
// rule's edges that only the register's counts decide, the latest values a report of the
// same day brings, and a mailbox that fails partway.
#include "register/register_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <new>
#include <nlohmann/json.hpp>
#include <sstream>

#include "linux/temp_folder.h"
#include "report/report_text.h"

namespace corvane::test {
namespace {

std::string Record(const std::vector<std::string>& values) {
  std::string lengths, text;
  for (const std::string& v : values) {
    char length[8];
    std::snprintf(length, sizeof length, "%03zu", v.size());
    lengths += length;
    text += v;
  }
  return lengths + text + "\r\n";
}

// Hands over `good` attachments, then fails as a mailbox can: a read error, or no memory.
class FailingMailbox : public MailboxReader {
 public:
  enum class Failure { kNone, kReadError, kOutOfMemory };
  Failure failure = Failure::kNone;
  int good = 2;

  bool ForEachAttachment(const std::string& path, const std::function<bool(const std::string&)>&,
                         size_t, const std::function<void(const MailAttachment&)>& found,
                         std::string* error) override {
    for (int i = 1; i <= good; ++i) {
      MailAttachment a;
      a.message_path = path;
      a.message_id = std::to_string(i) + "@example.com";
      a.file_name = "Lumbrook20261201PC-" + std::to_string(i) + ".kik";
      a.content =
          Record({"WD-" + std::to_string(i), "111", "PC-" + std::to_string(i), "PID-9", "ANA"});
      a.size = a.content.size();
      a.message_number = static_cast<uint64_t>(i);
      found(a);
      messages_ = a.message_number;
    }
    if (failure == Failure::kOutOfMemory) throw std::bad_alloc();
    if (failure == Failure::kReadError) {
      *error = path + ": Input/output error";
      return false;
    }
    return true;
  }
  uint64_t MessagesRead() const override { return messages_; }

 private:
  uint64_t messages_ = 0;
};

// A mailbox on a server of two messages: UID 7 carries its report attached and again in its
// text, UID 8 in its text alone.
class TextReportsServer : public ImapMailbox {
 public:
  bool Open(const ImapAccount&, std::string*) override { return true; }
  uint32_t UidValidity() const override { return 5; }
  bool MessagesAfter(uint32_t after, size_t most, std::vector<Message>* messages,
                     std::string*) override {
    messages->clear();
    for (uint32_t uid : {7u, 8u}) {
      if (uid > after && messages->size() < most) messages->push_back({uid, 1000});
    }
    return true;
  }
  bool ForEachAttachment(const Message& m, const std::function<bool(const std::string&)>&, size_t,
                         const std::function<void(const MailAttachment&)>& found,
                         std::string*) override {
    const std::string n = std::to_string(m.uid);
    const std::string name = "Lumbrook20261201PC-" + n + ".kik";
    const std::string record = Record({"WD-" + n, "111", "PC-" + n, "PID-" + n, "ANA"});
    MailAttachment a;
    a.message_path = "imaps://support@mail.example:993/INBOX";
    a.message_id = n + "@example.com";
    a.message_number = m.uid;
    if (m.uid == 7) {
      a.file_name = name;
      a.content = record;
      a.size = record.size();
      found(a);
    }
    a.file_name.clear();
    a.part = MailPart::kText;
    a.content = "Hello,\n\n" + ReportTextBlock(name, record);
    a.size = a.content.size();
    found(a);
    return true;
  }
};

class RegisterCommandTest : public ::testing::Test {
 protected:
  // A report file; `folder` keeps two reports of one name apart.
  std::string Report(const std::string& folder, const std::string& name,
                     const std::vector<std::string>& values) {
    std::filesystem::create_directories(dir / folder);
    const std::string path = dir / (folder + "/" + name);
    std::ofstream(path, std::ios::binary) << Record(values);
    return path;
  }
  int Add(const std::vector<std::string>& files, const std::string& mailbox = "") {
    RegisterOptions options;
    options.action = RegisterAction::kAdd;
    options.inputs.files = files;
    options.inputs.mailbox = mailbox;
    return Run(options);
  }
  nlohmann::json Machines() {
    RegisterOptions options;
    options.action = RegisterAction::kMachines;
    EXPECT_EQ(Run(options, true), 0) << err.str();
    return nlohmann::json::parse(out.str())["machines"];
  }
  int Run(RegisterOptions options, bool json = false, ImapMailbox* imap = nullptr) {
    options.db = dir / "register.sqlite3";
    out.str("");
    err.str("");
    std::istringstream in;
    VerbOutput output("register", json, Invocation{"9.8.7", {"corvane", "register"}}, out, err);
    return RunRegisterCommand(options, &OpenRegisterDatabase, in, mailbox, output, imap);
  }

  TempFolder dir;
  FailingMailbox mailbox;
  std::ostringstream out;
  std::ostringstream err;
};

// Clones of one image on machines whose disks cannot be read share the volume serial, the
// product id and the user; only the product id's count, at exactly two machines, keeps the
// third apart from the second.
TEST_F(RegisterCommandTest, ClonesWithoutAReadableDiskStaySeparateOnceTwoShareTheProductId) {
  ASSERT_EQ(
      Add({Report("a", "Lumbrook20261201PC-A.kik", {"WD-1", "111", "PC-A", "PID-X", "ANA"}),
           Report("c", "Lumbrook20261201PC-C.kik", {"NOTAVAIL", "777", "PC-C", "PID-X", "LAB"}),
           Report("d", "Lumbrook20261201PC-D.kik", {"NOTAVAIL", "777", "PC-D", "PID-X", "LAB"})}),
      0)
      << err.str();
  const nlohmann::json machines = Machines();
  ASSERT_EQ(machines.size(), 3u) << machines.dump();
  EXPECT_EQ(machines[2]["computer_name"], "PC-D");
  EXPECT_EQ(machines[2]["reports"], 1);
  EXPECT_EQ(machines[1]["flags"], nlohmann::json({"shared product id"}));
}

TEST_F(RegisterCommandTest, ALaterReportOfTheSameDayOrUndatedBringsTheLatestValues) {
  // Dated: two reports of 1 December, the second by another user.
  ASSERT_EQ(Add({Report("1", "Lumbrook20261201PC-1.kik", {"WD-1", "111", "PC-1", "P-1", "ANA"})}),
            0);
  ASSERT_EQ(Add({Report("2", "Lumbrook20261201PC-1.kik", {"WD-1", "111", "PC-1", "P-1", "BEA"})}),
            0);
  // Undated: two reports without a date in their names, the second renamed.
  ASSERT_EQ(Add({Report("3", "pc2.kik", {"WD-2", "222", "PC-2", "P-2", "GIL"})}), 0);
  ASSERT_EQ(Add({Report("4", "pc2.kik", {"WD-2", "222", "PC-2B", "P-2", "GIL"})}), 0);
  const nlohmann::json machines = Machines();
  ASSERT_EQ(machines.size(), 2u) << machines.dump();
  EXPECT_EQ(machines[0]["user_name"], "BEA");
  EXPECT_EQ(machines[0]["reports"], 2);
  EXPECT_EQ(machines[1]["computer_name"], "PC-2B");
  EXPECT_EQ(machines[1]["reports"], 2);
}

TEST_F(RegisterCommandTest, AReportOfALaterDayWithTheSameValuesIsANewReport) {
  const std::vector<std::string> values{"WD-1", "111", "PC-1", "P-1", "ANA"};
  ASSERT_EQ(Add({Report("1", "Lumbrook20261201PC-1.kik", values)}), 0);
  ASSERT_EQ(Add({Report("1", "Lumbrook20261205PC-1.kik", values)}), 0);
  EXPECT_EQ(out.str(),
            "1 read, 1 new, 0 already known, 0 failed; 0 new machines, 0 conflicts held\n");
  const nlohmann::json machines = Machines();
  ASSERT_EQ(machines.size(), 1u) << machines.dump();
  EXPECT_EQ(machines[0]["reports"], 2);
  EXPECT_EQ(machines[0]["first_report"], "2026-12-01");
  EXPECT_EQ(machines[0]["last_report"], "2026-12-05");
}

// A mailbox that stops partway keeps none of its reports, and the add says why and fails.
TEST_F(RegisterCommandTest, AMailboxThatFailsPartwayAddsNothingAndSaysWhy) {
  const struct {
    FailingMailbox::Failure failure;
    const char* said;
  } cases[] = {{FailingMailbox::Failure::kReadError, "inbox.mbox: Input/output error"},
               {FailingMailbox::Failure::kOutOfMemory, "out of memory"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    mailbox.failure = c.failure;
    EXPECT_EQ(Add({}, "inbox.mbox"), 1);
    EXPECT_NE(err.str().find(c.said), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("inbox.mbox: not added"), std::string::npos) << err.str();
    EXPECT_EQ(Machines(), nlohmann::json::array());
  }
  // The same mailbox read to its end lands whole.
  mailbox.failure = FailingMailbox::Failure::kNone;
  EXPECT_EQ(Add({}, "inbox.mbox"), 0) << err.str();
  EXPECT_EQ(Machines().size(), 2u);
}

// A server's message is read as a mailbox's: a report in its text counts, one carried both
// attached and in the text is one report, and each is kept with its UID and its place.
TEST_F(RegisterCommandTest, AServersMessagesGiveTheReportsInTheirTextOnceEach) {
  TextReportsServer server;
  RegisterOptions add;
  add.action = RegisterAction::kAdd;
  add.imap_url = "imaps://support@mail.example/INBOX";
  ASSERT_EQ(Run(add, true, &server), 0) << err.str();
  const nlohmann::json added = nlohmann::json::parse(out.str());
  EXPECT_EQ(added["read"], 2) << out.str();
  EXPECT_EQ(added["new"], 2) << out.str();
  RegisterOptions history;
  history.action = RegisterAction::kHistory;
  history.computer = "PC-8";
  ASSERT_EQ(Run(history, true), 0) << err.str();
  const nlohmann::json reports = nlohmann::json::parse(out.str())["machines"][0]["reports"];
  ASSERT_EQ(reports.size(), 1u) << out.str();
  EXPECT_EQ(reports[0]["source"]["uid"], 8) << out.str();
  // Kept as found in the message's text, and said so.
  EXPECT_EQ(reports[0]["source"]["source"], "text") << out.str();
  // The next add starts after UID 8.
  ASSERT_EQ(Run(add, true, &server), 0) << err.str();
  EXPECT_EQ(nlohmann::json::parse(out.str())["read"], 0) << out.str();
}

}  // namespace
}  // namespace corvane::test
