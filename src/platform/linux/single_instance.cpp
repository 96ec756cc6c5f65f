// Single instance on Linux: flock on a lock file decides which copy runs; that copy
// answers "raise" requests on a Unix socket from a listening thread. The folder, the lock
// and the socket's other end must all be this user's.
#include "platform/linux/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <thread>

#include "platform/linux/files.h"

namespace corvane {

namespace {

constexpr const char* kRaiseRequest = "raise\n";
constexpr const char* kRaiseAnswer = "ok\n";
constexpr int kAnswerTimeoutMs = 2000;
constexpr int kConnectRetryMs = 50;

bool FillAddress(const std::string& path, sockaddr_un* addr) {
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof addr->sun_path) return false;
  std::memcpy(addr->sun_path, path.c_str(), path.size());
  return true;
}

// Reads until a newline or the timeout; returns what arrived.
std::string ReadLine(int fd, int timeout_ms) {
  std::string line;
  char c = 0;
  while (line.size() < 64) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) break;
    const ssize_t n = ::read(fd, &c, 1);
    if (n <= 0) break;
    line += c;
    if (c == '\n') break;
  }
  return line;
}

// Makes the folder when missing; empty when it is usable, else why not.
std::string PrepareFolder(const std::string& folder) {
  if (folder.empty()) return "no folder for it";
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::strerror(errno);
  // Only a private folder will do: not a link, not shared, ours. Not even root uses another
  // user's: whoever owns it could hold the lock and answer in this copy's place.
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0) return std::strerror(errno);
  if (!S_ISDIR(st.st_mode)) return "not a folder";
  if (st.st_uid != ::geteuid()) return "owned by another user (" + std::to_string(st.st_uid) + ")";
  if ((st.st_mode & 0077) != 0) return "open to other users";
  return "";
}

}  // namespace

struct SingleInstance::State {
  std::string folder;
  std::chrono::milliseconds patience{0};
  int lock_fd = -1;
  int listen_fd = -1;
  int wake[2] = {-1, -1};
  std::thread listener;
  std::mutex mutex;
  std::function<void()> on_raise;

  std::string SocketPath() const { return folder + "/corvane.sock"; }

  enum class Lock { kTaken, kHeldElsewhere, kUnavailable };
  Lock TakeLock() {
    const int fd = OpenOrCreate(folder + "/corvane.lock", O_RDWR, 0600);
    if (fd < 0) return Lock::kUnavailable;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
      ::close(fd);
      return Lock::kUnavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      ::close(fd);
      return err == EWOULDBLOCK ? Lock::kHeldElsewhere : Lock::kUnavailable;
    }
    lock_fd = fd;
    return Lock::kTaken;
  }

  // The lock is ours, so a socket left by a copy that crashed is stale.
  void StartListening() {
    sockaddr_un addr{};
    if (!FillAddress(SocketPath(), &addr)) return;
    ::unlink(SocketPath().c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    const mode_t old_mask = ::umask(0077);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::umask(old_mask);
    if (!bound || ::listen(fd, 16) != 0 || ::pipe2(wake, O_CLOEXEC) != 0) {
      ::close(fd);
      return;
    }
    listen_fd = fd;
    listener = std::thread([this] { Listen(); });
  }

  std::optional<int> Connect() const {
    sockaddr_un addr{};
    if (!FillAddress(SocketPath(), &addr)) return std::nullopt;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd);
      return std::nullopt;
    }
    // Only a copy run by this same user is one of ours.
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
      ::close(fd);
      return std::nullopt;
    }
    return fd;
  }

  void Listen() {
    for (;;) {
      pollfd p[2] = {{listen_fd, POLLIN, 0}, {wake[0], POLLIN, 0}};
      if (::poll(p, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (p[1].revents) return;
      if (!(p[0].revents & POLLIN)) continue;
      const int client = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      if (ReadLine(client, kAnswerTimeoutMs) == kRaiseRequest) {
        std::function<void()> handler;
        {
          std::lock_guard<std::mutex> guard(mutex);
          handler = on_raise;
        }
        if (handler) handler();
        WriteFully(client, kRaiseAnswer, true);
      }
      ::close(client);
    }
  }
};

SingleInstance::SingleInstance(std::string folder, std::chrono::milliseconds patience)
    : state_(std::make_unique<State>()) {
  state_->folder = std::move(folder);
  state_->patience = patience;
}

SingleInstance::~SingleInstance() {
  if (state_->listener.joinable()) {
    const char stop = 'x';
    if (::write(state_->wake[1], &stop, 1) < 0) {
      // the listener then ends when the process does
    }
    state_->listener.join();
  }
  for (int fd : {state_->wake[0], state_->wake[1]}) {
    if (fd >= 0) ::close(fd);
  }
  if (state_->listen_fd >= 0) {
    ::close(state_->listen_fd);
    ::unlink(state_->SocketPath().c_str());
  }
  if (state_->lock_fd >= 0) ::close(state_->lock_fd);
}

bool SingleInstance::AnotherRunning() {
  State& s = *state_;
  if (s.lock_fd >= 0) return false;  // this copy already holds the lock
  std::string why = PrepareFolder(s.folder);
  if (why.empty()) {
    switch (s.TakeLock()) {
      case State::Lock::kTaken:
        s.StartListening();
        return false;
      case State::Lock::kHeldElsewhere:
        return true;
      case State::Lock::kUnavailable:
        why = "its lock cannot be taken";
        break;
    }
  }
  std::cerr << "corvane: the single-instance folder " << (s.folder.empty() ? "" : s.folder + " ")
            << "cannot be used (" << why << "); a second copy will not be noticed\n";
  return false;
}

SingleInstance::Reach SingleInstance::ConnectToRunningCopy(int* connection) {
  State& s = *state_;
  const auto deadline = std::chrono::steady_clock::now() + s.patience;
  for (;;) {
    if (const std::optional<int> fd = s.Connect()) {
      *connection = *fd;
      return Reach::kReached;
    }
    // A copy that ended without listening leaves the lock free: this one takes its place.
    if (s.lock_fd < 0 && s.TakeLock() == State::Lock::kTaken) {
      s.StartListening();
      return Reach::kGone;
    }
    if (std::chrono::steady_clock::now() >= deadline) return Reach::kUnreachable;
    std::this_thread::sleep_for(std::chrono::milliseconds(kConnectRetryMs));
  }
}

bool SingleInstance::AskToRaise(int connection) {
  WriteFully(connection, kRaiseRequest, true);
  const bool answered = ReadLine(connection, kAnswerTimeoutMs) == kRaiseAnswer;
  ::close(connection);
  return answered;
}

const std::string& SingleInstance::folder() const { return state_->folder; }

void SingleInstance::SetRaiseHandler(std::function<void()> on_raise) {
  std::lock_guard<std::mutex> guard(state_->mutex);
  state_->on_raise = std::move(on_raise);
}

std::string DefaultRuntimeFolder() {
  struct stat st {};
  if (const char* xdg = std::getenv("XDG_RUNTIME_DIR");
      xdg && xdg[0] == '/' && ::stat(xdg, &st) == 0 && S_ISDIR(st.st_mode)) {
    return xdg;
  }
  // What the login manager makes for the user, when it is the user's; else a folder of the
  // user's own in /tmp, which is refused when another user made it first.
  const std::string run = "/run/user/" + std::to_string(::geteuid());
  if (::lstat(run.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()) {
    return run;
  }
  return "/tmp/corvane-" + std::to_string(::geteuid());
}

}  // namespace corvane
