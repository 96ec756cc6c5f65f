// Finds and loads the program's modules (the window, the mailbox reader): from the
// packaged library folder ../lib/corvane of an installed copy (a bin/ folder beside it),
// else from the program's own folder (the build tree, or a portable copy of both). A
// module runs as the user, so it is loaded only when no other user could have put it there.
#pragma once

#include <string>
#include <vector>

namespace corvane {

// Where the module `name` is looked for: one place, never both.
std::vector<std::string> ModuleCandidates(const std::string& exe_folder, const std::string& name);

// Empty when `path` (resolved) and every folder above it belong to root or to this user and
// no one else may write them (a sticky folder such as /tmp aside, whose entries others
// cannot replace); else why not.
std::string WhyNotTrusted(const std::string& path);

// The dlopen handle of the module `name` and its `path`, or nullptr with the reason.
void* OpenModule(const std::string& exe_folder, const std::string& name, std::string* path,
                 std::string* error);

}  // namespace corvane
