// Byte spans handed across the platform seams (driver requests, registry data).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvane {

using Bytes = std::vector<uint8_t>;

struct ByteView {
  const uint8_t* data = nullptr;
  size_t size = 0;
  ByteView() = default;
  ByteView(const uint8_t* d, size_t n) : data(d), size(n) {}
  ByteView(const Bytes& b) : data(b.data()), size(b.size()) {}  // NOLINT: implicit on purpose
};

struct MutableByteView {
  uint8_t* data = nullptr;
  size_t size = 0;
  MutableByteView() = default;
  MutableByteView(uint8_t* d, size_t n) : data(d), size(n) {}
  MutableByteView(Bytes& b) : data(b.data()), size(b.size()) {}  // NOLINT: implicit on purpose
};

}  // namespace corvane
