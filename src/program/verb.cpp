#include "program/verb.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace corvane {

int CheckedOutput(int status) {
  errno = 0;
  std::cout.flush();
  const bool flushed = std::fflush(stdout) == 0;
  const int error = errno;
  if (std::cout && flushed && !std::ferror(stdout)) return status;
  std::cerr << "corvane: cannot write the output"
            << (error ? std::string(": ") + std::strerror(error) : std::string()) << "\n";
  return 1;
}

}  // namespace corvane
