// `corvane record`: this machine's record and its five values, written nowhere.
#include <iostream>
#include <memory>

#include "program/os_system.h"
#include "program/verb.h"
#include "report/record_command.h"

namespace corvane {

namespace {

class RecordVerb : public Verb {
 public:
  explicit RecordVerb(CLI::App& cli)
      : command_(cli.add_subcommand(
            "record", "Print this machine's record and its five values; writes nothing")) {
    command_->add_flag("--json", json_, "Print one JSON object");
  }

  bool Parsed() const override { return command_->parsed(); }

  int Run(const Invocation& invocation) override {
    const std::unique_ptr<OsSystem> os = CreateOsSystem();
    VerbOutput output("record", json_, invocation, std::cout, std::cerr);
    return CheckedOutput(PrintMachineRecord(os->platform(), output));
  }

 private:
  CLI::App* command_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Verb> AddRecordVerb(CLI::App& cli) { return std::make_unique<RecordVerb>(cli); }

}  // namespace corvane
