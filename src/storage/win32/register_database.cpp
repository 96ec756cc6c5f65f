// Registers on Windows: none. The cross toolchain has no SQLite (nor PostgreSQL client);
// support staff keep the register with the Linux program.
#include "platform/register_database.h"

namespace corvane {

std::unique_ptr<RegisterDatabase> OpenRegisterDatabase(const std::string&, RegisterAccess) {
  throw RegisterError(
      "the Windows program keeps no register (it is built without SQLite); use the Linux "
      "program for `corvane register`");
}

std::string DefaultRegisterPath() { return "register.sqlite3"; }

void KeepRegisterPrivate(const std::string&, bool) {}

RegisterFileExposure ExamineRegisterFile(const std::string&) { return {}; }

}  // namespace corvane
