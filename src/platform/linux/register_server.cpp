// The register's web server on Linux: the module, loaded on first use.
#include "platform/register_server.h"

#include <dlfcn.h>

#include "platform/linux/module_loader.h"
#include "platform/linux/serve_module.h"
#include "platform/linux/system_info.h"

namespace corvane {

namespace {

void* Entry(const char* symbol, std::string* error) {
  std::string path;
  void* handle = OpenModule(ExecutableFolder(), kServeModuleName, &path, error);
  if (!handle) {
    *error = "the web server cannot be loaded: " + *error;
    return nullptr;
  }
  void* entry = ::dlsym(handle, symbol);
  if (!entry) *error = path + ": not a web server module of this version";
  return entry;
}

}  // namespace

int ServeRegister(const ServeSettings& settings, RegisterPages& pages, std::string* error) {
  const auto serve = reinterpret_cast<ServeRegisterFn>(Entry(kServeRegisterSymbol, error));
  return serve ? serve(&settings, &pages, error) : 1;
}

int AddRegisterUser(const std::string& users, const std::string& name, bool read_only,
                    const std::string& password, std::string* error) {
  const auto add = reinterpret_cast<AddRegisterUserFn>(Entry(kAddRegisterUserSymbol, error));
  return add ? add(&users, &name, read_only ? 1 : 0, &password, error) : 1;
}

}  // namespace corvane
