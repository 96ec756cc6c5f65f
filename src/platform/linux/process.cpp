// Programs are started with posix_spawn, which reports a failed exec as its result.
#include "platform/linux/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/linux/files.h"

extern char** environ;

namespace corvane {

namespace {

// Frees the spawn attributes however the start ends.
struct FileActions {
  FileActions() { posix_spawn_file_actions_init(&actions); }
  ~FileActions() { posix_spawn_file_actions_destroy(&actions); }
  posix_spawn_file_actions_t actions;
};

void Check(int err, const std::string& what) {
  if (err != 0) throw std::system_error(err, std::generic_category(), what);
}

// An anonymous in-memory file: a child reads its input from one and writes its output to
// another.
class MemoryFile {
 public:
  MemoryFile() : fd_(::memfd_create("corvane-run", MFD_CLOEXEC)) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "memfd_create");
  }
  ~MemoryFile() { ::close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  int fd() const { return fd_; }

  void WriteAndRewind(const std::string& data) {
    if (const int err = WriteFully(fd_, data)) {
      throw std::system_error(err, std::generic_category(), "write");
    }
    ::lseek(fd_, 0, SEEK_SET);
  }

  std::string ReadStart(size_t limit) const {
    std::string data(limit, '\0');
    const ssize_t n = ::pread(fd_, data.data(), limit, 0);
    data.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return data;
  }

 private:
  int fd_;
};

}  // namespace

pid_t Spawn(const std::vector<std::string>& argv, const SpawnOptions& options) {
  if (argv.empty() || argv[0].empty()) {
    throw std::system_error(ENOENT, std::generic_category(), "no program to start");
  }
  const std::string what = "cannot start " + argv[0];
  FileActions fa;
  if (options.stdin_fd < 0) {
    Check(posix_spawn_file_actions_addopen(&fa.actions, 0, "/dev/null", O_RDONLY, 0), what);
  } else {
    Check(posix_spawn_file_actions_adddup2(&fa.actions, options.stdin_fd, 0), what);
  }
  if (options.output_fd >= 0) {
    Check(posix_spawn_file_actions_adddup2(&fa.actions, options.output_fd, 1), what);
    Check(posix_spawn_file_actions_adddup2(&fa.actions, options.output_fd, 2), what);
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawnattr_t attributes;
  Check(posix_spawnattr_init(&attributes), what);
  if (options.own_group) {
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
  }
  pid_t pid = -1;
  const int err = posix_spawnp(&pid, args[0], &fa.actions, &attributes, args.data(), environ);
  posix_spawnattr_destroy(&attributes);
  Check(err, what);
  return pid;
}

int WaitForExit(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "waitpid");
  }
  return status;
}

std::optional<int> PollForExit(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  long pause_ns = 1000000;
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return status;
    if (done < 0 && errno != EINTR) {
      throw std::system_error(errno, std::generic_category(), "waitpid");
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    const timespec pause{0, pause_ns};
    ::nanosleep(&pause, nullptr);
    pause_ns = pause_ns < 50000000 ? pause_ns * 2 : pause_ns;
  }
}

std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds limit) {
  if (const std::optional<int> status = PollForExit(pid, limit)) return status;
  ::kill(-pid, SIGKILL);
  ::kill(pid, SIGKILL);  // in case it left its group
  WaitForExit(pid);
  return std::nullopt;
}

CapturedRun RunCaptured(const std::vector<std::string>& argv, const std::string& input,
                        std::chrono::milliseconds limit, size_t kept) {
  MemoryFile in;
  MemoryFile out;
  in.WriteAndRewind(input);
  SpawnOptions options{in.fd(), out.fd()};
  options.own_group = true;
  CapturedRun run;
  run.status = WaitForExit(Spawn(argv, options), limit);
  run.output = out.ReadStart(kept);
  return run;
}

std::string DescribeExit(int status) {
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "wait status " + std::to_string(status);
}

}  // namespace corvane
