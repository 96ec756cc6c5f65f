#include "register/register_store.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <utility>

#include "common/dates.h"
#include "common/text.h"
#include "report/report_name.h"

namespace corvane {

namespace {

// Each value is a column of its own in `reports` and in `machines` (the latest report's).
constexpr const char* kValueColumns = "disk, volume, computer, product, user_name";
const std::string kMachineColumns =
    std::string("id, ") + kValueColumns + ", latest_date, first_date, reports";

// One text for both dialects: @ID@ is the key column, @INT@ a 64-bit integer.
constexpr const char* kSchema[] = {
    "CREATE TABLE inputs (id @ID@, input TEXT NOT NULL, added_at TEXT NOT NULL)",
    "CREATE TABLE machines (id @ID@, disk TEXT NOT NULL, "
    "volume TEXT NOT NULL, computer TEXT NOT NULL, product TEXT NOT NULL, "
    "user_name TEXT NOT NULL, latest_date TEXT NOT NULL, first_date TEXT NOT NULL, "
    "reports @INT@ NOT NULL)",
    "CREATE INDEX machines_disk ON machines @VALUES@(disk)",
    "CREATE INDEX machines_volume ON machines @VALUES@(volume)",
    "CREATE INDEX machines_computer ON machines @VALUES@(computer)",
    "CREATE INDEX machines_product ON machines @VALUES@(product)",
    // The machines newest first, a page at a time (register serve).
    "CREATE INDEX machines_latest ON machines (latest_date, id)",
    // A conflict has no machine; `conflict` names the machines it would join.
    "CREATE TABLE reports (id @ID@, key_a @INT@ NOT NULL, key_b @INT@ NOT NULL, "
    "machine @INT@, conflict TEXT, input @INT@ NOT NULL, disk TEXT NOT NULL, "
    "volume TEXT NOT NULL, computer TEXT NOT NULL, product TEXT NOT NULL, "
    "user_name TEXT NOT NULL, name TEXT NOT NULL, "
    "message_id TEXT, sender TEXT, mail_date TEXT, UNIQUE (key_a, key_b))",
    "CREATE INDEX reports_machine ON reports (machine)",
    // By disk for `history --disk` and `conflicts`; a computer name is looked for in every
    // report, as an index would cost a tenth of the register for a rare question.
    "CREATE INDEX reports_disk ON reports @VALUES@(disk)",
};

// Version 2: how far each mailbox on a server was read, the UID of each report read there,
// and which reports a message carried in its text rather than attached (1; NULL otherwise).
constexpr const char* kImapProgressSchema[] = {
    "CREATE TABLE imap_mailboxes (server TEXT NOT NULL, user_name TEXT NOT NULL, "
    "mailbox TEXT NOT NULL, uid_validity @INT@ NOT NULL, last_uid @INT@ NOT NULL, "
    "PRIMARY KEY (server, user_name, mailbox))",
    "ALTER TABLE reports ADD COLUMN mail_uid @INT@",
    "ALTER TABLE reports ADD COLUMN in_text @INT@",
};

// The values' indexes, each with its table and column. A server's B-tree takes no entry
// over 2,704 bytes, and a value may be four times 999 characters: there they are hash
// indexes, which hold a digest of the value and serve the equality the register asks.
constexpr const char* kValueIndexes[][3] = {{"machines_disk", "machines", "disk"},
                                            {"machines_volume", "machines", "volume"},
                                            {"machines_computer", "machines", "computer"},
                                            {"machines_product", "machines", "product"},
                                            {"reports_disk", "reports", "disk"}};

// The machines' latest values for a search by substring (SQLite): the trigrams of each value
// as a search folds it, a row for each value that is not empty, under the machine's id times 8
// plus the value's place, so that a report that changes one value changes one row. Contentless,
// as the values are in `machines`; the state says up to which report the index is in step
// with them, and whether a value held a NUL (which LIKE does not see past).
constexpr const char* kSearchIndexSchema[] = {
    "CREATE VIRTUAL TABLE machines_search USING fts5(value, "
    "tokenize = 'trigram case_sensitive 1', content = '', columnsize = 0, detail = none)",
    "CREATE TABLE machines_search_state (last_report INTEGER NOT NULL, "
    "nul_values INTEGER NOT NULL)",
};
constexpr int kSearchPlaceBits = 3;
// A search that the index finds in more values than this reads every machine instead:
// fetching so many machines one by one from their ids would take longer.
constexpr int64_t kMostSearchCandidates = 2000;
// FTS5 writes what it was given as a new segment before any statement that may need to be
// undone on its own (one that returns rows, or changes several), so the index is written a
// thousand machines at a time rather than with each machine.
constexpr size_t kSearchRowsAtOnce = 1000;
constexpr const char kReplacementCharacter[] = "\xEF\xBF\xBD";

// A value as the search index holds it: folded as a search folds it, each NUL and each byte
// of no UTF-8 character as U+FFFD. Any valid query (no NUL, no U+FFFD) that a folded value
// holds starts and ends on a character there, so the indexed text holds it too.
std::string Searchable(const std::string& value) {
  const std::string folded = LowerCaseLatin(value);
  std::string text;
  text.reserve(folded.size());
  for (size_t i = 0; i < folded.size();) {
    const size_t n = Utf8SequenceLength(folded, i);
    if (n == 0 || folded[i] == '\0') {
      text += kReplacementCharacter;
      ++i;
    } else {
      text.append(folded, i, n);
      i += n;
    }
  }
  return text;
}

// The values that hold every trigram of the query, as an FTS5 query; nothing when the index
// cannot answer it: under three characters (no trigram), or not plain text (a NUL, U+FFFD, no
// UTF-8). The index keeps no positions (a third of the size), so they are a few more than
// those that hold the query itself.
std::optional<std::string> SearchQuery(const std::string& folded) {
  if (!IsValidUtf8(folded) || Utf8CharacterCount(folded) < 3 ||
      folded.find('\0') != std::string::npos ||
      folded.find(kReplacementCharacter) != std::string::npos) {
    return std::nullopt;
  }
  std::vector<size_t> starts;
  for (size_t i = 0; i < folded.size(); i += Utf8SequenceLength(folded, i)) starts.push_back(i);
  starts.push_back(folded.size());
  std::set<std::string> seen;
  std::string query;
  for (size_t k = 0; k + 3 < starts.size(); ++k) {
    std::string trigram = folded.substr(starts[k], starts[k + 3] - starts[k]);
    if (!seen.insert(trigram).second) continue;
    ReplaceAll(&trigram, "\"", "\"\"");
    query += (query.empty() ? "\"" : " AND \"") + trigram + "\"";
  }
  return query;
}

bool HoldsFolded(const MachineValues& values, const std::string& wanted) {
  for (const ValueField& field : kValueFields) {
    if (LowerCaseLatin(values.*field.value).find(wanted) != std::string::npos) return true;
  }
  return false;
}

std::string Dialected(std::string sql, SqlDialect dialect) {
  const std::pair<const char*, const char*> words[] = {
      {"@ID@", dialect == SqlDialect::kSqlite
                   ? "INTEGER PRIMARY KEY"
                   : "BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"},
      {"@INT@", dialect == SqlDialect::kSqlite ? "INTEGER" : "BIGINT"},
      {"@VALUES@", dialect == SqlDialect::kSqlite ? "" : "USING hash "}};
  for (const auto& [from, to] : words) ReplaceAll(&sql, from, to);
  return sql;
}

// Two 64-bit digests of different construction over the same bytes: 128 bits, so that two
// different reports never pass for one in any register of a plausible size.
class KeyDigest {
 public:
  void Add(const std::string& s) {
    Byte8(s.size());
    for (unsigned char c : s) Byte(c);
  }
  std::pair<int64_t, int64_t> Done() const {
    uint64_t b = b_ ^ (b_ >> 31);
    b *= 0xBF58476D1CE4E5B9ULL;
    b ^= b >> 27;
    return {static_cast<int64_t>(a_), static_cast<int64_t>(b)};
  }

 private:
  void Byte8(uint64_t n) {
    for (int i = 0; i < 8; ++i) Byte(static_cast<unsigned char>(n >> (8 * i)));
  }
  void Byte(unsigned char c) {
    a_ = (a_ ^ c) * 0x100000001B3ULL;
    b_ = (b_ ^ c) * 0x9E3779B97F4A7C15ULL;
    b_ ^= b_ >> 29;
  }
  uint64_t a_ = 0xCBF29CE484222325ULL;
  uint64_t b_ = 0x243F6A8885A308D3ULL;
};

SqlValue OrNull(const std::string& s) { return s.empty() ? SqlValue(nullptr) : SqlValue(s); }

// yyyymmdd when it is a day of the calendar, else empty.
std::string CalendarDay(const std::string& date) {
  if (date.size() != 8 || date.find_first_not_of("0123456789") != std::string::npos) return "";
  const int year = std::stoi(date.substr(0, 4)), month = std::stoi(date.substr(4, 2)),
            day = std::stoi(date.substr(6, 2));
  return IsCalendarDate(year, month, day) ? date : "";
}

}  // namespace

std::string ReportDateOfName(const std::string& name) {
  const std::optional<ReportName> report = ReadReportName(name);
  if (!report || !report->date) return "";
  const LocalDate& d = *report->date;
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", d.year, d.month, d.day);
  return text;
}

RegisterStore::RegisterStore(std::unique_ptr<RegisterDatabase> db, bool write)
    : db_(std::move(db)) {
  const auto check = [&](bool foreign, int version) {
    if (foreign) {
      throw RegisterError(db_->Name() + ": not a register: the database holds other data");
    }
    if (version > kRegisterSchemaVersion) {
      throw RegisterError(db_->Name() + ": the register is of schema version " +
                          std::to_string(version) + ", newer than this program's (" +
                          std::to_string(kRegisterSchemaVersion) + "); use a newer corvane");
    }
  };
  // Both read in one snapshot: another program may be making the register at this moment.
  bool foreign = false;
  int version = 0;
  db_->Read([&] {
    foreign = db_->Foreign();
    version = db_->SchemaVersion();
  });
  check(foreign, version);
  if (version == kRegisterSchemaVersion) {
    if (write) HashValueIndexes();
    if (write) LatestIndex();
    if (write) SearchIndex();
    return;
  }
  if (!write && version == 0) {
    throw RegisterError(db_->Name() + ": no register yet; `corvane register add` makes one");
  }
  if (!write) {
    throw RegisterError(db_->Name() + ": the register is of schema version " +
                        std::to_string(version) + "; `corvane register add` upgrades it");
  }
  // Read again as the one writer: the other program may have made it in the meantime.
  db_->Write([&] {
    version = db_->SchemaVersion();
    check(db_->Foreign(), version);
    if (version == 0) {
      CreateSchema();
      version = 1;
    }
    // Upgrades from older versions, each in this same transaction.
    if (version < 2) AddImapProgress();
    db_->SetSchemaVersion(kRegisterSchemaVersion);
  });
  SearchIndex();
}

void RegisterStore::CreateSchema() {
  for (const char* statement : kSchema) db_->Run(Dialected(statement, db_->dialect()), {});
}

void RegisterStore::AddImapProgress() {
  for (const char* statement : kImapProgressSchema) {
    db_->Run(Dialected(statement, db_->dialect()), {});
  }
}

void RegisterStore::SetImapProgress(const std::string& server, const std::string& user,
                                    const std::string& mailbox, const ImapProgress& progress) {
  db_->Run(
      "INSERT INTO imap_mailboxes (server, user_name, mailbox, uid_validity, last_uid) "
      "VALUES (?, ?, ?, ?, ?) ON CONFLICT (server, user_name, mailbox) DO UPDATE SET "
      "last_uid = CASE WHEN imap_mailboxes.uid_validity = excluded.uid_validity AND "
      "imap_mailboxes.last_uid > excluded.last_uid THEN imap_mailboxes.last_uid "
      "ELSE excluded.last_uid END, uid_validity = excluded.uid_validity",
      {server, user, mailbox, progress.uid_validity, progress.last_uid});
}

std::optional<ImapProgress> RegisterStore::ImapProgressOf(const std::string& server,
                                                          const std::string& user,
                                                          const std::string& mailbox) {
  std::optional<ImapProgress> progress;
  db_->Run(
      "SELECT uid_validity, last_uid FROM imap_mailboxes WHERE server = ? AND user_name = ? "
      "AND mailbox = ?",
      {server, user, mailbox}, [&](const SqlRow& row) {
        progress = ImapProgress{row.Int(0), row.Int(1)};
      });
  return progress;
}

// A register made on a server before its values' indexes were hash indexes gets them at the
// next add. An index is how rows are found, not what they say: the schema version stays,
// and an older program reads and writes the register as before.
// A register made before the machines were listed newest first gets their index at the next
// add; as for the hash indexes, the schema version stays.
void RegisterStore::LatestIndex() {
  bool found = false;
  const std::string query =
      db_->dialect() == SqlDialect::kPostgres
          ? "SELECT 1 FROM pg_indexes WHERE schemaname = current_schema() AND indexname = ?"
          : "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?";
  db_->Read([&] {
    db_->Run(query, {std::string("machines_latest")}, [&](const SqlRow&) { found = true; });
  });
  if (found) return;
  try {
    db_->Write([&] {
      db_->Run("CREATE INDEX IF NOT EXISTS machines_latest ON machines (latest_date, id)", {});
    });
  } catch (const RegisterError&) {
    // A member who may not change the tables' indexes: the pages are slower, not wrong.
  }
}

// The search index, like `machines_latest`, is no part of the schema version: an older
// program writes the register without it, which leaves the index behind the reports; a
// reader then reads every machine, and the next writer of this version makes it again.
void RegisterStore::SearchIndex() {
  if (db_->dialect() != SqlDialect::kSqlite) return;
  bool in_step = false;
  db_->Read([&] { in_step = SearchIndexInStep(nullptr); });
  if (!in_step) {
    try {
      db_->Write([&] {
        search_rows_.clear();
        if (SearchIndexInStep(nullptr)) return;
        db_->Run("DROP TABLE IF EXISTS machines_search", {});
        db_->Run("DROP TABLE IF EXISTS machines_search_state", {});
        for (const char* statement : kSearchIndexSchema) db_->Run(statement, {});
        db_->Run("INSERT INTO machines_search_state (last_report, nul_values) VALUES (?, 0)",
                 {LastReport()});
        // A piece at a time, so that the memory stays the same as the register grows.
        constexpr int64_t kPiece = 1000;
        std::vector<Machine> piece;
        do {
          const int64_t after = piece.empty() ? 0 : piece.back().id;
          piece.clear();
          db_->Run("SELECT " + kMachineColumns + " FROM machines WHERE id > ? ORDER BY id LIMIT ?",
                   {after, kPiece}, [&](const SqlRow& row) { piece.push_back(MachineOf(row, 0)); });
          for (const Machine& m : piece) IndexValues(m.id, m.latest, nullptr);
          WriteSearchRows();
        } while (static_cast<int64_t>(piece.size()) == kPiece);
      });
    } catch (const RegisterError&) {
      // A SQLite without FTS5 or its trigrams: searches read every machine, as before.
      return;
    }
  }
  search_index_ = true;
}

bool RegisterStore::SearchIndexInStep(bool* nul_values) {
  int64_t tables = 0;
  db_->Run(
      "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND "
      "name IN ('machines_search', 'machines_search_state')",
      {}, [&](const SqlRow& row) { tables = row.Int(0); });
  if (tables != 2) return false;
  bool in_step = false;
  db_->Run(
      "SELECT last_report = (SELECT COALESCE(MAX(id), 0) FROM reports), nul_values "
      "FROM machines_search_state",
      {}, [&](const SqlRow& row) {
        in_step = row.Int(0) == 1;
        // Behind, it cannot tell what an older program has added since.
        if (nul_values) *nul_values = !in_step || row.Int(1) != 0;
      });
  return in_step;
}

void RegisterStore::Write(const std::function<void()>& work) {
  db_->Write([&] {
    search_rows_.clear();
    search_nul_values_ = false;
    const int64_t before = search_index_ ? LastReport() : 0;
    work();
    if (!search_index_) return;
    WriteSearchRows();
    // In step again only if it was before: an older program may have added reports (and
    // changed machines) since this program last made the index.
    db_->Run(
        "UPDATE machines_search_state SET last_report = (SELECT COALESCE(MAX(id), 0) FROM "
        "reports) WHERE last_report = ?",
        {before});
  });
}

void RegisterStore::IndexValues(int64_t id, const MachineValues& values,
                                const MachineValues* before) {
  int64_t place = 0;
  for (const ValueField& field : kValueFields) {
    const int64_t row = id << kSearchPlaceBits | place++;
    const std::string now = Searchable(values.*field.value);
    const std::string then = before ? Searchable(before->*field.value) : "";
    if (before && now == then) continue;
    // Contentless: the index is told the words it had, which are those of the value before.
    if (!then.empty()) search_rows_.push_back({true, row, then});
    if (!now.empty()) search_rows_.push_back({false, row, now});
    if ((values.*field.value).find('\0') != std::string::npos) search_nul_values_ = true;
  }
  if (search_rows_.size() >= kSearchRowsAtOnce) WriteSearchRows();
}

void RegisterStore::WriteSearchRows() {
  for (const SearchRow& row : search_rows_) {
    db_->Run(row.remove ? "INSERT INTO machines_search (machines_search, rowid, value) "
                          "VALUES ('delete', ?, ?)"
                        : "INSERT INTO machines_search (rowid, value) VALUES (?, ?)",
             {row.id, row.value});
  }
  search_rows_.clear();
  if (search_nul_values_) db_->Run("UPDATE machines_search_state SET nul_values = 1", {});
  search_nul_values_ = false;
}

void RegisterStore::HashValueIndexes() {
  if (db_->dialect() != SqlDialect::kPostgres) return;
  std::string names;
  for (const auto& index : kValueIndexes)
    names += std::string(names.empty() ? "'" : ", '") + index[0] + "'";
  const auto b_trees = [&] {
    std::vector<std::string> found;
    db_->Run(
        "SELECT indexname FROM pg_indexes WHERE schemaname = current_schema() AND "
        "indexdef NOT LIKE '% USING hash %' AND indexname IN (" +
            names + ")",
        {}, [&](const SqlRow& row) { found.push_back(row.Text(0)); });
    return found;
  };
  bool any = false;
  db_->Read([&] { any = !b_trees().empty(); });
  if (!any) return;
  try {
    db_->Write([&] {
      for (const std::string& name : b_trees()) {
        for (const auto& index : kValueIndexes) {
          if (name != index[0]) continue;
          db_->Run(std::string("DROP INDEX ") + index[0], {});
          db_->Run(std::string("CREATE INDEX ") + index[0] + " ON " + index[1] + " USING hash (" +
                       index[2] + ")",
                   {});
        }
      }
    });
  } catch (const RegisterError&) {
    // A member who may write the tables but does not own them cannot change their indexes:
    // the register works on as it was, short of the longest values.
  }
}

int64_t RegisterStore::AddInput(const std::string& input, const std::string& added_at) {
  int64_t id = 0;
  db_->Run("INSERT INTO inputs (input, added_at) VALUES (?, ?) RETURNING id", {input, added_at},
           [&](const SqlRow& row) { id = row.Int(0); });
  return id;
}

std::pair<int64_t, int64_t> RegisterStore::Key(const MachineValues& v, const ReportSource& source) {
  KeyDigest digest;
  for (const ValueField& field : kValueFields) digest.Add(v.*field.value);
  // A mail is the same mail in any mailbox it was saved to; without a Message-ID its sender
  // and date stand for it.
  digest.Add(source.mail ? "mail" : "file");
  digest.Add(source.name);
  if (source.mail) {
    digest.Add(source.message_id);
    if (source.message_id.empty()) {
      digest.Add(source.sender);
      digest.Add(source.mail_date);
    }
  }
  return digest.Done();
}

bool RegisterStore::HasReport(const std::pair<int64_t, int64_t>& key) {
  bool found = false;
  db_->Run("SELECT 1 FROM reports WHERE key_a = ? AND key_b = ?", {key.first, key.second},
           [&](const SqlRow&) { found = true; });
  return found;
}

int64_t RegisterStore::AddReport(const std::pair<int64_t, int64_t>& key, int64_t input,
                                 const Machine* machine, const std::string& conflict,
                                 const MachineValues& v, const std::string& report_date,
                                 const std::string& last_day, const ReportSource& source) {
  // Dates are yyyymmdd texts; an undated report is older than any dated one, and of two
  // reports of one date the later added is the latest. A date after `last_day` (a clock set
  // wrong) counts as none here, or that report would stay the latest for good; the report
  // keeps its date in the history.
  const auto day = [&](const std::string& date) { return date <= last_day ? date : ""; };
  const std::string date = day(report_date);
  int64_t id = machine ? machine->id : 0;
  if (id == 0 && conflict.empty()) {
    db_->Run(std::string("INSERT INTO machines (") + kValueColumns +
                 ", latest_date, first_date, reports) VALUES (?, ?, ?, ?, ?, ?, ?, 1) RETURNING id",
             {v.disk_identifier, v.volume_serial, v.computer_name, v.product_id, v.user_name, date,
              date},
             [&](const SqlRow& row) { id = row.Int(0); });
    if (search_index_) IndexValues(id, v, nullptr);
  } else if (id > 0) {
    const std::string latest = day(machine->latest_date), first = day(machine->first_date);
    const bool takes_latest = date >= latest;
    db_->Run(
        "UPDATE machines SET reports = reports + 1, first_date = ?, latest_date = ? "
        "WHERE id = ?",
        {!date.empty() && (first.empty() || date < first) ? date : first,
         takes_latest ? date : latest, id});
    // The values' indexes are touched only when the latest values change.
    const MachineValues& l = machine->latest;
    if (takes_latest && (l.disk_identifier != v.disk_identifier ||
                         l.volume_serial != v.volume_serial || l.computer_name != v.computer_name ||
                         l.product_id != v.product_id || l.user_name != v.user_name)) {
      db_->Run(
          std::string("UPDATE machines SET disk = ?, volume = ?, computer = ?, product = ?, "
                      "user_name = ? WHERE id = ?"),
          {v.disk_identifier, v.volume_serial, v.computer_name, v.product_id, v.user_name, id});
      if (search_index_) IndexValues(id, v, &l);
    }
  }
  db_->Run(std::string("INSERT INTO reports (key_a, key_b, machine, conflict, input, ") +
               kValueColumns +
               ", name, message_id, sender, mail_date, mail_uid, in_text) "
               "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
           {key.first, key.second, id > 0 ? SqlValue(id) : SqlValue(nullptr), OrNull(conflict),
            input, v.disk_identifier, v.volume_serial, v.computer_name, v.product_id, v.user_name,
            source.name, OrNull(source.message_id), OrNull(source.sender), OrNull(source.mail_date),
            source.uid ? SqlValue(int64_t{source.uid}) : SqlValue(nullptr),
            source.in_text ? SqlValue(int64_t{1}) : SqlValue(nullptr)});
  return id;
}

Machine RegisterStore::MachineOf(const SqlRow& row, int first) {
  Machine m;
  m.id = row.Int(first);
  m.latest = {row.Text(first + 1), row.Text(first + 2), row.Text(first + 3), row.Text(first + 4),
              row.Text(first + 5)};
  // A register of an older version may hold a date that is no day (9999-99-99): none.
  m.latest_date = CalendarDay(row.Text(first + 6));
  m.first_date = CalendarDay(row.Text(first + 7));
  m.reports = row.Int(first + 8);
  return m;
}

std::vector<Machine> RegisterStore::MachinesSharingAValue(const MachineValues& v) {
  std::vector<Machine> machines;
  db_->Run("SELECT " + kMachineColumns +
               " FROM machines WHERE disk = ? OR volume = ? OR computer = ? ORDER BY id",
           {OrNull(v.disk_identifier), OrNull(v.volume_serial), OrNull(v.computer_name)},
           [&](const SqlRow& row) { machines.push_back(MachineOf(row, 0)); });
  return machines;
}

int64_t RegisterStore::MachinesWithProduct(const std::string& product_id) {
  int64_t n = 0;
  // Two tell that it is shared; counting on would read every machine of a large image.
  db_->Run("SELECT COUNT(*) FROM (SELECT 1 FROM machines WHERE product = ? LIMIT 2) AS m",
           {product_id}, [&](const SqlRow& row) { n = row.Int(0); });
  return n;
}

std::optional<Machine> RegisterStore::FindMachine(int64_t id) {
  std::optional<Machine> machine;
  db_->Run("SELECT " + kMachineColumns + " FROM machines WHERE id = ?", {id},
           [&](const SqlRow& row) { machine = MachineOf(row, 0); });
  return machine;
}

void RegisterStore::ForEachMachine(const std::function<void(const Machine&)>& each) {
  db_->Run("SELECT " + kMachineColumns + " FROM machines ORDER BY id", {},
           [&](const SqlRow& row) { each(MachineOf(row, 0)); });
}

std::vector<Machine> RegisterStore::MachinesPage(const std::string& search, int64_t offset,
                                                 int64_t limit, int64_t* matched) {
  std::vector<Machine> machines;
  *matched = 0;
  if (search.empty()) {
    db_->Run("SELECT COUNT(*) FROM machines", {},
             [&](const SqlRow& row) { *matched = row.Int(0); });
    db_->Run("SELECT " + kMachineColumns +
                 " FROM machines ORDER BY latest_date DESC, id DESC LIMIT ? OFFSET ?",
             {limit, offset}, [&](const SqlRow& row) { machines.push_back(MachineOf(row, 0)); });
    return machines;
  }
  // Whatever narrows the machines, each is checked here, in the search's own folding; only
  // then are the page's machines counted off.
  const std::string wanted = LowerCaseLatin(search);
  // A machine is read whole only when it is on the page.
  const auto take = [&](const SqlRow& row) {
    const MachineValues values{row.Text(1), row.Text(2), row.Text(3), row.Text(4), row.Text(5)};
    if (!HoldsFolded(values, wanted)) return;
    if (*matched >= offset && *matched < offset + limit) machines.push_back(MachineOf(row, 0));
    ++*matched;
  };
  bool nul_values = true;
  const bool indexed = db_->dialect() == SqlDialect::kSqlite && SearchIndexInStep(&nul_values);
  if (const std::optional<std::string> query = SearchQuery(wanted); indexed && query) {
    const std::string found = "SELECT rowid >> " + std::to_string(kSearchPlaceBits) +
                              " FROM machines_search WHERE machines_search MATCH ?";
    int64_t values = 0;
    db_->Run("SELECT COUNT(*) FROM (" + found + " LIMIT ?) AS v",
             {*query, kMostSearchCandidates + 1}, [&](const SqlRow& row) { values = row.Int(0); });
    if (values <= kMostSearchCandidates) {
      db_->Run("SELECT " + kMachineColumns + " FROM machines WHERE id IN (" + found +
                   ") ORDER BY latest_date DESC, id DESC",
               {*query}, take);
      return machines;
    }
  }
  // Else the database narrows by a pattern that lets through at least the machines that hold
  // the search: LIKE folds ASCII alone, so a character outside ASCII matches any character
  // there; a byte of no character, a control character or a %, which a server may keep in
  // another form, matches anything.
  std::string pattern = "%";
  for (size_t i = 0; i < search.size();) {
    const unsigned char c = static_cast<unsigned char>(search[i]);
    const size_t n = Utf8SequenceLength(search, i);
    if (n == 0 || c < 0x20 || c == 0x7F || c == '%') {
      if (pattern.back() != '%') pattern += '%';
    } else if (c >= 0x80) {
      pattern += '_';
    } else {
      if (c == '_' || c == '\\') pattern += '\\';
      pattern += static_cast<char>(c);
    }
    i += n == 0 ? 1 : n;
  }
  if (pattern.back() != '%') pattern += '%';
  const std::string like =
      db_->dialect() == SqlDialect::kPostgres ? " ILIKE ? ESCAPE '\\'" : " LIKE ? ESCAPE '\\'";
  std::string where;
  std::vector<SqlValue> parameters;
  for (const char* column : {"disk", "volume", "computer", "product", "user_name"}) {
    where += std::string(where.empty() ? " WHERE " : " OR ") + column + like;
    parameters.push_back(pattern);
  }
  // SQLite's LIKE reads a value up to its first NUL: such values, when there may be any, are
  // let through too.
  if (db_->dialect() == SqlDialect::kSqlite && nul_values) {
    for (const char* column : {"disk", "volume", "computer", "product", "user_name"}) {
      where += std::string(" OR instr(") + column + ", char(0)) > 0";
    }
  }
  // A search reads every machine anyway: SQLite is told (by the +) to read the table in its
  // order and sort the few found, not to walk the index and fetch each row from it.
  const std::string order = db_->dialect() == SqlDialect::kSqlite
                                ? " ORDER BY +latest_date DESC, id DESC"
                                : " ORDER BY latest_date DESC, id DESC";
  db_->Run("SELECT " + kMachineColumns + " FROM machines" + where + order, parameters, take);
  return machines;
}

int64_t RegisterStore::LastReport() {
  int64_t last = 0;
  db_->Run("SELECT COALESCE(MAX(id), 0) FROM reports", {},
           [&](const SqlRow& row) { last = row.Int(0); });
  return last;
}

static const std::string kReportColumns = std::string(
    "r.id, r.machine, r.conflict, r.disk, r.volume, r.computer, r.product, "
    "r.user_name, r.name, r.message_id, r.sender, r.mail_date, "
    "i.input, i.added_at, r.mail_uid, r.in_text");

std::vector<int64_t> RegisterStore::ConflictMachines(int64_t report, const std::string& text) {
  // "3 7": machine ids, one space between; anything else was not written by the register.
  std::vector<int64_t> ids;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = at;
    int64_t id = 0;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9' && end - at < 18) {
      id = id * 10 + (text[end++] - '0');
    }
    if (end == at || id == 0 || (end < text.size() && text[end] != ' ') || end + 1 == text.size()) {
      throw RegisterError(db_->Name() + ": the register is damaged: held report " +
                          std::to_string(report) + " names the machines \"" + EscapeControls(text) +
                          "\"; restore it from a backup");
    }
    ids.push_back(id);
    at = end + 1;
  }
  return ids;
}

StoredReport RegisterStore::ReportOf(const SqlRow& row) {
  StoredReport r;
  r.id = row.Int(0);
  r.machine = row.IsNull(1) ? 0 : row.Int(1);
  r.conflict = row.IsNull(2) ? "" : row.Text(2);
  r.conflict_machines = ConflictMachines(r.id, r.conflict);
  r.values = {row.Text(3), row.Text(4), row.Text(5), row.Text(6), row.Text(7)};
  r.source.name = row.Text(8);
  r.source.mail = !row.IsNull(9) || !row.IsNull(10) || !row.IsNull(11);
  if (!row.IsNull(9)) r.source.message_id = row.Text(9);
  if (!row.IsNull(10)) r.source.sender = row.Text(10);
  if (!row.IsNull(11)) r.source.mail_date = row.Text(11);
  r.input = row.Text(12);
  r.added_at = row.Text(13);
  if (!row.IsNull(14)) r.source.uid = static_cast<uint32_t>(row.Int(14));
  r.source.in_text = !row.IsNull(15) && row.Int(15) == 1;
  r.report_date = ReportDateOfName(r.source.name);
  return r;
}

std::vector<StoredReport> RegisterStore::MachineReports(int64_t machine) {
  std::vector<StoredReport> reports;
  db_->Run("SELECT " + kReportColumns +
               " FROM reports r JOIN inputs i ON i.id = r.input WHERE r.machine = ? "
               "ORDER BY r.id",
           {machine}, [&](const SqlRow& row) { reports.push_back(ReportOf(row)); });
  std::stable_sort(
      reports.begin(), reports.end(),
      [](const StoredReport& a, const StoredReport& b) { return a.report_date < b.report_date; });
  return reports;
}

std::vector<int64_t> RegisterStore::MachinesWithReportOf(const std::string& column,
                                                         const std::string& value) {
  std::vector<int64_t> machines;
  db_->Run("SELECT DISTINCT machine FROM reports WHERE " + column +
               " = ? AND machine IS NOT NULL ORDER BY machine",
           {value}, [&](const SqlRow& row) { machines.push_back(row.Int(0)); });
  return machines;
}

std::vector<RegisterStore::Shared> RegisterStore::SharedAcrossMachines(const std::string& column) {
  // Sorted here, in byte order, as a server may keep a value in another form than it reads.
  std::map<std::string, std::vector<int64_t>> shared;
  db_->Run("SELECT " + column + ", machine FROM reports WHERE machine IS NOT NULL AND " + column +
               " NOT IN ('', ?, ?) GROUP BY " + column + ", machine",
           {std::string(kNotAvailableIdentifier), std::string(kAtapiIdentifier)},
           [&](const SqlRow& row) { shared[row.Text(0)].push_back(row.Int(1)); });
  std::vector<Shared> several;
  for (auto& [value, machines] : shared) {
    if (machines.size() < 2) continue;
    std::sort(machines.begin(), machines.end());
    several.push_back({value, std::move(machines)});
  }
  return several;
}

std::vector<StoredReport> RegisterStore::HeldConflicts() {
  std::vector<StoredReport> reports;
  db_->Run("SELECT " + kReportColumns +
               " FROM reports r JOIN inputs i ON i.id = r.input WHERE r.machine IS NULL "
               "ORDER BY r.id",
           {}, [&](const SqlRow& row) { reports.push_back(ReportOf(row)); });
  return reports;
}

}  // namespace corvane
