// corvane: the wizard (window or terminal), and the verbs support staff script.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "common/connection_string.h"
#include "common/text.h"
#include "common/verb_output.h"
#include "platform/standard_streams.h"
#include "program/os_system.h"
#include "program/verb.h"
#include "register/imap_url.h"

namespace {

// An argument as the JSON's argv and messages may show it: without the password of a
// register's connection string or of a server mailbox's address.
std::string Shown(const std::string& argument) {
  return corvane::ShownImapArgument(corvane::ShownArgument(argument));
}

// A parser's message, which may quote the command line, with those passwords left out.
std::string ShownMessage(const std::string& message, const std::vector<std::string>& arguments) {
  std::string out = corvane::MaskArgumentPasswords(message, arguments);
  for (const std::string& argument : arguments) {
    corvane::ReplaceAll(&out, argument, corvane::ShownImapArgument(argument));
  }
  return out;
}

}  // namespace

int main(int raw_argc, char** raw_argv) {
  using namespace corvane;
  // Every argument in UTF-8 from here on; the parser sees only these.
  const std::vector<std::string> arguments = CommandLineArguments(raw_argc, raw_argv);
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
  const std::unique_ptr<Verb> verbs[] = {AddIdentifyVerb(cli), AddRecordVerb(cli),
                                         AddDecodeVerb(cli), AddRegisterVerb(cli)};
  cli.require_subcommand(0, 1);
  // No password in the JSON's argv, whatever the verb.
  Invocation invocation{CORVANE_VERSION, arguments};
  for (std::string& argument : invocation.argv) argument = Shown(argument);
  try {
    cli.parse(argc, argv);
    for (const std::unique_ptr<Verb>& verb : verbs) {
      if (verb->Parsed()) verb->Check();
    }
  } catch (const CLI::CallForHelp& e) {
    return CheckedOutput(cli.exit(e));
  } catch (const CLI::CallForVersion& e) {
    return CheckedOutput(cli.exit(e));
  } catch (const CLI::ParseError& e) {
    const std::string why = ShownMessage(e.what(), arguments);
    std::cerr << EscapeControls(why) << "\n" << cli.help();
    // A script that asked for JSON gets the usage error as JSON as well.
    for (int i = 1; i < argc; ++i) {
      if (arguments[static_cast<size_t>(i)] != "--json") continue;
      VerbOutput output("", true, invocation, std::cout, std::cerr);
      output.Say(Severity::kError, why);
      return CheckedOutput(output.Finish(2));
    }
    return 2;
  }
  for (const std::unique_ptr<Verb>& verb : verbs) {
    if (verb->Parsed()) return verb->Run(invocation);
  }
  return CreateOsSystem()->RunWizard(text);
}
