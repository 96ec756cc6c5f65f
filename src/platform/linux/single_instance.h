// Single instance on Linux: a lock file says whether a copy runs; the running copy
// listens on a private local socket for a later copy's request to raise its window.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace corvane {

class SingleInstance {
 public:
  // `folder` holds the lock and the socket; it is made (mode 0700) when the first check
  // needs it, and used only when it is a private folder of this user. A copy that finds
  // the lock taken waits up to `patience` for the running copy to listen.
  explicit SingleInstance(std::string folder,
                          std::chrono::milliseconds patience = std::chrono::seconds(5));
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Takes the lock when free and starts listening; true when another copy holds it. When
  // the folder cannot be used it says so on stderr, and the answer is false.
  bool AnotherRunning();
  enum class Reach {
    kReached,      // `*connection` is connected to the running copy
    kGone,         // the running copy ended meanwhile; this one now holds the lock
    kUnreachable,  // a copy holds the lock but did not answer within the patience
  };
  // Connects to the running copy, trying again while it starts (it takes the lock before
  // it listens). A socket served by another user is no copy of this one.
  Reach ConnectToRunningCopy(int* connection);
  // Asks the connected copy to restore and raise its window and closes the connection;
  // true when it answered.
  bool AskToRaise(int connection);
  const std::string& folder() const;
  // Runs `on_raise` (on the listening thread) for every raise request received.
  void SetRaiseHandler(std::function<void()> on_raise);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// $XDG_RUNTIME_DIR when set to a folder, else /run/user/<uid> when it is this user's, else
// /tmp/corvane-<uid>. Nothing is made here.
std::string DefaultRuntimeFolder();

}  // namespace corvane
