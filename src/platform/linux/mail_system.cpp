// The judgement asks each mail system what it would do with the address, through its own
// user-level tools: exim's address verification, postfix's postconf and postqueue.
#include "platform/linux/mail_system.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <system_error>

#include "common/text.h"
#include "platform/linux/process.h"

namespace corvane {

namespace {

std::optional<std::string> FindTool(const std::string& name,
                                    const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    const std::string path = folder + "/" + name;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(path.c_str(), X_OK) == 0) {
      return path;
    }
  }
  return std::nullopt;
}

std::string FirstLine(const std::string& output) {
  const std::string trimmed = Trim(output, kWhiteSpace);
  return trimmed.substr(0, trimmed.find('\n'));
}

std::string Seconds(std::chrono::milliseconds limit) {
  return std::to_string((limit.count() + 999) / 1000) + " s";
}

// Runs a tool; nothing when it could not start or gave no answer in time, with `why` set.
std::optional<CapturedRun> Ask(const std::vector<std::string>& argv,
                               std::chrono::milliseconds limit, std::string* why) {
  try {
    CapturedRun run = RunCaptured(argv, "", limit);
    if (run.status) return run;
    *why = argv[0] + ": no answer within " + Seconds(limit);
  } catch (const std::system_error& e) {
    *why = e.what();
  }
  return std::nullopt;
}

bool Succeeded(const CapturedRun& run) {
  return run.status && WIFEXITED(*run.status) && WEXITSTATUS(*run.status) == 0;
}

MailSystemJudgement NotSending(const std::string& reason) { return {false, reason}; }

// Verification routes the address as a delivery would; -v names the router and transport.
MailSystemJudgement JudgeExim(const std::string& exim, const std::string& address,
                              std::chrono::milliseconds limit) {
  std::string why;
  const std::optional<CapturedRun> run = Ask({exim, "-bv", "-v", address}, limit, &why);
  if (!run) return NotSending("the mail system gives no route (exim: " + why + ")");
  if (!Succeeded(*run)) {
    return NotSending("the mail system delivers locally only (exim: " + FirstLine(run->output) +
                      ")");
  }
  std::string transports;
  for (size_t at = run->output.find("transport = "); at != std::string::npos;
       at = run->output.find("transport = ", at + 1)) {
    const size_t start = at + std::strlen("transport = ");
    const std::string transport =
        run->output.substr(start, run->output.find_first_of(" ,\n", start) - start);
    if (transport.find("smtp") != std::string::npos) return {true, ""};
    transports += (transports.empty() ? "" : ", ") + transport;
  }
  return NotSending("the mail system delivers locally only (exim: " + address + " goes to " +
                    (transports.empty() ? "no transport" : transports) + ")");
}

// "name = value" lines, as postconf prints them.
std::map<std::string, std::string> Parameters(const std::string& output) {
  std::map<std::string, std::string> values;
  size_t pos = 0;
  while (pos < output.size()) {
    size_t end = output.find('\n', pos);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(pos, end - pos);
    const size_t eq = line.find('=');
    if (eq != std::string::npos) {
      values[Trim(line.substr(0, eq), kWhiteSpace)] = Trim(line.substr(eq + 1), kWhiteSpace);
    }
    pos = end + 1;
  }
  return values;
}

// Postfix's transports that send nothing off the machine, whatever the relay host: error
// and retry bounce or defer the mail, discard drops it; "error: reason" is the usual form.
bool KeepsMailHere(const std::string& transport) {
  const std::string name = Trim(transport.substr(0, transport.find(':')), kWhiteSpace);
  return name == "error" || name == "discard" || name == "retry";
}

// A desktop seldom reaches port 25 of the world, so direct delivery would leave the mail
// deferred for days: only a relay host counts.
MailSystemJudgement JudgePostfix(const std::string& postconf,
                                 const std::vector<std::string>& folders,
                                 std::chrono::milliseconds limit) {
  std::string why;
  const std::optional<CapturedRun> conf =
      Ask({postconf, "default_transport", "relayhost"}, limit, &why);
  if (!conf || !Succeeded(*conf)) {
    return NotSending("the mail system's settings cannot be read (postfix: " +
                      (conf ? FirstLine(conf->output) : why) + ")");
  }
  const auto values = Parameters(conf->output);
  const auto transport = values.find("default_transport");
  if (transport != values.end() && KeepsMailHere(transport->second)) {
    return NotSending("the mail system delivers locally only (postfix: default_transport = " +
                      transport->second + ")");
  }
  const std::optional<std::string> postqueue = FindTool("postqueue", folders);
  if (!postqueue) return NotSending("the mail system's state is unknown (postfix: no postqueue)");
  const std::optional<CapturedRun> queue = Ask({*postqueue, "-p"}, limit, &why);
  if (!queue || !Succeeded(*queue)) {
    return NotSending("the mail system is not running (postfix: " +
                      (queue ? FirstLine(queue->output) : why) + ")");
  }
  const auto relay = values.find("relayhost");
  if (relay == values.end() || relay->second.empty()) {
    return NotSending(
        "the mail system has no relay host (postfix: relayhost is empty, and direct delivery "
        "from this machine is not judged deliverable)");
  }
  return {true, ""};
}

}  // namespace

MailSystemJudgement JudgeMailSystem(const std::string& sendmail, const std::string& address,
                                    const std::vector<std::string>& tool_folders,
                                    std::chrono::milliseconds limit) {
  char resolved[PATH_MAX];
  if (!::realpath(sendmail.c_str(), resolved)) {
    return NotSending("no mail system (" + sendmail + ": " + std::strerror(errno) + ")");
  }
  const std::string program = resolved;
  const std::string name = program.substr(program.rfind('/') + 1);
  if (name == "msmtp") return {true, ""};
  if (name.rfind("exim", 0) == 0) return JudgeExim(program, address, limit);
  if (const std::optional<std::string> postconf = FindTool("postconf", tool_folders)) {
    return JudgePostfix(*postconf, tool_folders, limit);
  }
  return NotSending(sendmail + " is no mail system known to send mail off this machine at once " +
                    "(msmtp, exim and postfix are)");
}

std::vector<std::string> MailToolFolders() {
  std::vector<std::string> folders;
  const char* path = std::getenv("PATH");
  const std::string entries = path ? path : "";
  size_t pos = 0;
  while (pos <= entries.size()) {
    size_t end = entries.find(':', pos);
    if (end == std::string::npos) end = entries.size();
    const std::string folder = entries.substr(pos, end - pos);
    if (!folder.empty() && folder[0] == '/') folders.push_back(folder);
    pos = end + 1;
  }
  for (const char* folder : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}) folders.push_back(folder);
  return folders;
}

}  // namespace corvane
