// Starting other programs on Linux: always from an argument vector, never through a shell,
// so that no file name or address is ever interpreted.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace corvane {

struct SpawnOptions {
  int stdin_fd = -1;   // -1: /dev/null
  int output_fd = -1;  // receives stdout and stderr; -1: inherited
};

// Starts argv[0], looked up in PATH when it holds no slash. Returns the process id;
// throws std::system_error when the program cannot be started.
pid_t Spawn(const std::vector<std::string>& argv, const SpawnOptions& options = {});

// Waits for the process to end and returns its wait status.
int WaitForExit(pid_t pid);

// A short account of a wait status: "exit status 75", "killed by signal 9".
std::string DescribeExit(int status);

}  // namespace corvane
