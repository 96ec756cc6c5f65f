// corvane: the wizard (window or terminal), and the verbs support staff script.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/text.h"
#include "common/verb_output.h"
#include "disk/identify_command.h"
#include "platform/imap.h"
#include "platform/mailbox.h"
#include "platform/standard_streams.h"
#include "program/os_system.h"
#include "register/imap_url.h"
#include "register/register_command.h"
#include "report/decode_command.h"
#include "report/record_command.h"

namespace {

// Output that never reached its file is a failure: a full disk must not pass for success.
int CheckedOutput(int status) {
  errno = 0;
  std::cout.flush();
  const bool flushed = std::fflush(stdout) == 0;
  const int error = errno;
  if (std::cout && flushed && !std::ferror(stdout)) return status;
  std::cerr << "corvane: cannot write the output"
            << (error ? std::string(": ") + std::strerror(error) : std::string()) << "\n";
  return 1;
}

}  // namespace

int main(int raw_argc, char** raw_argv) {
  using namespace corvane;
  // Every argument in UTF-8 from here on; the parser sees only these.
  const std::vector<std::string> arguments = CommandLineArguments(raw_argc, raw_argv);
  // What the JSON's argv and any message may show of the command line: no password.
  std::vector<std::string> shown_arguments;
  for (const std::string& a : arguments) {
    shown_arguments.push_back(ShownRegisterLocation(ShownImapArgument(a)));
  }
  std::vector<char*> utf8_argv;
  for (const std::string& a : arguments) utf8_argv.push_back(const_cast<char*>(a.c_str()));
  const int argc = static_cast<int>(utf8_argv.size());
  utf8_argv.push_back(nullptr);
  char** argv = utf8_argv.data();
  // The wizard alone runs without a console; anything on the command line may print.
  if (argc > 1) AttachParentConsole();
  CLI::App cli{"Corvane: reads this computer's identity and sends it to the supplier's support."};
  cli.set_version_flag("--version", std::string("corvane ") + CORVANE_VERSION);
  bool text = false;
  cli.add_flag("--text", text, "Use the terminal face even when a display is present");
  IdentifyOptions identify;
  CLI::App* identify_verb =
      cli.add_subcommand("identify", "Print one drive's identity and SMART attributes");
  identify_verb->add_option("--drive", identify.drive, "Drive number, 0 to 3 (default 0)")
      ->check(CLI::Range(0, 3));
  identify_verb->add_flag("--json", identify.json, "Print one JSON object");
  identify_verb->add_option("--save", identify.save,
                            "Write the drive's answers to FILE as a capture (skdump format)");
  identify_verb->add_option("--load", identify.load, "Decode the capture FILE instead of a drive");
  bool record_json = false;
  CLI::App* record_verb = cli.add_subcommand(
      "record", "Print this machine's record and its five values; writes nothing");
  record_verb->add_flag("--json", record_json, "Print one JSON object");
  DecodeOptions decode;
  bool decode_json = false;
  CLI::App* decode_verb = cli.add_subcommand(
      "decode", "Print the five values of machine-information files; reads only the files");
  CLI::Option* decode_files = decode_verb->add_option(
      "FILE", decode.files,
      "Machine-information files; - reads standard input; a folder gives its *.kik files");
  decode_verb
      ->add_option("--mailbox", decode.mailbox,
                   "Decode the .kik attachments of an mbox file or a Maildir folder")
      ->excludes(decode_files);
  CLI::Option* json_flag = decode_verb->add_flag("--json", decode_json, "Print one JSON object");
  CLI::Option* csv_flag = decode_verb->add_flag("--csv", decode.csv, "Print CSV with a header row")
                              ->excludes(json_flag);
  decode_verb->add_flag("--bom", decode.bom, "Begin the CSV with a UTF-8 byte-order mark")
      ->needs(csv_flag);
  decode_verb
      ->add_option("--codepage", decode.code_page,
                   "Windows code page N of records that are not UTF-8 (default 1252)")
      ->check(CLI::Range(1, 65535));
  RegisterOptions register_options;
  bool register_json = false;
  CLI::App* register_verb = cli.add_subcommand(
      "register", "Keep received reports in a register: machines, histories, checks");
  register_verb->require_subcommand(1);
  register_verb->add_option("--db", register_options.db,
                            "The register: a SQLite file (default "
                            "$XDG_DATA_HOME/corvane/register.sqlite3), or postgresql://...");
  register_verb
      ->add_option("--match", register_options.match,
                   "How a report is recognised as a known machine: disk, most (default), all")
      ->transform(CLI::CheckedTransformer(std::map<std::string, MatchMode>{
          {"disk", MatchMode::kDisk}, {"most", MatchMode::kMost}, {"all", MatchMode::kAll}}));
  CLI::Option* register_json_flag =
      register_verb->add_flag("--json", register_json, "Print one JSON object");
  CLI::Option* register_csv =
      register_verb->add_flag("--csv", register_options.csv, "Print CSV with a header row")
          ->excludes(register_json_flag);
  const auto register_inputs = [&](CLI::App* verb) {
    CLI::Option* files = verb->add_option(
        "FILE", register_options.inputs.files,
        "Machine-information files; - reads standard input; a folder gives its *.kik files");
    verb->add_option("--mailbox", register_options.inputs.mailbox,
                     "The .kik attachments of an mbox file or a Maildir folder");
    (void)files;
  };
  CLI::App* register_add = register_verb->add_subcommand(
      "add", "Add the reports of files, folders, standard input or a mailbox");
  register_inputs(register_add);
  CLI::Option* imap_option = register_add->add_option(
      "--imap", register_options.imap_url,
      "A mailbox on a server, imaps://USER@HOST[:PORT]/MAILBOX or imap://...; read without "
      "changing it, from where the last add of it stopped");
  register_add
      ->add_option("--password-command", register_options.password_command,
                   "The IMAP password is the first line CMD prints (run by the shell); "
                   "without it, ~/.netrc's")
      ->needs(imap_option);
  register_add
      ->add_option("--cacert", register_options.cacert,
                   "Trust the server's certificate when FILE's CA signed it, not the system's CAs")
      ->needs(imap_option)
      ->check(CLI::ExistingFile);
  CLI::App* register_machines =
      register_verb->add_subcommand("machines", "One row per machine: its latest values");
  CLI::App* register_history = register_verb->add_subcommand(
      "history", "A machine's reports in date order and what changed, in words");
  register_history->add_option("MACHINE", register_options.machine, "The machine's id");
  register_history->add_option("--disk", register_options.disk,
                               "The machines with reports of this disk identifier");
  register_history->add_option("--computer", register_options.computer,
                               "The machines with reports of this computer name");
  CLI::App* register_check = register_verb->add_subcommand(
      "check", "Say for each report: known and unchanged, known with changes, new, conflict");
  register_inputs(register_check);
  CLI::App* register_conflicts = register_verb->add_subcommand(
      "conflicts", "Disks under several machines, shared product ids, reports held");
  for (CLI::App* verb :
       {register_add, register_machines, register_history, register_check, register_conflicts})
    verb->fallthrough();
  cli.require_subcommand(0, 1);
  const Invocation invocation{CORVANE_VERSION, shown_arguments};
  try {
    cli.parse(argc, argv);
    if (decode_verb->parsed() && decode.files.empty() && decode.mailbox.empty()) {
      throw CLI::RequiredError("FILE or --mailbox");
    }
    if (register_add->parsed() && !register_options.imap_url.empty()) {
      if (!register_options.inputs.files.empty() || !register_options.inputs.mailbox.empty()) {
        throw CLI::ValidationError("--imap", "give either --imap or files and --mailbox");
      }
      ImapAccount account;
      std::string why;
      if (ParseImapUrl(register_options.imap_url, &account, &why) != ImapUrlVerdict::kValid) {
        throw CLI::ValidationError("--imap", why);
      }
    } else if ((register_add->parsed() || register_check->parsed()) &&
               register_options.inputs.files.empty() && register_options.inputs.mailbox.empty()) {
      throw CLI::RequiredError(register_add->parsed() ? "FILE, --mailbox or --imap"
                                                      : "FILE or --mailbox");
    }
    if (register_history->parsed() && (register_options.machine.empty() ? 0 : 1) +
                                              (register_options.disk.empty() ? 0 : 1) +
                                              (register_options.computer.empty() ? 0 : 1) !=
                                          1) {
      throw CLI::ValidationError("history", "give one of MACHINE, --disk and --computer");
    }
    if (register_add->parsed() && register_csv->count() > 0) {
      throw CLI::ValidationError("--csv", "add prints a summary, not a table");
    }
  } catch (const CLI::CallForHelp& e) {
    return CheckedOutput(cli.exit(e));
  } catch (const CLI::CallForVersion& e) {
    return CheckedOutput(cli.exit(e));
  } catch (const CLI::ParseError& e) {
    std::cerr << EscapeControls(e.what()) << "\n" << cli.help();
    // A script that asked for JSON gets the usage error as JSON as well.
    for (int i = 1; i < argc; ++i) {
      if (arguments[static_cast<size_t>(i)] != "--json") continue;
      VerbOutput output("", true, invocation, std::cout, std::cerr);
      output.Say(Severity::kError, e.what());
      return CheckedOutput(output.Finish(2));
    }
    return 2;
  }

  // Decoding needs none of this machine's services.
  if (decode_verb->parsed()) {
    VerbOutput output("decode", decode_json, invocation, std::cout, std::cerr);
    const std::unique_ptr<MailboxReader> mailboxes = CreateMailboxReader();
    UseBinaryStandardInput();
    if (decode.csv) UseBinaryStandardOutput();
    try {
      return CheckedOutput(RunDecodeCommand(decode, std::cin, *mailboxes, output));
    } catch (const std::bad_alloc&) {
      // What was decoded is already out; the run says it did not finish.
      std::cout.flush();
      std::cerr << "corvane decode: out of memory\n";
      return 1;
    }
  }
  if (register_verb->parsed()) {
    const std::pair<CLI::App*, RegisterAction> actions[] = {
        {register_add, RegisterAction::kAdd},
        {register_machines, RegisterAction::kMachines},
        {register_history, RegisterAction::kHistory},
        {register_check, RegisterAction::kCheck},
        {register_conflicts, RegisterAction::kConflicts}};
    for (const auto& [verb, action] : actions) {
      if (verb->parsed()) register_options.action = action;
    }
    VerbOutput output("register", register_json, invocation, std::cout, std::cerr);
    const std::unique_ptr<MailboxReader> mailboxes = CreateMailboxReader();
    const std::unique_ptr<ImapMailbox> imap =
        register_options.imap_url.empty() ? nullptr : CreateImapMailbox();
    UseBinaryStandardInput();
    if (register_options.csv) UseBinaryStandardOutput();
    if (register_options.db.empty()) {
      register_options.db = DefaultRegisterPath();
      register_options.default_db = true;
    }
    return CheckedOutput(RunRegisterCommand(register_options, &OpenRegisterDatabase, std::cin,
                                            *mailboxes, output, imap.get()));
  }
  const std::unique_ptr<OsSystem> os = CreateOsSystem();
  if (identify_verb->parsed()) {
    VerbOutput output("identify", identify.json, invocation, std::cout, std::cerr);
    return CheckedOutput(RunIdentifyCommand(os->platform().smart, identify, output));
  }
  if (record_verb->parsed()) {
    VerbOutput output("record", record_json, invocation, std::cout, std::cerr);
    return CheckedOutput(PrintMachineRecord(os->platform(), output));
  }
  return os->RunWizard(text);
}
