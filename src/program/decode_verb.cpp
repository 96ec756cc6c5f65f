// `corvane decode`: the five values of machine-information files. Decoding needs none of
// this machine's services.
#include <iostream>
#include <memory>
#include <new>

#include "platform/mailbox.h"
#include "platform/standard_streams.h"
#include "program/verb.h"
#include "report/decode_command.h"

namespace corvane {

namespace {

class DecodeVerb : public Verb {
 public:
  explicit DecodeVerb(CLI::App& cli)
      : command_(cli.add_subcommand(
            "decode", "Print the five values of machine-information files; reads only the files")) {
    CLI::Option* files = command_->add_option(
        "FILE", options_.files,
        "Machine-information files; - reads standard input; a folder gives its *.kik files");
    command_
        ->add_option("--mailbox", options_.mailbox,
                     "Decode the .kik attachments of an mbox file or a Maildir folder")
        ->excludes(files);
    CLI::Option* json_flag = command_->add_flag("--json", json_, "Print one JSON object");
    CLI::Option* csv_flag = command_->add_flag("--csv", options_.csv, "Print CSV with a header row")
                                ->excludes(json_flag);
    command_->add_flag("--bom", options_.bom, "Begin the CSV with a UTF-8 byte-order mark")
        ->needs(csv_flag);
    command_
        ->add_option("--codepage", options_.code_page,
                     "Windows code page N of records that are not UTF-8 (default 1252)")
        ->check(CLI::Range(1, 65535));
  }

  bool Parsed() const override { return command_->parsed(); }

  void Check() override {
    if (options_.files.empty() && options_.mailbox.empty()) {
      throw CLI::RequiredError("FILE or --mailbox");
    }
  }

  int Run(const Invocation& invocation) override {
    VerbOutput output("decode", json_, invocation, std::cout, std::cerr);
    const std::unique_ptr<MailboxReader> mailboxes = CreateMailboxReader();
    UseBinaryStandardInput();
    if (options_.csv) UseBinaryStandardOutput();
    try {
      return CheckedOutput(RunDecodeCommand(options_, std::cin, *mailboxes, output));
    } catch (const std::bad_alloc&) {
      // What was decoded is already out; the run says it did not finish.
      std::cout.flush();
      std::cerr << "corvane decode: out of memory\n";
      return 1;
    }
  }

 private:
  CLI::App* command_;
  DecodeOptions options_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Verb> AddDecodeVerb(CLI::App& cli) { return std::make_unique<DecodeVerb>(cli); }

}  // namespace corvane
