// Single instance on Linux: flock on a lock file decides which copy runs; that copy
// answers "raise" requests on a Unix socket from a listening thread. A copy that
// cannot reach the socket starts normally.
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
#include <mutex>
#include <thread>

namespace corvane {

namespace {

constexpr const char* kRaiseRequest = "raise\n";
constexpr const char* kRaiseAnswer = "ok\n";
constexpr int kAnswerTimeoutMs = 2000;

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

void WriteAll(int fd, const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::send(fd, text, left, MSG_NOSIGNAL);
    if (n <= 0) return;
    text += n;
    left -= static_cast<size_t>(n);
  }
}

}  // namespace

struct SingleInstance::State {
  std::string folder;
  int lock_fd = -1;
  int listen_fd = -1;
  int wake[2] = {-1, -1};
  std::thread listener;
  std::mutex mutex;
  std::function<void()> on_raise;

  std::string SocketPath() const { return folder + "/corvane.sock"; }

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
        WriteAll(client, kRaiseAnswer);
      }
      ::close(client);
    }
  }
};

SingleInstance::SingleInstance(std::string folder) : state_(std::make_unique<State>()) {
  state_->folder = std::move(folder);
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
  if (s.folder.empty()) return false;
  const std::string lock_path = s.folder + "/corvane.lock";
  const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;  // no lock can be had: start normally
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return errno == EWOULDBLOCK;
  }
  s.lock_fd = fd;

  // The lock is ours, so a socket left by a copy that crashed is stale.
  sockaddr_un addr{};
  if (!FillAddress(s.SocketPath(), &addr)) return false;
  ::unlink(s.SocketPath().c_str());
  const int listen_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd < 0) return false;
  const mode_t old_mask = ::umask(0077);
  const bool bound = ::bind(listen_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::umask(old_mask);
  if (!bound || ::listen(listen_fd, 4) != 0 || ::pipe2(s.wake, O_CLOEXEC) != 0) {
    ::close(listen_fd);
    return false;
  }
  s.listen_fd = listen_fd;
  s.listener = std::thread([&s] { s.Listen(); });
  return false;
}

std::optional<int> SingleInstance::ConnectToRunningCopy() {
  sockaddr_un addr{};
  if (!FillAddress(state_->SocketPath(), &addr)) return std::nullopt;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  return fd;
}

void SingleInstance::AskToRaise(int connection) {
  WriteAll(connection, kRaiseRequest);
  ReadLine(connection, kAnswerTimeoutMs);  // the answer only tells that it was heard
  ::close(connection);
}

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
  const std::string folder = "/tmp/corvane-" + std::to_string(::getuid());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return "";
  // Only a private folder of ours will do: not a link, not shared.
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
      (st.st_mode & 0077) != 0) {
    return "";
  }
  return folder;
}

}  // namespace corvane
