// Linux stand-in for the spreadsheet program's SendMail. The workbook's content is read
// when it is opened, and SendMail returns only once sendmail has taken the whole message,
// because the file is deleted right after. The machine's own sendmail is judged first, for
// one that takes the message and cannot send it would still answer with success.
#include "platform/linux/mail_hand_over.h"

#include <sys/random.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <iostream>
#include <map>
#include <optional>
#include <system_error>
#include <utility>

#include "common/text.h"
#include "platform/files.h"
#include "platform/linux/files.h"
#include "platform/linux/mail_system.h"
#include "platform/linux/mime_mail.h"
#include "platform/linux/process.h"
#include "platform/linux/system_info.h"

namespace corvane {

namespace {

// What sendmail printed is kept in the error, up to this many bytes.
constexpr size_t kOutputShown = 512;

std::string Duration(std::chrono::milliseconds d) {
  if (d.count() % 1000 == 0) return std::to_string(d.count() / 1000) + " s";
  return std::to_string(d.count()) + " ms";
}

uint64_t RandomBits() {
  uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, 0) != sizeof bits) {
    bits = static_cast<uint64_t>(std::clock()) ^ (static_cast<uint64_t>(::getpid()) << 32);
  }
  return bits;
}

class SendmailApplication : public SpreadsheetApplication {
 public:
  SendmailApplication(std::string sendmail, std::chrono::milliseconds limit, SendmailTrust trust,
                      std::string text)
      : sendmail_(std::move(sendmail)), limit_(limit), trust_(trust), text_(std::move(text)) {}

  void SetScreenUpdating(bool) override { CheckRunning(); }

  void OpenWorkbook(const std::string& path) override {
    CheckRunning();
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    try {
      workbooks_[name] = ReadFileBytes(path, FileKind::kRecord);
    } catch (const FileError& e) {
      throw AutomationError(e.what());
    }
  }

  void SendMail(const std::string& workbook, const std::string& recipients,
                const std::string& subject) override {
    const std::string& content = Workbook(workbook);
    const std::string computer = LinuxSystemInfo().ComputerName();
    MailMessage mail;
    mail.to = recipients;
    if (const char* sender = std::getenv("EMAIL")) mail.from = FromHeader(sender);
    mail.subject = subject;
    const std::time_t now = std::time(nullptr);
    mail.date = MailDate(now);
    mail.message_id = MessageId(now, ::getpid(), RandomBits(), computer);
    mail.text = text_;
    mail.file_name = workbook;
    mail.content = content;
    std::string message;
    try {
      message = ComposeMail(mail);
    } catch (const MailFormatError& e) {
      throw AutomationError(e.what());
    }
    try {
      if (trust_ == SendmailTrust::kJudged) {
        const MailSystemJudgement judged =
            JudgeMailSystem(sendmail_, recipients, MailToolFolders());
        if (!judged.sends_off) throw AutomationError(judged.reason);
      }
      HandOver(message);
    } catch (const AutomationError& e) {
      // The user learns why, in one line, whatever sendmail printed.
      std::string why = e.what();
      for (char& c : why) c = c == '\n' || c == '\r' ? ' ' : c;
      std::cerr << "corvane: " << why << "; the mail was not sent\n";
      throw;
    }
  }

  void CloseWorkbook(const std::string& workbook, bool) override {
    Workbook(workbook);  // the workbook is never changed, so there is nothing to save
    workbooks_.erase(workbook);
  }

  // Nothing shows the program's caption: a hand-over has no window.
  void SetCaption(const std::string&) override { CheckRunning(); }

  void Quit() override {
    CheckRunning();
    workbooks_.clear();
    quit_ = true;
  }

 private:
  void CheckRunning() const {
    if (quit_) throw AutomationError("the program has quit");
  }

  const std::string& Workbook(const std::string& name) const {
    CheckRunning();
    const auto it = workbooks_.find(name);
    if (it == workbooks_.end()) throw AutomationError("no open workbook named " + name);
    return it->second;
  }

  // -t takes the recipients from the headers; -oi keeps a line of one dot from ending it.
  void HandOver(const std::string& message) {
    CapturedRun run;
    try {
      run = RunCaptured({sendmail_, "-t", "-oi"}, message, limit_, kOutputShown);
    } catch (const std::system_error& e) {
      throw AutomationError(e.what());
    }
    if (!run.status) {
      throw AutomationError(sendmail_ + ": no answer within " + Duration(limit_) +
                            "; it was stopped");
    }
    if (*run.status != 0) {
      throw AutomationError(sendmail_ + ": " + DescribeExit(*run.status) + ": " +
                            Trim(run.output, kWhiteSpace));
    }
  }

  std::string sendmail_;
  std::chrono::milliseconds limit_;
  SendmailTrust trust_;
  std::string text_;
  std::map<std::string, std::string> workbooks_;
  bool quit_ = false;
};

}  // namespace

std::unique_ptr<SpreadsheetApplication> SendmailAutomation::Create(const std::string&) {
  return std::make_unique<SendmailApplication>(sendmail_, limit_, trust_, text_);
}

}  // namespace corvane
