// Single instance on Linux: a lock file says whether a copy runs; the running copy
// listens on a private local socket for a later copy's request to raise its window.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace corvane {

class SingleInstance {
 public:
  // `folder` holds the lock and the socket: $XDG_RUNTIME_DIR, else a private folder
  // (mode 0700) under /tmp.
  explicit SingleInstance(std::string folder);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Takes the lock when free and starts listening; true when another copy holds it.
  bool AnotherRunning();
  // Connects to the running copy; empty when it cannot be reached.
  std::optional<int> ConnectToRunningCopy();
  // Asks the connected copy to restore and raise its window and closes the connection.
  void AskToRaise(int connection);
  // Runs `on_raise` (on the listening thread) for every raise request received.
  void SetRaiseHandler(std::function<void()> on_raise);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// $XDG_RUNTIME_DIR when set and usable, else /tmp/corvane-<uid> created with mode 0700.
std::string DefaultRuntimeFolder();

}  // namespace corvane
