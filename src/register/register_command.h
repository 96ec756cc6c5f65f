// `corvane register`: support's register of the reports received, the machines they come
// from, and what changed on each, kept in a SQLite file or on a PostgreSQL server.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "common/verb_output.h"
#include "platform/imap.h"
#include "platform/mailbox.h"
#include "platform/register_database.h"
#include "register/machine_rule.h"
#include "register/register_store.h"
#include "report/report_inputs.h"

namespace corvane {

enum class RegisterAction { kAdd, kMachines, kHistory, kCheck, kConflicts };

// The machines' flags (shared disk, shared product id, conflict), which take a look at every
// report: a server reads them once for all its pages, and again after reports were added.
struct MachineFlagsCache {
  std::mutex mutex;
  int64_t last_report = -1;  // the newest report they were read with
  std::map<int64_t, std::set<std::string>> flags;
};

struct RegisterOptions {
  RegisterAction action = RegisterAction::kMachines;
  std::string db;           // a file or a connection string
  bool default_db = false;  // `db` is the default file, whose folder add makes
  MatchMode match = MatchMode::kMost;
  bool csv = false;
  bool bom = false;     // CSV: a UTF-8 byte-order mark first, for spreadsheets
  ReportInputs inputs;  // add and check: the same inputs as decode
  // add: a mailbox on a server instead, read from where the last add of it stopped.
  std::string imap_url;
  std::string password_command;
  std::string cacert;
  std::string machine;   // history: a machine id, or
  std::string disk;      // the machines with reports of this disk, or
  std::string computer;  // of this computer name
  // A server's page of machines: those whose values hold `search` (any case), newest latest
  // report first, `limit` of them from `offset`; `only_machine` alone when not 0. A limit of 0
  // lists them all by id, as the command line does.
  std::string search;
  int64_t offset = 0;
  int64_t limit = 0;
  int64_t only_machine = 0;
  // add and check: the folder of a server's uploaded files, which the register keeps under
  // their own names.
  std::string uploads;
  bool verdicts = false;  // add: each report's verdict in the JSON, as check gives it
  MachineFlagsCache* flags = nullptr;
};

// Exit status of `check`, the most serious verdict of its reports (a report that cannot be
// read gives 1 before all of them).
inline constexpr int kCheckUnchanged = 0;
inline constexpr int kCheckChanged = 3;
inline constexpr int kCheckNew = 4;
inline constexpr int kCheckConflict = 5;

// Status 0 done, 1 when a report, an input or the register failed (each named with the reason).
using RegisterOpener = std::unique_ptr<RegisterDatabase> (*)(const std::string& location,
                                                             RegisterAccess access);
// `imap` reads `imap_url`'s mailbox; it is only needed for that.
int RunRegisterCommand(const RegisterOptions& options, RegisterOpener open, std::istream& in,
                       MailboxReader& mailboxes, VerbOutput& output, ImapMailbox* imap = nullptr);
// The same on a register already open (a server's, kept open for its requests).
int RunRegisterAction(const RegisterOptions& options, RegisterStore& store, std::istream& in,
                      MailboxReader& mailboxes, VerbOutput& output);

// A report's verdict in words, as `check` says it: "known with changes: machine 3: disk
// replaced".
std::string VerdictWords(const std::string& verdict, const std::vector<int64_t>& machines,
                         const std::vector<std::string>& changes);
// A report's line of a history: "first report", "no change", or what changed.
std::string HistoryWords(bool first, const std::vector<std::string>& changes);

}  // namespace corvane
