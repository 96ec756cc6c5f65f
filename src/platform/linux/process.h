// Starting other programs on Linux: always from an argument vector, never through a shell,
// so that no file name or address is ever interpreted.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

struct SpawnOptions {
  int stdin_fd = -1;   // -1: /dev/null
  int output_fd = -1;  // receives stdout and stderr; -1: inherited
  // The child leads a process group of its own, so that it can be stopped with whatever
  // it started.
  bool own_group = false;
};

// Starts argv[0], looked up in PATH when it holds no slash. Returns the process id;
// throws std::system_error when the program cannot be started.
pid_t Spawn(const std::vector<std::string>& argv, const SpawnOptions& options = {});

// Waits for the process to end and returns its wait status.
int WaitForExit(pid_t pid);
// Waits at most `limit`; past it, kills the process group that `pid` leads (started with
// `own_group`), reaps the process and returns nothing.
std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds limit);

// A short account of a wait status: "exit status 75", "killed by signal 9".
std::string DescribeExit(int status);

}  // namespace corvane
