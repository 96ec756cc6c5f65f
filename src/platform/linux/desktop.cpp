// Message boxes go to the face; the other copy is reached through its local socket.
#include "platform/linux/desktop.h"

#include <cstdlib>
#include <iostream>

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

// Stands for the copy that answered: the raise request has already been made.
constexpr WindowRef kRaisedCopy = 1;

}  // namespace

// The request is made here, where this copy can still start when it goes unanswered.
std::optional<WindowRef> LinuxDesktop::FindRunningCopy(const std::string&) {
  // Every copy of this program answers on the same socket, whatever title it carries.
  int connection = -1;
  switch (instance_.ConnectToRunningCopy(&connection)) {
    case SingleInstance::Reach::kReached:
      if (instance_.AskToRaise(connection)) return kRaisedCopy;
      break;
    case SingleInstance::Reach::kGone:
      return std::nullopt;  // it ended meanwhile: this copy runs as the first
    case SingleInstance::Reach::kUnreachable:
      break;
  }
  std::cerr << "corvane: a copy holds the lock in " << instance_.folder()
            << " but does not answer; this one starts as well\n";
  return std::nullopt;
}

void LinuxDesktop::RestoreAndRaise(WindowRef) {}

}  // namespace corvane
