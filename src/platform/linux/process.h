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
// Waits at most `limit`; nothing when the process still runs, and it is left running.
std::optional<int> PollForExit(pid_t pid, std::chrono::milliseconds limit);
// Waits at most `limit`; past it, kills the process group that `pid` leads (started with
// `own_group`), reaps the process and returns nothing.
std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds limit);

// How a program run by RunCaptured ended (nothing when it was stopped at the limit), and the
// start of what it wrote to its standard output and error.
struct CapturedRun {
  std::optional<int> status;
  std::string output;
};
// Runs argv in a process group of its own with `input` as its standard input and waits at
// most `limit`. Its output is read as it comes: the first `kept` bytes are returned and the
// rest is dropped, so that a program that prints without end neither waits on a full pipe
// nor fills memory. Throws std::system_error when it cannot be started.
CapturedRun RunCaptured(const std::vector<std::string>& argv, const std::string& input,
                        std::chrono::milliseconds limit, size_t kept = 4096);

// A short account of a wait status: "exit status 75", "killed by signal 9".
std::string DescribeExit(int status);

}  // namespace corvane
