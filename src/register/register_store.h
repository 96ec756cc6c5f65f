// The register's tables: every report kept with where it came from, and the machines the
// reports were recognised as. Written once over RegisterDatabase, for either backend.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/register_database.h"
#include "report/machine_record.h"

namespace corvane {

// Raised by a schema version newer than this program's; 1 is the first, 2 keeps how far
// each mailbox on a server was read.
inline constexpr int kRegisterSchemaVersion = 2;

struct ReportSource {
  std::string name;        // the file's absolute path, "-", or the attachment's file name
  std::string message_id;  // a mail's, without angle brackets; empty for a file
  std::string sender;
  std::string mail_date;
  bool mail = false;
  // Found in the message's text rather than attached; no part of a report's identity (a
  // message that carries a report both ways carries it once).
  bool in_text = false;
  uint32_t uid = 0;  // a message's UID in a mailbox on a server; 0 for one read from a file
};

// How far a mailbox on a server has been read: every message up to `last_uid`, for as long
// as the mailbox keeps its `uid_validity`.
struct ImapProgress {
  int64_t uid_validity = 0;
  int64_t last_uid = 0;
};

struct StoredReport {
  int64_t id = 0;
  int64_t machine = 0;                     // 0 for a report held as a conflict
  std::string conflict;                    // the machines a conflict would join, "3 7"
  std::vector<int64_t> conflict_machines;  // the same, read
  MachineValues values;
  std::string report_date;  // yyyymmdd from the file name, or empty
  ReportSource source;
  std::string input;     // the file, folder or mailbox given to `add`
  std::string added_at;  // UTC, ISO 8601
};

struct Machine {
  int64_t id = 0;
  MachineValues latest;     // the values of its latest report
  std::string latest_date;  // yyyymmdd, or empty
  std::string first_date;
  int64_t reports = 0;
};

// The report's date as the register keeps it, yyyymmdd, from the name of its file (a path of
// either system) or attachment; empty when the name gives no day of the calendar.
std::string ReportDateOfName(const std::string& name);

class RegisterStore {
 public:
  // Checks the schema: creates it in an empty database (when writing), upgrades an older one in
  // one transaction, refuses a newer one or a database of something else. Raises RegisterError.
  explicit RegisterStore(std::unique_ptr<RegisterDatabase> db, bool write);

  RegisterDatabase& db() { return *db_; }
  const std::string Name() const { return db_->Name(); }

  // Runs `work` in one transaction that writes, as db().Write does, and keeps the search
  // index in step with what it adds.
  void Write(const std::function<void()>& work);

  // Writing, inside Write.
  int64_t AddInput(const std::string& input, const std::string& added_at);
  // The digest of a report's record and source: the same report has the same key.
  static std::pair<int64_t, int64_t> Key(const MachineValues& values, const ReportSource& source);
  bool HasReport(const std::pair<int64_t, int64_t>& key);
  // Stores the report under `machine` as read in this transaction, or under a new machine
  // when it is nullptr, or as a conflict under none when `conflict` names the machines it
  // would join; returns the machine it went to (0 for a conflict). A report dated after
  // `last_day` (yyyymmdd) is not taken as the machine's latest.
  int64_t AddReport(const std::pair<int64_t, int64_t>& key, int64_t input, const Machine* machine,
                    const std::string& conflict, const MachineValues& values,
                    const std::string& report_date, const std::string& last_day,
                    const ReportSource& source);
  // Records how far the mailbox `mailbox` of `user` on `server` has been read; a lower
  // `last_uid` of the same UIDVALIDITY (another add that read less) leaves it as it is.
  void SetImapProgress(const std::string& server, const std::string& user,
                       const std::string& mailbox, const ImapProgress& progress);

  // Reading.
  std::optional<ImapProgress> ImapProgressOf(const std::string& server, const std::string& user,
                                             const std::string& mailbox);
  // Machines whose latest report has the disk identifier, the volume serial or the computer
  // name of `values` (empty ones skipped): every machine that the rule could join, as no
  // three equal values leave out both the volume serial and the computer name.
  std::vector<Machine> MachinesSharingAValue(const MachineValues& values);
  // How many machines' latest reports carry this product id, counted up to 2.
  int64_t MachinesWithProduct(const std::string& product_id);
  std::optional<Machine> FindMachine(int64_t id);
  void ForEachMachine(const std::function<void(const Machine&)>& each);
  // The machines whose latest values hold `search` in any case (all for an empty one), newest
  // latest report first: `limit` of them from `offset`, and how many there are in `matched`.
  std::vector<Machine> MachinesPage(const std::string& search, int64_t offset, int64_t limit,
                                    int64_t* matched);
  // The newest report's id, 0 in an empty register: reports are only ever added.
  int64_t LastReport();
  // A machine's reports, in date order (undated ones first), then in the order of adding.
  std::vector<StoredReport> MachineReports(int64_t machine);
  // Machines with a report of this disk or computer name.
  std::vector<int64_t> MachinesWithReportOf(const std::string& column, const std::string& value);
  struct Shared {
    std::string value;
    std::vector<int64_t> machines;
  };
  // Real disk identifiers (or product ids) found in reports of several machines.
  std::vector<Shared> SharedAcrossMachines(const std::string& column);
  std::vector<StoredReport> HeldConflicts();

 private:
  void CreateSchema();
  void LatestIndex();
  void AddImapProgress();
  void HashValueIndexes();
  // Makes the search index when it is missing or behind the reports (writers, SQLite).
  void SearchIndex();
  // Whether the search index holds the latest values of every machine; `nul_values`: whether
  // a machine's value may hold a NUL.
  bool SearchIndexInStep(bool* nul_values);
  // The machine's values for the search index, in place of `before` when it has some;
  // written a number at a time.
  void IndexValues(int64_t id, const MachineValues& values, const MachineValues* before);
  void WriteSearchRows();
  // A held report's machines; raises "the register is damaged" for anything else.
  std::vector<int64_t> ConflictMachines(int64_t report, const std::string& text);
  Machine MachineOf(const SqlRow& row, int first);
  StoredReport ReportOf(const SqlRow& row);

  std::unique_ptr<RegisterDatabase> db_;
  // This writer keeps the search index in step with what it adds.
  bool search_index_ = false;
  struct SearchRow {
    bool remove = false;  // a value it had, which the index forgets
    int64_t id = 0;       // the machine's id and the value's place
    std::string value;
  };
  std::vector<SearchRow> search_rows_;
  bool search_nul_values_ = false;
};

}  // namespace corvane
