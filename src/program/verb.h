// One verb of the command line: it declares its subcommand and options on the parser,
// checks what the parser alone cannot, and runs.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>

#include "common/verb_output.h"

namespace corvane {

class Verb {
 public:
  virtual ~Verb() = default;
  // Whether the command line named this verb.
  virtual bool Parsed() const = 0;
  // After parsing, a named verb's own checks: raises CLI::ParseError.
  virtual void Check() {}
  // Returns the process exit status.
  virtual int Run(const Invocation& invocation) = 0;
};

// Each adds its subcommand to `cli`; the verb keeps the options the parser fills in.
std::unique_ptr<Verb> AddIdentifyVerb(CLI::App& cli);
std::unique_ptr<Verb> AddRecordVerb(CLI::App& cli);
std::unique_ptr<Verb> AddDecodeVerb(CLI::App& cli);
std::unique_ptr<Verb> AddRegisterVerb(CLI::App& cli);

// `status`, or 1 when the output never reached its file: a full disk must not pass for
// success.
int CheckedOutput(int status);

}  // namespace corvane
