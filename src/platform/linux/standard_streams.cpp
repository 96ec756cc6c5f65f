#include "platform/standard_streams.h"

namespace corvane {

// A Linux program always has the streams it was started with.
void AttachParentConsole() {}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

// Linux has no text mode.
void UseBinaryStandardInput() {}
void UseBinaryStandardOutput() {}

}  // namespace corvane
