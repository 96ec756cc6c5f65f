// corvane: the wizard (window or terminal), and the verbs support staff script.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "disk/identify_command.h"
#include "platform/os_system.h"
#include "report/decode_command.h"
#include "report/record_command.h"

int main(int argc, char** argv) {
  using namespace corvane;
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
  CLI::App* decode_verb = cli.add_subcommand(
      "decode", "Print the five values of machine-information files; reads only the files");
  decode_verb->add_option("FILE", decode.files, "Machine-information files")->required();
  CLI::Option* decode_json = decode_verb->add_flag("--json", decode.json, "Print one JSON array");
  decode_verb->add_flag("--csv", decode.csv, "Print CSV with a header row")->excludes(decode_json);
  cli.require_subcommand(0, 1);
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return cli.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return cli.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << e.what() << "\n" << cli.help();
    return 2;
  }

  // Decoding needs none of this machine's services.
  if (decode_verb->parsed()) return RunDecodeCommand(decode, std::cout, std::cerr);
  const std::unique_ptr<OsSystem> os = CreateOsSystem();
  if (identify_verb->parsed()) {
    return RunIdentifyCommand(os->platform().smart, identify, std::cout, std::cerr);
  }
  if (record_verb->parsed()) {
    return PrintMachineRecord(os->platform(), record_json, std::cout, std::cerr);
  }
  return os->RunWizard(text);
}
