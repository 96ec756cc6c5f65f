// Message boxes go to the face; the other copy is reached through its local socket.
#include "platform/linux/desktop.h"

namespace corvane {

int LinuxDesktop::MessageBox(const std::string& text, const std::string& title, int style) {
  if (!face_) return (style & 0xF) == kMbYesNo ? kIdNo : kIdOk;
  return face_->MessageBox(text, title.empty() ? title_ : title, style);
}

std::optional<WindowRef> LinuxDesktop::FindRunningCopy(const std::string&) {
  // Every copy of this program answers on the same socket, whatever title it carries.
  if (const std::optional<int> connection = instance_.ConnectToRunningCopy()) return *connection;
  return std::nullopt;
}

void LinuxDesktop::RestoreAndRaise(WindowRef window) {
  instance_.AskToRaise(static_cast<int>(window));
}

}  // namespace corvane
