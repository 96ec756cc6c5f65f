// IMAP on Linux: libcurl (loaded when a mailbox on a server is read, as libpq is for a
// register on one) connects, verifies the certificate, upgrades with STARTTLS and logs in;
// the few read-only commands after that are spoken here, so that each literal the server
// sends is bounded and streamed into a temporary file, which the mailbox module reads as it
// reads a Maildir's message.
#define CURL_DISABLE_TYPECHECK
#include <arpa/inet.h>
#include <curl/curl.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <queue>
#include <sstream>

#include "platform/imap.h"
#include "platform/linux/mailbox_reader.h"
#include "platform/linux/system_info.h"

namespace corvane {

namespace {

// A server that sends nothing for this long is taken for gone.
constexpr int kSilenceMs = 120000;
constexpr long kConnectTimeoutS = 30;
// A response line (without literals) longer than this is no answer to what was asked.
constexpr size_t kMaxLine = 64 * 1024;

struct Libcurl {
  decltype(&curl_easy_init) init;
  decltype(&curl_easy_setopt) setopt;
  decltype(&curl_easy_perform) perform;
  decltype(&curl_easy_getinfo) getinfo;
  decltype(&curl_easy_send) send;
  decltype(&curl_easy_recv) recv;
  decltype(&curl_easy_cleanup) cleanup;
  decltype(&curl_easy_strerror) strerror;
};

const Libcurl* LoadLibcurl(std::string* error) {
  static Libcurl curl{};
  static std::string failure;
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    void* handle = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      failure = ::dlerror();
    } else {
      const auto find = [&](auto& fn, const char* name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(::dlsym(handle, name));
        if (!fn && failure.empty()) failure = std::string("libcurl.so.4 has no ") + name;
      };
      find(curl.init, "curl_easy_init");
      find(curl.setopt, "curl_easy_setopt");
      find(curl.perform, "curl_easy_perform");
      find(curl.getinfo, "curl_easy_getinfo");
      find(curl.send, "curl_easy_send");
      find(curl.recv, "curl_easy_recv");
      find(curl.cleanup, "curl_easy_cleanup");
      find(curl.strerror, "curl_easy_strerror");
    }
  }
  if (failure.empty()) return &curl;
  *error = "mailboxes on a server need the library libcurl (Debian's libcurl4): " + failure;
  return nullptr;
}

// Only an address says so: a name such as 127.example.com may lead anywhere.
bool IsLoopback(const std::string& host) {
  in_addr v4{};
  if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  return host == "[::1]" || host == "localhost";
}

// The first line `command` prints through the shell, as mail programs take a password.
bool PasswordFromCommand(const std::string& command, std::string* password, std::string* error) {
  FILE* out = ::popen(command.c_str(), "re");
  if (!out) {
    *error = std::string("the password command cannot be started: ") + std::strerror(errno);
    return false;
  }
  std::string line;
  bool ended = false;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0) {
    for (size_t i = 0; i < n && !ended; ++i) {
      if (buffer[i] == '\n') {
        ended = true;
      } else if (line.size() < 4096) {
        line += buffer[i];
      }
    }
  }
  const int status = ::pclose(out);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (status != 0) {
    *error = "the password command failed (" +
             (WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                : std::string("ended by a signal")) +
             ")";
    return false;
  }
  if (line.empty()) {
    *error = "the password command printed no password";
    return false;
  }
  *password = line;
  return true;
}

// ~/.netrc's password for `login` on `machine` ("default" when no machine entry matches).
bool PasswordFromNetrc(const std::string& machine, const std::string& login,
                       std::string* password) {
  std::ifstream in(HomeFolder() + "/.netrc");
  if (!in) return false;
  std::vector<std::string> tokens;
  std::string token;
  while (in >> token) tokens.push_back(token);
  std::string fallback;
  bool have_fallback = false;
  for (size_t i = 0; i < tokens.size();) {
    if (tokens[i] != "machine" && tokens[i] != "default") {
      ++i;
      continue;
    }
    const bool is_default = tokens[i] == "default";
    const std::string name = !is_default && i + 1 < tokens.size() ? tokens[i + 1] : "";
    i += is_default ? 1 : 2;
    std::string entry_login, entry_password;
    bool has_password = false;
    while (i < tokens.size() && tokens[i] != "machine" && tokens[i] != "default") {
      if (tokens[i] == "macdef") break;
      if (i + 1 < tokens.size() && tokens[i] == "login") entry_login = tokens[i + 1];
      if (i + 1 < tokens.size() && tokens[i] == "password") {
        entry_password = tokens[i + 1];
        has_password = true;
      }
      i += 2;
    }
    if (i < tokens.size() && tokens[i] == "macdef") break;  // macros: no more entries read
    if (!has_password || (!entry_login.empty() && entry_login != login)) continue;
    if (!is_default && name == machine) {
      *password = entry_password;
      return true;
    }
    if (is_default && !have_fallback) {
      fallback = entry_password;
      have_fallback = true;
    }
  }
  if (have_fallback) *password = fallback;
  return have_fallback;
}

// A message's bytes between fetching and reading: a file that no one else can open and
// that goes with the process, so that memory does not follow a message's size.
// A message up to this size is held in memory while it is read; a larger one in a file.
constexpr uint64_t kHeldInMemory = 1 << 20;

// A nameless file for a fetched message of `size` bytes: in memory for the small ones (the
// usual report mail, where a file system's journal would cost more than the rest of the
// read), else in TMPDIR.
int TemporaryFile(uint64_t size, std::string* error) {
  if (size <= kHeldInMemory) {
    if (const int fd = ::memfd_create("corvane-imap", MFD_CLOEXEC); fd >= 0) return fd;
  }
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder = tmp && tmp[0] == '/' ? tmp : "/tmp";
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::string name = folder + "/corvane-imap-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
  }
  if (fd < 0) *error = folder + ": cannot hold a fetched message: " + std::strerror(errno);
  return fd;
}

// "Quoted" as IMAP reads a string.
std::string Quoted(const std::string& s) {
  std::string q = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') q += '\\';
    q += c;
  }
  return q + "\"";
}

// The number after `name` and a space in a FETCH response's text, or -1.
int64_t NumberAfter(const std::string& text, const char* name) {
  const std::string key = std::string(name) + " ";
  for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
    if (at > 0 && text[at - 1] != '(' && text[at - 1] != ' ') continue;
    size_t i = at + key.size();
    int64_t n = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 18) {
      n = n * 10 + (text[i++] - '0');
      ++digits;
    }
    if (digits > 0) return n;
  }
  return -1;
}

std::string MiB(uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

class LinuxImapMailbox : public ImapMailbox {
 public:
  ~LinuxImapMailbox() override {
    if (curl_handle_ && socket_ != CURL_SOCKET_BAD && closed_.empty()) {
      // Said, not waited for: the session ends either way.
      size_t sent = 0;
      const std::string logout = "C" + std::to_string(++tag_) + " LOGOUT\r\n";
      curl_->send(curl_handle_, logout.data(), logout.size(), &sent);
    }
    if (curl_handle_) curl_->cleanup(curl_handle_);
    if (file_ >= 0) ::close(file_);
    for (const auto& [uid, fd] : stash_) ::close(fd);
    CloseHeld();
  }

  bool Open(const ImapAccount& account, std::string* error) override {
    account_ = account;
    url_ = account.Url();
    const auto fail = [&](const std::string& why) {
      *error = url_ + ": " + why;
      return false;
    };
    if (!(curl_ = LoadLibcurl(error))) return false;
    std::string password;
    if (!account.password_command.empty()) {
      std::string why;
      if (!PasswordFromCommand(account.password_command, &password, &why)) return fail(why);
    } else if (!PasswordFromNetrc(account.host, account.user, &password)) {
      return fail("no password: give --password-command CMD, or a line \"machine " + account.host +
                  " login " + account.user + " password ...\" in ~/.netrc");
    }
    std::string why;
    if ((file_ = TemporaryFile(0, &why)) < 0) return fail(why);
    curl_handle_ = curl_->init();
    if (!curl_handle_) return fail("libcurl cannot start a connection");
    char details[CURL_ERROR_SIZE] = "";
    const std::string address = std::string(account.tls ? "imaps://" : "imap://") + account.host +
                                ":" + std::to_string(account.port) + "/";
    CURL* c = curl_handle_;
    curl_->setopt(c, CURLOPT_URL, address.c_str());
    curl_->setopt(c, CURLOPT_PROTOCOLS_STR, "imap,imaps");
    curl_->setopt(c, CURLOPT_USERNAME, account.user.c_str());
    curl_->setopt(c, CURLOPT_PASSWORD, password.c_str());
    curl_->setopt(c, CURLOPT_CONNECT_ONLY, 1L);
    curl_->setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_->setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS);
    curl_->setopt(c, CURLOPT_ERRORBUFFER, details);
    curl_->setopt(c, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED));
    if (!account.tls) {
      curl_->setopt(c, CURLOPT_USE_SSL,
                    static_cast<long>(IsLoopback(account.host) ? CURLUSESSL_TRY : CURLUSESSL_ALL));
    }
    if (!account.cacert.empty()) curl_->setopt(c, CURLOPT_CAINFO, account.cacert.c_str());
    const CURLcode rc = curl_->perform(c);
    std::fill(password.begin(), password.end(), '\0');
    curl_->setopt(c, CURLOPT_PASSWORD, "");
    curl_->setopt(c, CURLOPT_ERRORBUFFER, nullptr);
    if (rc != CURLE_OK) {
      const std::string said = details[0] ? details : curl_->strerror(rc);
      switch (rc) {
        case CURLE_LOGIN_DENIED:
          return fail("cannot log in as " + account.user +
                      ": the server refused the user name or password");
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CONNECT_ERROR:
          return fail("the server's certificate cannot be verified (" + said +
                      "); nothing was read. If the server's certificate is signed by a CA of "
                      "your own, give that CA's certificate with --cacert FILE");
        case CURLE_USE_SSL_FAILED:
          return fail(
              "the server offers no STARTTLS, and the password is not sent unencrypted "
              "off this machine; use imaps:// if the server offers it");
        case CURLE_COULDNT_CONNECT:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_OPERATION_TIMEDOUT:
          return fail("cannot connect to the server: " + said);
        default:
          return fail("cannot open the connection: " + said);
      }
    }
    if (curl_->getinfo(c, CURLINFO_ACTIVESOCKET, &socket_) != CURLE_OK ||
        socket_ == CURL_SOCKET_BAD) {
      return fail("libcurl gave no connection");
    }
    // EXAMINE: the mailbox opened read-only, so that even a fetch cannot set \Seen.
    std::string text;
    const Reply reply = Command(
        "EXAMINE " + Quoted(account.mailbox),
        [&](const std::string& line) {
          const int64_t v = NumberAfter(line, "[UIDVALIDITY");
          if (v > 0) uid_validity_ = static_cast<uint32_t>(v);
          return true;
        },
        &text, error);
    if (reply == Reply::kLost) return false;
    if (reply != Reply::kOk) {
      return fail("the mailbox " + account.mailbox + " cannot be opened: " + text);
    }
    if (uid_validity_ == 0) return fail("the server gave the mailbox no UIDVALIDITY");
    return true;
  }

  uint32_t UidValidity() const override { return uid_validity_; }

  bool MessagesAfter(uint32_t after, size_t most, std::vector<Message>* messages,
                     std::string* error) override {
    messages->clear();
    if (after == UINT32_MAX) return true;
    // The lowest `most` of however many the server lists, kept in a heap of that size.
    const auto higher_uid = [](const Message& a, const Message& b) { return a.uid < b.uid; };
    std::priority_queue<Message, std::vector<Message>, decltype(higher_uid)> lowest(higher_uid);
    std::string text;
    const Reply reply = Command(
        "UID FETCH " + std::to_string(uint64_t{after} + 1) + ":* (UID RFC822.SIZE)",
        [&](const std::string& line) {
          const int64_t uid = NumberAfter(line, "UID");
          const int64_t size = NumberAfter(line, "RFC822.SIZE");
          // "n:*" lists the last message even when its UID is below n.
          if (line.find(" FETCH ") == std::string::npos || uid <= after || uid > UINT32_MAX) {
            return true;
          }
          lowest.push({static_cast<uint32_t>(uid), size < 0 ? 0 : static_cast<uint64_t>(size)});
          if (lowest.size() > most) lowest.pop();
          return true;
        },
        &text, error);
    if (reply == Reply::kLost) return false;
    if (reply != Reply::kOk) {
      *error = url_ + ": the server does not list the mailbox's messages: " + text;
      return false;
    }
    while (!lowest.empty()) {
      messages->push_back(lowest.top());
      lowest.pop();
    }
    std::reverse(messages->begin(), messages->end());
    listed_ = *messages;
    return true;
  }

  bool ForEachAttachment(const Message& message,
                         const std::function<bool(const std::string&)>& wanted, size_t limit,
                         const std::function<void(const MailAttachment&)>& found,
                         std::string* error) override {
    const auto unread = [&](const std::string& why) {
      MailAttachment entry;
      entry.message_path = url_;
      entry.message_number = message.uid;
      entry.error = why;
      found(entry);
    };
    if (message.size > kMaxImapMessageSize) {
      unread("it is " + MiB(message.size) + ", more than the " + MiB(kMaxImapMessageSize) +
             " a message may have; it was not fetched");
      return true;
    }
    if (!closed_.empty()) {
      *error = closed_;
      return false;
    }
    CloseHeld();  // what a message that was not read to its end left open
    ::ftruncate(file_, 0);
    ::lseek(file_, 0, SEEK_SET);
    bool body = false;
    bool too_large = false;
    int large = -1;  // the file of a message too large to hold in memory
    std::string text;
    // This message's fetch, asked for ahead or now; then the next ones', so that the server
    // sends them while this one is decoded (a round trip per message would set the pace).
    std::string tag;
    if (!ahead_.empty() && ahead_.front().uid == message.uid) {
      tag = ahead_.front().tag;
      ahead_.pop_front();
    } else if (!DrainAhead(error) || !SendFetch(message.uid, &tag, error)) {
      return false;
    }
    if (!FetchAhead(message.uid, error)) return false;
    const Reply reply = ReadReply(
        tag, [&](const std::string&) { return true; }, &text, error,
        [&](const std::string& before, uint64_t size) -> int {
          if (before.find("BODY[]") == std::string::npos) return kSkip;
          if (size > kMaxImapMessageSize) {
            too_large = true;
            return kRefuse;
          }
          // A server may answer the fetches asked ahead in any order: another message's
          // body waits in a file of its own for its turn.
          const int64_t uid = NumberAfter(before, "UID");
          if (uid >= 0 && uid != message.uid) return Stash(static_cast<uint32_t>(uid), size, error);
          if (body) return kSkip;
          body = true;
          if (size <= kHeldInMemory) return file_;
          large = TemporaryFile(size, error);
          return large >= 0 ? large : kRefuse;
        });
    if (large >= 0) held_.push_back(large);
    int fd = large >= 0 ? large : file_;
    if (const auto stashed = stash_.find(message.uid); stashed != stash_.end()) {
      if (!body) {
        fd = stashed->second;
        body = true;
      }
      held_.push_back(stashed->second);  // closed once this message is read
      stash_.erase(stashed);
    }
    if (too_large) {
      // The rest of the literal is not read: the connection cannot go on past it.
      closed_ = url_ + ": the connection was closed after the server sent message UID " +
                std::to_string(message.uid) + " larger than it said; the next run goes on after it";
      unread("the server sent it larger than the " + MiB(kMaxImapMessageSize) +
             " a message may have");
      return true;
    }
    if (reply == Reply::kLost) return false;
    if (reply != Reply::kOk || !body) {
      // Deleted by another client since it was listed, or refused: this message only.
      unread("the server did not give the message: " +
             (reply == Reply::kOk ? std::string("no body in its answer") : text));
      return true;
    }
    ::lseek(fd, 0, SEEK_SET);
    std::string reason;
    const bool read = ReadMailMessage(fd, url_, message.uid, wanted, limit, found, &reason);
    CloseHeld();
    if (!read) {
      *error = url_ + ": message UID " + std::to_string(message.uid) + ": " + reason;
      return false;
    }
    return true;
  }

 private:
  enum class Reply { kOk, kNo, kLost };
  using LineFn = std::function<bool(const std::string&)>;
  // Where a literal of `size` bytes that follows the text `before` on its line goes: into
  // a file (its descriptor), passed over (kSkip), or refused (kRefuse: the connection ends).
  using LiteralFn = std::function<int(const std::string& before, uint64_t size)>;
  static constexpr int kSkip = -1;
  static constexpr int kRefuse = -2;

  bool Lost(const std::string& why, std::string* error) {
    closed_ = url_ + ": the connection to the server was lost (" + why +
              "); what was read is kept and the next run goes on from there";
    *error = closed_;
    return false;
  }

  bool Send(const std::string& bytes, std::string* error) {
    size_t at = 0;
    while (at < bytes.size()) {
      size_t sent = 0;
      const CURLcode rc = curl_->send(curl_handle_, bytes.data() + at, bytes.size() - at, &sent);
      if (rc == CURLE_AGAIN) {
        if (!Wait(POLLOUT, error)) return false;
        continue;
      }
      if (rc != CURLE_OK) return Lost(curl_->strerror(rc), error);
      at += sent;
    }
    return true;
  }

  bool Wait(short events, std::string* error) {
    pollfd p{static_cast<int>(socket_), events, 0};
    const int n = ::poll(&p, 1, kSilenceMs);
    if (n > 0 || (n < 0 && errno == EINTR)) return true;
    return Lost(
        n == 0 ? "the server sent nothing for " + std::to_string(kSilenceMs / 1000) + " seconds"
               : std::string(std::strerror(errno)),
        error);
  }

  // More bytes from the server into the buffer.
  bool Fill(std::string* error) {
    if (buffer_at_ > 0 && buffer_at_ == buffer_.size()) {
      buffer_.clear();
      buffer_at_ = 0;
    }
    char chunk[65536];
    for (;;) {
      size_t n = 0;
      const CURLcode rc = curl_->recv(curl_handle_, chunk, sizeof chunk, &n);
      if (rc == CURLE_AGAIN) {
        if (!Wait(POLLIN, error)) return false;
        continue;
      }
      if (rc != CURLE_OK) return Lost(curl_->strerror(rc), error);
      if (n == 0) return Lost("the server closed it", error);
      if (buffer_at_ > 0) {
        buffer_.erase(0, buffer_at_);
        buffer_at_ = 0;
      }
      buffer_.append(chunk, n);
      return true;
    }
  }

  // One line, without its CRLF.
  bool ReadLine(std::string* line, std::string* error) {
    for (;;) {
      const size_t end = buffer_.find("\r\n", buffer_at_);
      if (end != std::string::npos) {
        line->assign(buffer_, buffer_at_, end - buffer_at_);
        buffer_at_ = end + 2;
        return true;
      }
      if (buffer_.size() - buffer_at_ > kMaxLine) {
        return Lost("the server sent a line longer than " + std::to_string(kMaxLine) + " bytes",
                    error);
      }
      if (!Fill(error)) return false;
    }
  }

  // `size` bytes of a literal into the file `into`, or passed over (kSkip).
  bool ReadLiteral(uint64_t size, int into, std::string* error) {
    const bool keep = into >= 0;
    while (size > 0) {
      if (buffer_at_ == buffer_.size() && !Fill(error)) return false;
      const size_t n = static_cast<size_t>(std::min<uint64_t>(size, buffer_.size() - buffer_at_));
      if (keep) {
        for (size_t done = 0; done < n;) {
          const ssize_t w = ::write(into, buffer_.data() + buffer_at_ + done, n - done);
          if (w < 0 && errno == EINTR) continue;
          if (w <= 0) {
            *error = url_ + ": cannot hold a fetched message: " + std::strerror(errno);
            closed_ = *error;
            return false;
          }
          done += static_cast<size_t>(w);
        }
      }
      buffer_at_ += n;
      size -= n;
    }
    return true;
  }

  // Sends one command and reads its answer: each untagged line to `line` (its literals
  // passed over, or handed to `literal`'s choice), the tagged status's text in `text`.
  Reply Command(const std::string& command, const LineFn& line, std::string* text,
                std::string* error) {
    std::string tag;
    if (!DrainAhead(error) || !SendCommand(command, &tag, error)) return Reply::kLost;
    return ReadReply(tag, line, text, error);
  }

  bool SendCommand(const std::string& command, std::string* tag, std::string* error) {
    *tag = "C" + std::to_string(++tag_);
    if (!closed_.empty()) {
      *error = closed_;
      return false;
    }
    return Send(*tag + " " + command + "\r\n", error);
  }

  bool SendFetch(uint32_t uid, std::string* tag, std::string* error) {
    return SendCommand("UID FETCH " + std::to_string(uid) + " BODY.PEEK[]", tag, error);
  }

  // Keeps the fetches of the listed messages after `uid` asked for, up to kAhead of them and
  // kAheadBytes of their listed sizes. The answers wait in the connection, bounded by its
  // buffers, until each is read in its turn.
  bool FetchAhead(uint32_t uid, std::string* error) {
    uint64_t bytes = 0;
    for (const Ahead& a : ahead_) bytes += a.size;
    const uint32_t last = ahead_.empty() ? uid : ahead_.back().uid;
    auto next = std::upper_bound(listed_.begin(), listed_.end(), last,
                                 [](uint32_t u, const Message& m) { return u < m.uid; });
    for (; next != listed_.end() && ahead_.size() < kAhead; ++next) {
      if (next->size > kMaxImapMessageSize) continue;  // never fetched
      if (!ahead_.empty() && bytes + next->size > kAheadBytes) break;
      std::string tag;
      if (!SendFetch(next->uid, &tag, error)) return false;
      ahead_.push_back({next->uid, next->size, tag});
      bytes += next->size;
    }
    return true;
  }

  void CloseHeld() {
    for (const int fd : held_) ::close(fd);
    held_.clear();
  }

  // A file for the body of a message asked for ahead that came before its turn.
  int Stash(uint32_t uid, uint64_t size, std::string* error) {
    bool asked = false;
    for (const Ahead& a : ahead_) asked = asked || a.uid == uid;
    if (!asked || stash_.count(uid)) return kSkip;
    const int fd = TemporaryFile(size, error);
    if (fd < 0) return kRefuse;
    stash_[uid] = fd;
    return fd;
  }

  // The answers to fetches asked for ahead and no longer wanted, read and passed over.
  bool DrainAhead(std::string* error) {
    bool ok = true;
    while (!ahead_.empty() && ok) {
      const std::string tag = ahead_.front().tag;
      ahead_.pop_front();
      std::string text;
      ok = closed_.empty() &&
           ReadReply(
               tag, [](const std::string&) { return true; }, &text, error) != Reply::kLost;
      if (!closed_.empty()) *error = closed_;
    }
    ahead_.clear();
    for (const auto& [uid, fd] : stash_) ::close(fd);
    stash_.clear();
    return ok;
  }

  Reply ReadReply(const std::string& tag, const LineFn& line, std::string* text, std::string* error,
                  const LiteralFn& literal = nullptr) {
    std::string current;
    std::string piece;
    for (;;) {
      if (!ReadLine(&piece, error)) return Reply::kLost;
      // A literal "{n}" (or "{n+}") ends the line; the line goes on after its bytes.
      uint64_t size = 0;
      const size_t open = piece.rfind('{');
      bool has_literal = false;
      if (!piece.empty() && piece.back() == '}' && open != std::string::npos) {
        std::string digits = piece.substr(open + 1, piece.size() - open - 2);
        if (!digits.empty() && digits.back() == '+') digits.pop_back();
        has_literal = !digits.empty() && digits.size() <= 18 &&
                      digits.find_first_not_of("0123456789") == std::string::npos;
        if (has_literal) size = std::stoull(digits);
      }
      if (has_literal) {
        current += piece.substr(0, open);
        const int into = literal ? literal(current, size) : kSkip;
        if (into == kRefuse) {
          closed_ = url_ + ": the connection was closed";
          *error = closed_;
          return Reply::kLost;
        }
        if (!ReadLiteral(size, into, error)) return Reply::kLost;
        current += "\"\"";  // the literal's place, so that the rest of the line still reads
        if (current.size() > kMaxLine) {
          Lost("the server sent a response longer than " + std::to_string(kMaxLine) + " bytes",
               error);
          return Reply::kLost;
        }
        continue;
      }
      current += piece;
      if (current.rfind(tag + " ", 0) == 0) {
        const std::string status = current.substr(tag.size() + 1);
        *text = status.size() > 3 ? status.substr(3) : status;
        if (status.rfind("NO ", 0) == 0 || status.rfind("BAD ", 0) == 0) {
          *text = status.substr(status.find(' ') + 1);
        }
        // The server's words are shown to the user; its control characters are not.
        for (char& c : *text) {
          if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        }
        if (text->size() > 200) text->resize(200);
        return status.rfind("OK", 0) == 0 ? Reply::kOk : Reply::kNo;
      }
      if (current.rfind("* BYE", 0) == 0) {
        Lost("the server ended the session: " + current.substr(std::min<size_t>(6, current.size())),
             error);
        return Reply::kLost;
      }
      if (current.rfind("* ", 0) == 0) line(current);
      current.clear();
    }
  }

  const Libcurl* curl_ = nullptr;
  CURL* curl_handle_ = nullptr;
  curl_socket_t socket_ = CURL_SOCKET_BAD;
  ImapAccount account_;
  std::string url_;
  int file_ = -1;
  uint32_t uid_validity_ = 0;
  uint64_t tag_ = 0;
  std::string buffer_;
  size_t buffer_at_ = 0;
  std::string closed_;  // why the connection cannot go on, once it cannot
  // Fetches asked for ahead of their turn, in the order sent.
  struct Ahead {
    uint32_t uid;
    uint64_t size;  // as listed
    std::string tag;
  };
  static constexpr size_t kAhead = 16;
  static constexpr uint64_t kAheadBytes = 4 << 20;
  std::deque<Ahead> ahead_;
  std::map<uint32_t, int> stash_;  // bodies that came before their turn, by UID
  std::vector<int> held_;          // stashed files of the message being read
  std::vector<Message> listed_;    // the last listing's, in UID order
};

}  // namespace

std::unique_ptr<ImapMailbox> CreateImapMailbox() { return std::make_unique<LinuxImapMailbox>(); }

}  // namespace corvane
