#include "register/register_command.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <set>
#include <system_error>
#include <utility>

#include "common/connection_string.h"
#include "common/table_writer.h"
#include "common/text.h"
#include "register/imap_url.h"
#include "register/incoming_reports.h"
#include "register/register_store.h"
#include "report/decode_command.h"

namespace corvane {

namespace {

std::vector<std::string> ValueList(const MachineValues& v) {
  std::vector<std::string> values;
  for (const ValueField& field : kValueFields) values.push_back(v.*field.value);
  return values;
}

std::string UtcText(std::time_t time, const char* format) {
  char text[32] = "";
  std::strftime(text, sizeof text, format, std::gmtime(&time));
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
  if (!source.uid || !source.name.empty()) {
    at += (source.in_text ? ", in its text: " : ", attachment ") + source.name;
  }
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
    if (source.in_text) j["source"] = "text";
    if (source.uid) j["uid"] = source.uid;
  }
  return j;
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

struct Verdict {
  std::string verdict;  // new, unchanged, changed, conflict; already_known for add
  std::vector<int64_t> machines;
  std::vector<std::string> changes;
  int status = kCheckNew;
};

// What the rule's answer `joins` (among `known`) means for a report of `values`.
Verdict VerdictOf(const std::vector<int64_t>& joins, const std::vector<Machine>& known,
                  const MachineValues& values) {
  Verdict v{"new", joins, {}, kCheckNew};
  if (joins.size() > 1) {
    v.verdict = "conflict";
    v.status = kCheckConflict;
  } else if (joins.size() == 1) {
    for (const Machine& m : known) {
      if (m.id == joins[0]) v.changes = Changes(m.latest, values);
    }
    v.verdict = v.changes.empty() ? "unchanged" : "changed";
    v.status = v.changes.empty() ? kCheckUnchanged : kCheckChanged;
  }
  return v;
}

// An input could not be read to its end: nothing of it is kept.
struct InputFailed {};

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

  int RunOn(RegisterStore& store) {
    store_ = &store;
    return Act();
  }

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
    owned_ = std::make_unique<RegisterStore>(std::move(db), write);
    store_ = owned_.get();
    return Act();
  }

 private:
  int Act() {
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

  // The input that the reports of one add come from, written with its first new report.
  struct NewInput {
    std::string name;
    std::string given;  // as the user named it, for messages
    std::string added_at;
    std::string last_day;  // no report is taken as a machine's latest if dated later
    int64_t id;
  };

  static NewInput StartInput(const std::string& name, const std::string& given) {
    const std::time_t now = std::time(nullptr);
    // Today somewhere on earth: the latest time zone is 14 hours ahead of UTC.
    return {name, given, UtcText(now, "%Y-%m-%dT%H:%M:%SZ"), UtcText(now + 14 * 3600, "%Y%m%d"), 0};
  }

  // The reports of one transaction: what they did, and what to say once it has ended.
  struct Outcome {
    Counts counts;
    std::vector<Incoming> failed;
    std::vector<std::string> warnings;
    std::vector<TableRow> verdicts;  // with `verdicts`: each report's, as check gives it
  };

  // One report of an add, inside the input's transaction: stored, known already, or failed.
  void Store(Incoming& r, NewInput& input, Outcome* outcome) {
    Counts* counts = &outcome->counts;
    ++counts->read;
    r.path = Uploaded(r.path);
    r.source.name = Uploaded(r.source.name);
    if (!r.warning.empty()) outcome->warnings.push_back(std::move(r.warning));
    if (!r.error.empty()) {
      ++counts->failed;
      if (options_.verdicts) outcome->verdicts.push_back(CheckRow(r, nullptr));
      outcome->failed.push_back(std::move(r));
      return;
    }
    try {
      const auto key = RegisterStore::Key(r.values, r.source);
      if (store_->HasReport(key)) {
        ++counts->known;
        if (options_.verdicts) {
          const Verdict v{"already_known", {}, {}, kCheckUnchanged};
          outcome->verdicts.push_back(CheckRow(r, &v));
        }
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
      if (options_.verdicts) {
        const Verdict v = VerdictOf(joins, known, r.values);
        outcome->verdicts.push_back(CheckRow(r, &v));
      }
      store_->AddReport(key, input.id, machine, joins.size() > 1 ? MachineList(joins) : "",
                        r.values, r.report_date, input.last_day, r.source);
      ++counts->added;
    } catch (const RegisterError& e) {
      throw RegisterError(Where(r.path, r.source) + ": could not be stored, and nothing of " +
                          EscapeControls(input.given) + " was added: " + e.what());
    }
  }

  void SayOutcome(Outcome* outcome, std::vector<Incoming>* failures) {
    for (const std::string& warning : outcome->warnings) output_.Say(Severity::kWarning, warning);
    for (Incoming& f : outcome->failed) {
      output_.Say(Severity::kError, Where(f.path, f.source) + ": not added: " + f.error);
      failures->push_back(std::move(f));
    }
    *outcome = {};
  }

  int Add() {
    std::vector<ReportInputs> inputs;
    for (const std::string& file : options_.inputs.files) inputs.push_back({{file}, ""});
    if (!options_.inputs.mailbox.empty()) inputs.push_back({{}, options_.inputs.mailbox});
    Counts total;
    std::vector<Incoming> failures;
    bool input_failed = false;
    for (const ReportInputs& input : inputs) {
      const std::string given = input.mailbox.empty() ? input.files[0] : input.mailbox;
      std::error_code ec;
      const std::string name =
          given == "-" ? given
                       : Uploaded(std::filesystem::absolute(given, ec).lexically_normal().string());
      Outcome outcome;
      // Read ahead before the register is locked: a slow input keeps no other writer waiting.
      InputReader reader(input, in_, mailboxes_, output_);
      reader.WaitReadAhead();
      std::string not_added;
      try {
        store_->Write([&] {
          outcome = {};
          NewInput input_row = StartInput(name, given);
          const bool read =
              reader.Drain(store_->Name(), [&](Incoming& r) { Store(r, input_row, &outcome); });
          if (!read) throw InputFailed{};
        });
      } catch (const InputFailed&) {
        not_added = "the input could not be read to its end";
      } catch (const std::bad_alloc&) {
        not_added = "out of memory";  // rolled back, as any input that fails
      }
      if (!not_added.empty()) {
        output_.Say(Severity::kError, EscapeControls(given) + ": not added: " + not_added);
        input_failed = true;
        Counts& c = outcome.counts;
        c.added = c.known = c.conflicts = c.machines = 0;
        for (TableRow& row : outcome.verdicts) {
          if (row.formats == kInAll) row.cells[5] = "not_added";
        }
      }
      total += outcome.counts;
      for (TableRow& row : outcome.verdicts) verdicts_.push_back(std::move(row));
      SayOutcome(&outcome, &failures);
    }
    return Summary(total, failures, input_failed);
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
    NewInput input = StartInput(account.Url(), account.Url());
    for (;;) {
      std::vector<ImapMailbox::Message> batch;
      if (!imap_->MessagesAfter(after, kBatch, &batch, &error)) {
        output_.Say(Severity::kError, EscapeControls(error));
        input_failed = true;
        break;
      }
      if (batch.empty()) break;
      Outcome outcome;
      uint32_t done = after;
      bool lost = false;
      // The batch is fetched and decoded before the register is locked, as any input is.
      InputReader reader([&](const FoundReportFile& found) {
        MailReportFiles reports(output_, found);
        for (const ImapMailbox::Message& m : batch) {
          const bool fetched = imap_->ForEachAttachment(
              m, IsReportFileName, ReportFileLimit(),
              [&](const MailAttachment& a) { reports.Add(a); }, &error);
          reports.Flush();
          if (!fetched) {
            lost = true;
            return false;
          }
          done = m.uid;
        }
        return true;
      });
      reader.WaitReadAhead();
      store_->Write([&] {
        outcome = {};
        NewInput batch_input = input;
        reader.Drain(store_->Name(), [&](Incoming& r) {
          r.source.uid = static_cast<uint32_t>(r.message_number);
          Store(r, batch_input, &outcome);
        });
        if (done != after) {
          store_->SetImapProgress(account.Server(), account.user, account.mailbox,
                                  {validity, done});
        }
        input = batch_input;
      });
      total += outcome.counts;
      SayOutcome(&outcome, &failures);
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
      if (options_.verdicts) {
        TableWriter writer = Writer(CheckTable(), "reports");
        for (const TableRow& row : verdicts_) writer.Row(row);
        writer.Finish();
      }
      output_.SayInJson(Severity::kInformation, summary);
    } else {
      output_.text() << summary << "\n";
    }
    return output_.Finish(input_failed || total.failed > 0 ? 1 : 0);
  }

  // A server's uploaded file under its own name (the folders it was kept in left out); any
  // other path as it is.
  std::string Uploaded(const std::string& path) const {
    const std::string& folder = options_.uploads;
    if (folder.empty() || path.size() <= folder.size() + 1 ||
        path.compare(0, folder.size(), folder) != 0 || path[folder.size()] != '/') {
      return path;
    }
    return path.substr(path.rfind('/') + 1);
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

  TableWriter Writer(Table table, const std::string& list_key) {
    return TableWriter(output_, std::move(table), options_.csv, options_.bom, list_key);
  }

  int Machines() {
    Table table;
    table.columns.push_back({"machine", ""});
    AddValueColumns(&table.columns, false);
    table.columns.insert(table.columns.end(), {{"first_report", "first report"},
                                               {"last_report", "last report"},
                                               {"reports", "reports"},
                                               {"flags", "flags"}});
    std::map<int64_t, std::set<std::string>> flags;
    std::vector<Machine> page;
    int64_t matched = 0;
    const bool paged = options_.limit > 0 || options_.only_machine > 0;
    store_->db().Read([&] {
      if (options_.only_machine > 0) {
        if (auto m = store_->FindMachine(options_.only_machine)) page.push_back(*m);
        matched = static_cast<int64_t>(page.size());
      } else if (paged) {
        page = store_->MachinesPage(options_.search, options_.offset, options_.limit, &matched);
      }
      if (options_.flags) {
        // Read again only when a report has come since; the page's machines' taken.
        MachineFlagsCache& cache = *options_.flags;
        const int64_t last = store_->LastReport();
        std::lock_guard<std::mutex> lock(cache.mutex);
        if (cache.last_report != last) {
          cache.flags.clear();
          MachineFlags(&cache.flags);
          cache.last_report = last;
        }
        for (const Machine& m : page) {
          const auto found = cache.flags.find(m.id);
          if (found != cache.flags.end()) flags.insert(*found);
        }
      } else {
        MachineFlags(&flags);
      }
      if (paged && output_.json()) output_.Add("matched", matched);
      TableWriter writer = Writer(std::move(table), "machines");
      const auto each = [&](const Machine& m) {
        TableRow row;
        row.text = "machine " + std::to_string(m.id);
        row.cells.push_back(m.id);
        AddValueCells(&row, m.latest, false);
        const std::set<std::string>& f = flags[m.id];
        row.cells.insert(row.cells.end(),
                         {ShownDate(m.first_date), ShownDate(m.latest_date), m.reports,
                          std::vector<std::string>(f.begin(), f.end())});
        writer.Row(row);
      };
      if (paged) {
        for (const Machine& m : page) each(m);
      } else {
        store_->ForEachMachine(each);
      }
      writer.Finish();
    });
    return output_.Finish(0);
  }

  // The machines `history` asks for; none, said why, when there are none.
  std::vector<int64_t> AskedMachines() {
    std::vector<int64_t> machines;
    std::string asked;
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
    }
    return machines;
  }

  int History() {
    int status = 0;
    store_->db().Read([&] {
      const std::vector<int64_t> machines = AskedMachines();
      if (machines.empty()) {
        status = 1;
        return;
      }
      // JSON gives each machine's reports as a list of its own; CSV names the machine on
      // each row.
      Table table;
      table.text_style = TextStyle::kLines;
      table.columns = {{"machine", "", kInCsv}, {"report_date", ""}, {"changes", ""}};
      AddValueColumns(&table.columns, false);
      table.columns.insert(table.columns.end(), {{"source", "", kInJson},
                                                 {"source", "", kInCsv},
                                                 {"message_id", "", kInCsv},
                                                 {"from", "", kInCsv},
                                                 {"date", "", kInCsv},
                                                 {"input", "", kInCsv},
                                                 {"added_at", ""},
                                                 {"place", "", kInCsv}});
      TableWriter writer = Writer(std::move(table), "machines");
      for (int64_t machine : machines) {
        const std::vector<StoredReport> reports = store_->MachineReports(machine);
        writer.Group(
            {{"machine", machine}}, "reports",
            "machine " + std::to_string(machine) + ": " + PluralS(reports.size(), "report") + "\n");
        for (size_t i = 0; i < reports.size(); ++i) {
          const StoredReport& r = reports[i];
          const std::vector<std::string> changes =
              i == 0 ? std::vector<std::string>{} : Changes(reports[i - 1].values, r.values);
          const std::string said = HistoryWords(i == 0, changes);
          const std::string where = r.source.mail ? r.input : r.source.name;
          TableRow row;
          row.cells = {machine, ShownDate(r.report_date), changes};
          AddValueCells(&row, r.values, false);
          row.cells.insert(row.cells.end(),
                           {SourceJson(where, r.source), r.source.name, r.source.message_id,
                            r.source.sender, r.source.mail_date, r.input, r.added_at,
                            !r.source.mail     ? ""
                            : r.source.in_text ? "text"
                                               : "attachment"});
          row.text = "  " + (r.report_date.empty() ? "(no date) " : ShownDate(r.report_date)) +
                     "  " + said + "\n" + "    " +
                     EscapeControls(Joined(ValueList(r.values), " | ")) + "\n" + "    from " +
                     Where(where, r.source) + ", added " + r.added_at + "\n";
          writer.Row(row);
        }
      }
      writer.Finish();
    });
    return output_.Finish(status);
  }

  // A report's verdict as check gives it, and as add gives it with `verdicts`.
  static Table CheckTable() {
    Table table;
    table.text_style = TextStyle::kLines;
    table.columns = {{"path", "", kInAll, "file"},
                     {"message_id", ""},
                     {"from", "", kInJson},
                     {"date", "", kInJson},
                     {"attachment", ""},
                     {"verdict", ""},
                     {"machines", "", kInAll, "", " "},
                     {"changes", ""},
                     {"error", "", kInJson}};
    return table;
  }

  // `verdict` nullptr: the report could not be read, as its error says.
  static TableRow CheckRow(const Incoming& r, const Verdict* verdict) {
    const auto mail_cell = [&](const std::string& s) {
      return r.source.mail ? nlohmann::ordered_json(s) : Absent();
    };
    TableRow row;
    row.cells = {r.path, mail_cell(r.source.message_id), mail_cell(r.source.sender),
                 mail_cell(r.source.mail_date), mail_cell(r.source.name)};
    if (!verdict) {
      row.cells.insert(row.cells.end(), {Absent(), Absent(), Absent(), r.error});
      row.formats = kInJson;
      return row;
    }
    row.cells.insert(row.cells.end(),
                     {verdict->verdict, verdict->machines, verdict->changes, Absent()});
    row.text = Where(r.path, r.source) + ": " +
               VerdictWords(verdict->verdict, verdict->machines, verdict->changes) + "\n";
    return row;
  }

  int Check() {
    int worst = kCheckUnchanged;
    bool failed = false;
    TableWriter writer = Writer(CheckTable(), "reports");
    store_->db().Read([&] {
      const bool read = ForEachReportFile(
          options_.inputs, in_, mailboxes_, output_,
          [&](const std::string& path, const MailAttachment* mail,
              const std::optional<std::string>& content, const std::string& reason) {
            const Incoming r = DecodeIncoming(path, mail, content, reason);
            if (!r.error.empty()) {
              failed = true;
              // Text and CSV name it on stderr.
              if (!output_.json()) {
                output_.Say(Severity::kError, Where(r.path, r.source) + ": " + r.error);
              }
              writer.Row(CheckRow(r, nullptr));
              return;
            }
            if (!r.warning.empty()) output_.Say(Severity::kWarning, r.warning);
            std::vector<Machine> known;
            const std::vector<int64_t> joins = Recognise(*store_, r.values, options_.match, &known);
            const Verdict v = VerdictOf(joins, known, r.values);
            if (v.status > worst) worst = v.status;
            writer.Row(CheckRow(r, &v));
          });
      if (!read) failed = true;
    });
    writer.Finish();
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
    // One CSV table of every kind; JSON lists each kind under a key of its own.
    Table table;
    table.text_style = TextStyle::kLines;
    table.text_when_empty = "no conflicts\n";
    table.columns = {{"kind", "", kInCsv}, {"value", "", kInCsv}};
    AddValueColumns(&table.columns, false);
    for (size_t i = 2; i < table.columns.size(); ++i) table.columns[i].formats = kInJson;
    table.columns.insert(table.columns.end(), {{"machines", "", kInCsv, "", " "},
                                               {"report_date", "", kInCsv | kInJson},
                                               {"machines", "", kInJson},
                                               {"source", "", kInJson},
                                               {"source", "", kInCsv}});
    TableWriter writer = Writer(std::move(table), "");
    const auto shared_row = [&](const RegisterStore::Shared& s, bool disk) {
      TableRow row;
      row.cells = {disk ? "disk" : "product id", s.value};
      MachineValues values;
      (disk ? values.disk_identifier : values.product_id) = s.value;
      AddValueCells(&row, values, false);
      for (size_t i = 2; i < row.cells.size(); ++i) {
        if (i != (disk ? 2u : 5u)) row.cells[i] = Absent();
      }
      row.cells.insert(row.cells.end(), {s.machines, Absent(), s.machines, Absent(), ""});
      row.text = (disk ? "disk " : "product id ") + EscapeControls(s.value) +
                 (disk ? " under machines " : " across machines ") + MachineList(s.machines, ", ") +
                 (disk ? " (a moved disk or a cloned image)\n" : "\n");
      writer.Row(row);
    };
    writer.List("disks");
    for (const auto& s : disks) shared_row(s, true);
    writer.List("product_ids");
    for (const auto& s : products) shared_row(s, false);
    writer.List("held_reports");
    for (const StoredReport& r : held) {
      const std::string where = r.source.mail ? r.input : r.source.name;
      const std::vector<int64_t>& machines = r.conflict_machines;
      TableRow row;
      row.cells = {"held report", Joined(ValueList(r.values), " | ")};
      AddValueCells(&row, r.values, false);
      row.cells.insert(row.cells.end(),
                       {machines, ShownDate(r.report_date), machines, SourceJson(where, r.source),
                        where + (r.source.mail ? " <" + r.source.message_id + ">" : "")});
      row.text = "held as a conflict: " + Where(where, r.source) + " (" +
                 EscapeControls(Joined(ValueList(r.values), " | ")) + ") would join machines " +
                 MachineList(machines, ", ") + "\n";
      writer.Row(row);
    }
    writer.Finish();
    return output_.Finish(0);
  }

  const RegisterOptions& options_;
  RegisterOpener open_;
  std::istream& in_;
  MailboxReader& mailboxes_;
  VerbOutput& output_;
  ImapMailbox* imap_;
  std::unique_ptr<RegisterStore> owned_;
  RegisterStore* store_ = nullptr;
  std::vector<TableRow> verdicts_;  // add's, with `verdicts`
};

}  // namespace

int RunRegisterCommand(const RegisterOptions& options, RegisterOpener open, std::istream& in,
                       MailboxReader& mailboxes, VerbOutput& output, ImapMailbox* imap) {
  try {
    return Register(options, open, in, mailboxes, output, imap).Run();
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

int RunRegisterAction(const RegisterOptions& options, RegisterStore& store, std::istream& in,
                      MailboxReader& mailboxes, VerbOutput& output) {
  try {
    return Register(options, nullptr, in, mailboxes, output, nullptr).RunOn(store);
  } catch (const RegisterError& e) {
    output.Say(Severity::kError, EscapeControls(e.what()));
    return output.Finish(1);
  }
}

std::string VerdictWords(const std::string& verdict, const std::vector<int64_t>& machines,
                         const std::vector<std::string>& changes) {
  if (verdict == "already_known") return "already in the register";
  if (verdict == "not_added") return "not added: its input could not be read to its end";
  if (verdict == "conflict")
    return "conflict: it would join machines " + MachineList(machines, ", ");
  const std::string machine = machines.empty() ? "" : std::to_string(machines[0]);
  if (verdict == "unchanged") return "known, unchanged: machine " + machine;
  if (verdict == "changed") {
    return "known with changes: machine " + machine + ": " + Joined(changes, ", ");
  }
  return "new: no machine of the register";
}

std::string HistoryWords(bool first, const std::vector<std::string>& changes) {
  return first ? "first report" : changes.empty() ? "no change" : Joined(changes, ", ");
}

}  // namespace corvane
