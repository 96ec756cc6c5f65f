#include "linux/tool_process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/linux/process.h"

namespace corvane::test {

namespace {

constexpr const char* kPython = "/usr/bin/python3";  // Debian's, where python3-aiosmtpd lives
constexpr const char* kMsmtp = "/usr/bin/msmtp";

bool Runs(const std::vector<std::string>& argv) {
  try {
    return WaitForExit(Spawn(argv)) == 0;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteExecutable(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
  ::chmod(path.c_str(), 0700);
}

void WaitForChildren() {
  int status = 0;
  while (::waitpid(-1, &status, 0) > 0 || errno == EINTR) {
  }
}

std::string MissingMailTools() {
  if (::access(kMsmtp, X_OK) != 0) return "msmtp is not installed";
  if (!Runs({kPython, "-c", "import aiosmtpd"})) return "python3-aiosmtpd is not installed";
  return "";
}

SmtpSink::SmtpSink(const TempFolder& folder) : box_(folder / "box") {
  ::mkdir(box_.c_str(), 0700);
  int to_sink[2];
  int from_sink[2];
  if (::pipe2(to_sink, O_CLOEXEC) != 0 || ::pipe2(from_sink, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe");
  }
  pid_ = Spawn({kPython, CORVANE_TEST_TOOLS "/smtp_sink.py", box_}, {to_sink[0], from_sink[1]});
  ::close(to_sink[0]);
  ::close(from_sink[1]);
  stdin_fd_ = to_sink[1];
  // The port is the first line of digits; a warning printed before it is passed over.
  std::string port;
  std::string line;
  char c = 0;
  while (port.empty() && ::read(from_sink[0], &c, 1) == 1) {
    if (c != '\n') {
      line += c;
    } else if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) {
      port = line;
    } else {
      line.clear();
    }
  }
  ::close(from_sink[0]);
  if (port.empty()) throw std::runtime_error("the SMTP sink did not start");

  const std::string config = folder / "msmtprc";
  std::ofstream(config) << "defaults\nauth off\ntls off\nsyslog off\n"
                        << "account sink\nhost 127.0.0.1\nport " << port
                        << "\nfrom corvane-test@localhost\naccount default : sink\n";
  ::chmod(config.c_str(), 0600);
  sendmail_ = folder / "sendmail";
  WriteExecutable(sendmail_,
                  std::string("#!/bin/sh\nexec ") + kMsmtp + " -C '" + config + "' \"$@\"\n");
}

SmtpSink::~SmtpSink() { Stop(); }

void SmtpSink::Stop() {
  if (pid_ < 0) return;
  ::close(stdin_fd_);
  WaitForExit(pid_);
  pid_ = -1;
}

std::string SmtpSink::Kept(int n, const std::string& what) const {
  return ReadFile(box_ + "/" + std::to_string(n) + "." + what);
}

bool SmtpSink::HasMessage(int n) const {
  return ::access((box_ + "/" + std::to_string(n) + ".eml").c_str(), F_OK) == 0;
}

}  // namespace corvane::test
