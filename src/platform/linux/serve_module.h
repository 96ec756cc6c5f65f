// What the program and its web server module (libcorvane-serve.so) share. The module links
// cpp-httplib, OpenSSL and libsodium, so it is loaded with dlopen only when `register serve`
// or `register user add` runs: the wizard and the other verbs never map them.
#pragma once

#include <string>

#include "platform/register_server.h"

namespace corvane {

using ServeRegisterFn = int (*)(const ServeSettings* settings, RegisterPages* pages,
                                std::string* error);
using AddRegisterUserFn = int (*)(const std::string* users, const std::string* name, int read_only,
                                  const std::string* password, std::string* error);

// The names carry a version so that a module from another build is refused, not misread.
inline constexpr const char* kServeRegisterSymbol = "corvane_serve_register_v1";
inline constexpr const char* kAddRegisterUserSymbol = "corvane_add_register_user_v1";
inline constexpr const char* kServeModuleName = "libcorvane-serve.so";

}  // namespace corvane
