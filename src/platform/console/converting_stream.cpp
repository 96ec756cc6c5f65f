#include "platform/console/converting_stream.h"

#include "common/text.h"

namespace corvane {

size_t CompleteUtf8Length(const std::string& utf8) {
  // A character has at most four bytes: look back at most three for its first one.
  const size_t size = utf8.size();
  for (size_t back = 1; back <= 4 && back <= size; ++back) {
    const unsigned char c = static_cast<unsigned char>(utf8[size - back]);
    if (IsUtf8Continuation(c)) continue;
    const size_t needed = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return needed > back ? size - back : size;
  }
  return size;  // not UTF-8 at its end: handed on as it is
}

ConvertingStreamBuffer::int_type ConvertingStreamBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_ += traits_type::to_char_type(c);
  if (c == '\n' && sync() != 0) return traits_type::eof();
  return c;
}

std::streamsize ConvertingStreamBuffer::xsputn(const char* s, std::streamsize n) {
  pending_.append(s, static_cast<size_t>(n));
  // Whole lines go at once, as a line-buffered terminal would show them.
  if (pending_.find('\n') != std::string::npos && sync() != 0) return 0;
  return n;
}

int ConvertingStreamBuffer::sync() {
  const size_t complete = CompleteUtf8Length(pending_);
  if (complete == 0) return 0;
  const bool written = writer_(pending_.substr(0, complete));
  pending_.erase(0, complete);
  return written ? 0 : -1;
}

ConvertingStreamBuffer::int_type ConvertingStreamBuffer::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  input_.clear();
  while (input_.empty()) {
    if (!reader_(&input_)) return traits_type::eof();
  }
  setg(input_.data(), input_.data(), input_.data() + input_.size());
  return traits_type::to_int_type(*gptr());
}

}  // namespace corvane
