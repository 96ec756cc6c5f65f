// A stream buffer between the program's UTF-8 text and a terminal that takes another
// encoding (the locale's character set on Linux, UTF-16 on a Windows console). Portable:
// the conversion itself is the backend's.
#pragma once

#include <functional>
#include <streambuf>
#include <string>
#include <utility>

namespace corvane {

class ConvertingStreamBuffer : public std::streambuf {
 public:
  // Gets UTF-8 text in whole characters; false when it could not be written.
  using Writer = std::function<bool(const std::string& utf8)>;
  // Puts the next piece of input, as UTF-8, into `utf8`; false at the end of the input.
  using Reader = std::function<bool(std::string* utf8)>;

  ConvertingStreamBuffer(Writer writer, Reader reader)
      : writer_(std::move(writer)), reader_(std::move(reader)) {}

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;
  int_type underflow() override;

 private:
  Writer writer_;
  Reader reader_;
  std::string pending_;  // written, not yet handed on: at most a character's first bytes
  std::string input_;
};

// The length of `utf8` without a last character whose bytes are not all there yet.
size_t CompleteUtf8Length(const std::string& utf8);

}  // namespace corvane
