// The one seam the disk subsystem talks through: a driver device opened by
// name and sent control requests, as CreateFileA / DeviceIoControl do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/bytes.h"

namespace corvane {

using Handle = intptr_t;
constexpr Handle kInvalidHandle = -1;

class SmartDevice {
 public:
  virtual ~SmartDevice() = default;
  // kInvalidHandle on failure.
  virtual Handle Open(const std::string& name, uint32_t access, uint32_t share,
                      uint32_t disposition) = 0;
  // true when the request succeeded; `out` holds the driver's answer then.
  virtual bool Control(Handle h, uint32_t code, ByteView in, MutableByteView out) = 0;
  // As Control, and `returned` says how many bytes of `out` the driver filled. A device
  // that cannot tell counts the whole buffer.
  virtual bool ControlCounted(Handle h, uint32_t code, ByteView in, MutableByteView out,
                              size_t& returned) {
    const bool done = Control(h, code, in, out);
    returned = done ? out.size : 0;
    return done;
  }
  virtual void Close(Handle h) = 0;
  // GetVersionExA's dwPlatformId; empty when the call fails.
  virtual std::optional<uint32_t> PlatformId() = 0;
};

}  // namespace corvane
