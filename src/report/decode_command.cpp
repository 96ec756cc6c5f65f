#include "report/decode_command.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <sstream>
#include <system_error>

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

// Text in a single-byte code page is shown as Latin-1, so that the output stays UTF-8.
std::string Shown(const std::string& value, RecordUnit unit) {
  return unit == RecordUnit::kCharacters ? value : Latin1ToUtf8(value);
}

// A cell that a spreadsheet would take as a formula starts with a quote, which keeps it text.
std::string CsvField(const std::string& value) {
  std::string s = value;
  if (!s.empty() && std::strchr("=+-@\t\r", s.front()) != nullptr) s.insert(0, 1, '\'');
  if (s.find_first_of(",\"\r\n") == std::string::npos &&
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

constexpr const char* kValueKeys[] = {"disk_identifier", "volume_serial", "computer_name",
                                      "product_id", "user_name"};
constexpr const char* kValueLabels[] = {
    "disk identifier:  ", "volume serial:    ", "computer name:    ", "product id:       ",
    "user name:        "};

// One record as every format shows it: its place, and its values or why it has none.
struct DecodedEntry {
  std::string path;
  const MailAttachment* mail = nullptr;
  std::string error;  // empty when the record was decoded
  std::array<std::string, 5> values;
  uint64_t cuts = 0;

  bool ambiguous() const { return cuts > 1; }
  // Where the record came from, as messages name it.
  // A message that could not be read has no attachment to name.
  std::string where() const {
    std::string at = path;
    if (mail) at += ": message <" + mail->message_id + ">";
    if (mail && !mail->file_name.empty()) at += ", attachment " + mail->file_name;
    return at;
  }
};

// `content` is the record's bytes, or nothing with `reason` when it could not be read.
DecodedEntry DecodeEntry(const std::string& path, const MailAttachment* mail,
                         const std::optional<std::string>& content, const std::string& reason) {
  DecodedEntry entry;
  entry.path = path;
  entry.mail = mail;
  if (!content) {
    entry.error = "cannot read it: " + reason;
    return entry;
  }
  const DecodedRecord record = DecodeMachineRecord(*content);
  entry.error = record.error;
  if (!record.ok()) return entry;
  const MachineValues& v = record.values;
  entry.values = {Shown(v.disk_identifier, record.unit), Shown(v.volume_serial, record.unit),
                  Shown(v.computer_name, record.unit), Shown(v.product_id, record.unit),
                  Shown(v.user_name, record.unit)};
  entry.cuts = record.cuts;
  return entry;
}

nlohmann::ordered_json JsonEntry(const DecodedEntry& e) {
  nlohmann::ordered_json entry;
  entry["path"] = e.path;
  if (e.mail) {
    entry["message_id"] = e.mail->message_id;
    entry["from"] = e.mail->from;
    entry["date"] = e.mail->date;
    entry["attachment"] = e.mail->file_name;
  }
  if (!e.error.empty()) {
    entry["error"] = e.error;
    return entry;
  }
  for (size_t i = 0; i < e.values.size(); ++i) entry[kValueKeys[i]] = e.values[i];
  if (e.ambiguous()) entry["ambiguous_cuts"] = e.cuts;
  return entry;
}

void WriteCsvRow(std::ostream& out, const DecodedEntry& e) {
  out << CsvField(e.path);
  if (e.mail) {
    for (const std::string* s :
         {&e.mail->message_id, &e.mail->from, &e.mail->date, &e.mail->file_name})
      out << "," << CsvField(*s);
  }
  for (const std::string& s : e.values) out << "," << CsvField(s);
  out << "\r\n";
}

void WriteTextBlock(std::ostream& out, const DecodedEntry& e) {
  out << EscapeControls(e.path) << "\n";
  if (e.mail) {
    out << "  message id:       " << EscapeControls(e.mail->message_id) << "\n"
        << "  from:             " << EscapeControls(e.mail->from) << "\n"
        << "  date:             " << EscapeControls(e.mail->date) << "\n"
        << "  attachment:       " << EscapeControls(e.mail->file_name) << "\n";
  }
  for (size_t i = 0; i < e.values.size(); ++i)
    out << "  " << kValueLabels[i] << EscapeControls(e.values[i]) << "\n";
}

// Prints each record as it is decoded, so that a long mailbox holds none of the output.
class RecordPrinter {
 public:
  RecordPrinter(VerbOutput& output, bool csv, bool mail) : output_(output), csv_(csv) {
    if (output_.json()) {
      output_.BeginList("files");
    } else if (csv_) {
      output_.text() << "file" << (mail ? ",message_id,from,date,attachment" : "")
                     << ",disk_identifier,volume_serial,computer_name,product_id,user_name\r\n";
    }
  }

  void Print(const std::string& path, const MailAttachment* mail,
             const std::optional<std::string>& content, const std::string& reason) {
    ++count_;
    const DecodedEntry entry = DecodeEntry(path, mail, content, reason);
    if (!entry.error.empty()) ++failed_;
    if (entry.ambiguous()) ++ambiguous_;
    if (output_.json()) {
      output_.AddToList(JsonEntry(entry));
      return;
    }
    if (!entry.error.empty()) {
      output_.Say(Severity::kError, EscapeControls(entry.where()) + ": " + entry.error);
      return;
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

  // The JSON list closes here; its summary goes into `messages`.
  int Finish(int status) {
    if (!output_.json()) return status;
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
    return status;
  }

  bool any_failed() const { return failed_ > 0; }

 private:
  VerbOutput& output_;
  bool csv_;
  bool printed_ = false;
  uint64_t count_ = 0;
  uint64_t failed_ = 0;
  uint64_t ambiguous_ = 0;
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
      skipped->push_back(it->path().string() + ": skipped: " +
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

int RunDecodeCommand(const DecodeOptions& options, std::istream& in, MailboxReader& mailboxes,
                     VerbOutput& output) {
  const bool mail = !options.mailbox.empty();
  RecordPrinter printer(output, options.csv, mail);
  bool failed = false;
  for (const std::string& argument : options.files) {
    std::string reason;
    if (argument == "-") {
      const std::optional<std::string> content = ReadRecordStream(in, &reason);
      printer.Print(argument, nullptr, content, reason);
      continue;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(std::filesystem::u8path(argument), ec)) {
      const std::optional<std::string> content = ReadRecordFile(argument, &reason);
      printer.Print(argument, nullptr, content, reason);
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
      printer.Print(path, nullptr, content, reason);
    }
  }
  if (mail) {
    uint64_t found = 0;
    std::string error;
    const bool read = mailboxes.ForEachAttachment(
        options.mailbox, EndsInKik, kMaxFileSize,
        [&](const MailAttachment& a) {
          if (!a.note.empty()) {
            output.Say(Severity::kWarning, EscapeControls(a.note));
            return;
          }
          ++found;
          std::optional<std::string> content;
          if (a.error.empty() && a.size <= static_cast<uint64_t>(kMaxFileSize)) content = a.content;
          printer.Print(a.message_path, &a, content, a.error.empty() ? TooLarge(a.size) : a.error);
          // What was decoded is out before the next message, whatever happens to that one.
          output.text().flush();
        },
        &error);
    if (!read) {
      output.Say(Severity::kError, EscapeControls(error));
      failed = true;
    } else if (found == 0) {
      output.Say(Severity::kWarning,
                 EscapeControls(options.mailbox) + ": no message has an attachment ending in .kik");
    }
  }
  const int status = failed || printer.any_failed() ? 1 : 0;
  return output.Finish(printer.Finish(status));
}

}  // namespace corvane
