// The register on a PostgreSQL server.
#pragma once

#include <memory>
#include <string>

#include "platform/register_database.h"

namespace corvane {

// `conninfo` as libpq takes it; the PG* environment variables fill in what it leaves out.
std::unique_ptr<RegisterDatabase> OpenPostgresDatabase(const std::string& conninfo,
                                                       RegisterAccess access);

}  // namespace corvane
