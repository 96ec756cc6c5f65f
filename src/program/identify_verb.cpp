// `corvane identify`: one drive's identity and SMART attributes.
#include <iostream>
#include <memory>

#include "disk/identify_command.h"
#include "program/os_system.h"
#include "program/verb.h"

namespace corvane {

namespace {

class IdentifyVerb : public Verb {
 public:
  explicit IdentifyVerb(CLI::App& cli)
      : command_(
            cli.add_subcommand("identify", "Print one drive's identity and SMART attributes")) {
    command_->add_option("--drive", options_.drive, "Drive number, 0 to 3 (default 0)")
        ->check(CLI::Range(0, 3));
    command_->add_flag("--json", options_.json, "Print one JSON object");
    command_->add_option("--save", options_.save,
                         "Write the drive's answers to FILE as a capture (skdump format)");
    command_->add_option("--load", options_.load, "Decode the capture FILE instead of a drive");
  }

  bool Parsed() const override { return command_->parsed(); }

  int Run(const Invocation& invocation) override {
    const std::unique_ptr<OsSystem> os = CreateOsSystem();
    VerbOutput output("identify", options_.json, invocation, std::cout, std::cerr);
    return CheckedOutput(RunIdentifyCommand(os->platform().smart, options_, output));
  }

 private:
  CLI::App* command_;
  IdentifyOptions options_;
};

}  // namespace

std::unique_ptr<Verb> AddIdentifyVerb(CLI::App& cli) { return std::make_unique<IdentifyVerb>(cli); }

}  // namespace corvane
