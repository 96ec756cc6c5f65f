// Registers on Linux: a SQLite file, or a PostgreSQL server named by a connection string.
#include "platform/register_database.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "common/connection_string.h"
#include "platform/files.h"
#include "platform/linux/files.h"
#include "platform/linux/system_info.h"
#include "storage/postgres/postgres_database.h"
#include "storage/sqlite/sqlite_database.h"

namespace corvane {

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Takes the group's and others' permissions off what is this user's own, never through a link.
void KeepOwn(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode) || st.st_uid != ::geteuid()) return;
  if ((st.st_mode & 077) != 0) ::chmod(path.c_str(), st.st_mode & 07700);
}

}  // namespace

std::unique_ptr<RegisterDatabase> OpenRegisterDatabase(const std::string& location,
                                                       RegisterAccess access) {
  if (IsConnectionString(location)) return OpenPostgresDatabase(location, access);
  return OpenSqliteDatabase(location, access);
}

std::string DefaultRegisterPath() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const std::string data = xdg && xdg[0] == '/' ? xdg : HomeFolder() + "/.local/share";
  return data + "/corvane/register.sqlite3";
}

void KeepRegisterPrivate(const std::string& path, bool make) {
  const std::string folder = FolderOf(path);
  if (make) {
    try {
      MakeFolders(folder, 0700);
    } catch (const FileError&) {
      // Opening the register names what is wrong.
    }
  }
  // A folder and file made by an earlier version, readable by every local user.
  KeepOwn(folder);
  for (const char* suffix : {"", "-wal", "-shm"}) KeepOwn(path + suffix);
}

RegisterFileExposure ExamineRegisterFile(const std::string& path) {
  RegisterFileExposure exposure;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    exposure.through_link = S_ISLNK(st.st_mode);
    // Root may change anything anyway: a register of root's is no one else's to change.
    if (::stat(path.c_str(), &st) == 0) {
      exposure.other_owner = st.st_uid != ::geteuid() && st.st_uid != 0;
    }
  }
  const std::string folder = FolderOf(path);
  if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    // A folder's owner may write it, as may a group that is more than this user's own.
    const bool others = (st.st_mode & S_IWOTH) != 0 ||
                        ((st.st_mode & S_IWGRP) != 0 && st.st_gid != ::getegid()) ||
                        (st.st_uid != ::geteuid() && st.st_uid != 0);
    if (others) exposure.open_folder = folder;
  }
  return exposure;
}

}  // namespace corvane
