// The register in a SQLite file.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/register_database.h"

namespace corvane {

// A reader or a writer waits this long for another writer (an add of a large mailbox holds
// the register while it reads the mailbox).
inline constexpr std::chrono::milliseconds kRegisterBusyWait{120000};

// nullptr when reading and there is no file.
std::unique_ptr<RegisterDatabase> OpenSqliteDatabase(
    const std::string& path, RegisterAccess access,
    std::chrono::milliseconds busy_wait = kRegisterBusyWait);

}  // namespace corvane
