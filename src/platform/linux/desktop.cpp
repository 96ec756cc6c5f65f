// Message boxes go to the face; the other copy is reached through its local socket.
#include "platform/linux/desktop.h"

#include <cstdlib>

namespace corvane {

bool DisplayNamed() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    if (const char* value = std::getenv(name); value && *value) return true;
  }
  return false;
}

int LinuxDesktop::MessageBox(const std::string& text, const std::string& title, int style) {
  if (!face_) return (style & 0xF) == kMbYesNo ? kIdNo : kIdOk;
  return face_->MessageBox(text, title.empty() ? title_ : title, style);
}

namespace {

// Stands for a copy that holds the lock but could not be reached: this copy ends without
// raising anything, as it would after raising a copy it reached.
constexpr WindowRef kUnreachableCopy = -1;

}  // namespace

std::optional<WindowRef> LinuxDesktop::FindRunningCopy(const std::string&) {
  // Every copy of this program answers on the same socket, whatever title it carries.
  int connection = -1;
  switch (instance_.ConnectToRunningCopy(&connection)) {
    case SingleInstance::Reach::kReached:
      return connection;
    case SingleInstance::Reach::kGone:
      return std::nullopt;  // it ended meanwhile: this copy runs as the first
    case SingleInstance::Reach::kUnreachable:
      break;
  }
  return kUnreachableCopy;
}

void LinuxDesktop::RestoreAndRaise(WindowRef window) {
  if (window != kUnreachableCopy) instance_.AskToRaise(static_cast<int>(window));
}

}  // namespace corvane
