#include "register/register_service.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>
#include <utility>

#include "common/connection_string.h"
#include "common/text.h"

namespace corvane {

namespace {

// Requests answered at once, each on a connection of its own (kept open for the next ones):
// more only wait, as two cores are busy with four, and each connection keeps a page cache.
constexpr size_t kIdleRegisters = 4;
constexpr int kAtOnce = 4;

std::vector<int64_t> Ids(const nlohmann::ordered_json& list) {
  std::vector<int64_t> ids;
  if (list.is_array()) {
    for (const auto& id : list) ids.push_back(id.get<int64_t>());
  }
  return ids;
}

std::vector<std::string> Texts(const nlohmann::ordered_json& list) {
  std::vector<std::string> texts;
  if (list.is_array()) {
    for (const auto& t : list) texts.push_back(t.get<std::string>());
  }
  return texts;
}

// Each verdict row of check and add with its words.
void SayVerdicts(nlohmann::ordered_json* reports) {
  for (auto& r : *reports) {
    r["said"] = r.contains("error")
                    ? "failed: " + r["error"].get<std::string>()
                    : VerdictWords(r.value("verdict", ""), Ids(r["machines"]), Texts(r["changes"]));
  }
}

// The uploaded file's name as a name in a folder: no folders, no control characters.
std::string SafeName(const std::string& given) {
  const size_t slash = given.find_last_of("/\\");
  std::string clean;
  for (unsigned char c : slash == std::string::npos ? given : given.substr(slash + 1)) {
    if (c >= 0x20 && c != 0x7F) clean += static_cast<char>(c);
  }
  return clean.empty() || clean == "." || clean == ".." ? "upload" : clean;
}

bool EndsIn(const std::string& name, const std::string& ending) {
  return name.size() >= ending.size() &&
         LowerCaseLatin(name.substr(name.size() - ending.size())) == ending;
}

// A folder of this process's own, removed with what it holds when the request is answered.
class UploadFolder {
 public:
  UploadFolder() {
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    std::random_device random;
    for (int attempt = 0; attempt < 16 && path_.empty(); ++attempt) {
      std::ostringstream name;
      name << "corvane-upload-" << std::hex << random() << random();
      const std::filesystem::path candidate = temp / name.str();
      if (std::filesystem::create_directory(candidate, ec) && !ec) {
        std::filesystem::permissions(candidate, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, ec);
        path_ = std::filesystem::canonical(candidate, ec).string();
      }
    }
  }
  ~UploadFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

bool WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  return !out.fail();
}

}  // namespace

bool IsLoopbackHost(const std::string& host) {
  if (host == "localhost" || host == "::1") return true;
  // 127.a.b.c, each a number of at most three digits.
  if (host.compare(0, 4, "127.") != 0) return false;
  int parts = 2, digits = 0;  // 127 and the one being read
  for (size_t i = 4; i < host.size(); ++i) {
    if (host[i] == '.') {
      if (digits == 0) return false;
      ++parts;
      digits = 0;
    } else if (host[i] >= '0' && host[i] <= '9' && digits < 3) {
      ++digits;
    } else {
      return false;
    }
  }
  return parts == 4 && digits > 0;
}

bool ParseListen(const std::string& listen, std::string* host, int* port) {
  const size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  *host = listen.substr(0, colon);
  if (host->size() > 2 && host->front() == '[' && host->back() == ']') {
    *host = host->substr(1, host->size() - 2);
  } else if (host->find(':') != std::string::npos) {
    return false;  // an IPv6 address is written in brackets
  }
  const std::string digits = listen.substr(colon + 1);
  if (digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  *port = std::stoi(digits);
  return *port <= 65535;
}

RegisterService::RegisterService(RegisterOptions base, RegisterOpener open,
                                 MailboxReaders mailboxes, Invocation invocation)
    : base_(std::move(base)),
      open_(open),
      mailboxes_(mailboxes),
      invocation_(std::move(invocation)) {}

void RegisterService::Open() {
  Give(Take(false));
  // Opened once for writing (when it may be), a register made or last written by an older
  // program gets the index of the machines newest first and the search index.
  try {
    Take(true);
  } catch (const RegisterError&) {
  }
}

std::unique_ptr<RegisterStore> RegisterService::Take(bool write) {
  std::unique_ptr<RegisterDatabase> db =
      open_(base_.db, write ? RegisterAccess::kWrite : RegisterAccess::kRead);
  if (!db) {
    throw RegisterError(ShownArgument(base_.db) +
                        ": no register yet; `corvane register add` makes one");
  }
  return std::make_unique<RegisterStore>(std::move(db), write);
}

void RegisterService::Give(std::unique_ptr<RegisterStore> store) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (idle_.size() < kIdleRegisters) idle_.push_back(std::move(store));
}

bool RegisterService::Run(const RegisterOptions& options, std::istream& in, const std::string& key,
                          nlohmann::ordered_json* answer, std::string* error) {
  const bool write = options.action == RegisterAction::kAdd;
  std::unique_lock<std::mutex> turn(mutex_);
  turn_.wait(turn, [&] { return working_ < kAtOnce; });
  ++working_;
  turn.unlock();
  struct Done {
    RegisterService& service;
    ~Done() {
      std::lock_guard<std::mutex> lock(service.mutex_);
      --service.working_;
      service.turn_.notify_one();
    }
  } done{*this};
  // A connection kept from before may have died with its server (a restart): a read is asked
  // again once on a new one, and the others kept are let go.
  for (bool fresh : {false, true}) {
    bool pooled = false;
    std::unique_ptr<RegisterStore> store;
    try {
      if (!write && !fresh) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!idle_.empty()) {
          store = std::move(idle_.back());
          idle_.pop_back();
          pooled = true;
        }
      }
      if (!store) store = Take(write);
    } catch (const RegisterError& e) {
      *error = e.what();
      return false;
    }
    in.clear();
    in.seekg(0);  // a record to check is read again from its start
    std::ostringstream out, err;
    VerbOutput output("register", true, invocation_, out, err);
    const std::unique_ptr<MailboxReader> mailboxes = mailboxes_();
    RunRegisterAction(options, *store, in, *mailboxes, output);
    *answer = nlohmann::ordered_json::parse(out.str(), nullptr, false);
    if (answer->is_object() && answer->contains(key)) {
      if (!write) Give(std::move(store));
      return true;
    }
    // The register failed (the connection is dropped with it): its messages say why.
    error->clear();
    if (answer->is_object() && answer->contains("messages")) {
      for (const auto& m : (*answer)["messages"]) {
        *error += (error->empty() ? "" : "; ") + m.value("text", std::string());
      }
    }
    if (error->empty()) *error = "the register could not be read";
    if (!pooled) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    idle_.clear();
  }
  return false;
}

bool RegisterService::Machines(const std::string& search, int64_t page, int64_t per_page,
                               std::string* json, std::string* error) {
  RegisterOptions options = base_;
  options.action = RegisterAction::kMachines;
  options.search = search;
  options.offset = page * per_page;
  options.limit = per_page;
  options.flags = &flags_;
  std::istringstream none;
  nlohmann::ordered_json answer;
  if (!Run(options, none, "machines", &answer, error)) return false;
  *json = answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return true;
}

bool RegisterService::Machine(int64_t id, bool* found, std::string* json, std::string* error) {
  RegisterOptions options = base_;
  options.action = RegisterAction::kMachines;
  options.only_machine = id;
  options.flags = &flags_;
  std::istringstream none;
  nlohmann::ordered_json machines, history;
  if (!Run(options, none, "machines", &machines, error)) return false;
  *found = !machines["machines"].empty();
  if (!*found) return true;
  options.action = RegisterAction::kHistory;
  options.machine = std::to_string(id);
  if (!Run(options, none, "machines", &history, error)) return false;
  nlohmann::ordered_json answer;
  for (const char* key : {"json_format_version", "corvane_version", "argv"}) {
    answer[key] = machines[key];
  }
  answer["machine"] = machines["machines"][0];
  answer["reports"] = history["machines"].empty() ? nlohmann::ordered_json::array()
                                                  : history["machines"][0]["reports"];
  for (size_t i = 0; i < answer["reports"].size(); ++i) {
    auto& r = answer["reports"][i];
    r["said"] = HistoryWords(i == 0, Texts(r["changes"]));
  }
  answer["messages"] = history["messages"];
  *json = answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return true;
}

int64_t RegisterService::LastReport() {
  std::unique_ptr<RegisterStore> store;
  int64_t last = -1;
  try {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!idle_.empty()) {
        store = std::move(idle_.back());
        idle_.pop_back();
      }
    }
    if (!store) store = Take(false);
    store->db().Read([&] { last = store->LastReport(); });
  } catch (const RegisterError&) {
    return -1;  // the answer's own reading then says why
  }
  Give(std::move(store));
  return last;
}

bool RegisterService::Conflicts(std::string* json, std::string* error) {
  const int64_t last = LastReport();
  {
    std::lock_guard<std::mutex> lock(conflicts_mutex_);
    if (last >= 0 && last == conflicts_last_report_) {
      *json = conflicts_json_;
      return true;
    }
  }
  RegisterOptions options = base_;
  options.action = RegisterAction::kConflicts;
  std::istringstream none;
  nlohmann::ordered_json answer;
  if (!Run(options, none, "disks", &answer, error)) return false;
  *json = answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  // Kept only when no report came between the two readings.
  if (last >= 0 && LastReport() == last) {
    std::lock_guard<std::mutex> lock(conflicts_mutex_);
    conflicts_last_report_ = last;
    conflicts_json_ = *json;
  }
  return true;
}

bool RegisterService::Check(const std::string& record, std::string* json, std::string* error) {
  RegisterOptions options = base_;
  options.action = RegisterAction::kCheck;
  options.inputs.files = {"-"};
  std::istringstream in(record);
  nlohmann::ordered_json answer;
  if (!Run(options, in, "reports", &answer, error)) return false;
  SayVerdicts(&answer["reports"]);
  *json = answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return true;
}

bool RegisterService::Add(const std::vector<Upload>& uploads, std::string* json,
                          std::string* error) {
  const UploadFolder folder;
  if (folder.path().empty()) {
    *error = "no folder for the uploaded files could be made";
    return false;
  }
  // Files first with the messages as one Maildir, then each mbox file: one add each.
  std::vector<RegisterOptions> adds(1, base_);
  adds[0].action = RegisterAction::kAdd;
  adds[0].uploads = folder.path();
  adds[0].verdicts = true;
  const std::string maildir = folder.path() + "/messages";
  for (size_t i = 0; i < uploads.size(); ++i) {
    // Each in a folder of its own: two uploads of one name stay two files.
    const std::string name = SafeName(uploads[i].name);
    std::string path = folder.path() + "/" + std::to_string(i);
    std::error_code ec;
    std::filesystem::create_directory(path, ec);
    path += "/" + name;
    if (EndsIn(name, ".eml")) {
      std::filesystem::create_directories(maildir + "/cur", ec);
      std::filesystem::create_directories(maildir + "/new", ec);
      std::filesystem::create_directories(maildir + "/tmp", ec);
      path = maildir + "/cur/" + std::to_string(i) + "-" + name;
      adds[0].inputs.mailbox = maildir;
    } else if (!EndsIn(name, ".kik")) {
      adds.push_back(adds[0]);
      adds.back().inputs = {{}, path};
    } else {
      adds[0].inputs.files.push_back(path);
    }
    if (!WriteFile(path, uploads[i].content)) {
      *error = "the uploaded file " + name + " could not be kept for reading";
      return false;
    }
  }
  if (adds[0].inputs.files.empty() && adds[0].inputs.mailbox.empty()) adds.erase(adds.begin());
  nlohmann::ordered_json total;
  for (const RegisterOptions& options : adds) {
    std::istringstream none;
    nlohmann::ordered_json answer;
    if (!Run(options, none, "read", &answer, error)) return false;
    if (total.empty()) {
      total = answer;
      continue;
    }
    for (const char* key :
         {"read", "new", "already_known", "failed", "new_machines", "conflicts"}) {
      total[key] = total[key].get<int64_t>() + answer[key].get<int64_t>();
    }
    for (const char* key : {"failures", "reports", "messages"}) {
      for (auto& item : answer[key]) total[key].push_back(item);
    }
  }
  if (total.empty()) {
    *error = "no file was uploaded";
    return false;
  }
  SayVerdicts(&total["reports"]);
  *json = total.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return true;
}

}  // namespace corvane
