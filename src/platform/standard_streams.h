// The program's arguments and standard streams as the operating system gives them.
#pragma once

#include <string>
#include <vector>

namespace corvane {

// Standard input gives its bytes as they are: a record read from it keeps its CR LF.
void UseBinaryStandardInput();
// Standard output takes bytes as they are, for output that writes its own CR LF (CSV).
void UseBinaryStandardOutput();

// For the command line's uses: the standard streams reach the prompt that started the
// program (a windowed program on Windows has none of its own), unless already redirected.
// A stream that is a Windows console then takes and gives its text as UTF-16; a redirected
// one keeps the program's UTF-8.
void AttachParentConsole();

// The program's arguments, argv[0] first, in UTF-8: on Windows from the UTF-16 command
// line (the ANSI argv loses what the code page lacks), elsewhere argv as it is.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace corvane
