// `corvane decode`: the five values of machine-information files, for the supplier's support.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace corvane {

struct DecodeOptions {
  std::vector<std::string> files;
  bool json = false;
  bool csv = false;
};

// Decodes every file, even after one fails. Exit status: 0 when all decoded, 1 when any
// could not be read or holds no valid record (each named on `err` with the reason).
int RunDecodeCommand(const DecodeOptions& options, std::ostream& out, std::ostream& err);

}  // namespace corvane
