// The register in a SQLite file.
#pragma once

#include <memory>
#include <string>

#include "platform/register_database.h"

namespace corvane {

// nullptr when reading and there is no file.
std::unique_ptr<RegisterDatabase> OpenSqliteDatabase(const std::string& path,
                                                     RegisterAccess access);

}  // namespace corvane
