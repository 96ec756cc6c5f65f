#include "report/decode_command.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <sstream>
#include <system_error>
#include <utility>
#include <vector>

#include "common/text.h"
#include "platform/files.h"
#include "report/record_decode.h"

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

// A plain decimal number, which a spreadsheet reads as a number and never as a formula.
bool IsPlainNumber(const std::string& s) {
  size_t i = s.empty() || (s[0] != '-' && s[0] != '+') ? 0 : 1;
  const size_t digits = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  if (i == digits) return false;
  if (i < s.size() && s[i] == '.') {
    const size_t fraction = ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    if (i == fraction) return false;
  }
  return i == s.size();
}

constexpr const char* kValueKeys[] = {"disk_identifier", "volume_serial", "computer_name",
                                      "product_id", "user_name"};
constexpr const char* kValueLabels[] = {
    "disk identifier:  ", "volume serial:    ", "computer name:    ", "product id:       ",
    "user name:        "};

// What the disk identifier is: a drive's serial, or one of the gathering's fixed words.
const char* DiskIdentifierKind(const std::string& identifier) {
  if (identifier.empty()) return "empty";
  if (identifier == kNotAvailableIdentifier) return "not_available";
  if (identifier == kAtapiIdentifier) return "optical";
  return "serial";
}

bool Digits(const std::string& s, size_t from, size_t count) {
  if (s.size() < from + count) return false;
  for (size_t i = from; i < from + count; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
  }
  return true;
}

bool IsCalendarDate(int year, int month, int day) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month != 2 || day < 29 || leap;
}

}  // namespace

std::string CsvField(const std::string& value) {
  std::string s = EscapeControls(value);
  if (!s.empty() && std::strchr("=+-@", s.front()) != nullptr && !IsPlainNumber(s)) {
    s.insert(0, 1, '\'');
  }
  if (s.find_first_of(",\"") == std::string::npos &&
      (s.empty() || (s.front() != ' ' && s.back() != ' '))) {
    return s;
  }
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string ReportDate(const std::string& file_name) {
  static const std::string kPrefix = "lumbrook";
  if (LowerCaseLatin(file_name.substr(0, kPrefix.size())) != kPrefix ||
      !Digits(file_name, kPrefix.size(), 8)) {
    return "";
  }
  const std::string d = file_name.substr(kPrefix.size(), 8);
  if (!IsCalendarDate(std::stoi(d.substr(0, 4)), std::stoi(d.substr(4, 2)),
                      std::stoi(d.substr(6, 2)))) {
    return "";
  }
  return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2);
}

std::string Rfc2822DateToIso(const std::string& date) {
  std::istringstream in(date);
  std::string word;
  std::vector<std::string> words;
  while (in >> word) words.push_back(word);
  size_t w = 0;
  if (w < words.size() && words[w].back() == ',') ++w;  // the day of the week
  if (words.size() < w + 4) return "";
  const std::string day = words[w], month_name = LowerCaseLatin(words[w + 1]), year = words[w + 2],
                    time = words[w + 3];
  static const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                  "jul", "aug", "sep", "oct", "nov", "dec"};
  int month = 0;
  for (int m = 0; m < 12; ++m) {
    if (month_name.substr(0, 3) == kMonths[m] && month_name.size() == 3) month = m + 1;
  }
  if (month == 0 || day.empty() || day.size() > 2 || !Digits(day, 0, day.size()) ||
      (year.size() != 4 && year.size() != 2) || !Digits(year, 0, year.size())) {
    return "";
  }
  // Two-digit years as RFC 5322 reads them: 00 to 49 are 2000 to 2049.
  int y = std::stoi(year);
  if (year.size() == 2) y += y < 50 ? 2000 : 1900;
  const int d = std::stoi(day);
  if (!IsCalendarDate(y, month, d)) return "";
  if (!((time.size() == 5 || time.size() == 8) && Digits(time, 0, 2) && time[2] == ':' &&
        Digits(time, 3, 2) && (time.size() == 5 || (time[5] == ':' && Digits(time, 6, 2))))) {
    return "";
  }
  if (std::stoi(time.substr(0, 2)) > 23 || std::stoi(time.substr(3, 2)) > 59 ||
      (time.size() == 8 && std::stoi(time.substr(6, 2)) > 60)) {
    return "";
  }
  std::string zone = words.size() > w + 4 ? words[w + 4] : "";
  std::string offset;
  static const std::pair<const char*, const char*> kZones[] = {
      {"ut", "+00:00"},  {"gmt", "+00:00"}, {"z", "+00:00"},   {"edt", "-04:00"},
      {"est", "-05:00"}, {"cdt", "-05:00"}, {"cst", "-06:00"}, {"mdt", "-06:00"},
      {"mst", "-07:00"}, {"pdt", "-07:00"}, {"pst", "-08:00"}};
  if (zone.size() == 5 && (zone[0] == '+' || zone[0] == '-') && Digits(zone, 1, 4)) {
    offset = zone.substr(0, 3) + ":" + zone.substr(3, 2);
  } else {
    for (const auto& [name, value] : kZones) {
      if (LowerCaseLatin(zone) == name) offset = value;
    }
  }
  // Without a zone the time's offset is unknown; ISO 8601 says so by giving none.
  if (offset.empty() && !zone.empty() && zone[0] != '(') return "";
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%s%s", y, month, d,
                (time.size() == 5 ? time + ":00" : time).c_str(), offset.c_str());
  return text;
}

DecodedEntry DecodeEntry(const std::string& path, const MailAttachment* mail,
                         const std::optional<std::string>& content, const std::string& reason,
                         int code_page) {
  DecodedEntry entry;
  entry.path = path;
  entry.mail = mail;
  // The name after the last separator of either system, cut here: received text is not
  // handed to the file system library's conversions.
  const size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (mail) name = mail->file_name;
  entry.report_date = ReportDate(name);
  if (mail) entry.mail_date = Rfc2822DateToIso(mail->date);
  if (!content) {
    entry.error = "cannot read it: " + reason;
    return entry;
  }
  const DecodedRecord record = DecodeMachineRecord(*content, code_page);
  entry.error = record.error;
  if (!record.ok()) return entry;
  const MachineValues& v = record.values;
  entry.values = {v.disk_identifier, v.volume_serial, v.computer_name, v.product_id, v.user_name};
  entry.cuts = record.cuts;
  entry.encoding = record.encoding;
  return entry;
}

namespace {

nlohmann::ordered_json OrNull(const std::string& s) {
  return s.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(s);
}

nlohmann::ordered_json JsonEntry(const DecodedEntry& e) {
  nlohmann::ordered_json entry;
  entry["path"] = e.path;
  if (e.mail) {
    entry["message_number"] = e.mail->message_number;
    entry["message_id"] = e.mail->message_id;
    entry["from"] = e.mail->from;
    entry["date"] = e.mail->date;
    entry["date_iso"] = OrNull(e.mail_date);
    entry["attachment"] = e.mail->file_name;
  }
  entry["report_date"] = OrNull(e.report_date);
  if (!e.error.empty()) {
    entry["error"] = e.error;
    return entry;
  }
  entry["encoding"] = e.encoding;
  for (size_t i = 0; i < e.values.size(); ++i) {
    entry[kValueKeys[i]] = e.values[i];
    if (i == 0) entry["disk_identifier_kind"] = DiskIdentifierKind(e.values[0]);
  }
  if (e.ambiguous()) entry["ambiguous_cuts"] = e.cuts;
  return entry;
}

void WriteCsvHeader(std::ostream& out, bool mail) {
  out << "file" << (mail ? ",message_number,message_id,from,date,date_iso,attachment" : "")
      << ",report_date,encoding,disk_identifier,disk_identifier_kind,volume_serial,"
         "computer_name,product_id,user_name,error\r\n";
}

void WriteCsvRow(std::ostream& out, const DecodedEntry& e) {
  out << CsvField(e.path);
  if (e.mail) {
    out << "," << e.mail->message_number;
    for (const std::string* s :
         {&e.mail->message_id, &e.mail->from, &e.mail->date, &e.mail_date, &e.mail->file_name})
      out << "," << CsvField(*s);
  }
  out << "," << CsvField(e.report_date) << "," << CsvField(e.encoding);
  for (size_t i = 0; i < e.values.size(); ++i) {
    out << "," << CsvField(e.values[i]);
    if (i == 0) out << "," << (e.error.empty() ? DiskIdentifierKind(e.values[0]) : "");
  }
  out << "," << CsvField(e.error) << "\r\n";
}

void WriteTextBlock(std::ostream& out, const DecodedEntry& e) {
  out << EscapeControls(e.path) << "\n";
  if (e.mail) {
    out << "  message number:   " << e.mail->message_number << "\n"
        << "  message id:       " << EscapeControls(e.mail->message_id) << "\n"
        << "  from:             " << EscapeControls(e.mail->from) << "\n"
        << "  date:             " << EscapeControls(e.mail->date) << "\n"
        << "  attachment:       " << EscapeControls(e.mail->file_name) << "\n";
  }
  if (!e.error.empty()) {
    out << "  error:            " << EscapeControls(e.error) << "\n";
  } else {
    for (size_t i = 0; i < e.values.size(); ++i)
      out << "  " << kValueLabels[i] << EscapeControls(e.values[i]) << "\n";
    out << "  identifier kind:  " << DiskIdentifierKind(e.values[0]) << "\n"
        << "  encoding:         " << e.encoding << "\n";
  }
  if (!e.report_date.empty()) out << "  report date:      " << e.report_date << "\n";
  if (!e.mail_date.empty()) out << "  date, ISO 8601:   " << e.mail_date << "\n";
}

// Prints each record as it is decoded, so that a long mailbox holds none of the output.
class RecordPrinter {
 public:
  RecordPrinter(VerbOutput& output, const DecodeOptions& options, bool mail)
      : output_(output), csv_(options.csv), code_page_(options.code_page) {
    if (output_.json()) {
      output_.BeginList("files");
    } else if (csv_) {
      if (options.bom) output_.text() << "\xEF\xBB\xBF";
      WriteCsvHeader(output_.text(), mail);
    }
  }

  void Print(const std::string& path, const MailAttachment* mail,
             const std::optional<std::string>& content, const std::string& reason) {
    ++count_;
    const DecodedEntry entry = DecodeEntry(path, mail, content, reason, code_page_);
    if (!entry.error.empty()) ++failed_;
    if (entry.ambiguous()) ++ambiguous_;
    if (mail) {
      // Attachments come in mailbox order: a message's are together.
      if (mail->message_number != last_message_) {
        last_message_ = mail->message_number;
        ++messages_with_reports_;
        message_failed_ = false;
      }
      if (!entry.error.empty() && !message_failed_) {
        message_failed_ = true;
        ++messages_failed_;
      }
    }
    if (output_.json()) {
      output_.AddToList(JsonEntry(entry));
      return;
    }
    if (!entry.error.empty()) {
      output_.Say(Severity::kError, EscapeControls(entry.where()) + ": " + entry.error);
      // A file is named on stderr alone; an attachment is an entry as well, with its message.
      if (!mail && !csv_) return;
    }
    if (entry.ambiguous()) {
      output_.Say(Severity::kWarning,
                  EscapeControls(entry.where()) + ": the lengths are ambiguous (a value of 1000 " +
                      "characters or more): " + std::to_string(entry.cuts) +
                      " cuts fit; the long value is taken to be the product identifier");
    }
    if (csv_) {
      WriteCsvRow(output_.text(), entry);
    } else {
      if (printed_) output_.text() << "\n";
      WriteTextBlock(output_.text(), entry);
    }
    printed_ = true;
  }

  // A mailbox was read: its messages are summed up at the end.
  void MessagesRead(uint64_t read) { messages_read_ = read; }

  // The JSON list closes here; its summary goes into `messages`. How the mailbox's messages
  // fared comes last, in every format (text and CSV on stderr).
  int Finish(int status) {
    if (output_.json()) FinishJson();
    if (messages_read_) SumUpMessages(*messages_read_);
    return status;
  }

  bool any_failed() const { return failed_ > 0; }

 private:
  void SumUpMessages(uint64_t read) {
    const uint64_t failed = messages_failed_;
    const uint64_t with = messages_with_reports_ - failed;
    const uint64_t without = read > messages_with_reports_ ? read - messages_with_reports_ : 0;
    output_.Say(Severity::kInformation, std::to_string(read) +
                                            " messages read: " + std::to_string(with) +
                                            " with a report, " + std::to_string(without) +
                                            " without one, " + std::to_string(failed) + " failed");
  }

  void FinishJson() {
    output_.EndList();
    if (failed_ > 0) {
      output_.SayInJson(Severity::kError, std::to_string(failed_) + " of " +
                                              std::to_string(count_) +
                                              " could not be decoded; each entry says why");
    }
    if (ambiguous_ > 0) {
      output_.SayInJson(Severity::kWarning,
                        std::to_string(ambiguous_) +
                            " with ambiguous lengths (a value of 1000 characters or more): the "
                            "long value is taken to be the product identifier");
    }
  }

  VerbOutput& output_;
  bool csv_;
  int code_page_;
  bool printed_ = false;
  uint64_t count_ = 0;
  uint64_t failed_ = 0;
  uint64_t ambiguous_ = 0;
  uint64_t last_message_ = 0;
  bool message_failed_ = false;
  uint64_t messages_with_reports_ = 0;
  uint64_t messages_failed_ = 0;
  std::optional<uint64_t> messages_read_;
};

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

bool IsReportFileName(const std::string& name) { return EndsInKik(name); }

size_t ReportFileLimit() { return static_cast<size_t>(kMaxFileSize); }

bool HandOverAttachment(const MailAttachment& a, VerbOutput& output, const FoundReportFile& found) {
  if (!a.note.empty()) {
    output.Say(Severity::kWarning, EscapeControls(a.note));
    return false;
  }
  std::optional<std::string> content;
  if (a.error.empty() && a.size <= static_cast<uint64_t>(kMaxFileSize)) content = a.content;
  found(a.message_path, &a, content, a.error.empty() ? TooLarge(a.size) : a.error);
  // What was decoded is out before the next message, whatever happens to that one.
  output.text().flush();
  return true;
}

bool ForEachReportFile(const DecodeOptions& options, std::istream& in, MailboxReader& mailboxes,
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
    uint64_t attachments = 0;
    std::string error;
    const bool read = mailboxes.ForEachAttachment(
        options.mailbox, IsReportFileName, ReportFileLimit(),
        [&](const MailAttachment& a) {
          if (HandOverAttachment(a, output, found)) ++attachments;
        },
        &error);
    if (!read) {
      output.Say(Severity::kError, EscapeControls(error));
      failed = true;
    } else if (attachments == 0) {
      output.Say(Severity::kWarning,
                 EscapeControls(options.mailbox) + ": no message has an attachment ending in .kik");
    }
    if (mailbox_read) *mailbox_read = read;
  }
  return !failed;
}

int RunDecodeCommand(const DecodeOptions& options, std::istream& in, MailboxReader& mailboxes,
                     VerbOutput& output) {
  const bool mail = !options.mailbox.empty();
  RecordPrinter printer(output, options, mail);
  bool mailbox_read = false;
  const bool read = ForEachReportFile(
      options, in, mailboxes, output,
      [&](const std::string& path, const MailAttachment* attachment,
          const std::optional<std::string>& content,
          const std::string& reason) { printer.Print(path, attachment, content, reason); },
      &mailbox_read);
  if (mail && (mailbox_read || mailboxes.MessagesRead() > 0)) {
    printer.MessagesRead(mailboxes.MessagesRead());
  }
  const int status = !read || printer.any_failed() ? 1 : 0;
  return output.Finish(printer.Finish(status));
}

}  // namespace corvane
