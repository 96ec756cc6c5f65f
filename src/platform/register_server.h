// The register in a browser: an HTTP(S) server in a module of its own (cpp-httplib, OpenSSL,
// libsodium, the page templates), loaded only when `register serve` or `register user add`
// runs. The server asks the register for JSON through RegisterPages; it never reads the
// database itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

// A file a browser uploaded: its name as the browser gave it, and its bytes.
struct Upload {
  std::string name;
  std::string content;
};

// What the server asks of the register. Each answer is a JSON object with the keys of the
// register's --json; the pages' own answers also carry the words people read ("said").
// False with `error` when the register cannot be read (a database that went away).
class RegisterPages {
 public:
  virtual ~RegisterPages() = default;
  // The machines, newest latest report first, whose values hold `search` (any case); the
  // page `page` (from 0) of `per_page`.
  virtual bool Machines(const std::string& search, int64_t page, int64_t per_page,
                        std::string* json, std::string* error) = 0;
  // A machine's latest values and flags and its reports in date order; `found` false when the
  // register has no such machine.
  virtual bool Machine(int64_t id, bool* found, std::string* json, std::string* error) = 0;
  virtual bool Conflicts(std::string* json, std::string* error) = 0;
  // The verdict of one record file's bytes, as `register check` gives it.
  virtual bool Check(const std::string& record, std::string* json, std::string* error) = 0;
  // Adds the reports of .kik files, .eml messages and mbox files, each report with its
  // verdict.
  virtual bool Add(const std::vector<Upload>& uploads, std::string* json, std::string* error) = 0;
};

struct ServeSettings {
  std::string host;  // a name or an address to listen on
  int port = 0;      // 0: any free port
  std::string tls_cert, tls_key;
  std::string users;    // the users file; empty: one person, by the token of the printed address
  std::string version;  // the program's
  // Said in the pages' foot: the register's name (a connection string without its password).
  std::string register_name;
};

// Runs the server until SIGTERM or SIGINT. Prints the address to open as the first line of
// standard output. Returns 0, or 1 with `error` (a module that cannot be loaded, an address in
// use, a users file or certificate that cannot be read).
int ServeRegister(const ServeSettings& settings, RegisterPages& pages, std::string* error);

// Adds user `name` to the users file (or gives it a new password and role), with the
// password's argon2id hash; the file is replaced whole and readable by its owner alone.
int AddRegisterUser(const std::string& users, const std::string& name, bool read_only,
                    const std::string& password, std::string* error);

}  // namespace corvane
