// `corvane register`: support's register of the reports received, the machines they come
// from, and what changed on each, kept in a SQLite file or on a PostgreSQL server.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "common/verb_output.h"
#include "platform/imap.h"
#include "platform/mailbox.h"
#include "platform/register_database.h"
#include "register/machine_rule.h"
#include "report/report_inputs.h"

namespace corvane {

enum class RegisterAction { kAdd, kMachines, kHistory, kCheck, kConflicts };

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

}  // namespace corvane
