// The register as a web server asks for it (platform/register_server.h): each page's answer is
// what the register's --json gives for the same question, run on registers kept open for the
// server's requests, with the words people read added for the pages.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/verb_output.h"
#include "platform/mailbox.h"
#include "platform/register_server.h"
#include "register/register_command.h"
#include "register/register_store.h"

namespace corvane {

// Whether `host` names this machine alone: localhost, 127.0.0.0/8 or ::1. Only there may a
// server go without TLS and users.
bool IsLoopbackHost(const std::string& host);

// HOST:PORT, [IPV6]:PORT; false when it is not.
bool ParseListen(const std::string& listen, std::string* host, int* port);

class RegisterService : public RegisterPages {
 public:
  using MailboxReaders = std::unique_ptr<MailboxReader> (*)();
  // `base` names the register (db) and the rule (match); `open` opens it for each new
  // connection.
  RegisterService(RegisterOptions base, RegisterOpener open, MailboxReaders mailboxes,
                  Invocation invocation);

  // Opens the register once, so that a server on a register that cannot be read does not
  // start. Raises RegisterError.
  void Open();

  bool Machines(const std::string& search, int64_t page, int64_t per_page, std::string* json,
                std::string* error) override;
  bool Machine(int64_t id, bool* found, std::string* json, std::string* error) override;
  bool Conflicts(std::string* json, std::string* error) override;
  bool Check(const std::string& record, std::string* json, std::string* error) override;
  bool Add(const std::vector<Upload>& uploads, std::string* json, std::string* error) override;

 private:
  // Runs `options`' action and reads its JSON; false with the register's error when the
  // answer lacks `key` (the register could not be read).
  bool Run(const RegisterOptions& options, std::istream& in, const std::string& key,
           nlohmann::ordered_json* answer, std::string* error);
  // A new connection to the register. Raises RegisterError.
  std::unique_ptr<RegisterStore> Take(bool write);
  // The newest report's id, or -1 when the register cannot be read.
  int64_t LastReport();
  void Give(std::unique_ptr<RegisterStore> store);

  RegisterOptions base_;
  RegisterOpener open_;
  MailboxReaders mailboxes_;
  Invocation invocation_;
  MachineFlagsCache flags_;
  // The conflicts look at every report: their answer is kept until a report is added.
  std::mutex conflicts_mutex_;
  int64_t conflicts_last_report_ = -1;
  std::string conflicts_json_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<RegisterStore>> idle_;
  std::condition_variable turn_;
  int working_ = 0;
};

}  // namespace corvane
