// Services Linux does not have yet: each reports failure the way its Win32 original does.
#pragma once

#include <string>

#include "platform/smart_device.h"

namespace corvane {

class NoSmartDevice : public SmartDevice {
 public:
  Handle Open(const std::string&, uint32_t, uint32_t, uint32_t) override { return kInvalidHandle; }
  bool Control(Handle, uint32_t, ByteView, MutableByteView) override { return false; }
  void Close(Handle) override {}
  std::optional<uint32_t> PlatformId() override { return 2; }  // the NT family
};

}  // namespace corvane
