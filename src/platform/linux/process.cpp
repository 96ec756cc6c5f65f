// Programs are started with posix_spawn, which reports a failed exec as its result.
#include "platform/linux/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
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

// An anonymous in-memory file, from which a child reads its input.
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

 private:
  int fd_;
};

// A pipe for a child's output: the child gets the end it writes to, and only this process
// keeps the end it reads from.
class OutputPipe {
 public:
  OutputPipe() {
    if (::pipe2(fds_, O_CLOEXEC) != 0) {
      throw std::system_error(errno, std::generic_category(), "pipe");
    }
  }
  ~OutputPipe() {
    ::close(fds_[0]);
    CloseWriteEnd();
  }
  OutputPipe(const OutputPipe&) = delete;
  OutputPipe& operator=(const OutputPipe&) = delete;

  int read_end() const { return fds_[0]; }
  int write_end() const { return fds_[1]; }
  void CloseWriteEnd() {
    if (fds_[1] >= 0) ::close(fds_[1]);
    fds_[1] = -1;
  }

 private:
  int fds_[2];
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

namespace {

// Reads what the child writes to `fd` until it ends or `limit` passes, keeping the first
// `kept` bytes in `output` and dropping the rest, so that the child never waits on a full pipe.
std::optional<int> ReadUntilExit(pid_t pid, int fd, std::chrono::milliseconds limit, size_t kept,
                                 std::string* output) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  char buffer[16384];
  const auto read_some = [&]() {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0 && output->size() < kept) {
      output->append(buffer, std::min(static_cast<size_t>(n), kept - output->size()));
    }
    return n;
  };
  int pause_ms = 1;
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      // What it wrote before it ended, without waiting for whatever it left running.
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
      while (read_some() > 0 && std::chrono::steady_clock::now() < deadline) {
      }
      return status;
    }
    if (done < 0 && errno != EINTR) {
      throw std::system_error(errno, std::generic_category(), "waitpid");
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    // Past the limit, the group is stopped and reaped.
    if (left.count() <= 0) return WaitForExit(pid, std::chrono::milliseconds(0));
    pollfd readable{fd, POLLIN, 0};
    const int ready =
        ::poll(&readable, 1, static_cast<int>(std::min<long long>(pause_ms, left.count())));
    if (ready > 0 && read_some() == 0) {
      // Every writer has closed the output: only the end is left to wait for.
      return WaitForExit(pid, std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now()));
    }
    if (ready == 0) pause_ms = std::min(pause_ms * 2, 50);
  }
}

}  // namespace

CapturedRun RunCaptured(const std::vector<std::string>& argv, const std::string& input,
                        std::chrono::milliseconds limit, size_t kept) {
  MemoryFile in;
  in.WriteAndRewind(input);
  OutputPipe out;
  SpawnOptions options{in.fd(), out.write_end()};
  options.own_group = true;
  const pid_t pid = Spawn(argv, options);
  out.CloseWriteEnd();
  CapturedRun run;
  run.status = ReadUntilExit(pid, out.read_end(), limit, kept, &run.output);
  return run;
}

std::string DescribeExit(int status) {
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "wait status " + std::to_string(status);
}

}  // namespace corvane
