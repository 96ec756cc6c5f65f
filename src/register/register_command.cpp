#include "register/register_command.h"

#include <algorithm>
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

#include "common/connection_string.h"
#include "common/text.h"
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

std::string CsvRow(const std::vector<std::string>& cells) {
  std::string row;
  for (size_t i = 0; i < cells.size(); ++i) row += (i ? "," : "") + CsvField(cells[i]);
  return row + "\r\n";
}

// Where a report came from, for messages and the text output.
std::string Where(const std::string& path, const ReportSource& source) {
  if (!source.mail) return EscapeControls(path);
  return EscapeControls(path + ": message <" + source.message_id + ">, attachment " + source.name);
}

nlohmann::ordered_json SourceJson(const std::string& path, const ReportSource& source) {
  nlohmann::ordered_json j;
  j["path"] = path;
  if (source.mail) {
    j["message_id"] = source.message_id;
    j["from"] = source.sender;
    j["date"] = source.mail_date;
    j["attachment"] = source.name;
  }
  return j;
}

// A report as the inputs give it, decoded as decode does.
struct Incoming {
  std::string path;
  ReportSource source;
  MachineValues values;
  std::string report_date;
  std::string error;    // why it could not be decoded
  std::string warning;  // what decode would warn of
};

Incoming Decode(const std::string& path, const MailAttachment* mail,
                const std::optional<std::string>& content, const std::string& reason) {
  Incoming r;
  r.path = path;
  if (mail) {
    r.source = {mail->file_name, mail->message_id, mail->from, mail->date, true};
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
  r.warning = AmbiguousLengthsWarning(entry);
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

// Reads and decodes the reports of one input on a thread of its own and hands them over on
// this one, so that the mailbox's parsing and the register's writing overlap. The reports
// wait in a queue of at most kQueued; the register is locked for writing only once the
// input has ended or the queue is full, so that a report typed at a terminal, or a slow
// input, keeps no other writer waiting.
class InputReader {
 public:
  InputReader(const DecodeOptions& input, std::istream& in, MailboxReader& mailboxes,
              VerbOutput& output)
      : reader_([this, input, in = &in, mailboxes = &mailboxes, output = &output] {
          ReadAll(input, *in, *mailboxes, *output);
        }) {}
  ~InputReader() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
      changed_.notify_all();
    }
    reader_.join();
  }

  // Until the input has ended or the queue is full.
  void WaitReadAhead() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return done_ || queue_.size() >= kQueued; });
  }

  // Hands every report to `handle`, in order; whether the input could be read to its end.
  // An exception of `handle` stops the reading and is raised. Once only: what was handed
  // over is not kept for a second time.
  bool Drain(const std::string& name, const std::function<void(Incoming&)>& handle) {
    if (drained_) {
      throw RegisterError(name + ": the register asked for the input to be added again, and it " +
                          "cannot be read twice; add it again");
    }
    drained_ = true;
    std::deque<Incoming> batch;
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return done_ || !queue_.empty(); });
        if (queue_.empty()) break;
        batch.swap(queue_);
        changed_.notify_all();
      }
      try {
        for (Incoming& r : batch) handle(r);
        batch.clear();
      } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        queue_.clear();
        changed_.notify_all();
        throw;
      }
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return done_; });
    if (failure_) std::rethrow_exception(failure_);
    return read_;
  }

 private:
  static constexpr size_t kQueued = 4096;

  void ReadAll(const DecodeOptions& input, std::istream& in, MailboxReader& mailboxes,
               VerbOutput& output) {
    bool read = false;
    std::exception_ptr failure;
    try {
      read = ForEachReportFile(
          input, in, mailboxes, output,
          [&](const std::string& path, const MailAttachment* mail,
              const std::optional<std::string>& content, const std::string& reason) {
            Incoming r = Decode(path, mail, content, reason);
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || queue_.size() < kQueued; });
            if (stop_) return;
            queue_.push_back(std::move(r));
            changed_.notify_all();
          });
    } catch (...) {
      failure = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    read_ = read;
    failure_ = failure;
    done_ = true;
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Incoming> queue_;
  bool done_ = false;
  bool stop_ = false;
  bool read_ = false;
  bool drained_ = false;
  std::exception_ptr failure_;
  std::thread reader_;  // last: it starts once the rest is ready
};

std::string PluralS(uint64_t n, const std::string& word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

class Register {
 public:
  Register(const RegisterOptions& options, RegisterOpener open, std::istream& in,
           MailboxReader& mailboxes, VerbOutput& output)
      : options_(options), open_(open), in_(in), mailboxes_(mailboxes), output_(output) {}

  int Run() {
    const std::string& location = options_.db;
    const bool write = options_.action == RegisterAction::kAdd;
    // It holds every customer's names and serials: its own folder is its owner's alone.
    if (options_.default_db) KeepRegisterPrivate(location, write);
    if (!IsConnectionString(location)) WarnOfExposure(location);
    std::unique_ptr<RegisterDatabase> db =
        open_(location, write ? RegisterAccess::kWrite : RegisterAccess::kRead);
    if (!db) {
      output_.Say(Severity::kError,
                  EscapeControls(location) + ": no register yet; `corvane register add` makes one");
      return output_.Finish(1);
    }
    store_ = std::make_unique<RegisterStore>(std::move(db), write);
    switch (options_.action) {
      case RegisterAction::kAdd:
        return Add();
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
  // A register file that someone else could have put there or could change: what it says
  // may not be what support added.
  void WarnOfExposure(const std::string& path) {
    const RegisterFileExposure exposure = ExamineRegisterFile(path);
    const std::string shown = EscapeControls(path);
    if (exposure.through_link) {
      output_.Say(Severity::kWarning, shown + ": the register is reached through a symbolic " +
                                          "link; make sure it leads where you mean");
    }
    if (exposure.other_owner) {
      output_.Say(Severity::kWarning,
                  shown + ": the register belongs to another user, who may change what it holds");
    }
    if (!exposure.open_folder.empty()) {
      output_.Say(Severity::kWarning, shown + ": the register's folder " +
                                          EscapeControls(exposure.open_folder) +
                                          " may be written by other users, who may replace the " +
                                          "register or put a journal of their own beside it");
    }
  }

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

  // One decoded report into the register, inside the input's transaction.
  void Store(const Incoming& r, const std::string& input, const std::string& added_at,
             int64_t* input_id, Counts* counts) {
    const auto key = RegisterStore::Key(r.values, r.source);
    if (store_->HasReport(key)) {
      ++counts->known;
      return;
    }
    if (*input_id == 0) *input_id = store_->AddInput(input, added_at);
    std::vector<Machine> known;
    const std::vector<int64_t> joins = Recognise(*store_, r.values, options_.match, &known);
    const Machine* machine = nullptr;
    for (const Machine& m : known) {
      if (joins.size() == 1 && m.id == joins[0]) machine = &m;
    }
    if (joins.empty()) ++counts->machines;
    if (joins.size() > 1) ++counts->conflicts;
    store_->AddReport(key, *input_id, machine, joins.size() > 1 ? MachineList(joins) : "", r.values,
                      r.report_date, r.source);
    ++counts->added;
  }

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
      std::vector<std::string> warnings;
      InputReader reader(input, in_, mailboxes_, output_);
      reader.WaitReadAhead();
      try {
        store_->db().Write([&] {
          counts = {};
          failed.clear();
          warnings.clear();
          int64_t input_id = 0;
          const std::string added_at = UtcNow();
          const bool read = reader.Drain(store_->Name(), [&](Incoming& r) {
            ++counts.read;
            if (!r.warning.empty()) warnings.push_back(std::move(r.warning));
            if (!r.error.empty()) {
              ++counts.failed;
              failed.push_back(std::move(r));
              return;
            }
            try {
              Store(r, name, added_at, &input_id, &counts);
            } catch (const RegisterError& e) {
              throw RegisterError(Where(r.path, r.source) +
                                  ": could not be stored, and nothing of " + EscapeControls(given) +
                                  " was added: " + e.what());
            }
          });
          if (!read) throw InputFailed{};
        });
      } catch (const InputFailed&) {
        output_.Say(Severity::kError,
                    EscapeControls(given) + ": not added: the input could not be read to its end");
        input_failed = true;
        counts.added = counts.known = counts.conflicts = counts.machines = 0;
      }
      total += counts;
      for (const std::string& warning : warnings) output_.Say(Severity::kWarning, warning);
      for (Incoming& f : failed) {
        output_.Say(Severity::kError, Where(f.path, f.source) + ": not added: " + f.error);
        failures.push_back(std::move(f));
      }
    }
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
      for (int64_t m : r.conflict_machines) (*flags)[m].insert("conflict");
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
            if (!r.warning.empty()) output_.Say(Severity::kWarning, r.warning);
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
        j["machines"] = r.conflict_machines;
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
            << MachineList(r.conflict_machines, ", ") << "\n";
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
  std::unique_ptr<RegisterStore> store_;
};

}  // namespace

int RunRegisterCommand(const RegisterOptions& options, RegisterOpener open, std::istream& in,
                       MailboxReader& mailboxes, VerbOutput& output) {
  try {
    return Register(options, open, in, mailboxes, output).Run();
  } catch (const RegisterError& e) {
    // Several lines (a server's detail, the client library's hint) stay lines, each escaped.
    const std::string text = e.what();
    std::string joined;
    for (size_t at = 0; at <= text.size();) {
      const size_t end = std::min(text.find('\n', at), text.size());
      const std::string line = EscapeControls(text.substr(at, end - at));
      if (output.json()) {
        joined += (at ? "\n" : "") + line;
      } else {
        output.Say(Severity::kError, (at ? "  " : "") + line);
      }
      at = end + 1;
    }
    if (output.json()) output.Say(Severity::kError, joined);
    return output.Finish(1);
  }
}

}  // namespace corvane
