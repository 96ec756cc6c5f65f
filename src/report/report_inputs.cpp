#include "report/report_inputs.h"

#include <algorithm>
#include <filesystem>
#include <istream>
#include <ostream>
#include <set>
#include <system_error>

#include "common/text.h"
#include "platform/files.h"
#include "report/report_text.h"

namespace corvane {

namespace {

// A record is a few hundred bytes; anything far larger is not one and is not loaded whole.
constexpr std::streamoff kMaxFileSize = SizeLimit(FileKind::kRecord);

std::string TooLarge(uint64_t size) {
  return "it holds " + std::to_string(size) + " bytes, far too many for a record";
}

std::optional<std::string> ReadRecordFile(const std::string& path, std::string* reason) {
  return ReadFileOrAbsent(path, FileKind::kRecord, reason);
}

std::optional<std::string> ReadRecordStream(std::istream& in, std::string* reason) {
  std::string content(kMaxFileSize + 1, '\0');
  in.read(content.data(), kMaxFileSize + 1);
  if (in.bad()) {
    *reason = "standard input cannot be read";
    return std::nullopt;
  }
  content.resize(static_cast<size_t>(in.gcount()));
  if (content.size() > static_cast<size_t>(kMaxFileSize)) {
    *reason =
        "it holds more than " + std::to_string(kMaxFileSize) + " bytes, far too many for a record";
    return std::nullopt;
  }
  return content;
}

bool EndsInKik(const std::string& name) {
  return name.size() >= 4 && LowerCaseLatin(name.substr(name.size() - 4)) == ".kik";
}

// The folder's regular files whose names end in .kik, in name order; sub-folders are not
// entered. Links, devices, FIFOs and sockets so named are not opened: `skipped` says which.
bool ListFolder(const std::string& folder, std::vector<std::string>* paths,
                std::vector<std::string>* skipped, std::string* error) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code ec;
  // Paths are UTF-8 on every system (on Windows the path's own form is UTF-16).
  for (fs::directory_iterator it(fs::u8path(folder), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().u8string();
    std::error_code type_ec;
    const fs::file_type type = it->symlink_status(type_ec).type();
    if (!EndsInKik(name) || type_ec || type == fs::file_type::directory) continue;
    if (type == fs::file_type::regular) {
      names.push_back(name);
    } else {
      skipped->push_back(it->path().u8string() + ": skipped: " +
                         (type == fs::file_type::symlink ? "a link, which is not followed"
                                                         : "not a regular file"));
    }
  }
  if (ec) {
    *error = folder + ": cannot read the folder: " + ec.message();
    return false;
  }
  std::sort(names.begin(), names.end());
  // The system's own separator: "C:\inbox\a.kik" on Windows, "inbox/a.kik" on Linux.
  for (const std::string& name : names) {
    paths->push_back((fs::u8path(folder) / fs::u8path(name)).u8string());
  }
  return true;
}

}  // namespace

// Hands over one message's reports at a time, so that a report the message carries twice
// (attached and in its text, or in its plain and its HTML text) is one report, the
// attachment's. A damaged copy in the text beside a good report is the good one's twin in
// the other part, not an error of its own.
class MailReportFiles::MessageReports {
 public:
  using Found = std::function<void(const MailAttachment&)>;
  explicit MessageReports(Found found) : found_(std::move(found)) {}

  void Add(const MailAttachment& a) {
    if (a.message_number != number_) Flush();
    number_ = a.message_number;
    if (a.part == MailPart::kAttachment) {
      if (a.error.empty()) handed_.insert({a.file_name, a.content});
      found_(a);
      return;
    }
    const std::string text = a.part == MailPart::kHtml ? HtmlToText(a.content) : a.content;
    for (TextReport& report : FindReportsInText(text)) {
      MailAttachment in_text = a;
      in_text.file_name = std::move(report.file_name);
      in_text.content = std::move(report.file_bytes);
      in_text.size = in_text.content.size();
      in_text.error = std::move(report.error);
      pending_.push_back(std::move(in_text));
    }
  }

  // The message's reports from its text, once all its parts are in.
  void Flush() {
    bool any_good = !handed_.empty();
    for (const MailAttachment& a : pending_) any_good = any_good || a.error.empty();
    for (const MailAttachment& a : pending_) {
      if (!a.error.empty() ? any_good || !errors_.insert(a.error).second
                           : !handed_.insert({a.file_name, a.content}).second) {
        continue;
      }
      found_(a);
    }
    pending_.clear();
    handed_.clear();
    errors_.clear();
  }

 private:
  Found found_;
  uint64_t number_ = 0;
  std::vector<MailAttachment> pending_;
  std::set<std::pair<std::string, std::string>> handed_;
  std::set<std::string> errors_;
};

bool IsReportFileName(const std::string& name) { return EndsInKik(name); }

size_t ReportFileLimit() { return static_cast<size_t>(kMaxFileSize); }

MailReportFiles::MailReportFiles(VerbOutput& output, const FoundReportFile& found)
    : output_(output),
      reports_(std::make_unique<MessageReports>([this, found](const MailAttachment& a) {
        ++handed_;
        std::optional<std::string> content;
        if (a.error.empty() && a.size <= static_cast<uint64_t>(kMaxFileSize)) content = a.content;
        found(a.message_path, &a, content, a.error.empty() ? TooLarge(a.size) : a.error);
      })) {}

MailReportFiles::~MailReportFiles() = default;

void MailReportFiles::Add(const MailAttachment& a) {
  if (!a.note.empty()) {
    output_.Say(Severity::kWarning, EscapeControls(a.note));
    return;
  }
  reports_->Add(a);
  // What was decoded is out before the next message, whatever happens to that one.
  output_.text().flush();
}

void MailReportFiles::Flush() { reports_->Flush(); }

const char* MailSource(const MailAttachment& mail) {
  return mail.part == MailPart::kAttachment ? "attachment" : "text";
}

bool ForEachReportFile(const ReportInputs& options, std::istream& in, MailboxReader& mailboxes,
                       VerbOutput& output, const FoundReportFile& found, bool* mailbox_read) {
  bool failed = false;
  for (const std::string& argument : options.files) {
    std::string reason;
    if (argument == "-") {
      const std::optional<std::string> content = ReadRecordStream(in, &reason);
      found(argument, nullptr, content, reason);
      continue;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(std::filesystem::u8path(argument), ec)) {
      const std::optional<std::string> content = ReadRecordFile(argument, &reason);
      found(argument, nullptr, content, reason);
      continue;
    }
    std::vector<std::string> paths;
    std::vector<std::string> skipped;
    const bool listed = ListFolder(argument, &paths, &skipped, &reason);
    for (const std::string& note : skipped) output.Say(Severity::kWarning, EscapeControls(note));
    if (!listed) {
      output.Say(Severity::kError, EscapeControls(reason));
      failed = true;
    } else if (paths.empty()) {
      output.Say(Severity::kWarning,
                 EscapeControls(argument) + ": the folder holds no file ending in .kik");
    }
    for (const std::string& path : paths) {
      const std::optional<std::string> content = ReadRecordFile(path, &reason);
      found(path, nullptr, content, reason);
    }
  }
  if (!options.mailbox.empty()) {
    std::string error;
    MailReportFiles reports(output, found);
    const bool read = mailboxes.ForEachAttachment(
        options.mailbox, EndsInKik, kMaxFileSize, [&](const MailAttachment& a) { reports.Add(a); },
        &error);
    reports.Flush();
    if (!read) {
      output.Say(Severity::kError, EscapeControls(error));
      failed = true;
    } else if (reports.handed() == 0) {
      output.Say(Severity::kWarning,
                 EscapeControls(options.mailbox) +
                     ": no message has an attachment ending in .kik or a report in its text");
    }
    if (mailbox_read) *mailbox_read = read;
  }
  return !failed;
}

}  // namespace corvane
