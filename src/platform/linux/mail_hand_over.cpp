// Linux stand-in for the spreadsheet program's SendMail. The workbook's content is read
// when it is opened, and SendMail returns only once sendmail has taken the whole message,
// because the file is deleted right after.
#include "platform/linux/mail_hand_over.h"

#include <sys/mman.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>
#include <system_error>
#include <utility>

#include "common/text.h"
#include "platform/files.h"
#include "platform/linux/files.h"
#include "platform/linux/mime_mail.h"
#include "platform/linux/process.h"
#include "platform/linux/system_info.h"

namespace corvane {

namespace {

// What sendmail printed is kept in the error, up to this many bytes.
constexpr size_t kOutputShown = 512;

// An anonymous in-memory file: sendmail reads the message from one, and writes its
// complaints to another, so no pipe can fill up or break.
class MemoryFile {
 public:
  MemoryFile() : fd_(::memfd_create("corvane-mail", MFD_CLOEXEC)) {
    if (fd_ < 0) throw AutomationError(std::string("memfd_create: ") + std::strerror(errno));
  }
  ~MemoryFile() { ::close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  int fd() const { return fd_; }

  void WriteAndRewind(const std::string& data) {
    if (const int err = WriteFully(fd_, data)) {
      throw AutomationError(std::string("write: ") + std::strerror(err));
    }
    ::lseek(fd_, 0, SEEK_SET);
  }

  std::string ReadStart(size_t limit) {
    std::string data(limit, '\0');
    const ssize_t n = ::pread(fd_, data.data(), limit, 0);
    data.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return data;
  }

 private:
  int fd_;
};

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
  SendmailApplication(std::string sendmail, std::chrono::milliseconds limit)
      : sendmail_(std::move(sendmail)), limit_(limit) {}

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
    mail.text = "The attached file " + workbook +
                "\nholds the machine information of the computer " + computer + ".\n";
    mail.file_name = workbook;
    mail.content = content;
    std::string message;
    try {
      message = ComposeMail(mail);
    } catch (const MailFormatError& e) {
      throw AutomationError(e.what());
    }
    HandOver(message);
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
    MemoryFile input;
    MemoryFile output;
    input.WriteAndRewind(message);
    std::optional<int> status;
    try {
      SpawnOptions options{input.fd(), output.fd()};
      options.own_group = true;
      status = WaitForExit(Spawn({sendmail_, "-t", "-oi"}, options), limit_);
    } catch (const std::system_error& e) {
      throw AutomationError(e.what());
    }
    if (!status) {
      throw AutomationError(sendmail_ + ": no answer within " + Duration(limit_) +
                            "; it was stopped");
    }
    if (*status != 0) {
      throw AutomationError(sendmail_ + ": " + DescribeExit(*status) + ": " +
                            Trim(output.ReadStart(kOutputShown), kWhiteSpace));
    }
  }

  std::string sendmail_;
  std::chrono::milliseconds limit_;
  std::map<std::string, std::string> workbooks_;
  bool quit_ = false;
};

}  // namespace

std::unique_ptr<SpreadsheetApplication> SendmailAutomation::Create(const std::string&) {
  return std::make_unique<SendmailApplication>(sendmail_, limit_);
}

}  // namespace corvane
