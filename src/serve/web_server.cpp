// The web server module: the register's pages and its JSON over HTTP or HTTPS (cpp-httplib
// with OpenSSL), sessions, the users file and its argon2id hashes (libsodium), the templates
// (mustache, which escapes every value). What the register answers comes from the program
// through RegisterPages; this module never reads the database.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <kainjow/mustache.hpp>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/serve_module.h"
#include "platform/register_server.h"
#include "serve/pages.h"

namespace corvane {

namespace {

using Json = nlohmann::ordered_json;
using Clock = std::chrono::steady_clock;
namespace mustache = kainjow::mustache;

constexpr int64_t kPerPage = 50;
constexpr int64_t kMostPerPage = 500;
constexpr size_t kMostUploadBytes = 64 << 20;  // a request's whole body
constexpr size_t kMostUploads = 100;           // files in one upload
constexpr int kFailuresAllowed = 5;            // failed logins of one client a minute
constexpr auto kFailureWindow = std::chrono::minutes(1);
constexpr auto kSessionIdle = std::chrono::hours(12);
constexpr auto kCredentialsKept = std::chrono::minutes(5);
constexpr const char* kCookie = "corvane_session";

std::string RandomHex(size_t bytes) {
  std::vector<unsigned char> random(bytes);
  randombytes_buf(random.data(), random.size());
  std::string hex(bytes * 2 + 1, '\0');
  sodium_bin2hex(hex.data(), hex.size(), random.data(), random.size());
  hex.pop_back();
  return hex;
}

bool SameSecret(const std::string& a, const std::string& b) {
  return a.size() == b.size() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

// The JSON as the templates see it: an empty text or list is false, so that a section of it
// is left out.
mustache::data ToData(const Json& j) {
  if (j.is_object()) {
    mustache::data object{mustache::data::type::object};
    for (auto it = j.begin(); it != j.end(); ++it) object.set(it.key(), ToData(it.value()));
    return object;
  }
  if (j.is_array()) {
    if (j.empty()) return mustache::data(false);
    mustache::data list{mustache::data::type::list};
    for (const Json& item : j) list.push_back(ToData(item));
    return list;
  }
  if (j.is_string()) {
    const std::string& s = j.get_ref<const std::string&>();
    return s.empty() ? mustache::data(false) : mustache::data(s);
  }
  if (j.is_boolean()) return mustache::data(j.get<bool>());
  if (j.is_null()) return mustache::data(false);
  return mustache::data(j.dump());
}

std::string Render(const char* page, const Json& view) {
  mustache::mustache tmpl{std::string(page)};
  return tmpl.render(ToData(view));
}

std::string UrlEncoded(const std::string& s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string CookieValue(const httplib::Request& req, const std::string& name) {
  const std::string header = req.get_header_value("Cookie");
  size_t at = 0;
  while (at < header.size()) {
    size_t end = header.find(';', at);
    if (end == std::string::npos) end = header.size();
    std::string pair = header.substr(at, end - at);
    const size_t first = pair.find_first_not_of(' ');
    pair = first == std::string::npos ? "" : pair.substr(first);
    if (pair.compare(0, name.size() + 1, name + "=") == 0) return pair.substr(name.size() + 1);
    at = end + 1;
  }
  return "";
}

struct User {
  std::string hash;
  bool read_only = false;
};

// The users file: one line per user, "name:read-write:hash" or "name:read-only:hash".
bool ReadUsers(const std::string& path, std::map<std::string, User>* users, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = path + ": cannot read the users file: " + std::strerror(errno);
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty()) continue;
    const size_t a = line.find(':'), b = a == std::string::npos ? a : line.find(':', a + 1);
    const std::string role = b == std::string::npos ? "" : line.substr(a + 1, b - a - 1);
    if (b == std::string::npos || a == 0 || (role != "read-write" && role != "read-only")) {
      *error = path + ": line " + std::to_string(number) + " is not name:role:hash";
      return false;
    }
    (*users)[line.substr(0, a)] = {line.substr(b + 1), role == "read-only"};
  }
  return true;
}

struct Session {
  std::string user;  // empty for the one person of a token server
  bool read_only = false;
  std::string csrf;
  Clock::time_point seen;
};

class Site {
 public:
  Site(const ServeSettings& settings, RegisterPages& pages, std::map<std::string, User> users)
      : settings_(settings),
        pages_(pages),
        users_(std::move(users)),
        tls_(!settings.tls_cert.empty()),
        token_(users_.empty() ? RandomHex(24) : "") {
    randombytes_buf(credentials_key_, sizeof credentials_key_);
  }

  const std::string& token() const { return token_; }

  void Route(httplib::Server& server) {
    server.set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
      res.set_header("Content-Security-Policy",
                     "default-src 'self'; form-action 'self'; "
                     "frame-ancestors 'none'; base-uri 'none'");
      res.set_header("X-Content-Type-Options", "nosniff");
      res.set_header("X-Frame-Options", "DENY");
      res.set_header("Referrer-Policy", "no-referrer");
      res.set_header("Cache-Control", "no-store");
    });
    server.Get("/style.css", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kStyleSheet, "text/css; charset=utf-8");
    });
    server.Get("/login", [this](const httplib::Request& req, httplib::Response& res) {
      LoginForm(req, res, 200, "");
    });
    server.Post("/login",
                [this](const httplib::Request& req, httplib::Response& res) { Login(req, res); });
    server.Post("/logout", Guarded([this](const httplib::Request& req, httplib::Response& res,
                                          Session& s) { Logout(req, res, s); }));
    server.Get("/", Guarded([this](const httplib::Request& req, httplib::Response& res,
                                   Session& s) { MachinesPage(req, res, s); }));
    server.Get(R"(/machines/(\d{1,18}))",
               Guarded([this](const httplib::Request& req, httplib::Response& res, Session& s) {
                 MachinePage(req, res, s);
               }));
    server.Get("/conflicts", Guarded([this](const httplib::Request& req, httplib::Response& res,
                                            Session& s) { ConflictsPage(req, res, s); }));
    server.Get("/add", Guarded([this](const httplib::Request& req, httplib::Response& res,
                                      Session& s) { AddPage(req, res, s, nullptr); }));
    server.Post("/add", Guarded([this](const httplib::Request& req, httplib::Response& res,
                                       Session& s) { AddReports(req, res, s); }));
    server.Get("/api/machines",
               Guarded([this](const httplib::Request& req, httplib::Response& res, Session&) {
                 std::string json, error;
                 const int64_t page = Number(req, "page", 0, 0, 1 << 30);
                 const int64_t per_page = Number(req, "per_page", kPerPage, 1, kMostPerPage);
                 Api(res, pages_.Machines(req.get_param_value("q"), page, per_page, &json, &error),
                     json, error);
               }));
    server.Get(R"(/api/machines/(\d{1,18}))",
               Guarded([this](const httplib::Request& req, httplib::Response& res, Session&) {
                 std::string json, error;
                 bool found = false;
                 const bool ok = pages_.Machine(std::stoll(req.matches[1]), &found, &json, &error);
                 if (ok && !found) {
                   res.status = 404;
                   res.set_content(R"({"error": "no such machine"})", "application/json");
                   return;
                 }
                 Api(res, ok, json, error);
               }));
    server.Get("/api/conflicts",
               Guarded([this](const httplib::Request&, httplib::Response& res, Session&) {
                 std::string json, error;
                 Api(res, pages_.Conflicts(&json, &error), json, error);
               }));
    server.Post("/api/check",
                Guarded([this](const httplib::Request& req, httplib::Response& res, Session&) {
                  std::string json, error;
                  Api(res, pages_.Check(req.body, &json, &error), json, error);
                }));
    server.set_error_handler([this](const httplib::Request&, httplib::Response& res) {
      if (!res.body.empty()) return;
      Json view;
      view["heading"] = res.status == 404 ? "Not found" : "Error " + std::to_string(res.status);
      view["message"] = res.status == 404   ? "There is no such page."
                        : res.status == 413 ? "The upload is too large."
                                            : "The request could not be answered.";
      res.set_content(Layout(view["heading"], Render(kErrorPage, view), nullptr),
                      "text/html; charset=utf-8");
    });
  }

 private:
  using Page = std::function<void(const httplib::Request&, httplib::Response&, Session&)>;

  // Lets a request through to `page` with its session, or answers it: the token exchanged
  // for a session, a login asked for, too many failures.
  httplib::Server::Handler Guarded(Page page) {
    return [this, page](const httplib::Request& req, httplib::Response& res) {
      Session session;
      if (!Admit(req, res, &session)) return;
      try {
        page(req, res, session);
      } catch (const std::exception& e) {
        ErrorPage(res, 500, "Error", e.what(), &session);
      }
    };
  }

  bool Admit(const httplib::Request& req, httplib::Response& res, Session* session) {
    const std::string id = CookieValue(req, kCookie);
    if (!id.empty()) {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto found = sessions_.find(id);
      if (found != sessions_.end() && Clock::now() - found->second.seen < kSessionIdle) {
        found->second.seen = Clock::now();
        *session = found->second;
        return true;
      }
    }
    if (!token_.empty()) return AdmitByToken(req, res);
    const bool api = req.path.compare(0, 5, "/api/") == 0;
    if (api && tls_ && req.has_header("Authorization")) return AdmitByPassword(req, res, session);
    if (api) {
      res.status = 401;
      res.set_header("WWW-Authenticate", R"(Basic realm="corvane register", charset="UTF-8")");
      res.set_content(R"({"error": "log in: HTTP Basic over TLS"})", "application/json");
      return false;
    }
    LoginForm(req, res, 401, "");
    return false;
  }

  // A server for one person: the printed address's token, once, for a session.
  bool AdmitByToken(const httplib::Request& req, httplib::Response& res) {
    if (!req.has_param("token")) {
      ErrorPage(res, 401, "Not signed in",
                "Open the address that `corvane register serve` printed when it started.", nullptr);
      return false;
    }
    if (Throttled(req, res)) return false;
    if (!SameSecret(req.get_param_value("token"), token_)) {
      Failed(req);
      ErrorPage(res, 403, "Wrong token",
                "This address's token is not the server's: open the address it printed.", nullptr);
      return false;
    }
    StartSession(res, "", false);
    // The same page without the token, which then stays out of the history and the screen.
    std::string query;
    for (const auto& [key, value] : req.params) {
      if (key == "token") continue;
      query += (query.empty() ? "?" : "&") + UrlEncoded(key) + "=" + UrlEncoded(value);
    }
    res.status = 303;
    res.set_header("Location", req.path + query);
    return false;
  }

  // HTTP Basic, for scripts reading /api/ of a server with users.
  bool AdmitByPassword(const httplib::Request& req, httplib::Response& res, Session* session) {
    const std::string header = req.get_header_value("Authorization");
    std::string name, password;
    if (header.compare(0, 6, "Basic ") == 0) {
      std::vector<unsigned char> decoded(header.size());
      size_t length = 0;
      if (sodium_base642bin(decoded.data(), decoded.size(), header.data() + 6, header.size() - 6,
                            nullptr, &length, nullptr, sodium_base64_VARIANT_ORIGINAL) == 0) {
        const std::string pair(decoded.begin(), decoded.begin() + static_cast<long>(length));
        const size_t colon = pair.find(':');
        if (colon != std::string::npos) {
          name = pair.substr(0, colon);
          password = pair.substr(colon + 1);
        }
      }
    }
    if (Throttled(req, res)) return false;
    const User* user = Verify(name, password);
    if (!user) {
      Failed(req);
      res.status = 401;
      res.set_header("WWW-Authenticate", R"(Basic realm="corvane register", charset="UTF-8")");
      res.set_content(R"({"error": "wrong user or password"})", "application/json");
      return false;
    }
    session->user = name;
    session->read_only = user->read_only;
    return true;
  }

  // The user whose password this is, or nullptr. A checked pair is kept (as a keyed digest)
  // for a while, so that a script's every request does not cost an argon2id hash.
  const User* Verify(const std::string& name, const std::string& password) {
    const auto found = users_.find(name);
    if (found == users_.end() || password.empty()) return nullptr;
    const std::string pair = name + '\0' + password;
    unsigned char digest[32];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(pair.data()),
                       pair.size(), credentials_key_, sizeof credentials_key_);
    const std::string key(reinterpret_cast<const char*>(digest), sizeof digest);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto kept = verified_.find(key);
      if (kept != verified_.end() && Clock::now() < kept->second) return &found->second;
    }
    // One hash at a time: each takes tens of megabytes.
    std::lock_guard<std::mutex> hashing(hash_mutex_);
    if (crypto_pwhash_str_verify(found->second.hash.c_str(), password.data(), password.size()) !=
        0) {
      return nullptr;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (verified_.size() > 10000) verified_.clear();
    verified_[key] = Clock::now() + kCredentialsKept;
    return &found->second;
  }

  // Five failures of a client within a minute: it waits for the minute to pass.
  bool Throttled(const httplib::Request& req, httplib::Response& res) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::deque<Clock::time_point>& times = failures_[req.remote_addr];
    while (!times.empty() && Clock::now() - times.front() > kFailureWindow) times.pop_front();
    if (times.empty()) {
      failures_.erase(req.remote_addr);
      return false;
    }
    if (static_cast<int>(times.size()) < kFailuresAllowed) return false;
    const auto wait = std::chrono::duration_cast<std::chrono::seconds>(
        kFailureWindow - (Clock::now() - times.front()));
    res.status = 429;
    res.set_header("Retry-After", std::to_string(wait.count() + 1));
    res.set_content("Too many failed logins from this address: wait a minute.\n",
                    "text/plain; charset=utf-8");
    return true;
  }

  void Failed(const httplib::Request& req) {
    std::lock_guard<std::mutex> lock(mutex_);
    failures_[req.remote_addr].push_back(Clock::now());
  }

  void StartSession(httplib::Response& res, const std::string& user, bool read_only) {
    const std::string id = RandomHex(32);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (auto it = sessions_.begin(); it != sessions_.end();) {
        it = Clock::now() - it->second.seen >= kSessionIdle ? sessions_.erase(it) : std::next(it);
      }
      sessions_[id] = {user, read_only, RandomHex(24), Clock::now()};
    }
    res.set_header("Set-Cookie", std::string(kCookie) + "=" + id +
                                     "; Path=/; HttpOnly; SameSite=Strict" +
                                     (tls_ ? "; Secure" : ""));
  }

  void LoginForm(const httplib::Request&, httplib::Response& res, int status,
                 const std::string& failed) {
    if (!token_.empty()) {
      ErrorPage(res, 404, "Not found", "This server has no users: open the address it printed.",
                nullptr);
      return;
    }
    Json view;
    view["failed"] = failed;
    res.status = status;
    res.set_content(Layout("Log in", Render(kLoginPage, view), nullptr),
                    "text/html; charset=utf-8");
  }

  void Login(const httplib::Request& req, httplib::Response& res) {
    if (!token_.empty()) return LoginForm(req, res, 404, "");
    if (Throttled(req, res)) return;
    const std::string name = req.get_param_value("user");
    const User* user = Verify(name, req.get_param_value("password"));
    if (!user) {
      Failed(req);
      return LoginForm(req, res, 401, "Wrong user or password.");
    }
    StartSession(res, name, user->read_only);
    res.status = 303;
    res.set_header("Location", "/");
  }

  void Logout(const httplib::Request& req, httplib::Response& res, Session& session) {
    if (!CsrfHolds(req, res, session, req.get_param_value("csrf"))) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      sessions_.erase(CookieValue(req, kCookie));
    }
    res.set_header("Set-Cookie", std::string(kCookie) +
                                     "=; Path=/; Max-Age=0; HttpOnly; "
                                     "SameSite=Strict");
    res.status = 303;
    res.set_header("Location", token_.empty() ? "/login" : "/");
  }

  bool CsrfHolds(const httplib::Request&, httplib::Response& res, Session& session,
                 const std::string& given) {
    if (!session.csrf.empty() && SameSecret(given, session.csrf)) return true;
    ErrorPage(res, 403, "Refused",
              "The form's security token is missing or old: reload the page and send it again.",
              &session);
    return false;
  }

  static int64_t Number(const httplib::Request& req, const char* name, int64_t absent,
                        int64_t least, int64_t most) {
    const std::string text = req.get_param_value(name);
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
      return absent;
    }
    return std::min(most, std::max(least, static_cast<int64_t>(std::stoll(text))));
  }

  void Api(httplib::Response& res, bool ok, const std::string& json, const std::string& error) {
    if (ok) {
      res.set_content(json, "application/json; charset=utf-8");
      return;
    }
    Json answer;
    answer["error"] = error;
    res.status = 503;
    res.set_content(answer.dump(-1, ' ', false, Json::error_handler_t::replace),
                    "application/json; charset=utf-8");
  }

  std::string Layout(const std::string& title, const std::string& body, const Session* session,
                     const std::string& q = "") {
    Json view;
    view["title"] = title;
    view["body"] = body;
    view["signed_in"] = session != nullptr;
    view["may_add"] = session && !session->read_only;
    view["user"] = session ? session->user : "";
    view["csrf"] = session ? session->csrf : "";
    view["q"] = q;
    view["register"] = settings_.register_name;
    view["version"] = settings_.version;
    return Render(kLayoutPage, view);
  }

  void ErrorPage(httplib::Response& res, int status, const std::string& heading,
                 const std::string& message, const Session* session) {
    Json view;
    view["heading"] = heading;
    view["message"] = message;
    res.status = status;
    res.set_content(Layout(heading, Render(kErrorPage, view), session), "text/html; charset=utf-8");
  }

  // The register could not answer: the page says so, and the server goes on.
  void RegisterDown(httplib::Response& res, const std::string& error, const Session& session) {
    ErrorPage(res, 503, "The register cannot be read", error, &session);
  }

  void MachinesPage(const httplib::Request& req, httplib::Response& res, Session& session) {
    const std::string q = req.get_param_value("q");
    const int64_t page = Number(req, "page", 0, 0, 1 << 30);
    std::string json, error;
    if (!pages_.Machines(q, page, kPerPage, &json, &error))
      return RegisterDown(res, error, session);
    Json view = Json::parse(json);
    const int64_t matched = view.value("matched", int64_t{0});
    const int64_t shown = static_cast<int64_t>(view["machines"].size());
    const std::string of = std::to_string(matched) + (matched == 1 ? " machine" : " machines");
    view["summary"] = q.empty() ? of : of + " hold \u201C" + q + "\u201D";
    view["any"] = shown > 0;
    if (shown > 0) {
      view["page_text"] = std::to_string(page * kPerPage + 1) + "\u2013" +
                          std::to_string(page * kPerPage + shown) + " of " +
                          std::to_string(matched);
    }
    const std::string search = q.empty() ? "" : "q=" + UrlEncoded(q) + "&";
    if (page > 0) view["newer"] = "/?" + search + "page=" + std::to_string(page - 1);
    if ((page + 1) * kPerPage < matched) {
      view["older"] = "/?" + search + "page=" + std::to_string(page + 1);
    }
    res.set_content(Layout("Machines", Render(kMachinesPage, view), &session, q),
                    "text/html; charset=utf-8");
  }

  void MachinePage(const httplib::Request& req, httplib::Response& res, Session& session) {
    std::string json, error;
    bool found = false;
    if (!pages_.Machine(std::stoll(req.matches[1]), &found, &json, &error)) {
      return RegisterDown(res, error, session);
    }
    if (!found)
      return ErrorPage(res, 404, "Not found", "The register has no such machine.", &session);
    const Json view = Json::parse(json);
    res.set_content(
        Layout("Machine " + std::string(req.matches[1]), Render(kMachinePage, view), &session),
        "text/html; charset=utf-8");
  }

  void ConflictsPage(const httplib::Request&, httplib::Response& res, Session& session) {
    std::string json, error;
    if (!pages_.Conflicts(&json, &error)) return RegisterDown(res, error, session);
    Json view = Json::parse(json);
    view["has_disks"] = !view["disks"].empty();
    view["has_products"] = !view["product_ids"].empty();
    view["has_held"] = !view["held_reports"].empty();
    view["any"] = view["has_disks"].get<bool>() || view["has_products"].get<bool>() ||
                  view["has_held"].get<bool>();
    res.set_content(Layout("Conflicts", Render(kConflictsPage, view), &session),
                    "text/html; charset=utf-8");
  }

  void AddPage(const httplib::Request&, httplib::Response& res, Session& session,
               const Json* result) {
    Json view;
    view["may_add"] = !session.read_only;
    view["csrf"] = session.csrf;
    if (result) view["result"] = *result;
    res.set_content(Layout("Add reports", Render(kAddPage, view), &session),
                    "text/html; charset=utf-8");
  }

  void AddReports(const httplib::Request& req, httplib::Response& res, Session& session) {
    // A script's Basic login has no form, hence no token: it cannot add.
    if (!CsrfHolds(req, res, session, req.get_file_value("csrf").content)) return;
    if (session.read_only) {
      return ErrorPage(res, 403, "Refused", "Your account may not add reports.", &session);
    }
    std::vector<Upload> uploads;
    for (const auto& [field, file] : req.files) {
      if (field == "files" && !file.filename.empty())
        uploads.push_back({file.filename, file.content});
    }
    if (uploads.empty()) {
      return ErrorPage(res, 400, "Nothing to add", "Choose one or more files to add.", &session);
    }
    if (uploads.size() > kMostUploads) {
      return ErrorPage(res, 413, "Too many files",
                       "Add at most " + std::to_string(kMostUploads) + " files at once.", &session);
    }
    std::string json, error;
    if (!pages_.Add(uploads, &json, &error)) return RegisterDown(res, error, session);
    Json result = Json::parse(json);
    const auto count = [&](const char* key, const std::string& word = "") {
      const int64_t n = result.value(key, int64_t{0});
      return std::to_string(n) + " " + word + (word.empty() || n == 1 ? "" : "s");
    };
    result["summary"] = count("read") + "read, " + count("new") + "new, " + count("already_known") +
                        "already known, " + count("failed") + "failed; " +
                        count("new_machines", "new machine") + ", " +
                        count("conflicts", "conflict") + " held";
    AddPage(req, res, session, &result);
  }

  const ServeSettings& settings_;
  RegisterPages& pages_;
  const std::map<std::string, User> users_;
  const bool tls_;
  const std::string token_;
  unsigned char credentials_key_[crypto_generichash_KEYBYTES];
  std::mutex mutex_;
  std::mutex hash_mutex_;
  std::map<std::string, Session> sessions_;
  std::map<std::string, std::deque<Clock::time_point>> failures_;
  std::map<std::string, Clock::time_point> verified_;
};

// Ends the server at SIGTERM or SIGINT: the signals are taken by a thread of their own, so
// that the server stops from an ordinary thread, not from a handler.
class SignalWaiter {
 public:
  explicit SignalWaiter(httplib::Server& server) {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGTERM);
    sigaddset(&signals_, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals_, &before_);
    thread_ = std::thread([this, &server] {
      int signal = 0;
      sigwait(&signals_, &signal);
      server.stop();
    });
  }
  ~SignalWaiter() {
    // Not woken by a signal: wake it with one, which it takes.
    pthread_kill(thread_.native_handle(), SIGTERM);
    thread_.join();
    pthread_sigmask(SIG_SETMASK, &before_, nullptr);
  }

 private:
  sigset_t signals_;
  sigset_t before_;
  std::thread thread_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) int corvane_serve_register_v1(
    const ServeSettings* settings, RegisterPages* pages, std::string* error) {
  if (sodium_init() < 0) {
    *error = "libsodium cannot start";
    return 1;
  }
  std::map<std::string, User> users;
  if (!settings->users.empty()) {
    if (!ReadUsers(settings->users, &users, error)) return 1;
    if (users.empty()) {
      *error = settings->users + ": no users; add one with `corvane register user add`";
      return 1;
    }
  }
  std::unique_ptr<httplib::Server> server;
  if (settings->tls_cert.empty()) {
    server = std::make_unique<httplib::Server>();
  } else {
    server =
        std::make_unique<httplib::SSLServer>(settings->tls_cert.c_str(), settings->tls_key.c_str());
  }
  if (!server->is_valid()) {
    *error = settings->tls_cert + ", " + settings->tls_key +
             ": the certificate and its key cannot be used";
    return 1;
  }
  Site site(*settings, *pages, std::move(users));
  site.Route(*server);
  server->set_payload_max_length(kMostUploadBytes);
  // A response goes out as its header and then its body: without this, the body waits for
  // the client's delayed acknowledgement of the header (40 ms on Linux).
  server->set_tcp_nodelay(true);
  server->set_keep_alive_timeout(2);
  server->set_read_timeout(30);
  // Enough threads for a team's browsers at once: a kept-alive connection holds one.
  server->new_task_queue = [] { return new httplib::ThreadPool(64); };
  const SignalWaiter waiter(*server);
  const int port = settings->port == 0 ? server->bind_to_any_port(settings->host)
                   : server->bind_to_port(settings->host, settings->port) ? settings->port
                                                                          : -1;
  if (port <= 0) {
    *error = settings->host + ":" + std::to_string(settings->port) +
             ": cannot listen there (in use, or not an address of this machine)";
    return 1;
  }
  const bool v6 = settings->host.find(':') != std::string::npos;
  std::string address = std::string(settings->tls_cert.empty() ? "http" : "https") + "://" +
                        (v6 ? "[" + settings->host + "]" : settings->host) + ":" +
                        std::to_string(port) + "/";
  if (!site.token().empty()) address += "?token=" + site.token();
  std::printf("%s\n", address.c_str());
  std::fflush(stdout);
  server->listen_after_bind();
  return 0;
}

extern "C" __attribute__((visibility("default"))) int corvane_add_register_user_v1(
    const std::string* users, const std::string* name, int read_only, const std::string* password,
    std::string* error) {
  if (sodium_init() < 0) {
    *error = "libsodium cannot start";
    return 1;
  }
  std::map<std::string, User> known;
  struct stat st {};
  if (::stat(users->c_str(), &st) == 0 && !ReadUsers(*users, &known, error)) return 1;
  char hash[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str_alg(hash, password->data(), password->size(),
                            crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE,
                            crypto_pwhash_ALG_ARGON2ID13) != 0) {
    *error = "out of memory for the password's hash";
    return 1;
  }
  known[*name] = {hash, read_only != 0};
  std::string text;
  for (const auto& [user, u] : known) {
    text += user + (u.read_only ? ":read-only:" : ":read-write:") + u.hash + "\n";
  }
  // A new file beside the old one, readable by its owner alone, then put in its place whole.
  std::string temp = *users + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    *error = *users + ": cannot write beside it: " + std::strerror(errno);
    return 1;
  }
  bool written = ::fchmod(fd, 0600) == 0;
  for (size_t at = 0; written && at < text.size();) {
    const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
    written = n > 0;
    at += n > 0 ? static_cast<size_t>(n) : 0;
  }
  written = written && ::fsync(fd) == 0;
  const int saved = errno;
  written = ::close(fd) == 0 && written;
  if (!written || std::rename(temp.c_str(), users->c_str()) != 0) {
    *error = *users + ": cannot be written: " + std::strerror(written ? errno : saved);
    ::unlink(temp.c_str());
    return 1;
  }
  return 0;
}

}  // namespace corvane
