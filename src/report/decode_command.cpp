#include "report/decode_command.h"

#include <algorithm>
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

#include "platform/files.h"
#include "platform/text.h"
#include "report/record_decode.h"

namespace corvane {

namespace {

// A record is a few hundred bytes; anything far larger is not one and is not loaded whole.
constexpr std::streamoff kMaxFileSize = 1 << 20;

std::string TooLarge(uint64_t size) {
  return "it holds " + std::to_string(size) + " bytes, far too many for a record";
}

std::optional<std::string> ReadRecordFile(const std::string& path, std::string* reason) {
  try {
    return ReadFileBytes(path, FileKind::kRecord);
  } catch (const FileError& e) {
    *reason = e.reason();
    return std::nullopt;
  }
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
  static const char kSuffix[] = ".kik";
  if (name.size() < 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    const char c = name[name.size() - 4 + i];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != kSuffix[i]) return false;
  }
  return true;
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

// Prints each record as it is decoded, so that a long mailbox holds none of the output.
class RecordPrinter {
 public:
  RecordPrinter(VerbOutput& output, bool csv, bool mail) : output_(output), csv_(csv), mail_(mail) {
    if (output_.json()) {
      output_.BeginList("files");
    } else if (csv_) {
      output_.text() << "file" << (mail_ ? ",message_id,from,date,attachment" : "")
                     << ",disk_identifier,volume_serial,computer_name,product_id,user_name\r\n";
    }
  }

  // `content` is the record's bytes, or nothing with `reason` when it could not be read.
  void Print(const std::string& path, const MailAttachment* mail,
             const std::optional<std::string>& content, std::string reason) {
    ++count_;
    DecodedRecord record;
    if (content) {
      record = DecodeMachineRecord(*content);
      reason = record.error;
    } else {
      reason = "cannot read it: " + reason;
    }
    nlohmann::ordered_json entry;
    entry["path"] = path;
    if (mail) {
      entry["message_id"] = mail->message_id;
      entry["from"] = mail->from;
      entry["date"] = mail->date;
      entry["attachment"] = mail->file_name;
    }
    std::string where = path;
    if (mail) where += ": message <" + mail->message_id + ">";
    if (mail && !mail->file_name.empty()) where += ", attachment " + mail->file_name;
    if (!reason.empty()) {
      ++failed_;
      if (output_.json()) {
        entry["error"] = reason;
        output_.AddToList(entry);
      } else {
        output_.Say(Severity::kError, EscapeControls(where) + ": " + reason);
      }
      return;
    }
    const MachineValues& v = record.values;
    const std::string shown[] = {Shown(v.disk_identifier, record.unit),
                                 Shown(v.volume_serial, record.unit),
                                 Shown(v.computer_name, record.unit),
                                 Shown(v.product_id, record.unit), Shown(v.user_name, record.unit)};
    if (record.ambiguous()) {
      ++ambiguous_;
      if (!output_.json()) {
        output_.Say(Severity::kWarning,
                    EscapeControls(where) + ": the lengths are ambiguous (a value of 1000 " +
                        "characters or more): " + std::to_string(record.cuts) +
                        " cuts fit; the long value is taken to be the product identifier");
      }
    }
    std::ostream& out = output_.text();
    if (output_.json()) {
      for (size_t i = 0; i < 5; ++i) entry[kValueKeys[i]] = shown[i];
      if (record.ambiguous()) entry["ambiguous_cuts"] = record.cuts;
      output_.AddToList(entry);
    } else if (csv_) {
      out << CsvField(path);
      if (mail) {
        for (const std::string* s : {&mail->message_id, &mail->from, &mail->date, &mail->file_name})
          out << "," << CsvField(*s);
      }
      for (const std::string& s : shown) out << "," << CsvField(s);
      out << "\r\n";
    } else {
      if (printed_) out << "\n";
      out << EscapeControls(path) << "\n";
      if (mail) {
        out << "  message id:       " << EscapeControls(mail->message_id) << "\n"
            << "  from:             " << EscapeControls(mail->from) << "\n"
            << "  date:             " << EscapeControls(mail->date) << "\n"
            << "  attachment:       " << EscapeControls(mail->file_name) << "\n";
      }
      for (size_t i = 0; i < 5; ++i)
        out << "  " << kValueLabels[i] << EscapeControls(shown[i]) << "\n";
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
  bool mail_;
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
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
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
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  for (const std::string& name : names) paths->push_back(prefix + name);
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
    if (!std::filesystem::is_directory(argument, ec)) {
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
