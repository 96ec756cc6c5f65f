// Helpers for tests that run real programs: executable scripts, and the loopback SMTP
// server of tests/tools/smtp_sink.py behind msmtp.
#pragma once

#include <string>

#include "linux/temp_folder.h"

namespace corvane::test {

std::string ReadFile(const std::string& path);
void WriteExecutable(const std::string& path, const std::string& text);
// Waits for every child process of this one to end.
void WaitForChildren();

// Why the real-mail tests cannot run here, or "" when they can.
std::string MissingMailTools();

// A running smtp_sink.py keeping messages in `folder`, and an msmtp configured for it
// through its own file. Stops on destruction.
class SmtpSink {
 public:
  explicit SmtpSink(const TempFolder& folder);
  ~SmtpSink();
  SmtpSink(const SmtpSink&) = delete;
  SmtpSink& operator=(const SmtpSink&) = delete;

  // A sendmail-compatible program that hands mail to this server.
  const std::string& sendmail() const { return sendmail_; }
  // The file the sink keeps for message `n`, e.g. Kept(1, "subject").
  std::string Kept(int n, const std::string& what) const;
  bool HasMessage(int n) const;
  void Stop();

 private:
  std::string box_;
  std::string sendmail_;
  int pid_ = -1;
  int stdin_fd_ = -1;
};

}  // namespace corvane::test
