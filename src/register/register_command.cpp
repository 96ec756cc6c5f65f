#include "register/register_command.h"

#include <condition_variable>
#include <ctime>
#include <deque>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <set>
#include <system_error>
#include <thread>

#include "common/text.h"
#include "register/imap_url.h"
#include "register/register_store.h"

namespace corvane {

namespace {

constexpr const char* kValueKeys[] = {"disk_identifier", "volume_serial", "computer_name",
                                      "product_id", "user_name"};

std::vector<std::string> ValueList(const MachineValues& v) {
  return {v.disk_identifier, v.volume_serial, v.computer_name, v.product_id, v.user_name};
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  char text[32] = "";
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
  return text;
}

// yyyymmdd as yyyy-mm-dd; an undated report shows nothing.
std::string ShownDate(const std::string& date) {
  return date.size() == 8 ? date.substr(0, 4) + "-" + date.substr(4, 2) + "-" + date.substr(6)
                          : date;
}

std::string Joined(const std::vector<std::string>& items, const std::string& separator) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : separator) + item;
  return out;
}

// As the register keeps it, "2 4"; `separator` ", " for people.
std::string MachineList(const std::vector<int64_t>& machines, const std::string& separator = " ") {
  std::vector<std::string> ids;
  for (int64_t m : machines) ids.push_back(std::to_string(m));
  return Joined(ids, separator);
}

std::vector<int64_t> ParseMachineList(const std::string& text) {
  std::vector<int64_t> ids;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find(' ', at);
    ids.push_back(std::stoll(text.substr(at, end - at)));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return ids;
}

std::string CsvRow(const std::vector<std::string>& cells) {
  std::string row;
  for (size_t i = 0; i < cells.size(); ++i) row += (i ? "," : "") + CsvField(cells[i]);
  return row + "\r\n";
}

// Where a report came from, for messages and the text output.
std::string Where(const std::string& path, const ReportSource& source) {
  if (!source.mail) return EscapeControls(path);
  std::string at = path + ": message ";
  if (source.uid) at += "UID " + std::to_string(source.uid);
  // A message on a server that could not be fetched is known by its UID alone.
  if (!source.uid || !source.message_id.empty()) {
    at += (source.uid ? " <" : "<") + source.message_id + ">";
  }
  // A message on a server that could not be read has no attachment to name.
  if (!source.uid || !source.name.empty()) at += ", attachment " + source.name;
  return EscapeControls(at);
}

nlohmann::ordered_json SourceJson(const std::string& path, const ReportSource& source) {
  nlohmann::ordered_json j;
  j["path"] = path;
  if (source.mail) {
    j["message_id"] = source.message_id;
    j["from"] = source.sender;
    j["date"] = source.mail_date;
    j["attachment"] = source.name;
    if (source.uid) j["uid"] = source.uid;
  }
  return j;
}

// A report as the inputs give it, decoded as decode does.
struct Incoming {
  std::string path;
  ReportSource source;
  MachineValues values;
  std::string report_date;
  std::string error;            // why it could not be decoded
  uint64_t message_number = 0;  // a mail's number in its mailbox (on a server, its UID)
};

Incoming Decode(const std::string& path, const MailAttachment* mail,
                const std::optional<std::string>& content, const std::string& reason) {
  Incoming r;
  r.path = path;
  if (mail) {
    r.source = {mail->file_name, mail->message_id, mail->from, mail->date, true};
    r.message_number = mail->message_number;
  } else if (path == "-") {
    r.source.name = path;
  } else {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    r.source.name = ec ? path : absolute.lexically_normal().string();
  }
  const DecodedEntry entry = DecodeEntry(path, mail, content, reason);
  r.error = entry.error;
  if (!r.error.empty()) return r;
  r.values = {entry.values[0], entry.values[1], entry.values[2], entry.values[3], entry.values[4]};
  r.report_date =
      ReportDateOfName(mail ? mail->file_name : std::filesystem::path(path).filename().string());
  return r;
}

// The rule's answer for one report: the machines it joins, among `known`.
std::vector<int64_t> Recognise(RegisterStore& store, const MachineValues& values, MatchMode mode,
                               std::vector<Machine>* known) {
  *known = store.MachinesSharingAValue(values);
  std::vector<KnownMachine> candidates;
  for (const Machine& m : *known) candidates.push_back({m.id, m.latest});
  Evidence evidence;
  if (!candidates.empty() && !values.product_id.empty()) {
    evidence.product_shared = store.MachinesWithProduct(values.product_id) >= 2;
  }
  return MatchingMachines(values, candidates, evidence, mode);
}

// An input could not be read to its end: nothing of it is kept.
struct InputFailed {};

// Reads and decodes the reports that `produce` hands over on a thread of its own and hands
// them to `handle` on this one, so that the mailbox's parsing and the register's writing
// overlap. Returns what `produce` returns, whether the input could be read to its end; an
// exception of `handle` stops the handing over and is raised again once the reader has
// finished.
bool DecodeOverlapped(const std::function<bool(const FoundReportFile&)>& produce,
                      const std::function<void(Incoming&)>& handle) {
  constexpr size_t kQueued = 512;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Incoming> queue;
  bool done = false;
  bool stop = false;
  bool read = false;
  std::exception_ptr reader_failure;
  std::thread reader([&] {
    try {
      read = produce([&](const std::string& path, const MailAttachment* mail,
                         const std::optional<std::string>& content, const std::string& reason) {
        Incoming r = Decode(path, mail, content, reason);
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return stop || queue.size() < kQueued; });
        if (stop) return;
        queue.push_back(std::move(r));
        if (queue.size() == 1) changed.notify_all();
      });
    } catch (...) {
      reader_failure = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    changed.notify_all();
  });
  std::exception_ptr failure;
  std::deque<Incoming> batch;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return done || !queue.empty(); });
      if (queue.empty()) break;
      batch.swap(queue);
      changed.notify_all();
    }
    try {
      for (Incoming& r : batch) handle(r);
      batch.clear();
    } catch (...) {
      failure = std::current_exception();
      std::lock_guard<std::mutex> lock(mutex);
      stop = true;
      queue.clear();
      changed.notify_all();
      break;
    }
  }
  reader.join();
  if (failure) std::rethrow_exception(failure);
  if (reader_failure) std::rethrow_exception(reader_failure);
  return read;
}

std::string PluralS(uint64_t n, const std::string& word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

class Register {
 public:
  Register(const RegisterOptions& options, RegisterOpener open, std::istream& in,
           MailboxReader& mailboxes, VerbOutput& output, ImapMailbox* imap)
      : options_(options),
        open_(open),
        in_(in),
        mailboxes_(mailboxes),
        output_(output),
        imap_(imap) {}

  int Run() {
    const std::string& location = options_.db;
    const bool write = options_.action == RegisterAction::kAdd;
    if (write && options_.default_db) {
      std::error_code ec;
      std::filesystem::create_directories(std::filesystem::path(location).parent_path(), ec);
    }
    std::unique_ptr<RegisterDatabase> db =
        open_(location, write ? RegisterAccess::kWrite : RegisterAccess::kRead);
    if (!db) {
      output_.Say(Severity::kError,
                  EscapeControls(location) + ": no register yet; `corvane register add` makes one");
      return 1;
    }
    store_ = std::make_unique<RegisterStore>(std::move(db), write);
    switch (options_.action) {
      case RegisterAction::kAdd:
        return options_.imap_url.empty() ? Add() : AddImap();
      case RegisterAction::kMachines:
        return Machines();
      case RegisterAction::kHistory:
        return History();
      case RegisterAction::kCheck:
        return Check();
      default:
        return Conflicts();
    }
  }

 private:
  struct Counts {
    uint64_t read = 0, added = 0, known = 0, failed = 0, conflicts = 0, machines = 0;
    void operator+=(const Counts& c) {
      read += c.read;
      added += c.added;
      known += c.known;
      failed += c.failed;
      conflicts += c.conflicts;
      machines += c.machines;
    }
  };

  int Add() {
    std::vector<DecodeOptions> inputs;
    for (const std::string& file : options_.inputs.files) inputs.push_back({{file}, "", false});
    if (!options_.inputs.mailbox.empty()) inputs.push_back({{}, options_.inputs.mailbox, false});
    Counts total;
    std::vector<Incoming> failures;
    bool input_failed = false;
    for (const DecodeOptions& input : inputs) {
      const std::string given = input.mailbox.empty() ? input.files[0] : input.mailbox;
      std::error_code ec;
      const std::string name =
          given == "-" ? given : std::filesystem::absolute(given, ec).lexically_normal().string();
      Counts counts;
      std::vector<Incoming> failed;
      try {
        store_->db().Write([&] {
          counts = {};
          failed.clear();
          NewInput input_row{name, UtcNow(), 0};
          const bool read = DecodeOverlapped(
              [&](const FoundReportFile& found) {
                return ForEachReportFile(input, in_, mailboxes_, output_, found);
              },
              [&](Incoming& r) { Store(r, input_row, &counts, &failed); });
          if (!read) throw InputFailed{};
        });
      } catch (const InputFailed&) {
        output_.Say(Severity::kError,
                    EscapeControls(given) + ": not added: the input could not be read to its end");
        input_failed = true;
        counts.added = counts.known = counts.conflicts = counts.machines = 0;
      }
      total += counts;
      SayFailures(&failed, &failures);
    }
    return Summary(total, failures, input_failed);
  }

  // The input that the reports of one add come from, written with its first new report.
  struct NewInput {
    std::string name;
    std::string added_at;
    int64_t id;
  };

  // One report of an add: stored, known already, or failed.
  void Store(Incoming& r, NewInput& input, Counts* counts, std::vector<Incoming>* failed) {
    ++counts->read;
    if (!r.error.empty()) {
      ++counts->failed;
      failed->push_back(std::move(r));
      return;
    }
    const auto key = RegisterStore::Key(r.values, r.source);
    if (store_->HasReport(key)) {
      ++counts->known;
      return;
    }
    if (input.id == 0) input.id = store_->AddInput(input.name, input.added_at);
    std::vector<Machine> known;
    const std::vector<int64_t> joins = Recognise(*store_, r.values, options_.match, &known);
    const Machine* machine = nullptr;
    for (const Machine& m : known) {
      if (joins.size() == 1 && m.id == joins[0]) machine = &m;
    }
    if (joins.empty()) ++counts->machines;
    if (joins.size() > 1) ++counts->conflicts;
    store_->AddReport(key, input.id, machine, joins.size() > 1 ? MachineList(joins) : "", r.values,
                      r.report_date, r.source);
    ++counts->added;
  }

  void SayFailures(std::vector<Incoming>* failed, std::vector<Incoming>* failures) {
    for (Incoming& f : *failed) {
      output_.Say(Severity::kError, Where(f.path, f.source) + ": not added: " + f.error);
      failures->push_back(std::move(f));
    }
    failed->clear();
  }

  // A mailbox on a server, in batches of its messages each added in a transaction of its
  // own together with how far the mailbox has been read: a run that is stopped keeps what
  // it added, and the next goes on from there.
  int AddImap() {
    constexpr size_t kBatch = 1000;
    ImapAccount account;
    std::string error;
    if (ParseImapUrl(options_.imap_url, &account, &error) != ImapUrlVerdict::kValid) {
      output_.Say(Severity::kError, EscapeControls(error));
      return output_.Finish(2);
    }
    account.password_command = options_.password_command;
    account.cacert = options_.cacert;
    Counts total;
    std::vector<Incoming> failures;
    bool input_failed = false;
    if (!imap_ || !imap_->Open(account, &error)) {
      output_.Say(Severity::kError,
                  EscapeControls(imap_ ? error
                                       : account.Url() + ": mailboxes on a server cannot "
                                                         "be read here"));
      return Summary(total, failures, true);
    }
    const uint32_t validity = imap_->UidValidity();
    std::optional<ImapProgress> progress;
    store_->db().Read([&] {
      progress = store_->ImapProgressOf(account.Server(), account.user, account.mailbox);
    });
    // After a UIDVALIDITY change the UIDs mean other messages: all are read again, and the
    // reports already stored count as known.
    uint32_t after = progress && progress->uid_validity == validity
                         ? static_cast<uint32_t>(progress->last_uid)
                         : 0;
    NewInput input{account.Url(), UtcNow(), 0};
    for (;;) {
      std::vector<ImapMailbox::Message> batch;
      if (!imap_->MessagesAfter(after, kBatch, &batch, &error)) {
        output_.Say(Severity::kError, EscapeControls(error));
        input_failed = true;
        break;
      }
      if (batch.empty()) break;
      Counts counts;
      std::vector<Incoming> failed;
      uint32_t done = after;
      bool lost = false;
      store_->db().Write([&] {
        counts = {};
        failed.clear();
        done = after;
        lost = false;
        NewInput batch_input = input;
        DecodeOverlapped(
            [&](const FoundReportFile& found) {
              for (const ImapMailbox::Message& m : batch) {
                const bool fetched = imap_->ForEachAttachment(
                    m, IsReportFileName, ReportFileLimit(),
                    [&](const MailAttachment& a) { HandOverAttachment(a, output_, found); },
                    &error);
                if (!fetched) {
                  lost = true;
                  return false;
                }
                done = m.uid;
              }
              return true;
            },
            [&](Incoming& r) {
              r.source.uid = static_cast<uint32_t>(r.message_number);
              Store(r, batch_input, &counts, &failed);
            });
        if (done != after) {
          store_->SetImapProgress(account.Server(), account.user, account.mailbox,
                                  {validity, done});
        }
        input = batch_input;
      });
      total += counts;
      SayFailures(&failed, &failures);
      after = done;
      if (lost) {
        output_.Say(Severity::kError, EscapeControls(error));
        input_failed = true;
        break;
      }
    }
    return Summary(total, failures, input_failed);
  }

  int Summary(const Counts& total, const std::vector<Incoming>& failures, bool input_failed) {
    const std::string summary =
        std::to_string(total.read) + " read, " + std::to_string(total.added) + " new, " +
        std::to_string(total.known) + " already known, " + std::to_string(total.failed) +
        " failed; " + PluralS(total.machines, "new machine") + ", " +
        PluralS(total.conflicts, "conflict") + " held";
    if (output_.json()) {
      output_.Add("register", store_->Name());
      output_.Add("read", total.read);
      output_.Add("new", total.added);
      output_.Add("already_known", total.known);
      output_.Add("failed", total.failed);
      output_.Add("new_machines", total.machines);
      output_.Add("conflicts", total.conflicts);
      nlohmann::ordered_json list = nlohmann::ordered_json::array();
      for (const Incoming& f : failures) {
        nlohmann::ordered_json entry = SourceJson(f.path, f.source);
        entry["error"] = f.error;
        list.push_back(entry);
      }
      output_.Add("failures", list);
      output_.SayInJson(Severity::kInformation, summary);
    } else {
      output_.text() << summary << "\n";
    }
    return output_.Finish(input_failed || total.failed > 0 ? 1 : 0);
  }

  void MachineFlags(std::map<int64_t, std::set<std::string>>* flags) {
    for (const auto& s : store_->SharedAcrossMachines("disk")) {
      for (int64_t m : s.machines) (*flags)[m].insert("shared disk");
    }
    for (const auto& s : store_->SharedAcrossMachines("product")) {
      for (int64_t m : s.machines) (*flags)[m].insert("shared product id");
    }
    for (const StoredReport& r : store_->HeldConflicts()) {
      for (int64_t m : ParseMachineList(r.conflict)) (*flags)[m].insert("conflict");
    }
  }

  int Machines() {
    std::map<int64_t, std::set<std::string>> flags;
    store_->db().Read([&] {
      MachineFlags(&flags);
      std::ostream& out = output_.text();
      if (output_.json()) {
        output_.BeginList("machines");
      } else if (options_.csv) {
        out << "machine,disk_identifier,volume_serial,computer_name,product_id,user_name,"
               "first_report,last_report,reports,flags\r\n";
      }
      bool first = true;
      store_->ForEachMachine([&](const Machine& m) {
        const std::vector<std::string> f(flags[m.id].begin(), flags[m.id].end());
        const std::vector<std::string> values = ValueList(m.latest);
        if (output_.json()) {
          nlohmann::ordered_json j;
          j["machine"] = m.id;
          for (size_t i = 0; i < 5; ++i) j[kValueKeys[i]] = values[i];
          j["first_report"] = ShownDate(m.first_date);
          j["last_report"] = ShownDate(m.latest_date);
          j["reports"] = m.reports;
          j["flags"] = f;
          output_.AddToList(j);
        } else if (options_.csv) {
          std::vector<std::string> cells{std::to_string(m.id)};
          cells.insert(cells.end(), values.begin(), values.end());
          cells.insert(cells.end(), {ShownDate(m.first_date), ShownDate(m.latest_date),
                                     std::to_string(m.reports), Joined(f, "; ")});
          out << CsvRow(cells);
        } else {
          if (!first) out << "\n";
          out << "machine " << m.id << "\n";
          PrintValues(out, m.latest);
          out << "  first report:     " << ShownDate(m.first_date) << "\n"
              << "  last report:      " << ShownDate(m.latest_date) << "\n"
              << "  reports:          " << m.reports << "\n";
          if (!f.empty()) out << "  flags:            " << Joined(f, ", ") << "\n";
        }
        first = false;
      });
    });
    return output_.Finish(0);
  }

  static void PrintValues(std::ostream& out, const MachineValues& v) {
    static const char* const kLabels[] = {
        "disk identifier:  ", "volume serial:    ", "computer name:    ", "product id:       ",
        "user name:        "};
    const std::vector<std::string> values = ValueList(v);
    for (size_t i = 0; i < 5; ++i) out << "  " << kLabels[i] << EscapeControls(values[i]) << "\n";
  }

  int History() {
    std::vector<int64_t> machines;
    std::string asked;
    int status = 0;
    store_->db().Read([&] {
      if (!options_.disk.empty()) {
        machines = store_->MachinesWithReportOf("disk", options_.disk);
        asked = "disk " + options_.disk;
      } else if (!options_.computer.empty()) {
        machines = store_->MachinesWithReportOf("computer", options_.computer);
        asked = "computer name " + options_.computer;
      } else {
        asked = "machine " + options_.machine;
        size_t used = 0;
        int64_t id = 0;
        try {
          id = std::stoll(options_.machine, &used);
        } catch (const std::exception&) {
          used = 0;
        }
        if (used == options_.machine.size() && store_->FindMachine(id)) machines.push_back(id);
      }
      if (machines.empty()) {
        output_.Say(Severity::kError, EscapeControls(asked) + ": not in the register");
        status = 1;
        return;
      }
      std::ostream& out = output_.text();
      if (output_.json()) {
        output_.BeginList("machines");
      } else if (options_.csv) {
        out << "machine,report_date,changes,disk_identifier,volume_serial,computer_name,"
               "product_id,user_name,source,message_id,from,date,input,added_at\r\n";
      }
      for (size_t n = 0; n < machines.size(); ++n) {
        const std::vector<StoredReport> reports = store_->MachineReports(machines[n]);
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        if (!output_.json() && !options_.csv) {
          out << (n ? "\n" : "") << "machine " << machines[n] << ": "
              << PluralS(reports.size(), "report") << "\n";
        }
        for (size_t i = 0; i < reports.size(); ++i) {
          const StoredReport& r = reports[i];
          const std::vector<std::string> changes =
              i == 0 ? std::vector<std::string>{} : Changes(reports[i - 1].values, r.values);
          const std::string said = i == 0            ? "first report"
                                   : changes.empty() ? "no change"
                                                     : Joined(changes, ", ");
          const std::vector<std::string> values = ValueList(r.values);
          if (output_.json()) {
            nlohmann::ordered_json j;
            j["report_date"] = ShownDate(r.report_date);
            j["changes"] = changes;
            for (size_t k = 0; k < 5; ++k) j[kValueKeys[k]] = values[k];
            j["source"] = SourceJson(r.source.mail ? r.input : r.source.name, r.source);
            j["added_at"] = r.added_at;
            list.push_back(j);
          } else if (options_.csv) {
            std::vector<std::string> cells{std::to_string(machines[n]), ShownDate(r.report_date),
                                           Joined(changes, "; ")};
            cells.insert(cells.end(), values.begin(), values.end());
            cells.insert(cells.end(), {r.source.name, r.source.message_id, r.source.sender,
                                       r.source.mail_date, r.input, r.added_at});
            out << CsvRow(cells);
          } else {
            out << "  " << (r.report_date.empty() ? "(no date) " : ShownDate(r.report_date)) << "  "
                << said << "\n"
                << "    " << EscapeControls(Joined(values, " | ")) << "\n"
                << "    from " << Where(r.source.mail ? r.input : r.source.name, r.source)
                << ", added " << r.added_at << "\n";
          }
        }
        if (output_.json()) output_.AddToList({{"machine", machines[n]}, {"reports", list}});
      }
    });
    return output_.Finish(status);
  }

  int Check() {
    int worst = kCheckUnchanged;
    bool failed = false;
    std::ostream& out = output_.text();
    if (output_.json()) {
      output_.BeginList("reports");
    } else if (options_.csv) {
      out << "file,message_id,attachment,verdict,machines,changes\r\n";
    }
    store_->db().Read([&] {
      const bool read = ForEachReportFile(
          options_.inputs, in_, mailboxes_, output_,
          [&](const std::string& path, const MailAttachment* mail,
              const std::optional<std::string>& content, const std::string& reason) {
            const Incoming r = Decode(path, mail, content, reason);
            nlohmann::ordered_json j = SourceJson(r.path, r.source);
            if (!r.error.empty()) {
              failed = true;
              if (output_.json()) {
                j["error"] = r.error;
                output_.AddToList(j);
              } else {
                output_.Say(Severity::kError, Where(r.path, r.source) + ": " + r.error);
              }
              return;
            }
            std::vector<Machine> known;
            const std::vector<int64_t> joins = Recognise(*store_, r.values, options_.match, &known);
            std::vector<std::string> changes;
            std::string verdict = "new";
            int status = kCheckNew;
            if (joins.size() > 1) {
              verdict = "conflict";
              status = kCheckConflict;
            } else if (joins.size() == 1) {
              for (const Machine& m : known) {
                if (m.id == joins[0]) changes = Changes(m.latest, r.values);
              }
              verdict = changes.empty() ? "unchanged" : "changed";
              status = changes.empty() ? kCheckUnchanged : kCheckChanged;
            }
            if (status > worst) worst = status;
            if (output_.json()) {
              j["verdict"] = verdict;
              j["machines"] = joins;
              j["changes"] = changes;
              output_.AddToList(j);
            } else if (options_.csv) {
              out << CsvRow({r.path, r.source.message_id, r.source.mail ? r.source.name : "",
                             verdict, MachineList(joins), Joined(changes, "; ")});
            } else {
              out << Where(r.path, r.source) << ": ";
              if (verdict == "new") {
                out << "new: no machine of the register\n";
              } else if (verdict == "conflict") {
                out << "conflict: it would join machines " << MachineList(joins, ", ") << "\n";
              } else if (verdict == "unchanged") {
                out << "known, unchanged: machine " << joins[0] << "\n";
              } else {
                out << "known with changes: machine " << joins[0] << ": " << Joined(changes, ", ")
                    << "\n";
              }
            }
          });
      if (!read) failed = true;
    });
    return output_.Finish(failed ? 1 : worst);
  }

  int Conflicts() {
    std::vector<RegisterStore::Shared> disks, products;
    std::vector<StoredReport> held;
    store_->db().Read([&] {
      disks = store_->SharedAcrossMachines("disk");
      products = store_->SharedAcrossMachines("product");
      held = store_->HeldConflicts();
    });
    std::ostream& out = output_.text();
    const auto shared_json = [](const std::vector<RegisterStore::Shared>& list, const char* key) {
      nlohmann::ordered_json j = nlohmann::ordered_json::array();
      for (const auto& s : list) j.push_back({{key, s.value}, {"machines", s.machines}});
      return j;
    };
    if (output_.json()) {
      output_.Add("disks", shared_json(disks, "disk_identifier"));
      output_.Add("product_ids", shared_json(products, "product_id"));
      nlohmann::ordered_json list = nlohmann::ordered_json::array();
      for (const StoredReport& r : held) {
        nlohmann::ordered_json j;
        for (size_t k = 0; k < 5; ++k) j[kValueKeys[k]] = ValueList(r.values)[k];
        j["report_date"] = ShownDate(r.report_date);
        j["machines"] = ParseMachineList(r.conflict);
        j["source"] = SourceJson(r.source.mail ? r.input : r.source.name, r.source);
        list.push_back(j);
      }
      output_.Add("held_reports", list);
      return output_.Finish(0);
    }
    if (options_.csv) out << "kind,value,machines,report_date,source\r\n";
    for (const auto* list : {&disks, &products}) {
      for (const auto& s : *list) {
        const bool disk = list == &disks;
        if (options_.csv) {
          out << CsvRow({disk ? "disk" : "product id", s.value, MachineList(s.machines), "", ""});
        } else {
          out << (disk ? "disk " : "product id ") << EscapeControls(s.value)
              << (disk ? " under machines " : " across machines ") << MachineList(s.machines, ", ")
              << (disk ? " (a moved disk or a cloned image)\n" : "\n");
        }
      }
    }
    for (const StoredReport& r : held) {
      const std::string where = r.source.mail ? r.input : r.source.name;
      if (options_.csv) {
        out << CsvRow({"held report", Joined(ValueList(r.values), " | "), r.conflict,
                       ShownDate(r.report_date),
                       where + (r.source.mail ? " <" + r.source.message_id + ">" : "")});
      } else {
        out << "held as a conflict: " << Where(where, r.source) << " ("
            << EscapeControls(Joined(ValueList(r.values), " | ")) << ") would join machines "
            << MachineList(ParseMachineList(r.conflict), ", ") << "\n";
      }
    }
    if (!options_.csv && disks.empty() && products.empty() && held.empty()) {
      out << "no conflicts\n";
    }
    return output_.Finish(0);
  }

  const RegisterOptions& options_;
  RegisterOpener open_;
  std::istream& in_;
  MailboxReader& mailboxes_;
  VerbOutput& output_;
  ImapMailbox* imap_;
  std::unique_ptr<RegisterStore> store_;
};

}  // namespace

int RunRegisterCommand(const RegisterOptions& options, RegisterOpener open, std::istream& in,
                       MailboxReader& mailboxes, VerbOutput& output, ImapMailbox* imap) {
  try {
    return Register(options, open, in, mailboxes, output, imap).Run();
  } catch (const RegisterError& e) {
    output.Say(Severity::kError, EscapeControls(e.what()));
    return output.Finish(1);
  }
}

}  // namespace corvane
