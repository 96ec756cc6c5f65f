// The register's web server on Windows: none, as there is no register (no SQLite for the cross
// toolchain). A Windows desk opens the pages of a server on Linux in its browser.
#include "platform/register_server.h"

namespace corvane {

namespace {

const char* const kNoServer =
    "the Windows program keeps no register (it is built without SQLite); run `corvane register "
    "serve` on Linux and open its address in a browser";

}  // namespace

int ServeRegister(const ServeSettings&, RegisterPages&, std::string* error) {
  *error = kNoServer;
  return 1;
}

int AddRegisterUser(const std::string&, const std::string&, bool, const std::string&,
                    std::string* error) {
  *error = kNoServer;
  return 1;
}

}  // namespace corvane
