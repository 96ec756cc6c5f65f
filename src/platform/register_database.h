// The database a support register lives in: a SQLite file or a PostgreSQL server. The
// register's tables and queries are written once over this seam; a backend only runs SQL,
// keeps its transactions and says what its database is.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace corvane {

// A failure of the database; the message names the database (never a password) and the cause.
class RegisterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using SqlValue = std::variant<std::nullptr_t, int64_t, std::string>;

// One row of a result, valid only inside the callback that receives it.
class SqlRow {
 public:
  virtual ~SqlRow() = default;
  virtual bool IsNull(int column) const = 0;
  virtual int64_t Int(int column) const = 0;
  virtual std::string Text(int column) const = 0;
};

enum class SqlDialect { kSqlite, kPostgres };

class RegisterDatabase {
 public:
  virtual ~RegisterDatabase() = default;
  // The database as messages show it: a file path, or a connection string without its password.
  virtual std::string Name() const = 0;
  virtual SqlDialect dialect() const = 0;
  // Runs one statement; parameters are written "?" in `sql`. `row` sees each row of a result.
  virtual void Run(const std::string& sql, const std::vector<SqlValue>& parameters,
                   const std::function<void(const SqlRow&)>& row = nullptr) = 0;
  // Runs `work` in one transaction that writes (one writer at a time) and commits it; an
  // exception rolls it back and goes on. A conflict with another writer that the server can
  // only settle by aborting is retried from the start.
  virtual void Write(const std::function<void()>& work) = 0;
  // Reading: a snapshot of the register for the whole of `work`.
  virtual void Read(const std::function<void()>& work) = 0;
  // The schema version the database holds (0 for a new, empty one), and whether it holds
  // tables of something else.
  virtual int SchemaVersion() = 0;
  virtual void SetSchemaVersion(int version) = 0;  // inside Write
  virtual bool Foreign() = 0;
};

enum class RegisterAccess { kRead, kWrite };

// `location` is a file path, or a postgresql:// or postgres:// connection string (the PG*
// environment variables fill in what it leaves out). A file opened for reading is not created:
// nullptr then means there is no register yet. Raises RegisterError.
std::unique_ptr<RegisterDatabase> OpenRegisterDatabase(const std::string& location,
                                                       RegisterAccess access);
// Where the register is kept when --db is not given.
std::string DefaultRegisterPath();
// The default register's folder, made when `make`, and it and the register file kept
// readable by their owner alone, where they are this user's.
void KeepRegisterPrivate(const std::string& path, bool make);

// What could let another user put words in a register file's mouth.
struct RegisterFileExposure {
  bool through_link = false;  // the path names a symbolic link
  bool other_owner = false;   // the file belongs to another user (not root)
  std::string open_folder;    // its folder, when others may write there
};
RegisterFileExposure ExamineRegisterFile(const std::string& path);

}  // namespace corvane
