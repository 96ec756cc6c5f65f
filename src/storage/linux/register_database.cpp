// Registers on Linux: a SQLite file, or a PostgreSQL server named by a connection string.
#include "platform/register_database.h"

#include <cstdlib>

#include "platform/linux/system_info.h"
#include "storage/postgres/postgres_database.h"
#include "storage/sqlite/sqlite_database.h"

namespace corvane {

std::unique_ptr<RegisterDatabase> OpenRegisterDatabase(const std::string& location,
                                                       RegisterAccess access) {
  for (const char* scheme : {"postgresql://", "postgres://"}) {
    if (location.rfind(scheme, 0) == 0) return OpenPostgresDatabase(location, access);
  }
  return OpenSqliteDatabase(location, access);
}

std::string ShownRegisterLocation(const std::string& location) {
  return location.find("://") == std::string::npos ? location : WithoutPassword(location);
}

std::string DefaultRegisterPath() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const std::string data = xdg && xdg[0] == '/' ? xdg : HomeFolder() + "/.local/share";
  return data + "/corvane/register.sqlite3";
}

}  // namespace corvane
