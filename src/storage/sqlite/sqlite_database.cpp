// The register in a SQLite file: WAL, so that readers never wait for a writer, and a busy
// wait, so that two writers take turns. Cannot be shared over a network filesystem.
#include "storage/sqlite/sqlite_database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "platform/linux/files.h"

namespace corvane {

namespace {

// "Corv": the file's application id, which tells a register from other SQLite files.
constexpr int kApplicationId = 0x436F7276;
// "120 seconds", "0.3 seconds".
std::string Seconds(std::chrono::steady_clock::duration d) {
  const double s = std::chrono::duration<double>(d).count();
  char text[32];
  std::snprintf(text, sizeof text, s < 10 ? "%.1f" : "%.0f", s);
  return std::string(text) + " seconds";
}

class SqliteRow : public SqlRow {
 public:
  explicit SqliteRow(sqlite3_stmt* s) : s_(s) {}
  bool IsNull(int c) const override { return sqlite3_column_type(s_, c) == SQLITE_NULL; }
  int64_t Int(int c) const override { return sqlite3_column_int64(s_, c); }
  std::string Text(int c) const override {
    const unsigned char* text = sqlite3_column_text(s_, c);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<size_t>(sqlite3_column_bytes(s_, c)))
                : std::string();
  }

 private:
  sqlite3_stmt* s_;
};

class SqliteDatabase : public RegisterDatabase {
 public:
  SqliteDatabase(sqlite3* db, std::string path, std::chrono::milliseconds busy_wait, bool write)
      : db_(db), path_(std::move(path)), busy_wait_(busy_wait), write_(write) {
    sqlite3_busy_handler(db_, &SqliteDatabase::WhileBusy, this);
    sqlite3_extended_result_codes(db_, 1);
  }
  ~SqliteDatabase() override {
    for (auto& [sql, statement] : statements_) sqlite3_finalize(statement);
    sqlite3_close(db_);
  }

  std::string Name() const override { return path_; }
  SqlDialect dialect() const override { return SqlDialect::kSqlite; }

  void Run(const std::string& sql, const std::vector<SqlValue>& parameters,
           const std::function<void(const SqlRow&)>& row) override {
    sqlite3_stmt*& statement = statements_[sql];
    if (!statement && sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      Fail(sqlite3_errcode(db_));
    }
    for (size_t i = 0; i < parameters.size(); ++i) {
      const int n = static_cast<int>(i + 1);
      if (const auto* v = std::get_if<int64_t>(&parameters[i])) {
        sqlite3_bind_int64(statement, n, *v);
      } else if (const auto* s = std::get_if<std::string>(&parameters[i])) {
        sqlite3_bind_text(statement, n, s->data(), static_cast<int>(s->size()), SQLITE_STATIC);
      } else {
        sqlite3_bind_null(statement, n);
      }
    }
    SqliteRow result(statement);
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
      if (row) row(result);
    }
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (rc != SQLITE_DONE) Fail(rc);
  }

  void Write(const std::function<void()>& work) override {
    StartWaiting("to write to it");
    if (!wal_) {
      // Set once the file is known to be a register: a foreign file is never touched. The
      // switch of a new register, which another program may be making at the same moment,
      // is refused at once rather than waited for while the other holds the file: it is
      // tried again until the wait is over.
      ExecOnceFree("PRAGMA journal_mode=WAL");
      Exec("PRAGMA synchronous=NORMAL");
      // A bounded cache: the memory an add takes stays the same as the register grows.
      Exec("PRAGMA cache_size=-32768");
      wal_ = true;
    }
    Transaction("BEGIN IMMEDIATE", work);
  }

  void Read(const std::function<void()>& work) override {
    StartWaiting("to read it");
    Transaction("BEGIN", work);
  }

  int SchemaVersion() override { return Pragma("user_version"); }

  void SetSchemaVersion(int version) override {
    Exec("PRAGMA application_id=" + std::to_string(kApplicationId));
    Exec("PRAGMA user_version=" + std::to_string(version));
  }

  bool Foreign() override {
    const int id = Pragma("application_id");
    if (id == kApplicationId) return false;
    if (id != 0) return true;
    int64_t tables = 0;
    Run("SELECT COUNT(*) FROM sqlite_master", {}, [&](const SqlRow& r) { tables = r.Int(0); });
    return tables > 0;
  }

 private:
  void Transaction(const char* begin, const std::function<void()>& work) {
    Exec(begin);
    try {
      work();
      Exec("COMMIT");
    } catch (...) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  int Pragma(const std::string& name) {
    int value = 0;
    Run("PRAGMA " + name, {}, [&](const SqlRow& r) { value = static_cast<int>(r.Int(0)); });
    return value;
  }

  void Exec(const std::string& sql) {
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) Fail(rc);
  }

  // For a statement that SQLite refuses as busy without waiting (it would deadlock two
  // connections that each hold a read lock): run again, outside any transaction, until the
  // wait is over.
  void ExecOnceFree(const std::string& sql) {
    for (int pause_ms = 1;; pause_ms = std::min(pause_ms * 2, 50)) {
      const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
      if (rc == SQLITE_OK) return;
      if ((rc & 0xFF) != SQLITE_BUSY || Waited() >= busy_wait_) Fail(rc);
      std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
    }
  }

  // One wait for the whole of a read or a write, however many locks it takes.
  void StartWaiting(const char* what) {
    waiting_since_ = std::chrono::steady_clock::now();
    waiting_for_ = what;
  }
  std::chrono::steady_clock::duration Waited() const {
    return std::chrono::steady_clock::now() - waiting_since_;
  }
  static int WhileBusy(void* self, int tries) {
    const auto& db = *static_cast<SqliteDatabase*>(self);
    if (db.Waited() >= db.busy_wait_) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(1 << std::min(tries, 6), 50)));
    return 1;
  }

  [[noreturn]] void Fail(int rc) {
    const int primary = rc & 0xFF;
    std::string why = sqlite3_errmsg(db_);
    if (primary == SQLITE_NOTADB) {
      why = "not a register: the file is not a SQLite database";
    } else if (primary == SQLITE_CORRUPT) {
      why = "the register is damaged (" + why + "); restore it from a backup";
    } else if (primary == SQLITE_FULL) {
      why = "the disk is full";
    } else if (primary == SQLITE_BUSY) {
      why = "the register is busy: another program held it while this one waited " +
            Seconds(Waited()) + " " + waiting_for_;
    } else if (primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_PERM) {
      why = (write_ ? "cannot write the register: " : "cannot read the register: ") + why;
    }
    throw RegisterError(path_ + ": " + why);
  }

  sqlite3* db_;
  std::string path_;
  std::chrono::milliseconds busy_wait_;
  bool write_;
  std::chrono::steady_clock::time_point waiting_since_ = std::chrono::steady_clock::now();
  const char* waiting_for_ = "to use it";
  std::unordered_map<std::string, sqlite3_stmt*> statements_;
  bool wal_ = false;
};

// The file as a URI, for the parameters only a URI carries.
std::string FileUri(const std::string& path) {
  std::error_code ec;
  const std::string absolute = std::filesystem::absolute(path, ec).string();
  std::string uri = "file://";
  for (unsigned char c : ec ? path : absolute) {
    if (c == '%' || c == '?' || c == '#' || c < 0x21 || c >= 0x7F) {
      static const char kHex[] = "0123456789ABCDEF";
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri;
}

}  // namespace

std::unique_ptr<RegisterDatabase> OpenSqliteDatabase(const std::string& path, RegisterAccess access,
                                                     std::chrono::milliseconds busy_wait) {
  std::error_code ec;
  if (access == RegisterAccess::kRead && !std::filesystem::exists(path, ec)) return nullptr;
  if (std::filesystem::is_directory(path, ec)) {
    throw RegisterError(path + ": not a register: it is a folder");
  }
  const bool write = access == RegisterAccess::kWrite;
  // Made readable by its owner alone: it holds every customer's names and serials. (The
  // journal files SQLite makes beside it take the same mode.)
  if (write && !std::filesystem::exists(path, ec)) {
    const int fd = OpenOrCreate(path, O_WRONLY | O_EXCL, 0600);
    if (fd >= 0) ::close(fd);
  }
  // Reading never writes: a register the user may only read can be read. WAL readers share
  // an index file beside the register, which a folder the user may not write cannot take;
  // without a journal left there (the last writer folded it in), the file holds all that
  // was committed and is read as it is.
  std::string name = path;
  int flags = SQLITE_OPEN_NOMUTEX;
  if (write) {
    flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  } else {
    flags |= SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (folder.empty()) folder = ".";
    const bool journal = std::filesystem::exists(path + "-wal", ec);
    name = FileUri(path) + (::access(folder.c_str(), W_OK) != 0 && !journal ? "?immutable=1" : "");
  }
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    const std::string why = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    throw RegisterError(path + ": cannot open the register: " + why);
  }
  return std::make_unique<SqliteDatabase>(db, path, busy_wait, write);
}

}  // namespace corvane
