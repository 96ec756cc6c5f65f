// corvane: the wizard (window or terminal), and the verbs support staff script.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "common/text.h"
#include "common/verb_output.h"
#include "platform/standard_streams.h"
#include "program/os_system.h"
#include "program/verb.h"

int main(int raw_argc, char** raw_argv) {
  using namespace corvane;
  // Every argument in UTF-8 from here on; the parser sees only these.
  const std::vector<std::string> arguments = CommandLineArguments(raw_argc, raw_argv);
  // What the JSON's argv and any message may show of the command line: no password.
  std::vector<std::string> shown_arguments;
  for (const std::string& a : arguments) shown_arguments.push_back(ShownArgument(a));
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
  const Invocation invocation{CORVANE_VERSION, shown_arguments};
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
  for (const std::unique_ptr<Verb>& verb : verbs) {
    if (verb->Parsed()) return verb->Run(invocation);
  }
  return CreateOsSystem()->RunWizard(text);
}
