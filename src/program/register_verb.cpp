// `corvane register` and its actions: support's register of the reports received.
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "common/connection_string.h"
#include "common/text.h"
#include "platform/imap.h"
#include "platform/mailbox.h"
#include "platform/register_database.h"
#include "platform/register_server.h"
#include "platform/standard_streams.h"
#include "program/verb.h"
#include "register/imap_url.h"
#include "register/register_command.h"
#include "register/register_service.h"

namespace corvane {

namespace {

class RegisterVerb : public Verb {
 public:
  explicit RegisterVerb(CLI::App& cli)
      : command_(cli.add_subcommand(
            "register", "Keep received reports in a register: machines, histories, checks")) {
    command_->require_subcommand(1);
    command_->add_option("--db", options_.db,
                         "The register: a SQLite file (default "
                         "$XDG_DATA_HOME/corvane/register.sqlite3), or postgresql://...");
    command_
        ->add_option("--match", options_.match,
                     "How a report is recognised as a known machine: disk, most (default), all")
        ->transform(CLI::CheckedTransformer(std::map<std::string, MatchMode>{
            {"disk", MatchMode::kDisk}, {"most", MatchMode::kMost}, {"all", MatchMode::kAll}}));
    CLI::Option* json_flag = command_->add_flag("--json", json_, "Print one JSON object");
    csv_ = command_->add_flag("--csv", options_.csv, "Print CSV with a header row")
               ->excludes(json_flag);
    command_->add_flag("--bom", options_.bom, "Begin the CSV with a UTF-8 byte-order mark")
        ->needs(csv_);
    add_ = command_->add_subcommand(
        "add", "Add the reports of files, folders, standard input or a mailbox");
    AddInputs(add_);
    imap_ = add_->add_option(
        "--imap", options_.imap_url,
        "A mailbox on a server, imaps://USER@HOST[:PORT]/MAILBOX or imap://...; read without "
        "changing it, from where the last add of it stopped");
    add_->add_option("--password-command", options_.password_command,
                     "The IMAP password is the first line CMD prints (run by the shell); "
                     "without it, ~/.netrc's")
        ->needs(imap_);
    add_->add_option(
            "--cacert", options_.cacert,
            "Trust the server's certificate when FILE's CA signed it, not the system's CAs")
        ->needs(imap_)
        ->check(CLI::ExistingFile);
    machines_ = command_->add_subcommand("machines", "One row per machine: its latest values");
    history_ = command_->add_subcommand(
        "history", "A machine's reports in date order and what changed, in words");
    history_->add_option("MACHINE", options_.machine, "The machine's id");
    history_->add_option("--disk", options_.disk,
                         "The machines with reports of this disk identifier");
    history_->add_option("--computer", options_.computer,
                         "The machines with reports of this computer name");
    check_ = command_->add_subcommand(
        "check", "Say for each report: known and unchanged, known with changes, new, conflict");
    AddInputs(check_);
    conflicts_ = command_->add_subcommand(
        "conflicts", "Disks under several machines, shared product ids, reports held");
    serve_ = command_->add_subcommand(
        "serve", "Serve the register to browsers: machines, histories, conflicts, uploads");
    serve_->add_option("--listen", listen_, "HOST:PORT to listen on, e.g. 127.0.0.1:8080")
        ->required();
    serve_->add_option("--tls-cert", serve_settings_.tls_cert, "The server's certificate (PEM)")
        ->check(CLI::ExistingFile);
    serve_->add_option("--tls-key", serve_settings_.tls_key, "Its private key (PEM)")
        ->check(CLI::ExistingFile);
    serve_->add_option("--users", serve_settings_.users,
                       "The users file (`register user add`): log in with a name and password");
    user_ = command_->add_subcommand("user", "The users of `register serve`");
    user_->require_subcommand(1);
    user_add_ = user_->add_subcommand(
        "add", "Add a user, or give one a new password: the password is read from standard input");
    user_add_->add_option("NAME", user_name_, "The user's name")->required();
    user_add_->add_option("--users", serve_settings_.users, "The users file")->required();
    user_add_->add_flag("--read-only", read_only_, "The user may look but not add reports");
    for (CLI::App* action : {add_, machines_, history_, check_, conflicts_, serve_}) {
      action->fallthrough();
    }
  }

  bool Parsed() const override { return command_->parsed(); }

  void Check() override {
    if (add_->parsed() && !options_.imap_url.empty()) {
      if (!options_.inputs.files.empty() || !options_.inputs.mailbox.empty()) {
        throw CLI::ValidationError("--imap", "give either --imap or files and --mailbox");
      }
      ImapAccount account;
      std::string why;
      if (ParseImapUrl(options_.imap_url, &account, &why) != ImapUrlVerdict::kValid) {
        throw CLI::ValidationError("--imap", why);
      }
    } else if ((add_->parsed() || check_->parsed()) && options_.inputs.files.empty() &&
               options_.inputs.mailbox.empty()) {
      throw CLI::RequiredError(add_->parsed() ? "FILE, --mailbox or --imap" : "FILE or --mailbox");
    }
    if (history_->parsed() && (options_.machine.empty() ? 0 : 1) + (options_.disk.empty() ? 0 : 1) +
                                      (options_.computer.empty() ? 0 : 1) !=
                                  1) {
      throw CLI::ValidationError("history", "give one of MACHINE, --disk and --computer");
    }
    if (add_->parsed() && csv_->count() > 0) {
      throw CLI::ValidationError("--csv", "add prints a summary, not a table");
    }
    if (serve_->parsed() && serve_settings_.tls_cert.empty() != serve_settings_.tls_key.empty()) {
      throw CLI::ValidationError("--tls-cert", "give both --tls-cert and --tls-key");
    }
    if (serve_->parsed() && !ParseListen(listen_, &serve_settings_.host, &serve_settings_.port)) {
      throw CLI::ValidationError("--listen", "give HOST:PORT, or [IPV6]:PORT");
    }
    if (user_add_->parsed() &&
        (user_name_.find_first_of(":\r\n") != std::string::npos || user_name_.empty())) {
      throw CLI::ValidationError("NAME", "a user's name holds no ':' and no line break");
    }
  }

  int Run(const Invocation& invocation) override {
    if (user_add_->parsed()) return AddUser();
    if (serve_->parsed()) return Serve(invocation);
    const std::pair<CLI::App*, RegisterAction> actions[] = {
        {add_, RegisterAction::kAdd},
        {machines_, RegisterAction::kMachines},
        {history_, RegisterAction::kHistory},
        {check_, RegisterAction::kCheck},
        {conflicts_, RegisterAction::kConflicts}};
    for (const auto& [action, name] : actions) {
      if (action->parsed()) options_.action = name;
    }
    VerbOutput output("register", json_, invocation, std::cout, std::cerr);
    const std::unique_ptr<MailboxReader> mailboxes = CreateMailboxReader();
    const std::unique_ptr<ImapMailbox> imap =
        options_.imap_url.empty() ? nullptr : CreateImapMailbox();
    UseBinaryStandardInput();
    if (options_.csv) UseBinaryStandardOutput();
    if (options_.db.empty()) {
      options_.db = DefaultRegisterPath();
      options_.default_db = true;
    }
    return CheckedOutput(RunRegisterCommand(options_, &OpenRegisterDatabase, std::cin, *mailboxes,
                                            output, imap.get()));
  }

 private:
  int Serve(const Invocation& invocation) {
    // Another user of this machine, or anyone on the network, reaches a port that is not on
    // loopback: there a server holds the register only behind TLS and passwords.
    if (!IsLoopbackHost(serve_settings_.host) &&
        (serve_settings_.tls_cert.empty() || serve_settings_.users.empty())) {
      std::cerr << "corvane register: serve: " << EscapeControls(serve_settings_.host)
                << " is not a loopback address: give --tls-cert, --tls-key and --users\n";
      return 2;
    }
    if (options_.db.empty()) options_.db = DefaultRegisterPath();
    serve_settings_.version = invocation.version;
    serve_settings_.register_name = ShownArgument(options_.db);
    RegisterService service(options_, &OpenRegisterDatabase, &CreateMailboxReader,
                            {invocation.version, {"corvane", "register", "serve"}});
    try {
      service.Open();
    } catch (const RegisterError& e) {
      std::cerr << "corvane register: " << EscapeControls(e.what()) << "\n";
      return 1;
    }
    std::string error;
    const int status = ServeRegister(serve_settings_, service, &error);
    if (status != 0) std::cerr << "corvane register: serve: " << EscapeControls(error) << "\n";
    return status;
  }

  int AddUser() {
    UseBinaryStandardInput();
    std::string password;
    std::getline(std::cin, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    if (password.empty()) {
      std::cerr << "corvane register: user add: give the password on standard input\n";
      return 1;
    }
    std::string error;
    const int status =
        AddRegisterUser(serve_settings_.users, user_name_, read_only_, password, &error);
    if (status != 0) std::cerr << "corvane register: user add: " << EscapeControls(error) << "\n";
    return status;
  }

  // add and check read the same inputs as decode.
  void AddInputs(CLI::App* action) {
    action->add_option(
        "FILE", options_.inputs.files,
        "Machine-information files; - reads standard input; a folder gives its *.kik files");
    action->add_option("--mailbox", options_.inputs.mailbox,
                       "The .kik attachments of an mbox file or a Maildir folder");
  }

  CLI::App* command_;
  CLI::Option* csv_ = nullptr;
  CLI::Option* imap_ = nullptr;
  CLI::App* add_ = nullptr;
  CLI::App* machines_ = nullptr;
  CLI::App* history_ = nullptr;
  CLI::App* check_ = nullptr;
  CLI::App* conflicts_ = nullptr;
  CLI::App* serve_ = nullptr;
  CLI::App* user_ = nullptr;
  CLI::App* user_add_ = nullptr;
  std::string listen_;
  ServeSettings serve_settings_;
  std::string user_name_;
  bool read_only_ = false;
  RegisterOptions options_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Verb> AddRegisterVerb(CLI::App& cli) { return std::make_unique<RegisterVerb>(cli); }

}  // namespace corvane
