// Cuts a fuzzer's input into the pieces a target needs.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace corvane::fuzz {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  // Fills `out` with the next bytes, zeros once the input runs out.
  void Fill(uint8_t* out, size_t n) {
    const size_t take = std::min(n, size_ - pos_);
    std::copy(data_ + pos_, data_ + pos_ + take, out);
    std::fill(out + take, out + n, uint8_t{0});
    pos_ += take;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// A broken invariant is a crash for libFuzzer to keep.
inline void Require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace corvane::fuzz
