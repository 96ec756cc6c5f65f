// The register on a PostgreSQL server, for a team. libpq is loaded when such a register is
// opened, so that the program's start never maps it (and its TLS and Kerberos libraries).
// Writers take turns through an advisory lock.
#include "storage/postgres/postgres_database.h"

#include <dlfcn.h>
#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <unordered_map>

#include "common/connection_string.h"
#include "common/text.h"

namespace corvane {

namespace {

// The advisory lock that lets one writer at a time into a register ("Corv"). It is the
// session's, taken before the transaction begins, so that the transaction sees all that the
// writer before it committed, the tables it made included.
constexpr const char* kWriterLock = "SELECT pg_advisory_lock(1131377270)";
constexpr const char* kWriterUnlock = "SELECT pg_advisory_unlock(1131377270)";
// The writer holding the lock, and since when it has held its transaction. Everyone may see
// pg_locks and another session's application_name, where the holder says since when it
// writes; the rest of pg_stat_activity only its own role and the monitors may.
constexpr const char* kLockHolder =
    "SELECT a.application_name, floor(extract(epoch FROM a.xact_start))::bigint "
    "FROM pg_locks l LEFT JOIN pg_stat_activity a ON a.pid = l.pid WHERE l.locktype = "
    "'advisory' AND l.granted AND l.classid = 0 AND l.objid = 1131377270 AND l.objsubid = 1";
constexpr const char* kWriterSince = "corvane register add since ";
// As long as a SQLite register's writer waits for another; a lock_timeout the session sets
// (PGOPTIONS, the role's settings) shortens it.
constexpr int64_t kLockWaitMs = 120000;
constexpr int kAttempts = 5;

// The client library's text as lines: no trailing line break, a tab-indented hint indented
// with spaces, every password the connection string holds masked.
std::string LibpqText(const std::string& text, const ConnectionStringParts& parts) {
  std::string lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    size_t indent = 0;
    while (indent < line.size() && line[indent] == '\t') ++indent;
    if (indent) line = std::string(2 * indent, ' ') + line.substr(indent);
    if (!line.empty()) lines += (lines.empty() ? "" : "\n") + line;
    at = end + 1;
  }
  return MaskPasswords(lines, parts);
}

// The server keeps text in UTF-8 and ends a parameter at its first NUL. A text it could not
// keep as it is (a NUL, bytes that are no UTF-8, as a file's name may hold) is stored as
// \x01 followed by the text with each such byte, each control byte and each '%' written
// %XX; one that begins with \x01 is stored so too, so that every text reads back as it
// was. Equal texts stay equal, as the register's lookups need.
constexpr char kEscaped = '\x01';

std::string ToServerText(const std::string& s) {
  if (IsValidUtf8(s) && s.find('\0') == std::string::npos && (s.empty() || s[0] != kEscaped)) {
    return s;
  }
  static const char kHex[] = "0123456789ABCDEF";
  std::string out(1, kEscaped);
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t length = Utf8SequenceLength(s, i);
    if (length > 1) {
      out.append(s, i, length);
      i += length;
      continue;
    }
    if (length == 1 && c >= 0x20 && c != 0x7F && c != '%') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
    ++i;
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string FromServerText(const char* text, size_t size) {
  if (size == 0 || text[0] != kEscaped) return std::string(text, size);
  std::string out;
  for (size_t i = 1; i < size; ++i) {
    if (text[i] == '%' && i + 2 < size && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The calls of libpq used here, found in the library when it is loaded.
struct Libpq {
  decltype(&PQconnectdb) connectdb;
  decltype(&PQstatus) status;
  decltype(&PQerrorMessage) error_message;
  decltype(&PQfinish) finish;
  decltype(&PQexec) exec;
  decltype(&PQprepare) prepare;
  decltype(&PQexecPrepared) exec_prepared;
  decltype(&PQresultStatus) result_status;
  decltype(&PQresultErrorField) result_error_field;
  decltype(&PQresultErrorMessage) result_error_message;
  decltype(&PQclear) clear;
  decltype(&PQntuples) ntuples;
  decltype(&PQgetvalue) getvalue;
  decltype(&PQgetisnull) getisnull;
  decltype(&PQgetlength) getlength;
  decltype(&PQsetNoticeProcessor) set_notice_processor;
  decltype(&PQconninfoParse) conninfo_parse;
  decltype(&PQconninfoFree) conninfo_free;
  decltype(&PQconnectdbParams) connectdb_params;
  decltype(&PQfreemem) freemem;
};

const Libpq& LoadLibpq() {
  static Libpq pq{};
  static std::string failure;
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    void* handle = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      failure = ::dlerror();
    } else {
      const auto find = [&](auto& fn, const char* name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(::dlsym(handle, name));
        if (!fn && failure.empty()) failure = std::string("libpq.so.5 has no ") + name;
      };
      find(pq.connectdb, "PQconnectdb");
      find(pq.status, "PQstatus");
      find(pq.error_message, "PQerrorMessage");
      find(pq.finish, "PQfinish");
      find(pq.exec, "PQexec");
      find(pq.prepare, "PQprepare");
      find(pq.exec_prepared, "PQexecPrepared");
      find(pq.result_status, "PQresultStatus");
      find(pq.result_error_field, "PQresultErrorField");
      find(pq.result_error_message, "PQresultErrorMessage");
      find(pq.clear, "PQclear");
      find(pq.ntuples, "PQntuples");
      find(pq.getvalue, "PQgetvalue");
      find(pq.getisnull, "PQgetisnull");
      find(pq.getlength, "PQgetlength");
      find(pq.set_notice_processor, "PQsetNoticeProcessor");
      find(pq.conninfo_parse, "PQconninfoParse");
      find(pq.conninfo_free, "PQconninfoFree");
      find(pq.connectdb_params, "PQconnectdbParams");
      find(pq.freemem, "PQfreemem");
    }
  }
  if (!failure.empty()) {
    throw RegisterError(
        "a register on a PostgreSQL server needs the client library libpq "
        "(Debian's libpq5): " +
        failure);
  }
  return pq;
}

// Failures the server settles by aborting one transaction, which may simply run again.
bool Retryable(const std::string& state) {
  return state == "40001" || state == "40P01" || state == "23505";
}

class Retry : public RegisterError {
 public:
  using RegisterError::RegisterError;
};

class PgRow : public SqlRow {
 public:
  PgRow(const Libpq& pq, PGresult* r) : pq_(pq), r_(r) {}
  void At(int row) { row_ = row; }
  bool IsNull(int c) const override { return pq_.getisnull(r_, row_, c) != 0; }
  int64_t Int(int c) const override { return std::strtoll(pq_.getvalue(r_, row_, c), nullptr, 10); }
  std::string Text(int c) const override {
    return FromServerText(pq_.getvalue(r_, row_, c),
                          static_cast<size_t>(pq_.getlength(r_, row_, c)));
  }

 private:
  const Libpq& pq_;
  PGresult* r_;
  int row_ = 0;
};

// "?" becomes $1, $2, ...; the register's SQL holds no "?" inside a literal.
std::string Numbered(const std::string& sql) {
  std::string out;
  int n = 0;
  for (char c : sql) {
    if (c == '?') {
      out += "$" + std::to_string(++n);
    } else {
      out += c;
    }
  }
  return out;
}

void IgnoreNotice(void*, const char*) {}

class PostgresDatabase : public RegisterDatabase {
 public:
  PostgresDatabase(const Libpq& pq, PGconn* conn, ConnectionStringParts parts)
      : pq_(pq), conn_(conn), parts_(std::move(parts)), name_(parts_.shown) {
    pq_.set_notice_processor(conn_, &IgnoreNotice, nullptr);
  }
  ~PostgresDatabase() override { pq_.finish(conn_); }

  std::string Name() const override { return name_; }
  SqlDialect dialect() const override { return SqlDialect::kPostgres; }

  void Run(const std::string& sql, const std::vector<SqlValue>& parameters,
           const std::function<void(const SqlRow&)>& row) override {
    std::string& statement = statements_[sql];
    if (statement.empty()) {
      const std::string name = "s" + std::to_string(statements_.size());
      Check(pq_.prepare(conn_, name.c_str(), Numbered(sql).c_str(), 0, nullptr));
      statement = name;
    }
    std::vector<std::string> texts(parameters.size());
    std::vector<const char*> values(parameters.size(), nullptr);
    for (size_t i = 0; i < parameters.size(); ++i) {
      if (const auto* v = std::get_if<int64_t>(&parameters[i])) {
        texts[i] = std::to_string(*v);
        values[i] = texts[i].c_str();
      } else if (const auto* s = std::get_if<std::string>(&parameters[i])) {
        texts[i] = ToServerText(*s);
        values[i] = texts[i].c_str();
      }
    }
    PGresult* result = pq_.exec_prepared(conn_, statement.c_str(), static_cast<int>(values.size()),
                                         values.data(), nullptr, nullptr, 0);
    Check(result, /*keep=*/true);
    PgRow r(pq_, result);
    const int rows = pq_.ntuples(result);
    for (int i = 0; i < rows && row; ++i) {
      r.At(i);
      row(r);
    }
    pq_.clear(result);
  }

  void Write(const std::function<void()>& work) override {
    LockWriters();
    try {
      for (int attempt = 1;; ++attempt) {
        try {
          Transaction("BEGIN ISOLATION LEVEL READ COMMITTED", work);
          break;
        } catch (const Retry& e) {
          if (attempt == kAttempts) throw RegisterError(e.what());
        }
      }
    } catch (...) {
      if (pq_.status(conn_) == CONNECTION_OK) UnlockWriters();
      throw;
    }
    UnlockWriters();
  }

  void Read(const std::function<void()>& work) override {
    Transaction("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", work);
  }

  int SchemaVersion() override {
    if (!Exists("register_schema")) return 0;
    int version = 0;
    Run("SELECT version FROM register_schema", {},
        [&](const SqlRow& r) { version = static_cast<int>(r.Int(0)); });
    return version;
  }

  void SetSchemaVersion(int version) override {
    Run("CREATE TABLE IF NOT EXISTS register_schema (version INTEGER NOT NULL)", {}, nullptr);
    Run("DELETE FROM register_schema", {}, nullptr);
    Run("INSERT INTO register_schema (version) VALUES (?)", {int64_t{version}}, nullptr);
  }

  bool Foreign() override {
    // One statement, so that a register another writer is making shows whole or not at all.
    bool foreign = false;
    Run("SELECT to_regclass('register_schema') IS NULL AND (to_regclass('reports') IS NOT NULL "
        "OR to_regclass('machines') IS NOT NULL OR to_regclass('inputs') IS NOT NULL)",
        {}, [&](const SqlRow& r) { foreign = r.Text(0) == "t"; });
    return foreign;
  }

 private:
  // One writer at a time, waiting for another at most two minutes; the one that holds the
  // lock says since when in its application_name.
  void LockWriters() {
    if (session_lock_timeout_ < 0) {
      session_lock_timeout_ = 0;
      Run("SELECT setting::bigint FROM pg_settings WHERE name = 'lock_timeout'", {},
          [&](const SqlRow& r) { session_lock_timeout_ = r.Int(0); });
      Run("SELECT current_setting('application_name')", {},
          [&](const SqlRow& r) { application_name_ = r.Text(0); });
    }
    const int64_t wait = session_lock_timeout_ > 0 && session_lock_timeout_ < kLockWaitMs
                             ? session_lock_timeout_
                             : kLockWaitMs;
    SetLockTimeout(wait);
    PGresult* locked = pq_.exec(conn_, kWriterLock);
    const char* state = locked ? pq_.result_error_field(locked, PG_DIAG_SQLSTATE) : nullptr;
    const bool busy = state && std::string(state) == "55P03";
    if (busy) pq_.clear(locked);
    if (pq_.status(conn_) == CONNECTION_OK) SetLockTimeout(session_lock_timeout_);
    if (busy) throw RegisterError(name_ + ": the register is busy (" + OtherWriter() + ")");
    Check(locked);
    Run("SELECT set_config('application_name', ?::text || "
        "floor(extract(epoch FROM now()))::bigint::text, false)",
        {std::string(kWriterSince)}, nullptr);
  }

  void UnlockWriters() {
    Run("SELECT set_config('application_name', ?::text, false)", {application_name_}, nullptr);
    Check(pq_.exec(conn_, kWriterUnlock));
  }

  void SetLockTimeout(int64_t ms) {
    Check(pq_.exec(conn_, ("SET lock_timeout = " + std::to_string(ms)).c_str()));
  }

  // "another add since 16:40" (local time), as far as the server tells.
  std::string OtherWriter() {
    int64_t since = 0;
    Run(kLockHolder, {}, [&](const SqlRow& r) {
      const std::string name = r.IsNull(0) ? "" : r.Text(0);
      if (name.rfind(kWriterSince, 0) == 0) {
        since = std::strtoll(name.c_str() + std::string(kWriterSince).size(), nullptr, 10);
      } else if (!r.IsNull(1)) {
        since = r.Int(1);
      }
    });
    if (since <= 0) return "another add";
    const std::time_t t = static_cast<std::time_t>(since);
    std::tm local{};
    char text[16] = "";
    if (::localtime_r(&t, &local)) std::strftime(text, sizeof text, "%H:%M", &local);
    return std::string("another add since ") + text;
  }

  bool Exists(const char* table) {
    bool found = false;
    Run("SELECT to_regclass(?) IS NOT NULL", {std::string(table)},
        [&](const SqlRow& r) { found = r.Text(0) == "t"; });
    return found;
  }

  void Transaction(const char* begin, const std::function<void()>& work) {
    Check(pq_.exec(conn_, begin));
    try {
      work();
      Check(pq_.exec(conn_, "COMMIT"));
    } catch (...) {
      if (pq_.status(conn_) == CONNECTION_OK) pq_.clear(pq_.exec(conn_, "ROLLBACK"));
      throw;
    }
  }

  // Raises the result's failure; clears it unless `keep`.
  void Check(PGresult* result, bool keep = false) {
    const ExecStatusType status = result ? pq_.result_status(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
      if (!keep) pq_.clear(result);
      return;
    }
    std::string why;
    std::string state;
    if (result) {
      why = LibpqText(pq_.result_error_message(result), parts_);
      const char* s = pq_.result_error_field(result, PG_DIAG_SQLSTATE);
      if (s) state = s;
      pq_.clear(result);
    }
    if (pq_.status(conn_) != CONNECTION_OK) {
      why = "the connection to the server was lost: " + LibpqText(pq_.error_message(conn_), parts_);
    }
    if (why.empty()) why = LibpqText(pq_.error_message(conn_), parts_);
    const std::string message = name_ + ": " + why;
    if (Retryable(state)) throw Retry(message);
    throw RegisterError(message);
  }

  const Libpq& pq_;
  PGconn* conn_;
  ConnectionStringParts parts_;
  std::string name_;
  std::unordered_map<std::string, std::string> statements_;
  int64_t session_lock_timeout_ = -1;  // ms; -1 until read
  std::string application_name_;
};

}  // namespace

namespace {

bool IsLoopbackAddress(const std::string& address) {
  if (address == "::1" || address == "0:0:0:0:0:0:0:1") return true;
  std::string v4 = address;
  if (v4.rfind("::ffff:", 0) == 0) v4 = v4.substr(7);
  int parts = 0;
  size_t at = 0;
  int first = -1;
  while (at <= v4.size()) {
    const size_t end = std::min(v4.find('.', at), v4.size());
    if (end == at || end - at > 3) return false;
    int n = 0;
    for (size_t i = at; i < end; ++i) {
      if (v4[i] < '0' || v4[i] > '9') return false;
      n = n * 10 + (v4[i] - '0');
    }
    if (n > 255) return false;
    if (first < 0) first = n;
    ++parts;
    at = end + 1;
  }
  return parts == 4 && first == 127;
}

std::vector<std::string> CommaList(const std::string& s) {
  std::vector<std::string> items;
  size_t at = 0;
  for (;;) {
    const size_t end = std::min(s.find(',', at), s.size());
    items.push_back(s.substr(at, end - at));
    if (end == s.size()) break;
    at = end + 1;
  }
  return items;
}

// Whether a connection may leave this machine: a host other than a Unix socket, "localhost"
// or a loopback address (a hostaddr, when given, is where it goes). Names are not resolved.
bool LeavesThisMachine(const std::string& hosts, const std::string& addresses) {
  const std::vector<std::string> host = CommaList(hosts);
  const std::vector<std::string> address = CommaList(addresses);
  for (size_t i = 0; i < std::max(host.size(), address.size()); ++i) {
    const std::string a = i < address.size() ? address[i] : "";
    const std::string h = i < host.size() ? host[i] : "";
    if (!a.empty()) {
      if (!IsLoopbackAddress(a)) return true;
    } else if (!h.empty() && h[0] != '/' && h[0] != '@' && h != "localhost" &&
               !IsLoopbackAddress(h)) {
      return true;
    }
  }
  return false;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::unique_ptr<RegisterDatabase> OpenPostgresDatabase(const std::string& conninfo,
                                                       RegisterAccess) {
  ConnectionStringParts parts = ExamineConnectionString(conninfo);
  const std::string name = parts.shown;
  if (!parts.error.empty()) throw RegisterError(name + ": " + parts.error);
  const Libpq& pq = LoadLibpq();
  char* failure = nullptr;
  PQconninfoOption* options = pq.conninfo_parse(conninfo.c_str(), &failure);
  if (!options) {
    const std::string why = failure ? LibpqText(failure, parts) : "out of memory";
    if (failure) pq.freemem(failure);
    throw RegisterError(name + ": the connection string is not valid: " + why);
  }
  std::vector<std::string> keywords, values;
  std::string hosts = Environment("PGHOST"), addresses = Environment("PGHOSTADDR");
  bool sslmode = !Environment("PGSSLMODE").empty();
  for (PQconninfoOption* o = options; o->keyword; ++o) {
    if (!o->val) continue;
    const std::string keyword = o->keyword;
    if (keyword == "client_encoding") continue;
    if (keyword == "sslmode" || keyword == "requiressl") sslmode = true;
    if (keyword == "host") hosts = o->val;
    if (keyword == "hostaddr") addresses = o->val;
    keywords.push_back(keyword);
    values.push_back(o->val);
  }
  pq.conninfo_free(options);
  // A password must not go in clear to whoever answers on the way to another machine: the
  // server proves who it is, unless the string or PGSSLMODE says otherwise.
  const bool verified = !sslmode && LeavesThisMachine(hosts, addresses);
  if (verified) {
    keywords.push_back("sslmode");
    values.push_back("verify-full");
  }
  // The register's text is UTF-8 whatever PGCLIENTENCODING says.
  keywords.push_back("client_encoding");
  values.push_back("UTF8");
  std::vector<const char*> k, v;
  for (size_t i = 0; i < keywords.size(); ++i) {
    k.push_back(keywords[i].c_str());
    v.push_back(values[i].c_str());
  }
  k.push_back(nullptr);
  v.push_back(nullptr);
  PGconn* conn = pq.connectdb_params(k.data(), v.data(), 0);
  if (!conn || pq.status(conn) != CONNECTION_OK) {
    std::string why = conn ? LibpqText(pq.error_message(conn), parts) : "out of memory";
    if (conn) pq.finish(conn);
    if (verified) {
      why +=
          "\n(the server is not on this machine, so the connection asks for "
          "sslmode=verify-full: sslrootcert= names the authority that signed the server's "
          "certificate; an sslmode in the connection string or PGSSLMODE is taken instead)";
    }
    throw RegisterError(name + ": cannot connect to the register's server: " + why);
  }
  return std::make_unique<PostgresDatabase>(pq, conn, std::move(parts));
}

}  // namespace corvane
